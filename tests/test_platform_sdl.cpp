// The window backend: its upscale and changed areas, the settings file, the lettering of
// its panels; then on a private virtual X server the pointer in back-buffer pixels
// at any scale and after the window moved, clicks and quick flicks as messages, the keys
// and the settings they keep, the effect channel heard through SDL's disk audio driver,
// and the music-finished notice (only for a track that ends).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/core/backend.h"
#include "platform/core/platform.h"
#include "platform/files/settings.h"
#include "platform/sdl/panels.h"
#include "platform/sdl/present.h"
#include "support/test_support.h"

namespace {

using platform::Settings;

TEST(SettingsFile, OnlyWhatThisProgramWritesIsRead) {
  const struct { const char* text; bool ok; Settings want; } cases[] = {
      {"music off\nsound on\nvolume 60\n", true, {false, true, 60}},
      {"volume 0\n\nsound off", true, {true, false, 0}}, {"", true, {}},
      {"volume 101\n", false, {}}, {"volume -1\n", false, {}}, {"volume 6O\n", false, {}},
      {"music maybe\n", false, {}}, {"music on\nmusic off\n", false, {}},
      {"colour red\n", true, {true, true, 100, "colour red\n"}}, {"music on\r\n", false, {}},
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

// The upscale against a per-pixel nearest-neighbour walk: bars, frames overhanging the
// output on any side, and a changed part landing exactly where the whole would.
TEST(WindowSurface, UpscaleMatchesNearestNeighbourAndClips) {
  struct Case { int outW, outH, scale, left, top; };
  const int w = 7, h = 5;
  std::vector<std::uint32_t> src(w * h);
  for (int i = 0; i < w * h; ++i) src[i] = 0x010203u * static_cast<std::uint32_t>(i + 1);
  const Case cases[] = {{7, 5, 1, 0, 0},   {23, 17, 3, 1, 1},  {20, 16, 2, 3, 3},
                        {10, 6, 3, -4, -2}, {9, 9, 4, 5, 7},    {30, 4, 1, 29, 0},
                        {6, 6, 2, -20, 0}};
  for (const Case& c : cases) {
    for (const platform::FrameArea area : {platform::FrameArea{0, 0, w, h}, {2, 1, 3, 2}}) {
      std::vector<std::uint32_t> out(c.outW * c.outH, 0xDEADBE), scratch;
      platform::UpscaleInto(src.data(), w * 4, area, out.data(), c.outW, c.outH, c.outW * 4,
                            {c.scale, c.left, c.top}, scratch);
      for (int y = 0; y < c.outH; ++y) {
        for (int x = 0; x < c.outW; ++x) {
          const int sx = (x - c.left) / c.scale, sy = (y - c.top) / c.scale;
          const bool inside = x >= c.left && y >= c.top && sx >= area.x && sy >= area.y &&
                              sx < area.x + area.w && sy < area.y + area.h;
          ASSERT_EQ(out[y * c.outW + x], inside ? src[sy * w + sx] : 0xDEADBE)
              << x << "," << y << " in " << c.outW << "x" << c.outH << ", area at " << area.x;
        }
      }
    }
  }
}

// Runs of changed rows (short gaps bridged), narrowed to the changed columns.
TEST(WindowSurface, ChangedAreasAreTheChangedRowsNarrowedToTheirColumns) {
  const int w = 40, h = 60;
  struct Case {
    std::vector<std::pair<int, int>> changed;  // pixels (x, y) that differ
    std::vector<std::tuple<int, int, int, int>> areas;
  };
  const Case cases[] = {
      {{}, {}},
      {{{5, 7}}, {{5, 7, 1, 1}}},
      {{{3, 10}, {30, 10 + platform::kMergeGap + 1}}, {{3, 10, 28, platform::kMergeGap + 2}}},
      {{{3, 10}, {30, 10 + platform::kMergeGap + 2}},
       {{3, 10, 1, 1}, {30, 10 + platform::kMergeGap + 2, 1, 1}}},
      {{{0, 0}, {39, 59}}, {{0, 0, 1, 1}, {39, 59, 1, 1}}},
      {{{0, 4}, {39, 4}, {17, 5}}, {{0, 4, 40, 2}}},
  };
  const std::uint32_t was = 0x123456, now = 0x654321;
  for (const Case& c : cases) {
    std::vector<std::uint32_t> frame(w * h, was);
    for (const auto& [x, y] : c.changed) frame[y * w + x] = now;
    const std::vector<std::uint32_t> last(w * h, was);
    std::vector<platform::FrameArea> areas;
    platform::ChangedAreas(frame.data(), last.data(), w, h, areas);
    std::vector<std::tuple<int, int, int, int>> got;
    for (const platform::FrameArea& a : areas) got.emplace_back(a.x, a.y, a.w, a.h);
    EXPECT_EQ(got, c.areas) << c.changed.size() << " changes";
  }
}

// A 16-bit mono 22050 Hz PCM WAV of a sine tone.
std::string ToneWav(double seconds, double hz) {
  const std::uint32_t samples = static_cast<std::uint32_t>(seconds * 22050);
  std::string w;
  const auto put = [&w](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) w.push_back(static_cast<char>(v >> (8 * i)));
  };
  // RIFF size, "fmt " size 16, PCM and mono, rate, bytes a second, block 2 and 16 bits.
  for (std::uint32_t v : {0x46464952u, 36 + samples * 2, 0x45564157u, 0x20746D66u, 16u,
                          0x00010001u, 22050u, 44100u, 0x00100002u, 0x61746164u, samples * 2})
    put(v, 4);
  for (std::uint32_t i = 0; i < samples; ++i) put(std::lround(12000 * std::sin(2 * M_PI * hz * i / 22050)), 2);
  return w;
}

// Messages as (message, lParam).
using Sent = std::vector<std::pair<unsigned, long>>;

class SdlBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::MakeTempDir("sdl-backend");
    // The shell's pid is the server's once it execs; the server prints its display number.
    // No reset between the windows one test opens and closes.
    xvfb_ = popen("echo $$; exec Xvfb -displayfd 1 -screen 0 2000x1600x24 -nolisten tcp "
                  "-noreset 2>/dev/null", "r");
    int display = -1;
    ASSERT_TRUE(xvfb_ && std::fscanf(xvfb_, "%d %d", &pid_, &display) == 2) << "no Xvfb";
    setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    unsetenv("SDL_VIDEODRIVER");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir_ + "/audio.raw").c_str(), 1);
  }
  void TearDown() override {
    platform::Shutdown();
    if (pid_ > 0) kill(pid_, SIGTERM);
    if (xvfb_) pclose(xvfb_);
  }

  void OpenWindow(int scale, platform::Options options = {}) {
    options.scale = scale;
    options.recordFile = dir_ + "/highscore.dat";  // the settings file goes beside it
    std::string error;
    ASSERT_TRUE(platform::Init(options, error)) << error;
    opened_ = std::chrono::steady_clock::now();
    platform::Present(frame_.data(), 640, 480);
    Messages(200);
    Xdotool("search --name '^Tonkalo$' getwindowgeometry --shell >" + dir_ + "/window");
    const std::string geometry = testsupport::ReadFile(dir_ + "/window");
    ASSERT_EQ(std::sscanf(geometry.c_str() + geometry.find("X="), "X=%d Y=%d", &left_, &top_), 2)
        << geometry;
  }
  // Moves the pointer over back-buffer pixel (x, y) at the given scale; where the
  // platform then puts it.
  std::pair<int, int> PointAt(int x, int y, int scale) {
    Xdotool("mousemove " + std::to_string(left_ + x * scale + scale / 2) + " " +
            std::to_string(top_ + y * scale + scale / 2));
    Messages(200);
    platform::GetCursorPos(x, y);
    return {x, y};
  }
  // The command that writes what the X server shows at window pixel (x, y) into `file`
  // as 3 bytes of RGB.
  std::string Grab(int x, int y, const std::string& file) const {
    return "import -window root -crop 1x1+" + std::to_string(left_ + x) + "+" +
           std::to_string(top_ + y) + " -depth 8 rgb:" + file;
  }
  // Passes of the frame loop for about `ms`, each presenting the frame.
  void Pass(int ms) {
    for (int waited = 0; waited < ms; waited += 16, platform::Sleep(1)) {
      Messages(0);
      platform::Present(frame_.data(), 640, 480);
    }
  }
  // Pumps messages until `seconds` after the window opened.
  void PumpUntil(double seconds) {
    while (std::chrono::steady_clock::now() - opened_ < std::chrono::duration<double>(seconds)) Messages(20);
  }
  // The loudest sample heard between two times after the window opened (the disk
  // driver writes 16-bit stereo at 44.1 kHz in real time from then on).
  int Peak(double from, double to) {
    const std::string raw = testsupport::ReadFile(dir_ + "/audio.raw");
    const size_t begin = static_cast<size_t>(from * 44100) * 4, end = static_cast<size_t>(to * 44100) * 4;
    EXPECT_GE(raw.size(), end) << "audio written only up to " << raw.size() / 176400.0 << " s";
    int peak = 0;
    for (size_t i = begin; i + 1 < std::min(end, raw.size()); i += 2) {
      const int sample = (raw[i] & 0xFF) | (raw[i + 1] & 0xFF) << 8;
      peak = std::max(peak, std::abs(static_cast<std::int16_t>(sample)));
    }
    return peak;
  }
  static void Xdotool(const std::string& command) {
    ASSERT_EQ(std::system(("xdotool " + command).c_str()), 0) << command;
  }
  // What the platform delivers over the next ms milliseconds.
  static Sent Messages(int ms) {
    Sent out;
    for (int waited = 0; waited < std::max(ms, 1); waited += 20) {
      if (ms) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      for (platform::Message m; platform::PeekMessage(m);) out.emplace_back(m.message, m.lParam);
    }
    return out;
  }

  std::string dir_;
  std::FILE* xvfb_ = nullptr;
  int pid_ = -1, left_ = 0, top_ = 0;
  std::vector<std::uint32_t> frame_ = std::vector<std::uint32_t>(640 * 480, 0x336699);
  std::chrono::steady_clock::time_point opened_;
};

