// Sprites, plain pictures, the wall, animations and number renderers, checked by the
// pixels they leave on a canvas, where the busy game's frame fingerprints (FrameIdentity)
// do not already hold them. Every picture is written here as a small BMP file.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <map>
#include <tuple>

#include "gfx/dc_bmp.h"
#include "gfx/digits.h"
#include "gfx/mask_bmp.h"
#include "gfx/pata.h"
#include "platform/core/backend.h"
#include "platform/headless/control.h"
#include "support/test_support.h"

namespace {

using PixelFn = std::function<std::uint32_t(int x, int y)>;
using Strings = std::vector<std::string>;

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kGreen = 0x00FF00;
constexpr std::uint32_t kBg = 0xFF000000;  // in an expected picture: the canvas's own pixel

struct Headless : ::testing::Environment {
  void SetUp() override { testsupport::StartHeadless(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Headless);

// Writes a BMP whose pixel (x, y) is fn(x, y) and returns its path.
std::string WriteBmp(const std::string& name, int w, int h, const PixelFn& fn) {
  static const std::string dir = testsupport::MakeTempDir("gfx_pictures");
  std::vector<std::uint32_t> pixels;
  for (int i = 0; i < w * h; ++i) pixels.push_back(fn(i % w, i / w));
  const std::string path = dir + "/" + name + ".bmp";
  EXPECT_TRUE(platform::WriteBmp24(path, pixels.data(), w, h)) << path;
  return path;
}

PixelFn Solid(std::uint32_t colour) { return [colour](int, int) { return colour; }; }

// No picture of these tests takes these colours: blue is 0x80 to 0xB3, red and green
// give the position.
std::uint32_t Background(int x, int y) {
  return static_cast<std::uint32_t>((x & 0xFF) << 16 | (y & 0xFF) << 8 | 0x80 |
                                    ((x >> 8) & 3) << 4 | ((y >> 8) & 3));
}

// A picture of the background, the destination of the draws.
struct Canvas {
  Canvas(int width, int height) : w(width), h(height) {
    pic.Load(WriteBmp("canvas", w, h, Background).c_str());
  }
  gdi::HDC dc() const { return pic.GetMemDC(); }
  std::uint32_t At(int x, int y) const {
    return static_cast<std::uint32_t>(gdi::PixelAt(gdi::CurrentBitmap(dc()), x, y));
  }
  // Every pixel against want(x, y); kBg stands for Background.
  void Expect(const PixelFn& want, const std::string& what = "") const {
    for (int i = 0; i < w * h; ++i) {
      const std::uint32_t c = want(i % w, i / w);
      ASSERT_EQ(At(i % w, i / w), c == kBg ? Background(i % w, i / w) : c)
          << what << " at " << i % w << "," << i / w;
    }
  }
  const int w, h;
  CDrawDCBMP pic;
};

// pic drawn w x h at (left, top) from its (sx, sy), its white pixels left out.
PixelFn Placed(const PixelFn& pic, int left, int top, int w, int h, int sx = 0, int sy = 0) {
  return [=](int x, int y) {
    if (x < left || x >= left + w || y < top || y >= top + h) return kBg;
    const std::uint32_t c = pic(x - left + sx, y - top + sy);
    return c == kWhite ? kBg : c;
  };
}

Strings BoxTexts() {
  Strings out;
  for (const auto& box : headless::MessageBoxes()) out.push_back(box.caption + ": " + box.text);
  return out;
}

// 6 x 4 with a white key column at x = 1, and black (which must stay opaque) at (2, 1).
std::uint32_t Sprite6x4(int x, int y) {
  if (x == 1) return kWhite;
  return x == 2 && y == 1 ? kBlack : 0x100000u * (x + 1) + 0x001000u * (y + 1);
}

TEST(MaskSprite, AFailedLoadReportsInOrderAndLeavesAnEmptySprite) {
  CDrawMaskBMP sprite(WriteBmp("sprite6x4", 6, 4, Sprite6x4).c_str(), kWhite);
  headless::ClearRecords();
  EXPECT_EQ(sprite.Load(nullptr, kWhite), 0);
  EXPECT_EQ(sprite.Load("missing/sprite.bmp", kWhite), 0);
  EXPECT_EQ(BoxTexts(), (Strings{"DEBUG: File: (null) is None.",
                                 "DEBUG: File : missing/sprite.bmp is NULL",
                                 "DEBUG: width or height is 0",
                                 "DEBUG: hForeBMP or hMaskBMP is NULL:File=missing/sprite.bmp"}));
  const Canvas canvas(16, 16);
  sprite.Draw(canvas.dc(), 0, 0);
  sprite.DrawPart(canvas.dc(), 0, 0, 10, 10, 0, 0);
  sprite.DrawStretched(canvas.dc(), 0, 0, 10, 10, 0, 0, 4, 4);
  sprite.DrawAlpha(canvas.dc(), 0, 0, 0, 0, 255);
  canvas.Expect(Solid(kBg));
}

TEST(MaskSprite, ZeroSizesAreTheFullSizeAndAlphaTakesItsLowByte) {
  // Four 24-pixel cells, taller than wide; DrawSized(0, 5) is the full width, DrawPart(24,
  // 0) a full cell.
  const PixelFn strip = [](int x, int y) { return 0x200000u * (x / 24 + 1) + y; };
  CDrawMaskBMP cells(WriteBmp("strip96x100", 96, 100, strip).c_str(), kWhite);
  const Canvas sized(128, 104), part(64, 104);
  cells.DrawSized(sized.dc(), 0, 0, 0, 5);
  sized.Expect(Placed(strip, 0, 0, 96, 5));
  cells.DrawPart(part.dc(), 3, 2, 24, 0, 48, 0);
  part.Expect(Placed(strip, 3, 2, 24, 100, 48, 0));
  // The alpha's low byte: 0 and 256 leave the canvas, 255 is the plain draw, 384 is 128
  // and a smaller size blends only its part of the sprite.
  CDrawMaskBMP sprite(WriteBmp("sprite6x4", 6, 4, Sprite6x4).c_str(), kWhite);
  const Canvas none(24, 24), wrapped(24, 24), plain(24, 24), half(24, 24), quarter(24, 24);
  const std::tuple<const Canvas*, int, int, int> draws[] = {{&none, 0, 0, 0}, {&wrapped, 256, 0, 0},
      {&plain, 255, 0, 0}, {&half, 128, 0, 0}, {&quarter, 384, 3, 2}};
  for (const auto& [c, alpha, cx, cy] : draws) sprite.DrawAlpha(c->dc(), 9, 11, cx, cy, alpha);
  none.Expect(Solid(kBg));
  wrapped.Expect(Solid(kBg));
  plain.Expect(Placed(Sprite6x4, 9, 11, 6, 4));
  quarter.Expect([&half](int x, int y) { return x < 12 && y < 13 ? half.At(x, y) : kBg; });
}

// A strip of glyphs w x 3, glyph g GlyphColour(g) but for its column 1 and row 1, which
// are black, the strips' key.
std::uint32_t GlyphColour(int g) { return 0x100000u * (g + 1) + 0x40u; }
std::string GlyphStrip(int glyphs, int w) {
  return WriteBmp("glyphs" + std::to_string(w), glyphs * w, 3, [w](int x, int y) {
    return x % w == 1 || y == 1 ? kBlack : GlyphColour(x / w);
  });
}

// The glyph cells w wide from (x0, y0); a negative glyph is a cell left untouched, and
// key pixels show `key` (kBg: drawn transparently).
PixelFn Glyphs(const std::vector<int>& cells, int x0, int y0, int w, std::uint32_t key) {
  return [=](int x, int y) {
    const int i = x >= x0 ? (x - x0) / w : 99;
    const int g = i < static_cast<int>(cells.size()) && y >= y0 && y < y0 + 3 ? cells[i] : -1;
    return g < 0 ? kBg : (x - x0) % w == 1 || y - y0 == 1 ? key : GlyphColour(g);
  };
}

TEST(NumberRendering, TimeAndScoreSaturate) {
  CDigitStrip time, score;
  ASSERT_EQ(time.Load(GlyphStrip(11, 6).c_str(), kBlack, 6), 1);
  ASSERT_EQ(score.Load(GlyphStrip(10, 5).c_str(), kBlack, 5), 1);
  const std::tuple<CDigitStrip*, std::uint32_t, std::vector<int>> cases[] = {
      {&time, 99 * 60 + 59, {9, 9, 10, 5, 9}}, {&time, 6000, {9, 9, 10, 9, 9}},
      {&score, 1000000, {9, 9, 9, 9, 9, 9}}};
  for (const auto& [digits, value, cells] : cases) {
    const Canvas canvas(40, 8);
    const bool isTime = digits == &time;
    if (isTime) time.RenderTime(canvas.dc(), 5, 2, value);
    if (!isTime) score.RenderScore(canvas.dc(), 5, 2, value);
    canvas.Expect(Glyphs(cells, 5, 2, digits->GetGlyphWidth(), isTime ? kBlack : kBg),
                  std::to_string(value));
  }
}

TEST(NumberRendering, CentredNumbersCountTheirDigitsAndIconsStopAtTheCountOrTheGrid) {
  // Glyphs 40 wide, only their column 0 opaque: each digit leaves one mark.
  CDrawMaskBMP strip(WriteBmp("centred_strip", 400, 1, [](int x, int) {
    return x % 40 == 0 ? GlyphColour(x / 40) : kGreen;
  }).c_str(), kGreen);
  const std::pair<int, std::map<int, int>> cases[] = {
      {-1, {{462, 0}}}, {INT_MIN, {{462, 0}}},  // below 0: a single 0
      {12345, {{402, 1}, {432, 2}, {462, 3}, {492, 4}, {522, 5}}},
      {INT_MAX, {{327, 2}, {357, 1}, {387, 4}, {417, 7}, {447, 4},
                 {477, 8}, {507, 3}, {537, 6}, {567, 4}, {597, 7}}}};
  for (const auto& [value, marks] : cases) {
    const Canvas canvas(700, 1);
    strip.DrawNumberCentred(canvas.dc(), 477, 0, value, 30, 40);
    const auto& at = marks;
    canvas.Expect([&at](int x, int) { return at.count(x) ? GlyphColour(at.at(x)) : kBg; },
                  std::to_string(value));
  }
  CIconStrip icons;
  icons.Load(WriteBmp("icon3x2", 3, 2, Solid(0x600000)).c_str(), kWhite, nullptr, kWhite, 5, 2);
  for (int count : {12, -3}) {
    const Canvas canvas(32, 16);
    icons.DrawIcons(canvas.dc(), 4, 5, count);
    canvas.Expect([count](int x, int y) {
      const int j = (x - 4) / 3, i = (y - 5) / 2;
      return x >= 4 && y >= 5 && j < 5 && i < 2 && i * 5 + j < count ? 0x600000u : kBg;
    }, std::to_string(count));
  }
}

std::uint32_t Picture(int x, int y) { return 0x010000u * x + 0x000100u * y + 0x11u; }

TEST(PlainBitmaps, AMissingFileIsEmptyAndPartsAndCopiesClipToThePicture) {
  CDrawDCBMP pic;
  headless::ClearRecords();
  pic.Load("missing/plain.bmp");
  EXPECT_EQ(BoxTexts(), (Strings{"DEBUG: width or height is 0",
                                 "DEBUG: CDrawDCBMP::hBMP=NULL, File=missing/plain.bmp"}));
  const Canvas empty(16, 16), part(40, 30), rows(40, 30), screen(640, 480);
  pic.Draw(empty.dc(), 0, 0);
  empty.Expect(Solid(kBg));
  pic.Load(WriteBmp("picture20x24", 20, 24, Picture).c_str());
  pic.DrawPart(part.dc(), 1, 1, 0, 0, 4, 2);  // 20 x 24 from (4, 2): the source holds 16 x 22
  part.Expect(Placed(Picture, 1, 1, 16, 22, 4, 2));
  pic.DrawPart(rows.dc(), 0, 0, 5, 0, 0, 0);
  rows.Expect(Placed(Picture, 0, 0, 5, 24));
  pic.CopyFrom(3, 4, screen.dc(), 100, 200, 5, 0);
  for (int i = 0; i < 20 * 24; ++i) {
    const int x = i % 20, y = i / 20;
    ASSERT_EQ(gdi::PixelAt(gdi::CurrentBitmap(pic.GetMemDC()), x, y),
              x >= 3 && x < 8 && y >= 4 ? Background(97 + x, 196 + y) : Picture(x, y));
  }
}

// A tile whose every pixel is distinct, so a piece cut from the wrong place shows.
std::uint32_t Tile(int x, int y) { return 0x040000u * x + 0x000400u * y + 0x03u; }

TEST(Wall, PiecesShowTheTileFromTheirTopLeftAndEmptyWallsCopyNothing) {
  CWallBMP wide(WriteBmp("tile64x48", 64, 48, Tile).c_str()), missing;
  headless::ClearRecords();
  EXPECT_EQ(missing.Load("missing/wall.bmp"), 1);
  EXPECT_TRUE(headless::MessageBoxes().empty());
  const std::pair<CWallBMP*, CRect> cases[] = {{&wide, {10, 20, 150, 130}},
                                               {&missing, {0, 0, 64, 64}}};
  for (const auto& [wall, r] : cases) {
    const Canvas canvas(r.right + 8, r.bottom + 8);
    wall->Tile(canvas.dc(), r);
    const int tw = wall->GetWidth(), th = wall->GetHeight();
    canvas.Expect([r = r, tw, th](int x, int y) {
      const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom && tw > 0;
      return inside ? Tile((x - r.left) % tw, (y - r.top) % th) : kBg;
    });
  }
}

// Frame f of an animation: solid FrameColour(f).
std::uint32_t FrameColour(int f) { return 0x200000u * (f + 1) + 0x10u; }
std::string FrameBmp(int f, int w = 4, int h = 3) {
  return WriteBmp("frame", w, h, Solid(FrameColour(f)));
}

// The frame a draw at (2, 2) left on a fresh canvas (-1 for none) and the draw's result.
using Seen = std::pair<int, int>;
Seen Shown(const std::function<int(gdi::HDC)>& draw) {
  const Canvas canvas(16, 16);
  const int result = draw(canvas.dc());
  int frame = canvas.At(2, 2) == Background(2, 2) ? -1 : -2;
  for (int f = 0; f < 16; ++f) frame = canvas.At(2, 2) == FrameColour(f) ? f : frame;
  return {frame, result};
}

TEST(Animation, FrameStepsOnlyAfterMoreThanTheFrameTimeSinceTheLastStepAndWraps) {
  CPata pata;
  pata.Init(5, 80);
  for (int f = 0; f < 5; ++f) pata.LoadTexture(f, FrameBmp(f).c_str(), kWhite);
  const auto drawAt = [&pata](std::uint32_t tick) {
    headless::SetTick(tick);
    return Shown([&pata](gdi::HDC dc) { return pata.DrawAt(dc, 2, 2, 0, 0); });
  };
  EXPECT_EQ(drawAt(1000), Seen(0, 0));  // starts the timer at 1000
  EXPECT_EQ(drawAt(1080), Seen(0, 0));
  // Each draw more than 80 ms after the last step shows its frame, then moves on, and
  // one 60 ms later stays; the one that drew frame 4 returns 1.
  for (int f = 0; f < 5; ++f) {
    EXPECT_EQ(drawAt(1081 + 81 * f), Seen(f, f == 4 ? 1 : 0));
    EXPECT_EQ(drawAt(1141 + 81 * f), Seen(f == 4 ? 0 : f + 1, 0));
  }
  // DrawFrame neither moves current nor touches the timer; Reset goes back to frame 0.
  EXPECT_EQ(Shown([&](gdi::HDC dc) { pata.DrawFrame(dc, 3, 1, 0, 1, 2); return 0; }), Seen(3, 0));
  EXPECT_EQ(pata.GetCurrent(), 0);
  headless::ClearRecords();
  for (int index : {5, -1}) pata.LoadTexture(index, FrameBmp(2).c_str(), kWhite);
  EXPECT_EQ(BoxTexts(), Strings(2, "DEBUG: LoadTextureインデックスエラー"));
  EXPECT_EQ(Shown([&](gdi::HDC dc) { pata.DrawFrame(dc, 5, 2, 2, 0, 0); return 0; }), Seen(-1, 0));
}

TEST(Animation, TiledDrawUsesFrameZerosGridAndAnUnloadedFrameShowsNothing) {
  // Frame 0 is 3 x 2, frame 1 is 1 x 1, frame 2 was never loaded.
  CGaugePata gauge;
  gauge.Setup(3, 100, 5, 2);
  gauge.LoadTexture(0, FrameBmp(0, 3, 2).c_str(), kWhite);
  gauge.LoadTexture(1, FrameBmp(1, 1, 1).c_str(), kWhite);
  // Each frame is shown for more than one frame time; the draw that wraps returns 1.
  const std::tuple<std::uint32_t, int, int, int, int> steps[] = {
      {7000, 0, 3, 2, 0}, {7101, 0, 3, 2, 0}, {7101, 1, 1, 1, 0}, {7202, 1, 1, 1, 0},
      {7202, 0, 0, 0, 0}, {7303, 0, 0, 0, 1}};
  for (const auto& [tick, f, w, h, result] : steps) {
    headless::SetTick(tick);
    const Canvas canvas(32, 16);
    EXPECT_EQ(gauge.DrawTiled(canvas.dc(), 4, 5), result);
    canvas.Expect([f = f, w = w, h = h](int x, int y) {
      const bool grid = x >= 4 && x < 19 && y >= 5 && y < 9;
      return grid && (x - 4) % 3 < w && (y - 5) % 2 < h ? FrameColour(f) : kBg;
    });
  }
}

TEST(GfxLeaks, LoadDrawReleaseCyclesReturnToTheStartCount) {
  const Canvas screen(640, 480);
  const int before = gdi::LiveObjectCount();
  const std::string sprite = WriteBmp("sprite6x4", 6, 4, Sprite6x4);
  const std::string white = WriteBmp("white16", 16, 16, Solid(kWhite));
  for (int cycle = 0; cycle < 3; ++cycle) {
    CDrawMaskBMP start(sprite.c_str(), kWhite), failed;
    for (int a = 0; a < 240; a += 60) start.DrawAlpha(screen.dc(), 100, 100, 0, 0, a);
    start.Load(sprite.c_str(), kBlack);
    start.Release();
    failed.Load("missing/alpha.bmp", kWhite);
    failed.DrawAlpha(screen.dc(), 3, 3, 5, 5, 200);
    CDrawDCBMP board;
    board.Create(screen.dc(), 16, 16);
    CWallBMP(white.c_str()).Tile(board.GetMemDC(), CRect(0, 0, 16, 16));
    // The pen stays selected until the context goes; a second one replaces it.
    const int withoutPen = gdi::LiveObjectCount();
    { CPenSelect pen(board.GetMemDC()); }
    { CPenSelect again(board.GetMemDC()); }
    EXPECT_EQ(gdi::LiveObjectCount(), withoutPen + 1);
    board.Load(white.c_str());
  }
  EXPECT_EQ(gdi::LiveObjectCount(), before);
}

}  // namespace
