// The window backend: where the frame lands and its scaling, the changed areas, the
// press latch, the settings file, the lettering of its panels; then on a private
// virtual X server the pointer in back-buffer pixels at whole and fractional scales,
// after a move and after fullscreen, clicks and flicks as messages, the keys and the
// settings they keep, the pause, the effects and music heard through SDL's disk audio
// driver. Every wait counts passes of the frame loop or audio written, never seconds.
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
#include <tuple>
#include <utility>
#include <vector>

#include "platform/core/backend.h"
#include "platform/core/platform.h"
#include "platform/core/press_latch.h"
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
  ASSERT_TRUE(platform::WriteSettingsFile(file, {false, true, 40}, false, problem)) << problem;
  EXPECT_EQ(testsupport::ReadFile(dir + "/elsewhere"), "keep me");
  ASSERT_TRUE(platform::ReadSettingsFile(file, read, problem));
  EXPECT_EQ(platform::FormatSettings(read), "music off\nsound on\nvolume 40\n");
  testsupport::WriteFile(file, "volume loud\n");
  EXPECT_FALSE(platform::ReadSettingsFile(file, read, problem));
  EXPECT_NE(problem.find("settings '" + file + "' ignored: line 1"), std::string::npos) << problem;
  EXPECT_FALSE(platform::WriteSettingsFile(dir + "/none/settings.txt", {}, false, problem));
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

// The page's rule: a whole scale unless it loses 15 % or more of the area, centred.
TEST(WindowSurface, TheFrameFillsTheWindowByThePagesRule) {
  const std::tuple<int, int, int, int, int, int> cases[] = {
      // window, then the picture's place and size
      {640, 480, 0, 0, 640, 480},     {1000, 800, 0, 25, 1000, 750},
      {1920, 1080, 240, 0, 1440, 1080}, {1500, 1040, 110, 40, 1280, 960},
      {2000, 1600, 40, 80, 1920, 1440}, {1280, 1024, 0, 32, 1280, 960},
  };
  for (const auto& [w, h, left, top, pw, ph] : cases) {
    const platform::Placement p = platform::PlaceFrame(w, h, 640, 480);
    EXPECT_EQ(std::tie(p.left, p.top, p.width, p.height), std::tie(left, top, pw, ph)) << w << "x" << h;
  }
}

// The scaling against a per-pixel nearest-neighbour walk at whole and fractional
// scales; a changed area lands exactly where the whole frame would, and nowhere else.
TEST(WindowSurface, UpscaleMatchesNearestNeighbour) {
  const int w = 8, h = 6;
  std::vector<std::uint32_t> src(w * h);
  for (int i = 0; i < w * h; ++i) src[i] = 0x010203u * static_cast<std::uint32_t>(i + 1);
  for (const auto& [outW, outH] : {std::pair(8, 6), std::pair(25, 19), std::pair(13, 9), std::pair(30, 12)}) {
    const platform::Placement p = platform::PlaceFrame(outW, outH, w, h);
    for (const platform::FrameArea area : {platform::FrameArea{0, 0, w, h}, {2, 1, 3, 2}}) {
      std::vector<std::uint32_t> out(outW * outH, 0xDEADBE);
      platform::UpscaleInto(src.data(), w * 4, area, out.data(), outW * 4, p);
      for (int y = 0; y < outH; ++y) {
        for (int x = 0; x < outW; ++x) {
          const int sx = static_cast<int>(std::floor((x - p.left + 0.5) * w / p.width));
          const int sy = static_cast<int>(std::floor((y - p.top + 0.5) * h / p.height));
          const bool inside = x >= p.left && y >= p.top && x < p.left + p.width &&
                              y < p.top + p.height && sx >= area.x && sy >= area.y &&
                              sx < area.x + area.w && sy < area.y + area.h;
          ASSERT_EQ(out[y * outW + x], inside ? src[sy * w + sx] : 0xDEADBE)
              << x << "," << y << " in " << outW << "x" << outH << ", area at " << area.x;
          if (inside) EXPECT_EQ(std::pair(p.SourceX(x), p.SourceY(y)), std::pair(sx, sy));
        }
      }
    }
  }
}

