// The window backend on a private virtual X server: the pointer in back-buffer pixels
// at any scale, clicks and double clicks as messages, the effect channel heard through
// SDL's disk audio driver, and the music-finished notice (only for a track that ends).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/core/backend.h"
#include "platform/core/platform.h"
#include "platform/sdl/present.h"
#include "support/test_support.h"

namespace {

// The window surface's upscale against the obvious per-pixel nearest-neighbour walk:
// whole scales, centred with bars, frames that overhang the output on any side, and
// parts of a frame (what changed) landing exactly where the whole would.
TEST(WindowSurface, UpscaleMatchesNearestNeighbourAndClips) {
  struct Case { int outW, outH, scale, left, top; };
  const int w = 7, h = 5;
  std::vector<std::uint32_t> src(w * h);
  for (int i = 0; i < w * h; ++i) src[i] = 0x010203u * static_cast<std::uint32_t>(i + 1);
  const Case cases[] = {{7, 5, 1, 0, 0},   {23, 17, 3, 1, 1},  {20, 16, 2, 3, 3},
                        {10, 6, 3, -4, -2}, {9, 9, 4, 5, 7},    {30, 4, 1, 29, 0},
                        {6, 6, 2, -20, 0}};
  for (const Case& c : cases) {
    for (const SDL_Rect area : {SDL_Rect{0, 0, w, h}, {2, 1, 3, 2}}) {
      const std::uint32_t fill = 0xDEADBE;
      std::vector<std::uint32_t> out(c.outW * c.outH, fill), scratch;
      const platform::Placement p{c.scale, c.left, c.top};
      platform::UpscaleInto(src.data(), w * 4, area, out.data(), c.outW, c.outH, c.outW * 4, p,
                            scratch);
      for (int y = 0; y < c.outH; ++y) {
        for (int x = 0; x < c.outW; ++x) {
          const int sx = (x - c.left) / c.scale, sy = (y - c.top) / c.scale;
          const bool inside = x >= c.left && y >= c.top && sx >= area.x && sy >= area.y &&
                              sx < area.x + area.w && sy < area.y + area.h;
          const std::uint32_t want = inside ? src[sy * w + sx] : fill;
          ASSERT_EQ(out[y * c.outW + x], want) << x << "," << y << " in case " << c.outW << "x"
                                               << c.outH << " scale " << c.scale << ", area at "
                                               << area.x;
        }
      }
    }
  }
}

// Only what changed is sent again: runs of changed rows (short gaps bridged), narrowed
// to the changed columns.
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
    std::vector<std::tuple<int, int, int, int>> got;
    std::vector<SDL_Rect> areas;
    platform::ChangedAreas(frame.data(), last.data(), w, h, areas);
    for (const SDL_Rect& a : areas) got.emplace_back(a.x, a.y, a.w, a.h);
    EXPECT_EQ(got, c.areas) << c.changed.size() << " changes";
  }
}