TEST_F(SdlBackend, PointerIsInBackBufferPixelsAtAnyScaleAndClicksBecomeMessages) {
  const long corner = 639 | 479 << 16;
  for (const int scale : {1, 3}) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    OpenWindow(scale);
    EXPECT_EQ(PointAt(100, 50, scale), std::pair(100, 50));
    const auto [x, y] = PointAt(-10, -5, scale);  // beyond the left and top edges: outside
    EXPECT_TRUE(x < 0 && y < 4) << x << "," << y;

    PointAt(639, 479, scale);
    Xdotool("mousedown 1");
    EXPECT_EQ(Messages(200), (Sent{{platform::WM_LBUTTONDOWN, corner}}));
    EXPECT_TRUE(platform::LeftButtonDown());
    Xdotool("mouseup 1");
    EXPECT_TRUE(Messages(200).empty());
    EXPECT_FALSE(platform::LeftButtonDown());
    // The second click of a double click is its own message.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // past double-click time
    Xdotool("click --repeat 2 --delay 80 1");
    EXPECT_EQ(Messages(200),
              (Sent{{platform::WM_LBUTTONDOWN, corner}, {platform::WM_LBUTTONDBLCLK, corner}}));
    platform::Shutdown();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
  }
}

// A press and release that both fall between two samples read as down for one sample;
// a press that began outside the window and was dragged in while held is down. Escape
// and Ctrl+Q close the window as its close button does; other keys are the platform's
// own and reach the game as nothing.
TEST_F(SdlBackend, QuickClicksFlicksAndDragsAreSampledAsPlayedAndEscapeOrCtrlQCloses) {
  OpenWindow(1);
  PointAt(100, 100, 1);
  Xdotool("click 1");
  EXPECT_EQ(Messages(200), (Sent{{platform::WM_LBUTTONDOWN, 100 | 100 << 16}}));
  EXPECT_TRUE(platform::LeftButtonDown());
  EXPECT_FALSE(platform::LeftButtonDown());
  // A quick click in a pass that never sampled the button is not kept for a later one.
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // past double-click time
  Xdotool("click 1");
  Messages(200);
  platform::Sleep(1);
  EXPECT_FALSE(platform::LeftButtonDown());

  Xdotool("mousemove " + std::to_string(left_ - 40) + " " + std::to_string(top_ + 50) +
          " mousedown 1");
  Messages(200);
  EXPECT_EQ(PointAt(60, 50, 1), std::pair(60, 50));
  EXPECT_TRUE(platform::LeftButtonDown());
  EXPECT_TRUE(platform::LeftButtonDown());  // held: down at every sample
  Xdotool("mouseup 1");
  EXPECT_TRUE(Messages(200).empty());
  EXPECT_FALSE(platform::LeftButtonDown());

  // A flick between two passes: the pass that samples it and the next (where the game
  // strikes) read the cursor where it was pressed, the one after where it is. The window
  // moving under a still pointer moves the cursor the game reads.
  const auto at = [this](int x, int y) {
    return std::to_string(left_ + x) + " " + std::to_string(top_ + y);
  };
  const auto cursor = [] {
    std::pair<int, int> at;
    return platform::GetCursorPos(at.first, at.second), at;
  };
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // past double-click time
  Xdotool("mousemove " + at(100, 120) + " mousedown 1 mousemove " + at(300, 200) + " mouseup 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  Messages(0);
  EXPECT_EQ(cursor(), std::pair(100, 120));
  EXPECT_TRUE(platform::LeftButtonDown());
  platform::Sleep(1);
  EXPECT_EQ(cursor(), std::pair(100, 120));
  EXPECT_FALSE(platform::LeftButtonDown());
  platform::Sleep(1);
  EXPECT_EQ(cursor(), std::pair(300, 200));
  Xdotool("search --name '^Tonkalo$' windowmove " + at(-40, -30));
  Pass(300);
  EXPECT_EQ(cursor(), std::pair(340, 230));

  for (const char* key : {"Escape", "ctrl+q"}) {
    Xdotool(std::string("key ") + key);
    EXPECT_EQ(Messages(200), (Sent{{platform::WM_CLOSE, 0}})) << key;
  }
  Xdotool("key q m m s s");
  EXPECT_TRUE(Messages(200).empty());
}

// P pauses inside the message pump: the window shows the frame dimmed, the music stops,
// the game's clock stands still; the click that resumes never reaches the game.
TEST_F(SdlBackend, PauseStopsTheClockAndTheMusicAndTheResumingClickIsNotTheGames) {
  testsupport::WriteFile(dir_ + "/long.wav", ToneWav(4.0, 330.0));
  OpenWindow(1);
  platform::Music(platform::MusicCommand::Open, (dir_ + "/long.wav").c_str());
  platform::Music(platform::MusicCommand::Play);
  PointAt(100, 100, 1);
  // From another process, as a player would: P, a look at the window, then a click.
  const std::string shot = dir_ + "/paused.rgb";
  std::system(("(sleep 0.4; xdotool key p; sleep 0.6; " + Grab(5, 5, shot) +
               "; sleep 0.4; xdotool click 1) >/dev/null 2>&1 &").c_str());
  const auto wall0 = std::chrono::steady_clock::now();
  const std::uint32_t tick0 = platform::GetTickCount();
  EXPECT_TRUE(Messages(1600).empty());
  const auto wallMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - wall0).count();
  const long tickMs = static_cast<long>(platform::GetTickCount() - tick0);
  EXPECT_GE(wallMs - tickMs, 800) << "wall " << wallMs << " ms, game clock " << tickMs << " ms";
  EXPECT_FALSE(platform::LeftButtonDown());
  EXPECT_EQ(testsupport::ReadFile(shot), std::string("\x19\x33\x4c", 3));  // 0x336699 halved

  const double paused = std::chrono::duration<double>(wall0 - opened_).count() + 0.6;
  const double now = std::chrono::duration<double>(std::chrono::steady_clock::now() - opened_).count();
  EXPECT_GT(Peak(0.1, paused - 0.3), 4000);
  EXPECT_LT(Peak(paused + 0.3, paused + 0.8), 100);
  PumpUntil(now + 1.0);  // the disk driver may lag the clock a little under load
  EXPECT_GT(Peak(now + 0.1, now + 0.4), 4000);  // the music goes on after the pause
}

