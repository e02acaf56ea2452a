// The HUD: counter boxes, colour gauges, bonus pop-ups, countdown and start banner, and
// the results panel, on the headless platform with small pictures written here.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "hud/countdown.h"
#include "hud/counter_box.h"
#include "hud/gauges.h"
#include "hud/popups.h"
#include "hud/results.h"
#include "platform/gdi.h"
#include "platform/headless/control.h"
#include "platform/platform.h"

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kGreen = 0x00FF00;

// Pixels as 0x00RRGGBB, rows top to bottom.
struct Picture {
  int width;
  int height;
  std::vector<std::uint32_t> pixels;
  Picture(int w, int h, std::uint32_t fill) : width(w), height(h), pixels(w * h, fill) {}
  void Fill(int x, int y, int w, int h, std::uint32_t colour) {
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) pixels[j * width + i] = colour;
  }
};

void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// A bottom-up 24-bit BMP file.
void WriteBmp(const std::string& path, const Picture& pic) {
  const int stride = (pic.width * 3 + 3) & ~3;
  std::string out;
  out += "BM";
  Put32(out, 54 + stride * pic.height);
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, pic.width);
  Put32(out, pic.height);
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);
  Put32(out, stride * pic.height);
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = pic.height - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < pic.width; ++x) {
      const std::uint32_t p = pic.pixels[y * pic.width + x];
      row.push_back(static_cast<char>(p & 0xFF));
      row.push_back(static_cast<char>((p >> 8) & 0xFF));
      row.push_back(static_cast<char>((p >> 16) & 0xFF));
    }
    row.resize(stride, '\0');
    out += row;
  }
  WriteBytes(path, out);
}

// A 640 x 480 colour bitmap in a memory context, black to start with.
struct Screen {
  gdi::HDC dc;
  gdi::HBITMAP bmp;
  Screen() : dc(gdi::CreateCompatibleDC(0)), bmp(gdi::CreateCompatibleBitmap(0, 640, 480)) {
    gdi::SelectObject(dc, bmp);
  }
  ~Screen() {
    gdi::DeleteDC(dc);
    gdi::DeleteObject(bmp);
  }
  std::uint32_t At(int x, int y) const {
    return static_cast<std::uint32_t>(gdi::PixelAt(bmp, x, y));
  }
  void Clear() {
    Screen* blank = BlankSource();
    gdi::BitBlt(dc, 0, 0, 640, 480, blank->dc, 0, 0, gdi::SRCCOPY);
  }
  // The smallest rectangle holding every pixel of `colour`: left, top, right, bottom
  // inclusive, or all -1 when there is none.
  void Bounds(std::uint32_t colour, int* l, int* t, int* r, int* b) const {
    *l = *t = *r = *b = -1;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x)
        if (At(x, y) == colour) {
          if (*l < 0 || x < *l) *l = x;
          if (*t < 0) *t = y;
          if (x > *r) *r = x;
          *b = y;
        }
  }
  static Screen* BlankSource() {
    static Screen blank;
    return &blank;
  }
};

// Runs every test in a folder of its own, with its BMP folder, on the headless platform.
class HudTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool started = false;
    if (!started) {
      platform::Options o;
      o.headless = true;
      std::string err;
      ASSERT_TRUE(platform::Init(o, err)) << err;
      started = true;
    }
  }
  void SetUp() override {
    ASSERT_NE(getcwd(oldDir, sizeof oldDir), nullptr);
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir = std::filesystem::temp_directory_path() /
          ("tonkalo_hud_" + std::to_string(getpid()) + "_" + name);
    std::filesystem::create_directories(dir + "/BMP");
    ASSERT_EQ(chdir(dir.c_str()), 0);
    headless::SetTick(1000);
    headless::ClearRecords();
  }
  void TearDown() override {
    ASSERT_EQ(chdir(oldDir), 0);
    std::filesystem::remove_all(dir);
  }

  std::vector<int> Sounds() const { return headless::PlayedSounds(); }

  char oldDir[4096];
  std::string dir;
};

// --- counter boxes ------------------------------------------------------------------

TEST_F(HudTest, NumberBoxResetMarksNothingDrawnUnlessTheValueIs999) {
  CNumberBox box;
  box.AddPending(7);
  box.Reset(60);
  EXPECT_EQ(box.Counter().value, 60);
  EXPECT_EQ(box.Counter().pending, 0);
  EXPECT_EQ(box.Counter().drawnValue, 999);
  box.Reset(999);
  EXPECT_EQ(box.Counter().value, 999);
  EXPECT_EQ(box.Counter().drawnValue, 0);
  box.Reset(0);
  EXPECT_EQ(box.Counter().drawnValue, 999);
}

TEST_F(HudTest, NumberBoxStepDrainsPendingOneUnitAtATimeBothWays) {
  CNumberBox box;
  box.Reset(20);
  box.Pending() += 3;  // the board's way in
  box.AddPending(-1);
  for (int i = 1; i <= 2; ++i) {
    box.Step();
    EXPECT_EQ(box.GetValue(), 20 + i);
    EXPECT_EQ(box.Counter().pending, 2 - i);
  }
  box.Step();
  EXPECT_EQ(box.GetValue(), 22);
  EXPECT_EQ(box.Counter().pending, 0);

  // A minus-30 s item with 20 s left: one second per tick, past zero.
  box.Reset(20);
  box.Pending() -= 30;
  for (int i = 0; i < 30; ++i) box.Step();
  EXPECT_EQ(box.GetValue(), -10);
  EXPECT_EQ(box.Counter().pending, 0);
  box.AddValue(-1);
  EXPECT_EQ(box.GetValue(), -11);
  box.SetValue(5);
  EXPECT_EQ(box.GetValue(), 5);
  EXPECT_EQ(box.Counter().pending, 0);
}

// Red time digits 0..9 and the colon in 24-pixel cells; glyph g's cell is the colour
// (g + 1) * 0x10 in the red channel, so a cell tells which glyph was copied.
std::uint32_t GlyphColour(int g) { return static_cast<std::uint32_t>((g + 1) * 0x10) << 16; }

Picture DigitStrip(int glyphs, int cell) {
  Picture p(glyphs * cell, 36, kBlack);
  for (int g = 0; g < glyphs; ++g) p.Fill(g * cell + 2, 2, cell - 4, 30, GlyphColour(g));
  return p;
}