// Runs of changed rows (short gaps bridged), narrowed to the changed columns.
TEST(WindowSurface, ChangedAreasAreTheChangedRowsNarrowedToTheirColumns) {
  const int w = 40, h = 60, gap = platform::kMergeGap;
  const std::pair<std::vector<std::pair<int, int>>, std::vector<std::tuple<int, int, int, int>>> cases[] = {
      {{}, {}},
      {{{5, 7}}, {{5, 7, 1, 1}}},
      {{{3, 10}, {30, 11 + gap}}, {{3, 10, 28, gap + 2}}},
      {{{3, 10}, {30, 12 + gap}}, {{3, 10, 1, 1}, {30, 12 + gap, 1, 1}}},
      {{{0, 0}, {39, 59}}, {{0, 0, 1, 1}, {39, 59, 1, 1}}},
      {{{0, 4}, {39, 4}, {17, 5}}, {{0, 4, 40, 2}}},
  };
  for (const auto& [changed, want] : cases) {
    std::vector<std::uint32_t> frame(w * h, 0x123456);
    const std::vector<std::uint32_t> last = frame;
    for (const auto& [x, y] : changed) frame[y * w + x] = 0x654321;
    std::vector<platform::FrameArea> areas;
    platform::ChangedAreas(frame.data(), last.data(), w, h, areas);
    std::vector<std::tuple<int, int, int, int>> got;
    for (const platform::FrameArea& a : areas) got.emplace_back(a.x, a.y, a.w, a.h);
    EXPECT_EQ(got, want) << changed.size() << " changes";
  }
}

