// What the window backend does around the game: the settings file, the lettering of
// its panels, and, on a private virtual X server, the key labels and the settings they
// keep, the pointer after the window moved, and a quick flick.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/core/platform.h"
#include "platform/files/settings.h"
#include "platform/sdl/panels.h"
#include "support/test_support.h"

namespace {

using platform::Settings;

TEST(SettingsFile, OnlyWhatThisProgramWritesIsRead) {
  const struct { const char* text; bool ok; Settings want; } cases[] = {
      {"music off\nsound on\nvolume 60\n", true, {false, true, 60}},
      {"volume 0\n\nsound off", true, {true, false, 0}}, {"", true, {}},
      {"volume 101\n", false, {}}, {"volume -1\n", false, {}}, {"volume 6O\n", false, {}},
      {"music maybe\n", false, {}}, {"music on\nmusic off\n", false, {}},
      {"colour red\n", false, {}}, {"music on\r\n", false, {}},
  };
  for (const auto& c : cases) {
    Settings got{false, false, 33};
    std::string problem;
    EXPECT_EQ(platform::ParseSettings(c.text, got, problem), c.ok) << c.text;
    EXPECT_EQ(problem.empty(), c.ok) << c.text;
    const Settings want = c.ok ? c.want : Settings{false, false, 33};  // untouched
    EXPECT_EQ(platform::FormatSettings(got), platform::FormatSettings(want)) << c.text;
  }
}

// Written whole through a private temporary file: a link in the file's place is replaced,
// not followed; a folder that is not there is a failure that leaves nothing behind.
TEST(SettingsFile, WrittenAtomicallyReadBackAndDamagedOnesSaid) {
  const std::string dir = testsupport::MakeTempDir("settings");
  const std::string file = platform::SettingsFileFor(dir + "/highscore.dat");
  EXPECT_EQ(file, dir + "/settings.txt");
  Settings read;
  std::string problem;
  EXPECT_FALSE(platform::ReadSettingsFile(file, read, problem));
  EXPECT_EQ(problem, "");

  testsupport::WriteFile(dir + "/elsewhere", "keep me");
  ASSERT_EQ(symlink((dir + "/elsewhere").c_str(), file.c_str()), 0);
  ASSERT_TRUE(platform::WriteSettingsFile(file, {false, true, 40}, problem)) << problem;
  EXPECT_EQ(testsupport::ReadFile(dir + "/elsewhere"), "keep me");
  ASSERT_TRUE(platform::ReadSettingsFile(file, read, problem));
  EXPECT_EQ(platform::FormatSettings(read), "music off\nsound on\nvolume 40\n");

  testsupport::WriteFile(file, "volume loud\n");
  EXPECT_FALSE(platform::ReadSettingsFile(file, read, problem));
  EXPECT_NE(problem.find("settings '" + file + "' ignored: line 1"), std::string::npos) << problem;

  EXPECT_FALSE(platform::WriteSettingsFile(dir + "/none/settings.txt", {}, problem));
  EXPECT_NE(problem.find("No such file"), std::string::npos) << problem;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);  // no temporary
}