TEST_F(HudTest, NegativeTimeIsDrawnAsZeroAndStoredAsZero) {
  WriteBmp("BMP/moji_aka.bmp", DigitStrip(11, 24));
  CNumberBox box;
  ASSERT_EQ(box.LoadDigits("BMP/moji_aka.bmp", gdi::RGB(0, 0, 0), 24), 1);
  box.Reset(20);
  box.AddPending(-30);
  for (int i = 0; i < 30; ++i) box.Step();
  ASSERT_EQ(box.GetValue(), -10);

  Screen s;
  box.DrawTime(s.dc, 408, 183, 1);
  EXPECT_EQ(box.GetValue(), 0);
  EXPECT_EQ(box.Counter().drawnValue, 0);
  // 00:00, the time cells copied opaquely.
  const int glyphs[5] = {0, 0, 10, 0, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(s.At(408 + 24 * i + 12, 183 + 16), GlyphColour(glyphs[i]));
  EXPECT_EQ(s.At(408 + 1, 183 + 1), kBlack);
}

TEST_F(HudTest, NumberDrawSkipsAnUnchangedValueUnlessForced) {
  WriteBmp("BMP/moji_shiro.bmp", DigitStrip(10, 20));
  CNumberBox box;
  ASSERT_EQ(box.LoadDigits("BMP/moji_shiro.bmp", gdi::RGB(0, 0, 0), 20), 1);
  box.Reset(105);
  Screen s;
  box.DrawScore(s.dc, 0, 0, 0);  // 999 stands for nothing drawn yet: this one draws
  EXPECT_EQ(box.Counter().drawnValue, 105);
  EXPECT_EQ(s.At(3 * 20 + 10, 16), GlyphColour(1));
  EXPECT_EQ(s.At(4 * 20 + 10, 16), GlyphColour(0));
  EXPECT_EQ(s.At(5 * 20 + 10, 16), GlyphColour(5));
  EXPECT_EQ(s.At(2 * 20 + 10, 16), kBlack);

  s.Clear();
  box.DrawScore(s.dc, 0, 0, 0);
  EXPECT_EQ(s.At(5 * 20 + 10, 16), kBlack);
  box.DrawScore(s.dc, 0, 0, 1);
  EXPECT_EQ(s.At(5 * 20 + 10, 16), GlyphColour(5));

  s.Clear();
  box.Step();  // nothing pending: unchanged
  box.AddValue(1);
  box.DrawScore(s.dc, 0, 0, 0);
  EXPECT_EQ(s.At(5 * 20 + 10, 16), GlyphColour(6));
}

TEST_F(HudTest, IconTriggerTakesTheThresholdOffOncePerCall) {
  CIconBox stars;
  stars.Reset(6, 10);
  stars.IconCount() = 23;
  EXPECT_EQ(stars.TakeTrigger(), 1);
  EXPECT_EQ(stars.IconCount(), 13);
  EXPECT_EQ(stars.IsAnimating(), 1);
  EXPECT_EQ(stars.TakeTrigger(), 1);
  EXPECT_EQ(stars.IconCount(), 3);
  EXPECT_EQ(stars.TakeTrigger(), 0);
  EXPECT_EQ(stars.IconCount(), 3);

  CIconBox misses;
  misses.Reset(10, 10);
  misses.IconCount() = 9;
  EXPECT_EQ(misses.TakeTrigger(), 0);
  misses.IconCount() += 1;
  EXPECT_EQ(misses.TakeTrigger(), 1);
  EXPECT_EQ(misses.IconCount(), 0);

  misses.Reset(10, 10);
  EXPECT_EQ(misses.IsAnimating(), 0);
  EXPECT_EQ(misses.GetDrawnCount(), 999);
  EXPECT_EQ(misses.GetRepeats(), 10);
  EXPECT_EQ(misses.GetThreshold(), 10);
}

TEST_F(HudTest, IconBoxAnimationIgnoresForceAndCountUntilItsRunsAreOver) {
  // 6 x 6 icons: a red star, its sparkle frames blue and cyan.
  constexpr std::uint32_t kRed = 0xE00000, kBlue = 0x0000E0, kCyan = 0x00E0E0;
  Picture icon(6, 6, kRed), frame0(6, 6, kBlue), frame1(6, 6, kCyan);
  WriteBmp("BMP/icon.bmp", icon);
  WriteBmp("BMP/f0.bmp", frame0);
  WriteBmp("BMP/f1.bmp", frame1);
  CIconBox box;
  box.LoadIcons("BMP/icon.bmp", gdi::RGB(255, 255, 255), nullptr, 0, 5, 2);
  box.LoadAnimation(2, 100, 5, 2);
  box.LoadFrame(0, "BMP/f0.bmp", gdi::RGB(255, 255, 255));
  box.LoadFrame(1, "BMP/f1.bmp", gdi::RGB(255, 255, 255));
  box.Reset(1, 10);  // two cycles per trigger

  Screen s;
  box.IconCount() = 7;
  box.Draw(s.dc, 100, 50, 0);
  EXPECT_EQ(box.GetDrawnCount(), 7);
  EXPECT_EQ(s.At(100 + 6 * 4 + 3, 50 + 3), kRed);
  EXPECT_EQ(s.At(100 + 6 * 1 + 3, 50 + 6 + 3), kRed);
  EXPECT_EQ(s.At(100 + 6 * 2 + 3, 50 + 6 + 3), kBlack);

  box.IconCount() = 13;
  ASSERT_EQ(box.TakeTrigger(), 1);
  std::uint32_t tick = 5000;
  headless::SetTick(tick);
  int draws = 0;
  while (box.IsAnimating() == 1 && draws < 100) {
    s.Clear();
    box.Draw(s.dc, 100, 50, 1);
    ++draws;
    // All ten cells show the current frame, whatever the count or force.
    const std::uint32_t first = s.At(103, 53);
    EXPECT_TRUE(first == kBlue || first == kCyan);
    EXPECT_EQ(s.At(100 + 6 * 4 + 3, 50 + 6 + 3), first);
    EXPECT_EQ(box.GetDrawnCount(), 7);
    tick += 60;
    headless::SetTick(tick);
  }
  EXPECT_EQ(box.IsAnimating(), 0);
  EXPECT_EQ(box.GetCyclesPlayed(), 0);
  // Two cycles of two frames, each frame held for more than 100 ms at 60 ms a draw:
  // five draws for the first cycle (its timer starts at the first draw), four for the
  // second (frame 0 shows again in the draw after the wrap).
  EXPECT_EQ(draws, 9);

  s.Clear();
  box.Draw(s.dc, 100, 50, 0);
  EXPECT_EQ(box.GetDrawnCount(), 3);
  EXPECT_EQ(s.At(100 + 6 * 2 + 3, 53), kRed);
  EXPECT_EQ(s.At(100 + 6 * 3 + 3, 53), kBlack);
}

// --- colour gauges ------------------------------------------------------------------

constexpr int kFrameX[4] = {65, 275, 495, 495};
constexpr int kFrameY[4] = {392, 392, 392, 352};
constexpr std::uint32_t kFillColour[4] = {0xE63946, 0x3A86FF, 0x2EC27E, 0xFFC93C};
constexpr std::uint32_t kMaxColour = 0xFF00FF;

// A wall whose pixel (x, y) is 0x00xxyyYY-ish: red from x, green and blue from y.
std::uint32_t WallPixel(int x, int y) {
  return (static_cast<std::uint32_t>(x & 0xFF) << 16) |
         (static_cast<std::uint32_t>(y & 0xFF) << 8) | static_cast<std::uint32_t>(y >> 8);
}

struct GaugeFiles {
  explicit GaugeFiles(int wallWidth, int wallHeight) {
    Picture frame(121, 30, kWhite);
    frame.Fill(0, 0, 121, 1, 0x1B1B2F);
    WriteBmp("BMP/GaugeWaku.bmp", frame);
    const char* fills[4] = {"R", "B", "G", "Y"};
    const char* letters[4] = {"red", "blue", "green", "yellow"};
    for (int i = 0; i < 4; ++i) {
      WriteBmp(std::string("BMP/GaugeNakami_") + fills[i] + ".bmp",
               Picture(117, 24, kFillColour[i]));
      Picture letter(20, 10, kWhite);
      letter.Fill(2, 2, 16, 6, 0x101010 * (i + 1));
      WriteBmp(std::string("BMP/letter_") + letters[i] + ".bmp", letter);
    }
    Picture max(10, 8, kMaxColour);
    WriteBmp("BMP/MAX2.bmp", max);
    Picture wall(wallWidth, wallHeight, 0);
    for (int y = 0; y < wallHeight; ++y)
      for (int x = 0; x < wallWidth; ++x) wall.pixels[y * wallWidth + x] = WallPixel(x, y);
    WriteBmp("BMP/wall.bmp", wall);
  }
};

struct WallDC {
  gdi::HDC dc;
  gdi::HBITMAP bmp;
  WallDC() : dc(gdi::CreateCompatibleDC(0)), bmp(gdi::LoadBitmapFromFile("BMP/wall.bmp")) {
    gdi::SelectObject(dc, bmp);
  }
  ~WallDC() {
    gdi::DeleteDC(dc);
    gdi::DeleteObject(bmp);
  }
};

// Width of the run of `colour` starting at (x, y).
int RunWidth(const Screen& s, int x, int y, std::uint32_t colour) {
  int w = 0;
  while (x + w < 640 && s.At(x + w, y) == colour) ++w;
  return w;
}

TEST_F(HudTest, GaugeFillWidthsFollowTheLevelInFifteenths) {
  GaugeFiles files(640, 531);
  WallDC wall;
  CGaugeSet gauges;
  gauges.Init(0, wall.dc);
  const int expected[16] = {0, 7, 15, 23, 31, 39, 46, 54, 62, 70, 78, 85, 93, 101, 109, 117};
  Screen s;
  for (int level = 0; level <= 14; ++level) {
    s.Clear();
    gauges.DrawFills(s.dc);
    for (int g = 0; g < 4; ++g) {
      EXPECT_EQ(gauges.GetLevel(g), level);
      EXPECT_EQ(RunWidth(s, kFrameX[g] + 2, kFrameY[g] + 3, kFillColour[g]), expected[level])
          << "gauge " << g << " level " << level;
      EXPECT_EQ(RunWidth(s, kFrameX[g] + 2, kFrameY[g] + 3 + 23, kFillColour[g]),
                expected[level]);
      EXPECT_EQ(s.At(kFrameX[g] + 2, kFrameY[g] + 3 + 24), kBlack);
      gauges.AddPoint(g);
    }
  }
  // Level 15, drawn full with its MAX flag set.
  SetGaugeBlinkCounters(30, 30);
  s.Clear();
  gauges.DrawFills(s.dc);
  for (int g = 0; g < 4; ++g) {
    EXPECT_EQ(gauges.GetMaxFlag(g), 1);
    EXPECT_EQ(RunWidth(s, kFrameX[g] + 2, kFrameY[g] + 3, kFillColour[g]), 117);
  }
}

TEST_F(HudTest, GaugeReachingFifteenIsCollectedAtOnceAndKeepsShowingFull) {
  GaugeFiles files(640, 531);
  WallDC wall;
  CGaugeSet gauges;
  gauges.Init(0, wall.dc);
  for (int i = 0; i < 14; ++i) gauges.AddPoint(GAUGE_GREEN);
  EXPECT_EQ(gauges.GetMaxFlag(GAUGE_GREEN), 0);
  EXPECT_EQ(gauges.CollectFull(), 0);
  gauges.AddPoint(GAUGE_GREEN);
  EXPECT_EQ(gauges.GetLevel(GAUGE_GREEN), 15);
  EXPECT_EQ(gauges.GetMaxFlag(GAUGE_GREEN), 1);
  EXPECT_EQ(gauges.CollectFull(), 1);
  EXPECT_EQ(gauges.GetLevel(GAUGE_GREEN), 0);
  EXPECT_EQ(gauges.GetMaxFlag(GAUGE_GREEN), 1);
  EXPECT_EQ(gauges.CollectFull(), 0);

  // New points raise the real level while the gauge still shows full.
  SetGaugeBlinkCounters(30, 30);
  gauges.AddPoint(GAUGE_GREEN);
  Screen s;
  gauges.DrawFills(s.dc);
  EXPECT_EQ(gauges.GetLevel(GAUGE_GREEN), 1);
  EXPECT_EQ(RunWidth(s, kFrameX[2] + 2, kFrameY[2] + 3, kFillColour[2]), 117);

  // Two gauges full in the same frame are both collected.
  for (int i = 0; i < 15; ++i) {
    gauges.AddPoint(GAUGE_RED);
    gauges.AddPoint(GAUGE_YELLOW);
  }
  EXPECT_EQ(gauges.CollectFull(), 2);

  // The level tops out at 15.
  for (int i = 0; i < 40; ++i) gauges.AddPoint(GAUGE_BLUE);
  EXPECT_EQ(gauges.GetLevel(GAUGE_BLUE), 15);
  EXPECT_EQ(gauges.CollectFull(), 1);
  EXPECT_EQ(gauges.GetLevel(GAUGE_BLUE), 0);

  gauges.Reset();
  for (int g = 0; g < 4; ++g) {
    EXPECT_EQ(gauges.GetLevel(g), 0);
    EXPECT_EQ(gauges.GetMaxFlag(g), 0);
  }
  // Level 0 without MAX draws no fill.
  s.Clear();
  gauges.DrawFills(s.dc);
  for (int g = 0; g < 4; ++g) EXPECT_EQ(s.At(kFrameX[g] + 2, kFrameY[g] + 3), kBlack);
}

bool MaxShown(const Screen& s, int g) {
  return s.At(kFrameX[g] + 25 + 5, kFrameY[g] + 1) == kMaxColour;
}

TEST_F(HudTest, OneGaugeAtMaxBlinksFifteenOfThirtyFramesForNineHundredFrames) {
  GaugeFiles files(640, 531);
  WallDC wall;
  CGaugeSet gauges;
  gauges.Init(0, wall.dc);
  SetGaugeBlinkCounters(30, 30);
  for (int i = 0; i < 15; ++i) gauges.AddPoint(GAUGE_RED);
  ASSERT_EQ(gauges.CollectFull(), 1);
  Screen s;
  int shown = 0;
  for (int frame = 1; frame <= 900; ++frame) {
    s.Clear();
    gauges.DrawFills(s.dc);
    const int phase = frame % 30;
    EXPECT_EQ(MaxShown(s, 0), phase >= 15) << "frame " << frame;
    // Below the 8-row mark, which covers the fill's top rows.
    EXPECT_EQ(RunWidth(s, kFrameX[0] + 2, kFrameY[0] + 10, kFillColour[0]), 117);
    shown += MaxShown(s, 0) ? 1 : 0;
    EXPECT_EQ(gauges.GetMaxFlag(0), frame < 900 ? 1 : 0) << "frame " << frame;
  }
  EXPECT_EQ(shown, 15 * 30);
  EXPECT_EQ(GaugeBlinkInner(), 30);
  EXPECT_EQ(GaugeBlinkOuter(), 30);
  // Afterwards the real level, 0, shows: no fill, no mark.
  s.Clear();
  gauges.DrawFills(s.dc);
  EXPECT_EQ(s.At(kFrameX[0] + 2, kFrameY[0] + 3), kBlack);
  EXPECT_FALSE(MaxShown(s, 0));
}

TEST_F(HudTest, TwoGaugesAtMaxShareTheCountersAndTheLastToWrapLeaves) {
  GaugeFiles files(640, 531);
  WallDC wall;
  CGaugeSet gauges;
  gauges.Init(0, wall.dc);
  SetGaugeBlinkCounters(30, 30);
  for (int i = 0; i < 15; ++i) {
    gauges.AddPoint(GAUGE_RED);
    gauges.AddPoint(GAUGE_BLUE);
  }
  ASSERT_EQ(gauges.CollectFull(), 2);
  Screen s;
  for (int frame = 1; frame <= 450; ++frame) {
    s.Clear();
    gauges.DrawFills(s.dc);
    // Red counts the inner counter down to 31 - 2k, blue to 30 - 2k, within each
    // 15-frame cycle k: twice as fast as one gauge alone.
    const int k = (frame - 1) % 15 + 1;
    EXPECT_EQ(MaxShown(s, 0), k >= 8) << "frame " << frame;
    EXPECT_EQ(MaxShown(s, 1), k >= 8 && k <= 14) << "frame " << frame;
    if (frame < 450) {
      ASSERT_EQ(gauges.GetMaxFlag(0), 1);
      ASSERT_EQ(gauges.GetMaxFlag(1), 1);
    }
  }
  // Blue's draw made the final outer wrap: blue leaves, red starts a fresh 30 x 30 run.
  EXPECT_EQ(gauges.GetMaxFlag(0), 1);
  EXPECT_EQ(gauges.GetMaxFlag(1), 0);
  EXPECT_EQ(GaugeBlinkInner(), 30);
  EXPECT_EQ(GaugeBlinkOuter(), 30);
  for (int frame = 1; frame <= 900; ++frame) {
    s.Clear();
    gauges.DrawFills(s.dc);
  }
  EXPECT_EQ(gauges.GetMaxFlag(0), 0);
}

TEST_F(HudTest, GaugeFramesHoldTheWallSampleUnderTheFramePicture) {
  GaugeFiles files(640, 531);
  WallDC wall;
  CGaugeSet gauges;
  gauges.Init(0, wall.dc);
  Screen s;
  gauges.DrawFrames(s.dc);
  for (int g = 0; g < 4; ++g) {
    // Row 0 is the frame's dark edge; inside, the key-white shows the wall sampled at
    // (470, 396 + 35 g), not the wall under the gauge.
    EXPECT_EQ(s.At(kFrameX[g] + 60, kFrameY[g]), 0x1B1B2Fu);
    EXPECT_EQ(s.At(kFrameX[g] + 5, kFrameY[g] + 7), WallPixel(475, 396 + 35 * g + 7));
    EXPECT_EQ(s.At(kFrameX[g] + 120, kFrameY[g] + 29), WallPixel(590, 396 + 35 * g + 29));
  }
  EXPECT_EQ(s.At(10 + 5, 395 + 4), 0x101010u);
  EXPECT_EQ(s.At(205 + 5, 395 + 4), 0x202020u);
  EXPECT_EQ(s.At(405 + 5, 395 + 4), 0x303030u);
  EXPECT_EQ(s.At(385 + 5, 355 + 4), 0x404040u);
  EXPECT_EQ(s.At(10, 395), kBlack);  // the letters' white is transparent
}

TEST_F(HudTest, GaugeFrameSampleBeyondTheWallKeepsTheFramePicturesWhite) {
  // A wall of 600 x 520: gauge 3 samples rows 501..530, its last 11 rows past the wall.
  GaugeFiles files(600, 520);
  WallDC wall;
  CGaugeSet gauges;
  gauges.Init(0, wall.dc);
  CDrawDCBMP& frame = gauges.Gauge(GAUGE_YELLOW).FrameCanvas();
  ASSERT_EQ(frame.GetWidth(), 121);
  const gdi::HBITMAP bmp = gdi::CurrentBitmap(frame.GetMemDC());
  EXPECT_EQ(gdi::PixelAt(bmp, 5, 18), WallPixel(475, 519));
  EXPECT_EQ(gdi::PixelAt(bmp, 5, 19), kWhite);
  EXPECT_EQ(gdi::PixelAt(bmp, 5, 29), kWhite);
  EXPECT_EQ(gdi::PixelAt(bmp, 60, 0), 0x1B1B2F);
}

TEST_F(HudTest, MissingGaugeFrameLeavesLettersFillsAndMarks) {
  GaugeFiles files(640, 531);
  std::remove("BMP/GaugeWaku.bmp");
  WallDC wall;
  CGaugeSet gauges;
  gauges.Init(0, wall.dc);
  Screen s;
  gauges.DrawFrames(s.dc);
  EXPECT_EQ(s.At(kFrameX[0] + 5, kFrameY[0] + 7), kBlack);
  EXPECT_EQ(s.At(10 + 5, 395 + 4), 0x101010u);
  gauges.AddPoint(0);
  gauges.DrawFills(s.dc);
  EXPECT_EQ(RunWidth(s, kFrameX[0] + 2, kFrameY[0] + 3, kFillColour[0]), 7);
  gauges.Release();
  gauges.Release();
}

// --- bonus pop-ups ------------------------------------------------------------------

constexpr std::uint32_t kCellColour[3] = {0xC00000, 0x00C000, 0x0000C0};

void WriteMsg() {
  Picture msg(384, 48, 0x7F7F7F);
  for (int k = 0; k < 3; ++k) msg.Fill(128 * k, 0, 128, 48, kCellColour[k]);
  WriteBmp("BMP/MSG.bmp", msg);
}

TEST_F(HudTest, PopupSizesEaseFromWideToNormalThenSwell) {
  ResetPopups();
  AddPopup(POPUP_STARS);
  ASSERT_EQ(PopupCount(), 1);
  const CBonusPopup& p = PopupAt(0);
  EXPECT_EQ(p.Width(), 288);
  EXPECT_EQ(p.Height(), 79);
  EXPECT_EQ(p.Left(), 176);
  EXPECT_EQ(p.Top(), 201);
  StepPopups();
  EXPECT_EQ(p.age, 1);
  EXPECT_EQ(p.Width(), 282);
  EXPECT_EQ(p.Height(), 78);
  while (p.age < 361) StepPopups();
  EXPECT_EQ(p.Width(), 192);
  EXPECT_EQ(p.Height(), 72);
  while (p.age < 599) StepPopups();
  EXPECT_EQ(p.Width(), 229);
  EXPECT_EQ(p.Height(), 86);
  StepPopups();
  EXPECT_EQ(PopupCount(), 0);
}

TEST_F(HudTest, PopupIsStretchedFromItsCellOfTheBoundSprite) {
  WriteMsg();
  CDrawMaskBMP sprite;
  ASSERT_EQ(sprite.Load("BMP/MSG.bmp", gdi::RGB(127, 127, 127)), 1);
  ResetPopups();
  AddPopup(POPUP_GAUGE);
  Screen s;
  BindPopupSprite(nullptr);
  DrawPopups(s.dc);
  int l, t, r, b;
  s.Bounds(kCellColour[2], &l, &t, &r, &b);
  EXPECT_EQ(l, -1);

  BindPopupSprite(&sprite);
  DrawPopups(s.dc);
  s.Bounds(kCellColour[2], &l, &t, &r, &b);
  EXPECT_EQ(l, 176);
  EXPECT_EQ(r, 463);
  EXPECT_EQ(t, 201);
  EXPECT_EQ(b, 279);

  AddPopup(POPUP_STARS);
  s.Clear();
  DrawPopups(s.dc);
  s.Bounds(kCellColour[0], &l, &t, &r, &b);
  EXPECT_EQ(l, 176);
  EXPECT_EQ(t, 201 + 72);
  EXPECT_EQ(b, 279 + 72);
  BindPopupSprite(nullptr);
  ResetPopups();
}

TEST_F(HudTest, PopupRemovalMovesRecordsDownWithoutSteppingTheMovedOne) {
  ResetPopups();
  AddPopup(POPUP_STARS);  // A, offset 0
  for (int i = 0; i < 300; ++i) StepPopups();
  AddPopup(POPUP_GAUGE);  // B, offset 72
  EXPECT_EQ(PopupAt(1).offset, 72);
  for (int i = 0; i < 299; ++i) StepPopups();
  EXPECT_EQ(PopupAt(0).age, 599);
  EXPECT_EQ(PopupAt(1).age, 299);
  StepPopups();  // A finishes; B moves to slot 0 and misses this step
  ASSERT_EQ(PopupCount(), 1);
  EXPECT_EQ(PopupAt(0).kind, POPUP_GAUGE);
  EXPECT_EQ(PopupAt(0).age, 299);
  EXPECT_EQ(PopupAt(0).offset, 72);
  AddPopup(POPUP_STARS);  // one live: offset 72 again, over B
  EXPECT_EQ(PopupAt(1).offset, 72);
  StepPopups();
  EXPECT_EQ(PopupAt(0).age, 300);
  EXPECT_EQ(PopupAt(1).age, 1);

  // Two finishing in the same frame: the second goes one frame later.
  ResetPopups();
  EXPECT_EQ(PopupCount(), 0);
  AddPopup(POPUP_STARS);
  AddPopup(POPUP_GAUGE);
  for (int i = 0; i < 599; ++i) StepPopups();
  StepPopups();
  ASSERT_EQ(PopupCount(), 1);
  EXPECT_EQ(PopupAt(0).kind, POPUP_GAUGE);
  EXPECT_EQ(PopupAt(0).age, 599);
  StepPopups();
  EXPECT_EQ(PopupCount(), 0);
}

TEST_F(HudTest, AnEleventhPopupIsDropped) {
  ResetPopups();
  for (int i = 0; i < 11; ++i) AddPopup(i == 10 ? POPUP_GAUGE : POPUP_STARS);
  ASSERT_EQ(PopupCount(), 10);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(PopupAt(i).kind, POPUP_STARS);
    EXPECT_EQ(PopupAt(i).offset, 72 * i);
    EXPECT_FLOAT_EQ(PopupAt(i).scaleX, 1.5f);
    EXPECT_EQ(PopupAt(i).scaleY, 1.1f);
  }
  ResetPopups();
}

