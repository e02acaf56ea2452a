// Sound effects held in memory and the music player's commands, against the headless
// backend's records.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "platform/headless/control.h"
#include "support/test_support.h"

namespace {

// Distinct sizes per effect, with zero bytes inside: a mix-up or a text-mode read shows.
std::string WaveBytes(int index) {
  return "RIFF" + std::string(3, '\0') +
         std::string(static_cast<size_t>(40 + index * 13), static_cast<char>('a' + index)) + '\0';
}

// Loads the effects from a fresh folder holding all but effect `skip`.
int LoadFromFolder(const std::string& name, int skip) {
  const std::string dir = testsupport::MakeTempDir(name);
  mkdir((dir + "/WAV").c_str(), 0755);
  for (int i = 0; i < 10; ++i) {
    if (i != skip) testsupport::WriteFile(dir + "/" + kSoundEffectFiles[i], WaveBytes(i));
  }
  testsupport::InFolder in(dir);
  return LoadSoundEffects();
}

std::string Describe(const std::vector<headless::MusicRecord>& records) {
  std::string out;
  for (const auto& r : records) out += r.command + (r.path.empty() ? "" : " " + r.path) + "; ";
  return out;
}

}  // namespace

// Each play cuts off the last; nothing outside 0..9 plays; a missing or released effect
// only halts.
TEST(Sound, OneMissingFileLeavesNinePlayableAndTheMissingOneHalts) {
  testsupport::StartHeadless();
  EXPECT_EQ(LoadFromFolder("missing", 6), 0);
  EXPECT_TRUE(headless::PlayedSounds().empty()) << "loading plays nothing";
  for (int index : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 5, -1, 10}) PlaySoundEffect(index);
  EXPECT_EQ(headless::PlayedSounds(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 5}));
  ASSERT_EQ(headless::PlayedSoundSizes().size(), 11u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(headless::PlayedSoundSizes()[i], i == 6 ? 0u : WaveBytes(i).size()) << i;
  }
  ReleaseSoundEffects();
  PlaySoundEffect(2);
  EXPECT_EQ(headless::PlayedSoundSizes().back(), 0u) << "released effects only halt";
  EXPECT_EQ(LoadFromFolder("order", -1), 1);
}

// With a window the player sends its commands and closes once; without one it says so
// once and stays silent.
TEST(Music, APlayerSendsItsCommandsAndClosesOnceOrWithoutAWindowSaysSoOnce) {
  static char window;
  for (const bool windowed : {true, false}) {
    testsupport::StartHeadless();
    {
      CMp3Player player;
      ASSERT_EQ(player.Create(windowed ? reinterpret_cast<HWND>(&window) : nullptr), windowed);
      player.Stop();
      player.Open("MP3/tw014b.mp3");
      player.Play();
      player.Stop();
      player.Open("MP3/tw065.mp3");
      player.Play();
      player.Replay();
      if (windowed) player.Close();
      player.Play();
    }
    EXPECT_EQ(headless::MessageBoxes().size(), windowed ? 0u : 1u);
    for (const auto& box : headless::MessageBoxes()) {
      EXPECT_EQ(box.caption + box.text, "ERRORMP3プレイヤーの作成に失敗");
    }
    EXPECT_EQ(Describe(headless::MusicCommands()),
              windowed ? "stop; open MP3/tw014b.mp3; play; stop; open MP3/tw065.mp3; play; "
                         "replay MP3/tw065.mp3; stop; close; "
                       : "");
  }
}
