#include "audio/music.h"

#include <cstring>

#include "platform/core/platform.h"

CMp3Player::CMp3Player() : hMCIWnd(nullptr), trackPath() {}

CMp3Player::~CMp3Player() { Close(); }

bool CMp3Player::Create(HWND parent) {
  // The port has no MCI child window: the player lives as long as the game window it
  // was attached to, whose handle marks it as created.
  hMCIWnd = parent;
  if (!hMCIWnd) {
    platform::MessageBox("MP3プレイヤーの作成に失敗", "ERROR");
    return false;
  }
  return true;
}

void CMp3Player::Stop() {
  if (hMCIWnd) platform::Music(platform::MusicCommand::Stop);
}

void CMp3Player::Open(const char* path) {
  if (!path) return;
  if (hMCIWnd) platform::Music(platform::MusicCommand::Open, path);
  std::strncpy(trackPath, path, sizeof(trackPath) - 1);
  trackPath[sizeof(trackPath) - 1] = '\0';
}

void CMp3Player::Play() {
  if (hMCIWnd) platform::Music(platform::MusicCommand::Play);
}

void CMp3Player::Replay() {
  if (hMCIWnd) platform::Music(platform::MusicCommand::Replay, trackPath);
}

// Closing takes the player's window down with it, so nothing is sent afterwards (the
// destructor's Close after an explicit one is silent).
void CMp3Player::Close() {
  if (!hMCIWnd) return;
  platform::Music(platform::MusicCommand::Stop);
  platform::Music(platform::MusicCommand::Close);
  hMCIWnd = nullptr;
}