// --- countdown and start banner -----------------------------------------------------

constexpr std::uint32_t kDigitColour[3] = {0xC00000, 0x00C000, 0x0000C0};  // 3, 2, 1
constexpr std::uint32_t kBannerColour = 0xFFC93C;

void WriteCountdownPicture() {
  Picture p(192, 128, kGreen);
  for (int i = 0; i < 3; ++i) p.Fill(64 * i, 0, 64, 64, kDigitColour[i]);
  p.Fill(0, 64, 192, 64, kBannerColour);
  WriteBmp("BMP/321start.bmp", p);
}

TEST_F(HudTest, CountdownRunsThreeDigitsOf360StepsWithOneSoundEach) {
  CCountdown c;
  SetCountdownSoundFlags(0, 0);
  c.Reset();
  std::vector<int> soundSteps;
  int endedAt = 0;
  for (int step = 1; step <= 1080; ++step) {
    const std::size_t before = Sounds().size();
    const int r = c.Step();
    if (Sounds().size() != before) {
      EXPECT_EQ(Sounds().back(), 1);
      soundSteps.push_back(step);
    }
    if (r == 1) {
      endedAt = step;
      break;
    }
  }
  EXPECT_EQ(endedAt, 1080);
  EXPECT_EQ(soundSteps, (std::vector<int>{120, 480, 840}));
  EXPECT_EQ(c.GetDigit(), 0);
  EXPECT_EQ(c.GetRadius(), 640.0f);
  EXPECT_EQ(CountdownSoundFlag(), 0);
}