// --volume scales effects and music; --no-music starts the music muted, M switches it,
// S switches the effects; --no-sound opens no device at all. An effect played again is
// cut off and starts over; a broken one is nothing.
TEST_F(SdlBackend, VolumeAndTheMusicAndEffectsSwitches) {
  testsupport::WriteFile(dir_ + "/long.wav", ToneWav(4.0, 330.0));
  const std::string effect = ToneWav(0.5, 440.0), broken("RIFF\x10\0\0\0WAVEjunk", 16);
  const auto play = [&effect, &broken] {
    platform::PlayWave(1, reinterpret_cast<const std::uint8_t*>(broken.data()), broken.size());
    for (int again = 0; again < 2; ++again) {
      platform::PlayWave(0, reinterpret_cast<const std::uint8_t*>(effect.data()), effect.size());
    }
  };
  platform::Options options;
  options.volume = 50, options.music = false;
  OpenWindow(1, options);
  PointAt(320, 240, 1);
  platform::Music(platform::MusicCommand::Open, (dir_ + "/long.wav").c_str());
  platform::Music(platform::MusicCommand::Play);
  PumpUntil(0.9);
  Xdotool("key m");
  PumpUntil(1.7);
  Xdotool("key m");
  Xdotool("key s");
  play();
  PumpUntil(2.5);
  Xdotool("key s");
  play();
  PumpUntil(3.6);
  EXPECT_LT(Peak(0.3, 0.8), 100);                                  // music off at start
  EXPECT_NEAR(Peak(1.1, 1.6), 6000, 800);                          // M: on, at half volume
  EXPECT_LT(Peak(1.9, 2.4), 100);                                  // M off, S off
  EXPECT_NEAR(Peak(2.7, 3.1), 6000, 800);                          // S on: the effect
  platform::Shutdown();

  options.sound = false;
  std::remove((dir_ + "/audio.raw").c_str());
  OpenWindow(1, options);
  play();
  platform::Shutdown();
  EXPECT_FALSE(testsupport::FileExists(dir_ + "/audio.raw"));
}