// A script of what the player and the passes did: p press at (7, 8), r release, s a
// sample with the button up, S with it held, e the pass ends. Each sample gives 0 or 1
// and where the cursor reads (F at the press, - where it is).
TEST(PressLatch, QuickPressesReadAsDownOnceAndFlicksStrikeWhereTheyBegan) {
  const std::pair<const char*, const char*> cases[] = {
      {"prse se se", "1F 0F 0-"},  // a flick: down once, at its place for two passes
      {"pre se", "0-"},            // not sampled in its pass: gone
      {"ps rse", "1- 0-"},         // held across a sample: as it is
      {"pSe Se rse", "1- 1- 0-"},  // held over passes, released after a sample
      {"prpse", "1F"},             // pressed again before the sample: still latched
  };
  for (const auto& [script, want] : cases) {
    platform::PressLatch latch;
    std::string got;
    for (const char* c = script; *c; ++c) {
      if (*c == 'p') latch.Pressed(7, 8);
      if (*c == 'r') latch.Released();
      if (*c == 'e') latch.PassEnded();
      if (*c != 's' && *c != 'S') continue;
      int x = 0, y = 0;
      got += std::string(got.empty() ? "" : " ") + (latch.Sample(*c == 'S') ? "1" : "0") +
             (latch.FlickAt(x, y) && x == 7 && y == 8 ? "F" : "-");
    }
    EXPECT_EQ(got, want) << script;
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
constexpr int kPatience = 200;  // passes, about 3 s: far more than X and SDL need

class SdlBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::MakeTempDir("sdl-backend");
    // The shell's pid is the server's once it execs; the server prints its display number.
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
    Passes(2);
    Geometry();
  }
  // The window's place and size on the screen.
  void Geometry() {
    Xdotool("search --name '^Tonkalo$' getwindowgeometry --shell >" + dir_ + "/window");
    const std::string g = testsupport::ReadFile(dir_ + "/window");
    ASSERT_EQ(std::sscanf(g.c_str() + g.find("X="), "X=%d Y=%d WIDTH=%d HEIGHT=%d", &left_, &top_,
                          &width_, &height_), 4) << g;
  }
  // Screen point of frame point (x, y) where the window puts it.
  std::string Screen(int x, int y) const {
    const platform::Placement p = platform::PlaceFrame(width_, height_, 640, 480);
    return std::to_string(left_ + p.left + (2 * x + 1) * p.width / 1280) + " " +
           std::to_string(top_ + p.top + (2 * y + 1) * p.height / 960);
  }
  static std::pair<int, int> Cursor() {
    std::pair<int, int> at;
    platform::GetCursorPos(at.first, at.second);
    return at;
  }
  // Passes until the cursor reads `want` (or kPatience passes); where it reads then.
  std::pair<int, int> CursorBecomes(std::pair<int, int> want) {
    for (int n = 0; n < kPatience && Cursor() != want; ++n) Passes(1);
    return Cursor();
  }
  std::pair<int, int> PointAt(int x, int y) {
    Xdotool("mousemove " + Screen(x, y));
    return CursorBecomes({x, y});
  }
  // What the X server shows at screen point (x, y), as 3 bytes of RGB.
  std::string ScreenPixel(int x, int y) const {
    const std::string file = dir_ + "/pixel.rgb";
    std::system(("import -window root -crop 1x1+" + std::to_string(x) + "+" + std::to_string(y) +
                 " -depth 8 rgb:" + file).c_str());
    return testsupport::ReadFile(file);
  }
  // Passes until the window shows `rgb` at window pixel (x, y); whether it did.
  bool Shows(int x, int y, const std::string& rgb, bool shows = true) {
    for (int n = 0; n < kPatience / 8; n += 1, Passes(8)) {
      if ((ScreenPixel(left_ + x, top_ + y) == rgb) == shows) return true;
    }
    return false;
  }
  // n passes of the frame loop, each taking the messages and presenting the frame.
  Sent Passes(int n) {
    Sent out;
    for (int i = 0; i < n; ++i) {
      for (platform::Message m; platform::PeekMessage(m);) out.emplace_back(m.message, m.lParam);
      platform::Present(frame_.data(), 640, 480);
      platform::Sleep(1);
    }
    return out;
  }
  // Passes until the messages seen are `want` (or kPatience passes, or one too many).
  Sent Expect(const Sent& want) {
    Sent seen;
    for (int n = 0; n < kPatience && seen.size() < std::max<size_t>(want.size(), 1); ++n) {
      const Sent more = Passes(1);
      seen.insert(seen.end(), more.begin(), more.end());
    }
    const Sent more = Passes(4);
    seen.insert(seen.end(), more.begin(), more.end());
    return seen;
  }
  // Passes until one takes a message; whether it then samples the button down.
  bool PassUntilPressed() {
    for (int n = 0; n < kPatience; ++n, platform::Sleep(1)) {
      bool any = false;
      for (platform::Message m; platform::PeekMessage(m);) any = true;
      if (any) return platform::LeftButtonDown();
    }
    return false;
  }
  // Passes until the disk driver has written `seconds` of sound since the window opened.
  void HeardUpTo(double seconds) {
    while (testsupport::ReadFile(dir_ + "/audio.raw").size() < seconds * 176400) Passes(4);
  }
  // The loudest sample written between two times (16-bit stereo at 44.1 kHz).
  int Peak(double from, double to) {
    HeardUpTo(to);
    const std::string raw = testsupport::ReadFile(dir_ + "/audio.raw");
    int peak = 0;
    for (size_t i = static_cast<size_t>(from * 44100) * 4; i + 1 < to * 176400; i += 2) {
      peak = std::max(peak, std::abs(static_cast<std::int16_t>((raw[i] & 0xFF) | (raw[i + 1] & 0xFF) << 8)));
    }
    return peak;
  }
  double Heard() const { return testsupport::ReadFile(dir_ + "/audio.raw").size() / 176400.0; }
  static void Xdotool(const std::string& command) {
    ASSERT_EQ(std::system(("xdotool " + command).c_str()), 0) << command;
  }

  std::string dir_;
  std::FILE* xvfb_ = nullptr;
  int pid_ = -1, left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::vector<std::uint32_t> frame_ = std::vector<std::uint32_t>(640 * 480, 0x336699);
};