TEST_F(HudTest, CountdownCopiesSpiralInToTheCentre) {
  WriteCountdownPicture();
  CCountdown c;
  ASSERT_EQ(c.Load("BMP/321start.bmp"), 1);
  c.Reset();
  // The same single-precision steps, worked out here on their own.
  float angle = 0.785398006439209f;
  float radius = 640.0f;
  int zeroAt = 0;
  for (int step = 1; step <= 200; ++step) {
    c.Step();
    angle += 0.3f;
    radius += (0.0f - radius) / 30.0f;
    if (radius < 1.0f) radius = 0.0f;
    EXPECT_EQ(c.GetAngle(), angle);
    EXPECT_EQ(c.GetRadius(), radius);
    if (radius == 0.0f && zeroAt == 0) zeroAt = step;
    if (step == 1 || step == 2 || step == 50 || step == 120) {
      for (int i = 0; i < 4; ++i) {
        const float a = angle + (static_cast<float>(2 * i) * 3.141592f) / 4.0f;
        const float cs = static_cast<float>(std::cos(static_cast<double>(a)));
        const float sn = static_cast<float>(std::sin(static_cast<double>(a)));
        int x, y;
        c.CopyPosition(i, &x, &y);
        EXPECT_EQ(x, static_cast<int>(cs * radius + 288.0f)) << step << " " << i;
        EXPECT_EQ(y, static_cast<int>(sn * radius + 208.0f)) << step << " " << i;
      }
    }
  }
  EXPECT_EQ(zeroAt, 191);
  // After step 1: angle 1.0853980, radius 618.66669, the copies a quarter turn apart;
  // copy 2 lies at x -0.65, which truncates to 0.
  c.Reset();
  c.Step();
  const int expectX[4] = {576, -259, 0, 835};
  const int expectY[4] = {755, 496, -339, -80};
  int x, y;
  for (int i = 0; i < 4; ++i) {
    c.CopyPosition(i, &x, &y);
    EXPECT_EQ(x, expectX[i]) << i;
    EXPECT_EQ(y, expectY[i]) << i;
  }

  // At radius 0 every copy of digit 3 covers (288, 208) to (351, 271).
  for (int i = 0; i < 190; ++i) c.Step();
  ASSERT_EQ(c.GetRadius(), 0.0f);
  for (int i = 0; i < 4; ++i) {
    c.CopyPosition(i, &x, &y);
    EXPECT_EQ(x, 288);
    EXPECT_EQ(y, 208);
  }
  Screen s;
  c.Draw(s.dc);
  int l, t, r, b;
  s.Bounds(kDigitColour[0], &l, &t, &r, &b);
  EXPECT_EQ(l, 288);
  EXPECT_EQ(t, 208);
  EXPECT_EQ(r, 351);
  EXPECT_EQ(b, 271);
  // The next digit, 2, comes from the second cell.
  while (c.GetDigit() == 3) c.Step();
  while (c.GetRadius() != 0.0f) c.Step();
  s.Clear();
  c.Draw(s.dc);
  s.Bounds(kDigitColour[1], &l, &t, &r, &b);
  EXPECT_EQ(l, 288);
  EXPECT_EQ(b, 271);
  s.Bounds(kDigitColour[0], &l, &t, &r, &b);
  EXPECT_EQ(l, -1);
}

