// The HUD: counter boxes, colour gauges, bonus pop-ups, countdown and start banner, and
// the results panel, on the headless platform with small pictures written here. Where
// they draw in the busy game is pinned by the frame fingerprints (FrameIdentity).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "hud/countdown.h"
#include "hud/counter_box.h"
#include "hud/gauges.h"
#include "hud/popups.h"
#include "hud/results.h"
#include "platform/core/backend.h"
#include "platform/headless/control.h"
#include "support/test_support.h"

namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kGreen = 0x00FF00;
using Sounds = std::vector<int>;
using Size = std::pair<int, int>;
using testsupport::Screen;

// A picture of one colour with filled rectangles on it, saved as a 24-bit BMP.
struct Picture {
  int width;
  std::vector<std::uint32_t> pixels;
  Picture(int w, int h, std::uint32_t fill) : width(w), pixels(w * h, fill) {}
  Picture& Fill(int x, int y, int w, int h, std::uint32_t colour) {
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) pixels[j * width + i] = colour;
    return *this;
  }
  void Save(const std::string& path) const {
    const int height = static_cast<int>(pixels.size()) / width;
    ASSERT_TRUE(platform::WriteBmp24(path, pixels.data(), width, height)) << path;
  }
};

// Cell g of a strip of glyphs, digits or messages is filled with this colour, so a
// pixel tells which cell was copied.
std::uint32_t GlyphColour(int g) { return static_cast<std::uint32_t>((g + 1) * 0x10) << 16; }

// Every test starts a fresh headless platform in a fresh folder with an empty BMP folder.
class HudTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const std::string home = std::filesystem::current_path().string();
    testsupport::StartHeadless();
    ASSERT_EQ(chdir(home.c_str()), 0);
    const std::string dir = testsupport::MakeTempDir(
        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_EQ(mkdir((dir + "/BMP").c_str(), 0755), 0);
    ASSERT_EQ(chdir(dir.c_str()), 0);
  }
};