// At scale 1, 3 and a fractional scale: the pointer in frame pixels, far outside once
// it left the window; clicks (at places apart, so no two make a double click but the
// pair meant to) are messages at the frame point.
TEST_F(SdlBackend, PointerIsInFramePixelsAtAnyScaleAndClicksBecomeMessages) {
  using platform::WM_LBUTTONDOWN;
  for (const int scale : {1, 3, 0}) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    OpenWindow(std::max(scale, 1));
    if (scale == 0) {
      Xdotool("search --name '^Tonkalo$' windowsize --sync 1000 800");
      Passes(4);
      Geometry();
      ASSERT_EQ(std::pair(width_, height_), std::pair(1000, 800));
    }
    EXPECT_EQ(PointAt(100, 50), std::pair(100, 50));
    Xdotool("mousemove " + std::to_string(left_ - 10) + " " + std::to_string(top_ + 10));
    EXPECT_EQ(CursorBecomes({-10000, -10000}), std::pair(-10000, -10000));
    EXPECT_EQ(PointAt(639, 479), std::pair(639, 479));
    Xdotool("mousedown 1");
    EXPECT_EQ(Expect({{WM_LBUTTONDOWN, 639 | 479 << 16}}), (Sent{{WM_LBUTTONDOWN, 639 | 479 << 16}}));
    EXPECT_TRUE(platform::LeftButtonDown());
    Xdotool("mouseup 1");
    EXPECT_EQ(Passes(4), Sent{});
    EXPECT_FALSE(platform::LeftButtonDown());
    Xdotool("mousemove " + Screen(300, 200) + " click --repeat 2 --delay 80 1");
    const Sent twice{{WM_LBUTTONDOWN, 300 | 200 << 16}, {platform::WM_LBUTTONDBLCLK, 300 | 200 << 16}};
    EXPECT_EQ(Expect(twice), twice);
    platform::Shutdown();
  }
}

// A click between two samples reads as down once, a flick strikes where it began; a
// press dragged in from outside while held is down. The cursor follows the window when
// it moves or goes fullscreen under a still pointer. Escape and Ctrl+Q close; the
// platform's own keys reach the game as nothing.
TEST_F(SdlBackend, FlicksDragsMovesFullscreenAndKeys) {
  OpenWindow(1);
  PointAt(100, 100);
  Xdotool("click 1");
  EXPECT_TRUE(PassUntilPressed());
  EXPECT_FALSE(platform::LeftButtonDown());

  Xdotool("mousemove " + std::to_string(left_ - 40) + " " + std::to_string(top_ + 50) + " mousedown 1");
  Passes(2);
  EXPECT_EQ(PointAt(60, 50), std::pair(60, 50));
  EXPECT_TRUE(platform::LeftButtonDown());
  EXPECT_TRUE(platform::LeftButtonDown());  // held: down at every sample
  Xdotool("mouseup 1");
  Passes(2);
  EXPECT_FALSE(platform::LeftButtonDown());

  // The pass that samples a flick and the next read the cursor where it was pressed.
  Xdotool("mousemove " + Screen(100, 120) + " mousedown 1 mousemove " + Screen(300, 200) + " mouseup 1");
  EXPECT_TRUE(PassUntilPressed());
  EXPECT_EQ(Cursor(), std::pair(100, 120));
  platform::Sleep(1);
  EXPECT_EQ(Cursor(), std::pair(100, 120));
  EXPECT_FALSE(platform::LeftButtonDown());
  platform::Sleep(1);
  EXPECT_EQ(Cursor(), std::pair(300, 200));

  Xdotool("search --name '^Tonkalo$' windowmove " + std::to_string(left_ - 40) + " " + std::to_string(top_ - 30));
  EXPECT_EQ(CursorBecomes({340, 230}), std::pair(340, 230));
  // Without a window manager X leaves the window where it is on F11, and SDL takes it
  // to fill the screen from its corner: the cursor reads the pointer there.
  Xdotool("mousemove 1000 800");
  Passes(4);
  Xdotool("key F11");
  const std::pair<int, int> full{(1000 - 40) / 3, (800 - 80) / 3};  // scale 3 at (40, 80)
  EXPECT_EQ(CursorBecomes(full), full);
  Passes(16);  // WM_SIZE

  for (const char* key : {"Escape", "ctrl+q"}) {
    Xdotool(std::string("key ") + key);
    EXPECT_EQ(Expect({{platform::WM_CLOSE, 0}}), (Sent{{platform::WM_CLOSE, 0}})) << key;
  }
  Xdotool("key q m m s s");
  EXPECT_EQ(Passes(8), Sent{});
}