TEST_F(HudTest, StartBannerShrinksSettlesWithOneBellAndEndsAtFrame300) {
  WriteCountdownPicture();
  CCountdown c;
  ASSERT_EQ(c.Load("BMP/321start.bmp"), 1);
  SetCountdownSoundFlags(0, 0);
  c.Reset();
  Screen s;
  int l, t, r, b;
  for (int frame = 1; frame <= 310; ++frame) {
    s.Clear();
    const std::size_t before = Sounds().size();
    c.DrawStartBanner(s.dc);
    const bool bell = Sounds().size() != before;
    s.Bounds(kBannerColour, &l, &t, &r, &b);
    if (frame == 1) {
      EXPECT_EQ(static_cast<int>(c.GetBannerScale() * 192), 1090);
      EXPECT_EQ(static_cast<int>(c.GetBannerScale() * 64), 363);
      EXPECT_EQ(l, 0);  // 1090 wide from x -225: clipped to the screen
      EXPECT_EQ(r, 639);
      EXPECT_EQ(t, 240 - 181);
      EXPECT_EQ(b, 240 - 181 + 362);
    }
    if (frame <= 60) {
      EXPECT_GT(c.GetBannerScale(), 1.0f) << frame;
      EXPECT_FALSE(bell) << frame;
    } else if (frame < 300) {
      EXPECT_EQ(c.GetBannerScale(), 1.0f);
      EXPECT_EQ(bell, frame == 61) << frame;
      EXPECT_EQ(l, 224);
      EXPECT_EQ(t, 208);
      EXPECT_EQ(r, 415);
      EXPECT_EQ(b, 271);
    } else {
      EXPECT_EQ(l, -1) << frame;
      EXPECT_FALSE(bell);
      EXPECT_EQ(c.GetBannerFrames(), 300);
      EXPECT_EQ(BannerSoundFlag(), 0);
    }
    if (frame == 61) {
      EXPECT_EQ(Sounds().back(), 2);
    }
  }
}

