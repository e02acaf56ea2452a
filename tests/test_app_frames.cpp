// The game in this process. A whole scripted game, title to results and back to the
// title, drawn pixel for pixel as it was when the list of frames was recorded: the raster
// layer may get faster, but never different. After a deliberate change to the pictures,
// record the list again with TONKALO_RECORD_FRAMES=1 (ctest -R FrameIdentity) from a
// build you trust. And the title's START pulse and the music loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/entry.h"
#include "game/game.h"
#include "game/program.h"
#include "platform/headless/control.h"
#include "platform/core/platform.h"
#include "services/window.h"
#include "support/test_support.h"

namespace {

constexpr int kEvery = 50;
const char kScript[] = TONKALO_SOURCE_DIR "/bench/busy_game.txt";
const char kList[] = TONKALO_SOURCE_DIR "/tests/frames_busy_game.txt";

std::uint64_t Fnv(std::uint64_t hash, const std::string& bytes) {
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3u;
  return hash;
}

// The pictures the frames are made of, in name order.
std::uint64_t PicturesFingerprint(const std::string& dir) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir + "/BMP")) {
    files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  std::uint64_t hash = 0xcbf29ce484222325u;
  for (const std::string& file : files) hash = Fnv(hash, testsupport::ReadFile(file));
  return hash;
}

// The --frames the script's header asks for.
long long FramesOf(const std::string& script) {
  const std::string text = testsupport::ReadFile(script);
  const std::size_t at = text.find("--frames ");
  return at == std::string::npos ? 0 : std::atoll(text.c_str() + at + 9);
}

std::string Hex(std::uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%016" PRIx64, v);
  return buf;
}

// The whole game in this process, in `dir`: "pictures HASH" and then "PASS HASH" for
// every kEvery-th pass.
std::string PlayAndHash(const std::string& dir) {
  const long long frames = FramesOf(kScript);
  EXPECT_GT(frames, 0) << kScript << " has no --frames in its header";
  testsupport::InFolder in(dir);
  platform::Options options;
  options.headless = true;
  options.scriptFile = kScript;
  options.frames = frames;
  options.keepFrames = false;
  std::string error;
  EXPECT_TRUE(platform::ReadScript(kScript, options.script, error) &&
              platform::Init(options, error)) << error;
  headless::HashFrames(kEvery);
  {
    ProgramObjects objects;
    int module = 0;
    TonkaloMain(&module);
  }
  std::string out = "pictures " + Hex(PicturesFingerprint(dir)) + "\n";
  for (const headless::FrameHash& f : headless::FrameHashes()) {
    out += std::to_string(f.pass) + " " + Hex(f.hash) + "\n";
  }
  platform::Shutdown();
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

}  // namespace

TEST(FrameIdentity, BusyGameLooksTheSameEveryFiftiethPass) {
  const std::string dir = testsupport::MakeTempDir("frames");
  testsupport::CopyData(dir);
  const std::string seen = PlayAndHash(dir);
  if (std::getenv("TONKALO_RECORD_FRAMES") != nullptr) {
    testsupport::WriteFile(kList, seen);
    GTEST_SKIP() << "recorded " << kList;
  }
  const std::vector<std::string> want = Lines(testsupport::ReadFile(kList));
  const std::vector<std::string> got = Lines(seen);
  ASSERT_FALSE(want.empty()) << kList;
  ASSERT_EQ(got.front(), want.front())
      << "the generated pictures are not the ones the list was recorded with";
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 1; i < want.size(); ++i) {
    ASSERT_EQ(got[i], want[i]) << "the first frame that differs (pass, hash)";
  }
}

// The pulse climbs by 4 from 0, is clamped to 255 in the 64th title frame, falls by 4,
// reaches 0 in frame 128 and climbs again. It is program-wide and goes on from where an
// earlier title in this process left it, so frames count from where it is at 0.
TEST(TitlePulse, StartPulseClimbsClampsAndFalls) {
  testsupport::StartHeadless();
  testsupport::InFolder in(testsupport::MakeTempDir("pulse"));
  ProgramObjects objects;
  objects.game.EnterTitle();
  for (int frame = 0; frame < 128 && StartPulseAlpha() != 0; ++frame) {
    objects.game.Frame(MainWindow());
  }
  ASSERT_EQ(StartPulseAlpha(), 0);
  std::map<int, int> seen;
  for (int frame = 1; frame <= 129; ++frame) {
    objects.game.Frame(MainWindow());
    seen[frame] = StartPulseAlpha();
  }
  for (const auto& [frame, alpha] :
       std::map<int, int>{{1, 4}, {63, 252}, {64, 255}, {65, 251}, {127, 3}, {128, 0}, {129, 4}}) {
    EXPECT_EQ(seen[frame], alpha) << "frame " << frame;
  }
  platform::Shutdown();
}

// The title's music loops: the notice that a track played to its end starts it again.
TEST(TitleMusic, ATrackThatPlayedToItsEndStartsAgain) {
  platform::Options options;
  options.frames = 2;
  testsupport::StartHeadless(options);
  testsupport::InFolder in(testsupport::MakeGameDir("music_loop"));
  headless::FinishMusicTrack();
  {
    ProgramObjects objects;
    int module = 0;
    TonkaloMain(&module);
  }
  std::string replays;
  for (const headless::MusicRecord& r : headless::MusicCommands()) {
    if (r.command == "replay") replays += r.path + ";";
  }
  EXPECT_EQ(replays, "MP3/tw014b.mp3;");
  platform::Shutdown();
}