// P pauses inside the message pump: the window shows the frame dimmed, the music stops,
// the game's clock stands still; the click that resumes never reaches the game.
TEST_F(SdlBackend, PauseStopsTheClockAndTheMusicAndTheResumingClickIsNotTheGames) {
  testsupport::WriteFile(dir_ + "/long.wav", ToneWav(4.0, 330.0));
  OpenWindow(1);
  platform::Music(platform::MusicCommand::Open, (dir_ + "/long.wav").c_str());
  platform::Music(platform::MusicCommand::Play);
  PointAt(100, 100);
  const double playing = Heard();
  HeardUpTo(playing + 0.6);
  // From another process, as a player would: P; once the window shows the frame dimmed
  // (0x336699 halved), half a second of sound later, a click.
  const std::string audio = dir_ + "/audio.raw", at = std::to_string(left_ + 5) + "+" + std::to_string(top_ + 5);
  std::system(("(xdotool key p; for i in $(seq 400); do import -window root -crop 1x1+" + at +
               " -depth 8 txt:- | grep -q '#19334C' && break; done; s=$(stat -c%s " + audio + "); echo $s >" +
               dir_ + "/dimmed; while [ $(stat -c%s " + audio + ") -lt $((s + 88200)) ]; do :; done;" +
               " xdotool click 1) >/dev/null 2>&1 &").c_str());
  long longest = 0;  // wall time minus game time over one pass
  Sent seen;
  for (int n = 0; n < kPatience && !testsupport::FileExists(dir_ + "/dimmed"); ++n) {
    const auto wall0 = std::chrono::steady_clock::now();
    const std::uint32_t tick0 = platform::GetTickCount();
    const Sent more = Passes(1);
    seen.insert(seen.end(), more.begin(), more.end());
    const long wall = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - wall0).count();
    longest = std::max(longest, wall - static_cast<long>(platform::GetTickCount() - tick0));
  }
  const double resumed = Heard();
  EXPECT_EQ(seen, Sent{});
  EXPECT_FALSE(platform::LeftButtonDown());
  EXPECT_GE(longest, 300) << "the game's clock ran on while paused";
  const double dimmed = std::stod(testsupport::ReadFile(dir_ + "/dimmed")) / 176400;
  EXPECT_GT(Peak(playing + 0.1, playing + 0.5), 4000);
  EXPECT_LT(Peak(dimmed + 0.1, dimmed + 0.45), 100);
  EXPECT_GT(Peak(resumed + 0.1, resumed + 0.4), 4000);  // the music goes on after the pause
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
  PointAt(320, 240);
  platform::Music(platform::MusicCommand::Open, (dir_ + "/long.wav").c_str());
  platform::Music(platform::MusicCommand::Play);
  // Where each switch took effect in the sound written, and what was heard after it.
  std::vector<double> at;
  for (const char* keys : {"", "m", "m s", "s"}) {
    if (*keys) Xdotool(std::string("key ") + keys);
    Passes(2);
    if (std::string(keys).find('s') != std::string::npos) play();
    at.push_back(Heard());
    HeardUpTo(at.back() + 0.6);
  }
  EXPECT_LT(Peak(at[0] + 0.1, at[0] + 0.5), 100);           // music off at start
  EXPECT_NEAR(Peak(at[1] + 0.1, at[1] + 0.5), 6000, 800);   // M: on, at half volume
  EXPECT_LT(Peak(at[2] + 0.1, at[2] + 0.5), 100);           // M off, S off
  EXPECT_NEAR(Peak(at[3] + 0.05, at[3] + 0.4), 6000, 800);  // S on: the effect
  platform::Shutdown();

  options.sound = false;
  std::remove((dir_ + "/audio.raw").c_str());
  OpenWindow(1, options);
  play();
  platform::Shutdown();
  EXPECT_FALSE(testsupport::FileExists(dir_ + "/audio.raw"));
}