TEST(WindowSurface, PlacementIsTheLargestWholeScaleCentred) {
  struct Case { int outW, outH, scale, left, top; };
  for (const Case& c : {Case{640, 480, 1, 0, 0}, Case{1280, 960, 2, 0, 0},
                        Case{1920, 1080, 2, 320, 60}, Case{1300, 1000, 2, 10, 20},
                        Case{2000, 1000, 2, 360, 20}, Case{600, 400, 1, -20, -40}}) {
    const platform::Placement p = platform::PlaceFrame(c.outW, c.outH, 640, 480);
    EXPECT_EQ(std::make_tuple(p.scale, p.left, p.top), std::make_tuple(c.scale, c.left, c.top))
        << c.outW << "x" << c.outH;
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
  const double step = 2 * M_PI * hz / 22050;
  for (std::uint32_t i = 0; i < samples; ++i) put(std::lround(12000 * std::sin(step * i)), 2);
  return w;
}

// Messages as (message, lParam).
using Sent = std::vector<std::pair<unsigned, long>>;

class SdlBackend : public ::testing::Test {
 protected:
  static constexpr int kScreenW = 2000;  // the width of the virtual screen started below
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

  void OpenWindow(int scale, platform::PresentMode present = platform::PresentMode::Auto,
                  platform::Options options = {}) {
    options.scale = scale;
    options.present = present;
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
  // Moves the pointer over back-buffer pixel (x, y) at the given scale, with the frame's
  // top-left that far into the window; where the platform then puts it.
  std::pair<int, int> PointAt(int x, int y, int scale, int barX = 0, int barY = 0) {
    Xdotool("mousemove " + std::to_string(left_ + barX + x * scale + scale / 2) + " " +
            std::to_string(top_ + barY + y * scale + scale / 2));
    Messages(200);
    platform::GetCursorPos(x, y);
    return {x, y};
  }
  // What the X server shows at window pixels (x, y), as 0xRRGGBB, from one screenshot.
  std::vector<std::uint32_t> WindowPixels(const std::vector<std::pair<int, int>>& at) {
    const std::string shot = dir_ + "/screen.rgb";
    std::system(("import -window root -depth 8 rgb:" + shot).c_str());
    const std::string rgb = testsupport::ReadFile(shot);
    std::vector<std::uint32_t> out;
    for (const auto& [x, y] : at) {
      const size_t i = (static_cast<size_t>(top_ + y) * kScreenW + left_ + x) * 3;
      out.push_back(i + 2 < rgb.size() ? static_cast<std::uint32_t>(
                                             static_cast<unsigned char>(rgb[i]) << 16 |
                                             static_cast<unsigned char>(rgb[i + 1]) << 8 |
                                             static_cast<unsigned char>(rgb[i + 2]))
                                       : 0xFFFFFFFFu);
    }
    return out;
  }
  // Pumps messages until `seconds` after the window opened.
  void PumpUntil(double seconds) {
    while (std::chrono::steady_clock::now() - opened_ < std::chrono::duration<double>(seconds)) {
      Messages(20);
    }
  }
  // The loudest sample heard between two times after the window opened (the disk
  // driver writes 16-bit stereo at 44.1 kHz in real time from then on).
  int Peak(double from, double to) {
    const std::string raw = testsupport::ReadFile(dir_ + "/audio.raw");
    const size_t begin = static_cast<size_t>(from * 44100) * 4, end = static_cast<size_t>(to * 44100) * 4;
    EXPECT_GE(raw.size(), end) << "audio written only up to " << raw.size() / 176400.0 << " s";
    int peak = 0;
    for (size_t i = begin; i + 1 < std::min(end, raw.size()); i += 2) {
      std::int16_t v;
      std::memcpy(&v, raw.data() + i, 2);
      peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    return peak;
  }
  static void Xdotool(const std::string& command) {
    ASSERT_EQ(std::system(("xdotool " + command).c_str()), 0) << command;
  }
  // What the platform delivers over the next ms milliseconds.
  static Sent Messages(int ms) {
    Sent out;
    for (int waited = 0; waited < ms; waited += 20) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
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
  using platform::PresentMode;
  for (const auto& [present, scale] : {std::pair(PresentMode::Surface, 1),
                                      std::pair(PresentMode::Surface, 3),
                                      std::pair(PresentMode::Gpu, 2)}) {
    SCOPED_TRACE(present == PresentMode::Gpu ? "gpu" : "surface");
    OpenWindow(scale, present);
    EXPECT_EQ(PointAt(100, 50, scale), std::pair(100, 50)) << "scale " << scale;
    const auto [x, y] = PointAt(-10, -5, scale);  // beyond the left and top edges: outside
    EXPECT_TRUE(x < 0 && y < 4) << x << "," << y << " at scale " << scale;

    PointAt(639, 479, scale);
    Xdotool("mousedown 1");
    EXPECT_EQ(Messages(200), (Sent{{platform::WM_LBUTTONDOWN, corner}})) << scale;
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
TEST_F(SdlBackend, AQuickClickIsSampledOnceAPressDraggedInIsDownAndEscapeOrCtrlQCloses) {
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
  std::system(("(sleep 0.4; xdotool key p; sleep 0.6; import -window root -crop 1x1+" +
               std::to_string(left_ + 5) + "+" + std::to_string(top_ + 5) + " -depth 8 rgb:" +
               shot + "; sleep 0.4; xdotool click 1) >/dev/null 2>&1 &").c_str());
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
  options.volume = 50;
  options.music = false;
  OpenWindow(1, platform::PresentMode::Auto, options);
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
  OpenWindow(1, platform::PresentMode::Auto, options);
  play();
  platform::Shutdown();
  EXPECT_FALSE(testsupport::FileExists(dir_ + "/audio.raw"));
}

// The window surface sends only what changed since the frame it shows: a frame, another
// picture in between (paused), and the first frame again all land whole.
TEST_F(SdlBackend, TheWindowSurfaceShowsEachFrameWhole) {
  OpenWindow(1, platform::PresentMode::Surface);
  std::vector<std::uint32_t> other(640 * 480, 0x102030);
  other[9 * 640 + 9] = 0x336699;
  for (const auto* pixels : {frame_.data(), other.data(), frame_.data(), other.data()}) {
    platform::Present(pixels, 640, 480);
  }
  Messages(200);
  EXPECT_EQ(WindowPixels({{5, 5}, {9, 9}}), (std::vector<std::uint32_t>{0x102030, 0x336699}));
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
  EXPECT_EQ(quiet.exitStatus, 0);
  EXPECT_EQ(quiet.stderrText, "");
  EXPECT_EQ(verbose.exitStatus, 0);
  EXPECT_NE(verbose.stderrText.find("tonkalo: no audio ("), std::string::npos)
      << verbose.stderrText;
}

// The window takes its icon from icons/tonkalo.bmp in the data folder when it is there.
TEST_F(SdlBackend, TheWindowIconComesFromTheDataFolder) {
  const std::string dir = testsupport::MakeTempDir("icon");
  std::filesystem::create_directories(dir + "/icons");
  ASSERT_TRUE(platform::WriteBmp24(dir + "/icons/tonkalo.bmp",
                                   std::vector<std::uint32_t>(64 * 64, 0xFFC93C).data(), 64, 64));
  const auto here = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  OpenWindow(1);
  std::filesystem::current_path(here);
  Xdotool("search --name '^Tonkalo$' >" + dir_ + "/wid");
  std::system(("xprop -id $(head -n1 " + dir_ + "/wid) _NET_WM_ICON >" + dir_ + "/icon").c_str());
  EXPECT_NE(testsupport::ReadFile(dir_ + "/icon").find("64 x 64"), std::string::npos)
      << testsupport::ReadFile(dir_ + "/icon").substr(0, 200);
}

TEST_F(SdlBackend, OnlyATrackThatPlaysToItsEndSendsTheStoppedNotice) {
  testsupport::WriteFile(dir_ + "/short.wav", ToneWav(0.2, 330.0));
  testsupport::WriteFile(dir_ + "/long.wav", ToneWav(3.0, 330.0));
  OpenWindow(1);
  platform::Music(platform::MusicCommand::Open, (dir_ + "/short.wav").c_str());
  platform::Music(platform::MusicCommand::Play);
  EXPECT_EQ(Messages(1200), (Sent{{platform::MCIWNDM_NOTIFYMODE, platform::MCI_MODE_STOP}}));
  platform::Music(platform::MusicCommand::Replay);  // the last path, from its start
  EXPECT_EQ(Messages(1200), (Sent{{platform::MCIWNDM_NOTIFYMODE, platform::MCI_MODE_STOP}}));

  platform::Music(platform::MusicCommand::Open, (dir_ + "/long.wav").c_str());
  platform::Music(platform::MusicCommand::Play);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  platform::Music(platform::MusicCommand::Stop);
  platform::Music(platform::MusicCommand::Play);
  platform::Music(platform::MusicCommand::Close);
  EXPECT_TRUE(Messages(600).empty());
  platform::Music(platform::MusicCommand::Open, (dir_ + "/missing.mp3").c_str());
  platform::Music(platform::MusicCommand::Play);
  EXPECT_TRUE(Messages(300).empty());
}

}  // namespace