TEST_F(HudTest, BannerFlagOutlivesAGameEndedBeforeFrame300) {
  CCountdown c;
  SetCountdownSoundFlags(0, 0);
  c.Reset();
  Screen s;
  for (int frame = 1; frame <= 100; ++frame) c.DrawStartBanner(s.dc);
  EXPECT_EQ(BannerSoundFlag(), 1);
  ASSERT_EQ(Sounds(), (std::vector<int>{2}));
  // Ten misses end that game; the next one starts.
  c.Reset();
  EXPECT_EQ(BannerSoundFlag(), 1);
  for (int frame = 1; frame <= 299; ++frame) c.DrawStartBanner(s.dc);
  EXPECT_EQ(c.GetBannerScale(), 1.0f);
  EXPECT_EQ(Sounds(), (std::vector<int>{2}));
  c.DrawStartBanner(s.dc);
  EXPECT_EQ(BannerSoundFlag(), 0);
  c.Reset();
  for (int frame = 1; frame <= 61; ++frame) c.DrawStartBanner(s.dc);
  EXPECT_EQ(Sounds(), (std::vector<int>{2, 2}));
}

TEST_F(HudTest, CountdownWithoutItsPictureStillCountsAndSounds) {
  CCountdown c;
  EXPECT_EQ(c.Load("BMP/321start.bmp"), 0);
  headless::ClearRecords();
  SetCountdownSoundFlags(0, 0);
  c.Reset();
  Screen s;
  int steps = 0;
  while (c.Step() == 0) {
    c.Draw(s.dc);
    ++steps;
  }
  EXPECT_EQ(steps + 1, 1080);
  EXPECT_EQ(Sounds(), (std::vector<int>{1, 1, 1}));
  int l, t, r, b;
  s.Bounds(kDigitColour[0], &l, &t, &r, &b);
  EXPECT_EQ(l, -1);
}