TEST_F(HudTest, NumbersDrainOneUnitPerTickAndDrawWhenChangedOrForcedNegativeTimeAsZero) {
  Picture strip(11 * 24, 36, kBlack);
  for (int g = 0; g < 11; ++g) strip.Fill(g * 24 + 2, 2, 20, 30, GlyphColour(g));
  strip.Save("BMP/digits.bmp");
  CNumberBox box;
  ASSERT_EQ(box.LoadDigits("BMP/digits.bmp", gdi::RGB(0, 0, 0), 24), 1);
  Screen s;
  const auto cell = [&s](int i) { return s.At(24 * i + 12, 16); };
  // 999 also means "nothing drawn yet", so a reset to 999 must still draw it.
  box.Reset(999);
  box.DrawScore(s.dc, 0, 0, 0);
  EXPECT_EQ(cell(3), GlyphColour(9));
  s.Clear();
  box.DrawScore(s.dc, 0, 0, 0);
  EXPECT_EQ(cell(5), kBlack) << "unchanged and not forced";
  box.AddPending(7);
  box.Reset(60);
  box.Pending() += 3;  // the board's way in
  box.AddPending(-1);
  for (int i = 0; i < 5; ++i) box.Step();
  EXPECT_EQ(box.GetValue(), 62) << "the reset dropped the 7";
  // A minus-30 s item with 20 s left runs on past zero, one second per tick; it is
  // drawn, and kept, as 00:00.
  box.Reset(20);
  box.AddPending(-30);
  for (int i = 0; i < 31; ++i) box.Step();
  ASSERT_EQ(box.GetValue(), -10);
  box.DrawTime(s.dc, 0, 0, 1);
  EXPECT_EQ(box.GetValue(), 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(cell(i), GlyphColour(i == 2 ? 10 : 0)) << i;
}

TEST_F(HudTest, IconTriggersTakeTheThresholdOffAndAnimateRepeatsPlusOneCycles) {
  // First icon count, threshold, icons held, then the triggers taken and what is left.
  const std::array<int, 5> cases[] = {{1, 10, 23, 2, 3}, {10, 10, 9, 0, 9}, {10, 10, 10, 1, 0}};
  for (const auto& c : cases) {
    CIconBox icons;
    icons.Reset(c[0], c[1]);
    icons.IconCount() = c[2];
    int taken = 0;
    while (icons.TakeTrigger() == 1) ++taken;
    EXPECT_EQ(Size(taken, icons.IconCount()), Size(c[3], c[4])) << c[2] << " of " << c[1];
  }
  // A trigger's animation, two frames of 100 ms drawn every 60 ms, two cycles: five draws
  // for the first (its timer starts at the first draw), four for the second; the icons
  // wait meanwhile.
  CIconBox stars;
  stars.Reset(1, 10);
  stars.IconCount() = 13;
  ASSERT_EQ(stars.TakeTrigger(), 1);
  stars.LoadAnimation(2, 100, 5, 2);
  Screen s;
  int draws = 0;
  for (std::uint32_t tick = 5000; stars.IsAnimating() == 1 && draws < 100; tick += 60, ++draws) {
    headless::SetTick(tick);
    stars.Draw(s.dc, 100, 50, 1);
    EXPECT_EQ(stars.GetDrawnCount(), 999);
  }
  EXPECT_EQ(draws, 9);
  stars.Draw(s.dc, 100, 50, 0);
  EXPECT_EQ(stars.GetDrawnCount(), 3);
}

// Where each gauge's frame stands.
constexpr int kFrameX[4] = {65, 275, 495, 495}, kFrameY[4] = {392, 392, 392, 352};
constexpr std::uint32_t kMaxColour = 0xFF00FF;

// Gauges with their MAX mark (no wall, frames, letters or fills), the shared blink
// counters at their start.
class GaugeTest : public HudTest {
 protected:
  void SetUp() override {
    HudTest::SetUp();
    Picture(10, 8, kMaxColour).Save("BMP/MAX2.bmp");
    gauges.Init(0, 0);
    SetGaugeBlinkCounters(30, 30);
  }
  void Draw() {
    s.Clear();
    gauges.DrawFills(s.dc);
  }
  bool MaxShown(int g) const { return s.At(kFrameX[g] + 30, kFrameY[g] + 1) == kMaxColour; }

  CGaugeSet gauges;
  Screen s;
};

// One click that hits items of two kinds raises two gauges in one frame: each gauge it
// fills pays its own bonus, so the frame collects two.
TEST_F(GaugeTest, EveryGaugeFilledInOneFrameIsCollected) {
  // Gauges already at 14, then the gauges the frame raises, and how many it collects.
  const std::pair<std::vector<int>, std::vector<int>> frames[] = {
      {{GAUGE_GREEN}, {GAUGE_GREEN}}, {{GAUGE_GREEN, GAUGE_BLUE}, {GAUGE_GREEN, GAUGE_BLUE}},
      {{GAUGE_RED, GAUGE_BLUE, GAUGE_GREEN, GAUGE_YELLOW}, {0, 1, 2, 3}},
      {{GAUGE_RED, GAUGE_YELLOW}, {GAUGE_RED}}, {{GAUGE_BLUE}, {GAUGE_RED, GAUGE_GREEN}}};
  for (const auto& [nearlyFull, raised] : frames) {
    gauges.Reset();
    for (int g : nearlyFull) {
      for (int i = 0; i < 14; ++i) gauges.AddPoint(g);
    }
    ASSERT_EQ(gauges.CollectFull(), 0);
    for (int g : raised) gauges.AddPoint(g);
    int full = 0;
    for (int g : raised) full += std::count(nearlyFull.begin(), nearlyFull.end(), g);
    EXPECT_EQ(gauges.CollectFull(), full) << raised.size() << " raised";
    EXPECT_EQ(gauges.CollectFull(), 0);
  }
}

TEST_F(GaugeTest, MaxBlinksFifteenOfThirtyFramesAndTwoGaugesShareTheCounters) {
  for (int i = 0; i < 15; ++i) gauges.AddPoint(GAUGE_RED);
  for (int frame = 1; frame <= 900; ++frame) {
    Draw();
    ASSERT_EQ(MaxShown(GAUGE_RED), frame % 30 >= 15) << "frame " << frame;
    ASSERT_EQ(gauges.GetMaxFlag(GAUGE_RED), frame < 900 ? 1 : 0) << "frame " << frame;
  }
  for (int i = 0; i < 15; ++i) gauges.AddPoint(GAUGE_RED), gauges.AddPoint(GAUGE_BLUE);
  for (int frame = 1; frame <= 450; ++frame) {
    Draw();
    // Within each 15-frame cycle k red leaves the inner counter at 31 - 2k, blue at
    // 30 - 2k: twice as fast as one gauge alone.
    const int k = (frame - 1) % 15 + 1;
    ASSERT_EQ(MaxShown(GAUGE_RED), k >= 8) << "frame " << frame;
    ASSERT_EQ(MaxShown(GAUGE_BLUE), k >= 8 && k <= 14) << "frame " << frame;
  }
  // Blue's draw made the final outer wrap: blue leaves, red starts a fresh run.
  EXPECT_EQ(Size(gauges.GetMaxFlag(GAUGE_RED), gauges.GetMaxFlag(GAUGE_BLUE)), Size(1, 0));
}

TEST_F(HudTest, PopupsLeaveAt600AndMoveDownWithoutAStep) {
  const auto steps = [](int n) {
    for (int i = 0; i < n; ++i) StepPopups();
  };
  ResetPopups();
  AddPopup(POPUP_STARS);
  // A second pop-up, added at age 300 of the first, moves into slot 0 when the first
  // leaves, after its own step came.
  steps(300);
  AddPopup(POPUP_GAUGE);
  steps(300);
  ASSERT_EQ(PopupCount(), 1);
  EXPECT_EQ(std::vector<int>({PopupAt(0).kind, PopupAt(0).age, PopupAt(0).offset}),
            std::vector<int>({POPUP_GAUGE, 299, 72}));
  AddPopup(POPUP_STARS);
  EXPECT_EQ(PopupAt(1).offset, 72) << "72 x the live count, over the moved one";
  for (int i = 0; i < 10; ++i) AddPopup(i < 8 ? POPUP_STARS : POPUP_GAUGE);
  EXPECT_EQ(PopupCount(), 10);
  EXPECT_EQ(PopupAt(9).kind, POPUP_STARS) << "an eleventh is dropped";
  ResetPopups();
  AddPopup(POPUP_STARS);
  AddPopup(POPUP_GAUGE);
  steps(600);
  EXPECT_EQ(PopupCount(), 1) << "of two finishing together, the second goes a frame later";
  steps(1);
  EXPECT_EQ(PopupCount(), 0);
}

constexpr std::uint32_t kBannerColour = 0xFFC93C;

TEST_F(HudTest, TheStartBannerRingsOnceAndEndsAtFrame300) {
  Picture p(192, 128, kGreen);
  p.Fill(0, 64, 192, 64, kBannerColour).Save("BMP/321start.bmp");
  CCountdown c;
  ASSERT_EQ(c.Load("BMP/321start.bmp"), 1);
  c.Reset();
  SetCountdownSoundFlags(0, 0);
  headless::ClearRecords();
  Screen s;
  for (int frame = 1; frame <= 310; ++frame) {
    s.Clear();
    c.DrawStartBanner(s.dc);
    ASSERT_EQ(s.Bounds(kBannerColour)[0] >= 0, frame < 300) << "frame " << frame;
    ASSERT_EQ(headless::PlayedSounds(), frame <= 60 ? Sounds{} : Sounds{2}) << frame;
  }
  // A game ended before frame 300 leaves the bell's flag set: the next banner is silent.
  for (int frames : {100, 300}) {
    c.Reset();
    for (int frame = 1; frame <= frames; ++frame) c.DrawStartBanner(s.dc);
  }
  EXPECT_EQ(headless::PlayedSounds(), (Sounds{2, 2}));
}

// The box rests from its 151st step on, whatever the score; a score of 0 is counted at
// once. A new record's banner then settles in 26 steps; a score only equal to the high
// score is no record. Ticks: the count's sounds but the bounce (6), whose steps the
// end-to-end game checks.
TEST_F(HudTest, ResultCountTakesItsWorkedNumberOfSteps) {
  struct Case {
    int score, record, steps, ticks;
  } cases[] = {{1000, 0, 320, 10}, {999999, 0, 276, 9}, {60, 0, 4, 0}, {59, 0, 2, 0},
               {0, 0, 1, 0},       {0, 1, 26, 0}};
  for (const Case& c : cases) {
    CResultPanel panel;
    SetResultCounters(0, 0);
    panel.Reset(c.record);
    int restFrom = 0, finishedAt = 0, ticks = 0;
    for (int step = 1; step <= 800; ++step) {
      headless::ClearRecords();
      const int r = panel.Step(c.score);
      for (int sound : headless::PlayedSounds()) ticks += sound != 6;
      if (restFrom == 0 && panel.AtRest()) restFrom = step;
      if (finishedAt == 0 && r == 1) finishedAt = step;
      if (step == 150) {
        EXPECT_EQ(panel.GetBannerFlag(), 0);
      }
      if (step == 151 && c.record == 1) {  // the banner comes, 794 x 364
        EXPECT_EQ(Size(panel.GetBannerScale() * 220, panel.GetBannerScale() * 101), Size(794, 364));
      }
    }
    EXPECT_EQ(restFrom, 151) << c.score;
    EXPECT_EQ(finishedAt - restFrom + 1, c.steps) << c.score;
    EXPECT_EQ(ticks, c.ticks) << c.score;
    EXPECT_EQ(panel.GetShownScore(), c.score);
    EXPECT_EQ(panel.GetBannerFlag(), c.record);
  }
}

TEST_F(HudTest, ResultNumberIsCentredWithItsUnitCell) {
  Picture(400, 160, kGreen).Save("BMP/result_box.bmp");
  Picture(220, 101, kGreen).Save("BMP/HIGHSCORE_UPDATE.bmp");
  Picture(320, 128, kGreen).Save("BMP/result_num.bmp");
  CResultPanel panel;
  ASSERT_EQ(panel.Load(), 1);
  Screen s;
  // The right edge each value is drawn to, centred on 325 with a unit cell of 32. The
  // half width is taken in floating point (325 - 48.5 truncates to 276); digits are
  // counted in single precision, exact up to 2^24 - 1: 99999999 rounds to 1e8 and is
  // drawn in nine cells.
  const std::array<int, 3> cases[] = {{0, 32, 309},         {1234, 32, 357},     {9, 32, 309},
                                      {10, 32, 325},        {2147483647, 32, 453}, {5, 33, 309},
                                      {9999999, 32, 405},   {16777215, 32, 421}, {99999999, 32, 437}};
  for (const auto& [value, width, right] : cases) {
    EXPECT_EQ(panel.DrawResultNumber(s.dc, 325, 256, width, value), right) << value;
  }
}

}  // namespace
