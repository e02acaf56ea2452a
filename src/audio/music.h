// The background music: one track at a time, looped by replaying it whenever it plays
// to its end.
#pragma once

#include "services/window.h"

class CMp3Player {
 public:
  CMp3Player();
  ~CMp3Player();
  CMp3Player(const CMp3Player&) = delete;
  CMp3Player& operator=(const CMp3Player&) = delete;

  // Called from WM_CREATE; shows "MP3プレイヤーの作成に失敗" captioned "ERROR" and
  // returns false when there is no window to attach to.
  bool Create(HWND parent);
  void Stop();
  void Open(const char* path);
  void Play();
  // Reopens the remembered track and plays it from the start (on the stopped notice).
  void Replay();
  void Close();
  const char* TrackPath() const { return trackPath; }

 private:
  HWND hMCIWnd;
  char trackPath[256];
};