// --- results panel ------------------------------------------------------------------

// Steps the panel until Step returns 1 (at most `limit` steps); returns the step count
// and the steps at which each sound played.
struct ResultRun {
  int finishedAt = 0;
  int restFrom = 0;
  std::vector<std::pair<int, int>> sounds;  // (step, effect)
};

ResultRun RunPanel(CResultPanel& panel, int finalScore, int limit) {
  ResultRun run;
  for (int step = 1; step <= limit; ++step) {
    const std::size_t before = headless::PlayedSounds().size();
    const int r = panel.Step(finalScore);
    for (std::size_t i = before; i < headless::PlayedSounds().size(); ++i)
      run.sounds.emplace_back(step, headless::PlayedSounds()[i]);
    if (run.restFrom == 0 && panel.AtRest()) run.restFrom = step;
    if (r == 1 && run.finishedAt == 0) run.finishedAt = step;
  }
  return run;
}

std::vector<int> StepsOf(const ResultRun& run, int effect) {
  std::vector<int> steps;
  for (const auto& s : run.sounds)
    if (s.second == effect) steps.push_back(s.first);
  return steps;
}

TEST_F(HudTest, ResultBoxFallsBouncesAndRests) {
  CResultPanel panel;
  SetResultCounters(0, 0);
  panel.Reset(0);
  EXPECT_EQ(panel.GetHeight(), 400.0f);
  for (int step = 1; step <= 39; ++step) panel.Step(0);
  EXPECT_EQ(panel.GetHeight(), 10.0f);
  panel.Step(0);
  EXPECT_EQ(panel.GetSpeed(), 12.0f);
  EXPECT_EQ(panel.GetHeight(), 2.0f);

  panel.Reset(0);
  const ResultRun run = RunPanel(panel, 0, 200);
  EXPECT_EQ(StepsOf(run, 6), (std::vector<int>{40, 88, 116, 132, 142, 148, 151, 153}));
  EXPECT_EQ(run.restFrom, 151);
  // A score of 0 completes at the first counting step: finished as soon as it rests.
  EXPECT_EQ(run.finishedAt, 151);
  EXPECT_EQ(panel.GetHeight(), 0.0f);
  EXPECT_EQ(panel.GetSpeed(), 0.1875f);
  EXPECT_TRUE(StepsOf(run, 8).empty());
}

TEST_F(HudTest, ResultRestsAtStep151WithSpeedAboutPoint39) {
  CResultPanel panel;
  panel.Reset(0);
  for (int step = 1; step <= 150; ++step) {
    panel.Step(0);
    EXPECT_FALSE(panel.AtRest()) << step;
  }
  panel.Step(0);
  EXPECT_TRUE(panel.AtRest());
  EXPECT_NEAR(panel.GetSpeed(), 0.392f, 0.001f);
}

TEST_F(HudTest, ResultCountTakesItsWorkedNumberOfSteps) {
  struct Case {
    int score;
    int steps;
    int ticks;
  } cases[] = {{1000, 320, 10}, {999999, 276, 9}, {60, 4, 0}, {59, 2, 0}, {0, 1, 0}};
  for (const Case& c : cases) {
    CResultPanel panel;
    SetResultCounters(0, 0);
    panel.Reset(0);
    const ResultRun run = RunPanel(panel, c.score, 800);
    EXPECT_EQ(run.finishedAt - run.restFrom + 1, c.steps) << c.score;
    EXPECT_EQ(static_cast<int>(StepsOf(run, 8).size()), c.ticks) << c.score;
    EXPECT_EQ(panel.GetShownScore(), c.score);
    EXPECT_EQ(panel.GetBannerFlag(), 0);
  }
}