// Lines fit the width and lose nothing but the spaces they break at; the game's
// Japanese messages have their glyphs; every panel stays inside any picture.
TEST(Lettering, WrapsToTheWidthAndDrawsOnlyInsideThePicture) {
  platform::Lettering lettering;
  ASSERT_TRUE(lettering.text.Usable()) << "no font installed";
  lettering.text.SetSize(17);
  const std::string text = "File : BMP/a_very_long_folder_name/TITLE.bmp is NULL and more words";
  std::string joined;
  for (const std::string& line : lettering.text.Wrap(text, 160)) {
    EXPECT_LE(lettering.text.Width(line), 160) << line;
    joined += line;
  }
  const auto letters = [](std::string t) {
    t.erase(std::remove(t.begin(), t.end(), ' '), t.end());
    return t;
  };
  EXPECT_EQ(letters(joined), letters(text));
  EXPECT_EQ(lettering.text.Wrap("初期化に\n失敗", 400), (std::vector<std::string>{"初期化に", "失敗"}));
  for (const char* message : {"初期化に失敗しました。", "TITLE.bmpが見つかりません", "WAVファイル読み込み失敗",
                              "MP3プレイヤーの作成に失敗", "LoadTextureインデックスエラー"}) {
    EXPECT_TRUE(lettering.text.Covers(message)) << message << ": install fonts-vlgothic";
  }

  for (const auto& [w, h] : {std::pair(640, 480), std::pair(90, 40), std::pair(3, 2)}) {
    std::vector<std::uint32_t> pixels(w * h + 8, 0x80FF42);
    platform::Canvas canvas{pixels.data(), w, h};
    const platform::Button ok = platform::DrawMessageBox(canvas, lettering, "ERROR", text);
    platform::DrawPausedPicture(canvas, lettering.bold);
    platform::DrawKeyLabel(canvas, lettering.bold, "SOUND 60 %");
    for (int i = w * h; i < w * h + 8; ++i) ASSERT_EQ(pixels[i], 0x80FF42u) << w << "x" << h;
    EXPECT_TRUE(w < 640 || (ok.Holds(320, ok.top + 1) && ok.top + ok.h < 480));
  }
}

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::MakeTempDir("window");
    xvfb_ = popen("echo $$; exec Xvfb -displayfd 1 -screen 0 1600x1200x24 -nolisten tcp "
                  "-noreset 2>/dev/null", "r");
    int display = -1;
    ASSERT_TRUE(xvfb_ && std::fscanf(xvfb_, "%d %d", &pid_, &display) == 2) << "no Xvfb";
    setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    platform::Options options;
    options.scale = 1;
    options.recordFile = dir_ + "/highscore.dat";
    std::string error;
    ASSERT_TRUE(platform::Init(options, error)) << error;
    Pass(200);
    Run("xdotool search --name '^Tonkalo$' getwindowgeometry --shell >" + dir_ + "/window");
    const std::string geometry = testsupport::ReadFile(dir_ + "/window");
    ASSERT_EQ(std::sscanf(geometry.c_str() + geometry.find("X="), "X=%d Y=%d", &left_, &top_), 2);
  }
  void TearDown() override {
    platform::Shutdown();
    if (pid_ > 0) kill(pid_, SIGTERM);
    if (xvfb_) pclose(xvfb_);
  }
  // Passes of the frame loop for about `ms`, each presenting the frame.
  void Pass(int ms) {
    for (int waited = 0; waited < ms; waited += 16) {
      for (platform::Message m; platform::PeekMessage(m);) {
      }
      platform::Present(frame_.data(), 640, 480);
      platform::Sleep(1);
    }
  }
  static std::pair<int, int> Cursor() {
    std::pair<int, int> at;
    return platform::GetCursorPos(at.first, at.second), at;
  }
  // The window's pixel (x, y) as the X server shows it, as 3 bytes of RGB.
  std::string Pixel(int x, int y) {
    Run("import -window root -crop 1x1+" + std::to_string(left_ + x) + "+" +
        std::to_string(top_ + y) + " -depth 8 rgb:" + dir_ + "/pixel.rgb");
    return testsupport::ReadFile(dir_ + "/pixel.rgb");
  }
  static void Run(const std::string& command) {
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  std::string dir_;
  std::FILE* xvfb_ = nullptr;
  int pid_ = -1, left_ = 0, top_ = 0;
  std::vector<std::uint32_t> frame_ = std::vector<std::uint32_t>(640 * 480, 0x336699);
};

// A press and release between two passes: the pass that samples it and the next (where
// the game strikes) read the cursor where it was pressed, the one after where it is.
// The window moving under a still pointer moves the cursor the game reads.
TEST_F(Window, AQuickFlickStrikesWhereItBeganAndTheWindowMovingMovesTheCursor) {
  const auto at = [this](int x, int y) {
    return std::to_string(left_ + x) + " " + std::to_string(top_ + y);
  };
  Run("xdotool mousemove " + at(100, 120) + " mousedown 1 mousemove " + at(300, 200) +
      " mouseup 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  for (platform::Message m; platform::PeekMessage(m);) {
  }
  EXPECT_EQ(Cursor(), std::pair(100, 120));
  EXPECT_TRUE(platform::LeftButtonDown());
  platform::Sleep(1);
  EXPECT_EQ(Cursor(), std::pair(100, 120));
  EXPECT_FALSE(platform::LeftButtonDown());
  platform::Sleep(1);
  EXPECT_EQ(Cursor(), std::pair(300, 200));

  Run("xdotool search --name '^Tonkalo$' windowmove " + at(-40, -30));
  Pass(300);
  EXPECT_EQ(Cursor(), std::pair(340, 230));
}

// Each key shows its label over the frame for a moment (the frame itself is not
// drawn on) and is kept in the settings file beside the record when the game ends.
TEST_F(Window, KeysShowALabelAndAreKeptBesideTheRecord) {
  Run("xdotool mousemove " + std::to_string(left_ + 600) + " " + std::to_string(top_ + 400) +
      " key minus minus equal m s");
  Pass(300);
  const std::string frameColour("\x33\x66\x99", 3);
  EXPECT_NE(Pixel(320, 30), frameColour);
  EXPECT_EQ(frame_[30 * 640 + 320], 0x336699u);
  Pass(1600);
  EXPECT_EQ(Pixel(320, 30), frameColour);
  EXPECT_FALSE(testsupport::FileExists(dir_ + "/settings.txt"));  // kept at the end
  platform::Shutdown();
  EXPECT_EQ(testsupport::ReadFile(dir_ + "/settings.txt"), "music off\nsound off\nvolume 90\n");
}

}  // namespace