// The window takes its icon from icons/tonkalo.bmp in the data folder when it is there.
// Its surface sends only what changed since the frame it shows: a frame, another picture
// in between (paused), and the first frame again all land whole.
TEST_F(SdlBackend, TheIconComesFromTheDataFolderAndTheSurfaceShowsEachFrameWhole) {
  const std::string dir = testsupport::MakeTempDir("icon");
  std::filesystem::create_directories(dir + "/icons");
  ASSERT_TRUE(platform::WriteBmp24(dir + "/icons/tonkalo.bmp",
                                   std::vector<std::uint32_t>(64 * 64, 0xFFC93C).data(), 64, 64));
  {
    testsupport::InFolder in(dir);
    OpenWindow(1);
  }
  Xdotool("search --name '^Tonkalo$' >" + dir_ + "/wid");
  std::system(("xprop -id $(head -n1 " + dir_ + "/wid) _NET_WM_ICON >" + dir_ + "/icon").c_str());
  EXPECT_NE(testsupport::ReadFile(dir_ + "/icon").substr(0, 200).find("64 x 64"), std::string::npos);

  std::vector<std::uint32_t> other(640 * 480, 0x102030);
  other[9 * 640 + 9] = 0x336699;
  for (const auto* pixels : {frame_.data(), other.data(), frame_.data(), other.data()}) {
    platform::Present(pixels, 640, 480);
  }
  Messages(200);
  for (const auto& [at, rgb] : {std::pair(5, "\x10\x20\x30"), std::pair(9, "\x33\x66\x99")}) {
    std::system(Grab(at, at, dir_ + "/pixel.rgb").c_str());
    EXPECT_EQ(testsupport::ReadFile(dir_ + "/pixel.rgb"), rgb) << at;
  }
}