TEST_F(HudTest, ResultCountersCarryOverBetweenPanels) {
  CResultPanel panel;
  SetResultCounters(1, 29);
  panel.Reset(0);
  const ResultRun run = RunPanel(panel, 60, 200);
  // The first resting step already counts, and the first tick comes at once.
  EXPECT_EQ(run.finishedAt - run.restFrom + 1, 3);
  EXPECT_EQ(StepsOf(run, 8), (std::vector<int>{run.restFrom}));
}

TEST_F(HudTest, NewRecordBannerSettlesInItsTwentySixthStep) {
  CResultPanel panel;
  SetResultCounters(0, 0);
  panel.Reset(1);
  for (int step = 1; step < 151; ++step) EXPECT_EQ(panel.Step(0), 0);
  EXPECT_EQ(panel.GetBannerFlag(), 0);
  int bannerSteps = 0;
  int r = 0;
  while (r == 0 && bannerSteps < 100) {
    r = panel.Step(0);
    ++bannerSteps;
    if (bannerSteps == 1) {
      EXPECT_EQ(panel.GetBannerFlag(), 1);
      EXPECT_EQ(static_cast<int>(panel.GetBannerScale() * 220), 794);
      EXPECT_EQ(static_cast<int>(panel.GetBannerScale() * 101), 364);
    }
  }
  EXPECT_EQ(bannerSteps, 26);
  EXPECT_EQ(panel.GetBannerScale(), 1.0f);
  EXPECT_EQ(panel.Step(0), 1);

  // Without the flag (a score only equal to the high score) there is no banner.
  panel.Reset(0);
  const ResultRun run = RunPanel(panel, 0, 200);
  EXPECT_EQ(run.finishedAt, 151);
  EXPECT_EQ(panel.GetBannerFlag(), 0);
}

constexpr std::uint32_t kResultDigit[10] = {0x100000, 0x200000, 0x300000, 0x400000,
                                            0x500000, 0x600000, 0x700000, 0x800000,
                                            0x900000, 0xA00000};
constexpr std::uint32_t kUnitColour = 0x2EC27E;
constexpr std::uint32_t kBoxColour = 0x1D2A4A;

void WriteResultPictures() {
  Picture box(400, 160, kBoxColour);
  box.Fill(0, 0, 400, 4, kGreen);
  WriteBmp("BMP/result_box.bmp", box);
  Picture num(320, 128, kGreen);
  for (int d = 0; d < 10; ++d) num.Fill(32 * d, 0, 32, 64, kResultDigit[d]);
  num.Fill(0, 64, 64, 64, kUnitColour);
  WriteBmp("BMP/result_num.bmp", num);
  WriteBmp("BMP/HIGHSCORE_UPDATE.bmp", Picture(220, 101, 0xE63946));
}

TEST_F(HudTest, ResultNumberIsCentredWithItsUnitCell) {
  WriteResultPictures();
  CResultPanel panel;
  ASSERT_EQ(panel.Load(), 1);
  Screen s;
  EXPECT_EQ(panel.DrawResultNumber(s.dc, 325, 256, 32, 0), 309);
  int l, t, r, b;
  s.Bounds(kResultDigit[0], &l, &t, &r, &b);
  EXPECT_EQ(l, 277);
  EXPECT_EQ(t, 224);
  EXPECT_EQ(r, 308);
  EXPECT_EQ(b, 287);

  s.Clear();
  EXPECT_EQ(panel.DrawResultNumber(s.dc, 325, 256, 32, 1234), 357);
  const int xs[4] = {229, 261, 293, 325};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.At(xs[i], 224), kResultDigit[i + 1]);
    EXPECT_EQ(s.At(xs[i] + 31, 287), kResultDigit[i + 1]);
  }
  EXPECT_EQ(s.At(228, 224), kBlack);
  EXPECT_EQ(panel.DrawResultNumber(s.dc, 325, 256, 32, 9), 309);
  EXPECT_EQ(panel.DrawResultNumber(s.dc, 325, 256, 32, 10), 325);
  EXPECT_EQ(panel.DrawResultNumber(s.dc, 325, 256, 32, 2147483647), 453);
  // The half width is taken in floating point: 325 - 48.5 truncates to 276.
  EXPECT_EQ(panel.DrawResultNumber(s.dc, 325, 256, 33, 5), 276 + 33);
}

TEST_F(HudTest, ResultPanelDrawsTheBoxThenTheNumberAtRestThenTheBanner) {
  WriteResultPictures();
  CResultPanel panel;
  ASSERT_EQ(panel.Load(), 1);
  SetResultCounters(0, 0);
  panel.Reset(1);
  Screen s;
  panel.Draw(s.dc);  // 400 above its place: nothing on screen
  int l, t, r, b;
  s.Bounds(kBoxColour, &l, &t, &r, &b);
  EXPECT_EQ(l, -1);

  while (!panel.AtRest()) panel.Step(60);
  while (panel.Step(60) == 0) {
  }
  s.Clear();
  panel.Draw(s.dc);
  s.Bounds(kBoxColour, &l, &t, &r, &b);
  EXPECT_EQ(l, 120);
  EXPECT_EQ(t, 164);
  EXPECT_EQ(r, 519);
  EXPECT_EQ(b, 319);
  // "60" and the unit: 2 x 32 + 64 wide, centred on 325.
  EXPECT_EQ(s.At(261, 224), kResultDigit[6]);
  EXPECT_EQ(s.At(293, 224), kResultDigit[0]);
  EXPECT_EQ(s.At(325, 224), kUnitColour);
  EXPECT_EQ(s.At(388, 287), kUnitColour);
  s.Bounds(0xE63946, &l, &t, &r, &b);
  EXPECT_EQ(l, 400);
  EXPECT_EQ(t, 230);
  EXPECT_EQ(r, 619);
  EXPECT_EQ(b, 330);

  panel.Release();
  panel.Release();
  s.Clear();
  panel.Draw(s.dc);
  s.Bounds(kBoxColour, &l, &t, &r, &b);
  EXPECT_EQ(l, -1);
  s.Bounds(0xE63946, &l, &t, &r, &b);
  EXPECT_EQ(l, 400);  // the banner goes only with the panel
}

}  // namespace