// The window takes its icon from icons/tonkalo.bmp in the data folder when it is there.
// Its surface sends only what changed since the frame it shows, so that frame must be
// the one last sent: frames in turn land whole, and black after red is black.
TEST_F(SdlBackend, TheIconComesFromTheDataFolderAndTheWindowShowsEachFrameWhole) {
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
  for (const auto* pixels : {frame_.data(), other.data(), frame_.data()}) platform::Present(pixels, 640, 480);
  frame_ = other;
  EXPECT_TRUE(Shows(5, 5, "\x10\x20\x30"));
  EXPECT_TRUE(Shows(9, 9, "\x33\x66\x99"));
  frame_.assign(640 * 480, 0xFF0000);
  Passes(2);
  frame_.assign(640 * 480, 0);
  EXPECT_TRUE(Shows(320, 240, std::string(3, '\0'))) << "the window kept the red frame";
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
  EXPECT_EQ(Expect(stopped), stopped);
  platform::Music(MusicCommand::Replay);  // the last path, from its start
  EXPECT_EQ(Expect(stopped), stopped);

  platform::Music(MusicCommand::Open, (dir_ + "/long.wav").c_str());
  platform::Music(MusicCommand::Play);
  Passes(12);
  for (MusicCommand c : {MusicCommand::Stop, MusicCommand::Play, MusicCommand::Close}) platform::Music(c);
  EXPECT_EQ(Passes(40), Sent{});
  testing::internal::CaptureStderr();
  platform::Music(MusicCommand::Open, (dir_ + "/missing.mp3").c_str());
  platform::Music(MusicCommand::Play);
  EXPECT_EQ(Passes(20), Sent{});
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said.find("tonkalo: cannot play the music '" + dir_ + "/missing.mp3': "), 0u) << said;
  EXPECT_TRUE(Shows(320, 30, "\x33\x66\x99", false)) << "no label";
}

// Each key shows its label over the frame for a moment (the frame itself is not
// drawn on) and is kept in the settings file beside the record when the game ends.
TEST_F(SdlBackend, KeysShowALabelAndAreKeptBesideTheRecord) {
  OpenWindow(1);
  Xdotool("mousemove " + Screen(600, 400) + " key minus minus equal m s");
  EXPECT_TRUE(Shows(320, 30, "\x33\x66\x99", false)) << "no label";
  EXPECT_EQ(frame_[30 * 640 + 320], 0x336699u);
  EXPECT_TRUE(Shows(320, 30, "\x33\x66\x99")) << "the label stayed";
  EXPECT_FALSE(testsupport::FileExists(dir_ + "/settings.txt"));  // kept at the end
  platform::Shutdown();
  EXPECT_EQ(testsupport::ReadFile(dir_ + "/settings.txt"), "music off\nsound off\nvolume 90\n");
}

}  // namespace