// A machine whose sound card is missing: the game plays silently and says nothing about
// it (alsa-lib would print its whole search), except as a --verbose line.
TEST_F(SdlBackend, WithoutASoundCardTheGamePlaysSilentlyAndSaysNothing) {
  testsupport::CopyData(dir_);
  setenv("SDL_AUDIODRIVER", "alsa", 1);
  setenv("AUDIODEV", "hw:99", 1);
  const auto quiet = testsupport::RunProgram(dir_, {"--frames", "5"});
  const auto verbose = testsupport::RunProgram(dir_, {"--frames", "5", "--verbose"});
  unsetenv("AUDIODEV");
  EXPECT_EQ(quiet.exitStatus + verbose.exitStatus, 0);
  EXPECT_EQ(quiet.stderrText, "");
  EXPECT_NE(verbose.stderrText.find("tonkalo: no audio ("), std::string::npos) << verbose.stderrText;
}

TEST_F(SdlBackend, OnlyATrackThatPlaysToItsEndSendsTheStoppedNotice) {
  using platform::MusicCommand;
  testsupport::WriteFile(dir_ + "/short.wav", ToneWav(0.2, 330.0));
  testsupport::WriteFile(dir_ + "/long.wav", ToneWav(3.0, 330.0));
  OpenWindow(1);
  const Sent stopped{{platform::MCIWNDM_NOTIFYMODE, platform::MCI_MODE_STOP}};
  platform::Music(MusicCommand::Open, (dir_ + "/short.wav").c_str());
  platform::Music(MusicCommand::Play);
  EXPECT_EQ(Messages(1200), stopped);
  platform::Music(MusicCommand::Replay);  // the last path, from its start
  EXPECT_EQ(Messages(1200), stopped);

  platform::Music(MusicCommand::Open, (dir_ + "/long.wav").c_str());
  platform::Music(MusicCommand::Play);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (MusicCommand c : {MusicCommand::Stop, MusicCommand::Play, MusicCommand::Close}) platform::Music(c);
  EXPECT_TRUE(Messages(600).empty());
  platform::Music(MusicCommand::Open, (dir_ + "/missing.mp3").c_str());
  platform::Music(MusicCommand::Play);
  EXPECT_TRUE(Messages(300).empty());
}

// Each key shows its label over the frame for a moment (the frame itself is not
// drawn on) and is kept in the settings file beside the record when the game ends.
TEST_F(SdlBackend, KeysShowALabelAndAreKeptBesideTheRecord) {
  OpenWindow(1);
  Xdotool("mousemove " + std::to_string(left_ + 600) + " " + std::to_string(top_ + 400) +
          " key minus minus equal m s");
  const auto pixel = [this] {
    std::system(Grab(320, 30, dir_ + "/pixel.rgb").c_str());
    return testsupport::ReadFile(dir_ + "/pixel.rgb");
  };
  Pass(300);
  EXPECT_NE(pixel(), "\x33\x66\x99");
  EXPECT_EQ(frame_[30 * 640 + 320], 0x336699u);
  Pass(1600);
  EXPECT_EQ(pixel(), "\x33\x66\x99");
  EXPECT_FALSE(testsupport::FileExists(dir_ + "/settings.txt"));  // kept at the end
  platform::Shutdown();
  EXPECT_EQ(testsupport::ReadFile(dir_ + "/settings.txt"), "music off\nsound off\nvolume 90\n");
}

}  // namespace
