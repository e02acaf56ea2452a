// Sprites, plain pictures, the wall, animations and number renderers, checked by the
// pixels they leave on a canvas. Every picture is written here as a small BMP file.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gfx/dc_bmp.h"
#include "gfx/digits.h"
#include "gfx/mask_bmp.h"
#include "gfx/pata.h"
#include "platform/gdi.h"
#include "platform/headless/control.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace {

using Pixels = std::vector<std::uint32_t>;
using PixelFn = std::function<std::uint32_t(int x, int y)>;

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr gdi::COLORREF kKeyWhite = gdi::RGB(255, 255, 255);
constexpr gdi::COLORREF kKeyBlack = gdi::RGB(0, 0, 0);
constexpr gdi::COLORREF kKeyGreen = gdi::RGB(0, 255, 0);

class HeadlessEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    platform::Options options;
    options.headless = true;
    std::string error;
    ASSERT_TRUE(platform::Init(options, error)) << error;
  }
  void TearDown() override { platform::Shutdown(); }
};
[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new HeadlessEnvironment);

std::string Dir() {
  static const std::string dir = testsupport::MakeTempDir("gfx_pictures");
  return dir;
}

void Put32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& s, std::uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}

// Writes a 24-bit bottom-up BMP whose pixel (x, y) is fn(x, y) as 0x00RRGGBB and returns
// its path.
std::string WriteBmp(const std::string& name, int w, int h, const PixelFn& fn) {
  const int stride = (w * 3 + 3) & ~3;
  std::string s;
  s += "BM";
  Put32(s, static_cast<std::uint32_t>(54 + stride * h));
  Put32(s, 0);
  Put32(s, 54);
  Put32(s, 40);
  Put32(s, static_cast<std::uint32_t>(w));
  Put32(s, static_cast<std::uint32_t>(h));
  Put16(s, 1);
  Put16(s, 24);
  Put32(s, 0);
  Put32(s, static_cast<std::uint32_t>(stride * h));
  Put32(s, 2835);
  Put32(s, 2835);
  Put32(s, 0);
  Put32(s, 0);
  for (int y = h - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < w; ++x) {
      const std::uint32_t c = fn(x, y);
      row.push_back(static_cast<char>(c & 0xFF));
      row.push_back(static_cast<char>((c >> 8) & 0xFF));
      row.push_back(static_cast<char>((c >> 16) & 0xFF));
    }
    row.resize(static_cast<size_t>(stride), '\0');
    s += row;
  }
  const std::string path = Dir() + "/" + name + ".bmp";
  testsupport::WriteFile(path, s);
  return path;
}

std::string SolidBmp(const std::string& name, int w, int h, std::uint32_t colour) {
  return WriteBmp(name, w, h, [colour](int, int) { return colour; });
}

// A background no sprite colour of these tests can take: blue is always 0x80 to 0xB3,
// and red and green give the position.
std::uint32_t Background(int x, int y) {
  const std::uint32_t blue = 0x80u | ((static_cast<std::uint32_t>(x) >> 8) & 3u) << 4 |
                             ((static_cast<std::uint32_t>(y) >> 8) & 3u);
  return (static_cast<std::uint32_t>(x) & 0xFFu) << 16 |
         (static_cast<std::uint32_t>(y) & 0xFFu) << 8 | blue;
}

// A picture of its own used as the destination of the draws.
class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h) {
    static std::set<std::string> written;
    const std::string name = "canvas" + std::to_string(w) + "x" + std::to_string(h);
    const std::string path = Dir() + "/" + name + ".bmp";
    if (written.insert(name).second) WriteBmp(name, w, h, Background);
    pic_.Load(path.c_str());
  }
  gdi::HDC dc() const { return pic_.GetMemDC(); }
  std::uint32_t At(int x, int y) const {
    return static_cast<std::uint32_t>(gdi::PixelAt(gdi::CurrentBitmap(dc()), x, y));
  }
  Pixels Snapshot() const {
    int w = 0, h = 0;
    const std::uint32_t* bits = gdi::ColourBits(gdi::CurrentBitmap(dc()), &w, &h);
    return bits ? Pixels(bits, bits + static_cast<size_t>(w) * h) : Pixels();
  }
  int width() const { return w_; }
  int height() const { return h_; }

 private:
  int w_, h_;
  CDrawDCBMP pic_;
};

// Every pixel of the canvas that differs from the background, as "x,y" for messages.
std::vector<std::pair<int, int>> Changed(const Canvas& c) {
  std::vector<std::pair<int, int>> out;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x)
      if (c.At(x, y) != Background(x, y)) out.emplace_back(x, y);
  return out;
}

std::vector<std::string> BoxTexts() {
  std::vector<std::string> out;
  for (const auto& box : headless::MessageBoxes()) {
    EXPECT_EQ(box.caption, "DEBUG");
    out.push_back(box.text);
  }
  return out;
}

// A sprite 6 x 4 with a white key column at x = 1 and a white key pixel at (4, 2); the
// rest of pixel (x, y) is Sprite6x4(x, y), black at (2, 1) to prove black is opaque.
std::uint32_t Sprite6x4(int x, int y) {
  if (x == 1 || (x == 4 && y == 2)) return kWhite;
  if (x == 2 && y == 1) return kBlack;
  return 0x100000u * static_cast<std::uint32_t>(x + 1) +
         0x001000u * static_cast<std::uint32_t>(y + 1);
}

// ---------------------------------------------------------------------------------
// Masked sprite

TEST(MaskSprite, MissingFileShowsThreeMessagesInOrderAndDrawsNothing) {
  const std::string path = Dir() + "/no_such_picture.bmp";
  CDrawMaskBMP sprite;
  headless::ClearRecords();
  EXPECT_EQ(sprite.Load(path.c_str(), kKeyWhite), 0);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "File : " + path + " is NULL",
                            "width or height is 0",
                            "hForeBMP or hMaskBMP is NULL:File=" + path,
                        }));
  EXPECT_FALSE(sprite.IsLoaded());

  Canvas canvas(64, 64);
  sprite.Draw(canvas.dc(), 0, 0);
  sprite.DrawSized(canvas.dc(), 0, 0, 10, 10);
  sprite.DrawPart(canvas.dc(), 0, 0, 10, 10, 0, 0);
  sprite.DrawStretched(canvas.dc(), 0, 0, 10, 10, 0, 0, 4, 4);
  sprite.DrawCentred(canvas.dc(), 32, 32);
  sprite.DrawAlpha(canvas.dc(), 0, 0, 0, 0, 255);
  sprite.DrawNumberCentred(canvas.dc(), 32, 0, 123, 10, 10);
  EXPECT_TRUE(Changed(canvas).empty());
}

TEST(MaskSprite, NullPathReportsNoneAndEmptiesALoadedSprite) {
  const int before = gdi::LiveObjectCount();
  CDrawMaskBMP sprite(WriteBmp("sprite6x4", 6, 4, Sprite6x4).c_str(), kKeyWhite);
  ASSERT_TRUE(sprite.IsLoaded());
  headless::ClearRecords();
  EXPECT_EQ(sprite.Load(nullptr, kKeyWhite), 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"File: (null) is None."});
  EXPECT_FALSE(sprite.IsLoaded());
  EXPECT_EQ(gdi::LiveObjectCount(), before);
  Canvas canvas(16, 16);
  sprite.Draw(canvas.dc(), 0, 0);
  EXPECT_TRUE(Changed(canvas).empty());
}

TEST(MaskSprite, DrawLeavesKeyPixelsAndDrawsTheRestIncludingBlack) {
  CDrawMaskBMP sprite;
  headless::ClearRecords();
  ASSERT_EQ(sprite.Load(WriteBmp("sprite6x4", 6, 4, Sprite6x4).c_str(), kKeyWhite), 1);
  EXPECT_TRUE(headless::MessageBoxes().empty());
  EXPECT_EQ(sprite.GetWidth(), 6);
  EXPECT_EQ(sprite.GetHeight(), 4);

  Canvas canvas(32, 32);
  sprite.Draw(canvas.dc(), 10, 7);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const int sx = x - 10, sy = y - 7;
      const bool inside = sx >= 0 && sx < 6 && sy >= 0 && sy < 4;
      const std::uint32_t expected =
          inside && Sprite6x4(sx, sy) != kWhite ? Sprite6x4(sx, sy) : Background(x, y);
      ASSERT_EQ(canvas.At(x, y), expected) << x << "," << y;
    }
  }
}

TEST(MaskSprite, PictureWithoutKeyIsOpaqueAndAllKeyDrawsNothing) {
  CDrawMaskBMP opaque(SolidBmp("solid_red", 5, 5, 0xC00000).c_str(), kKeyGreen);
  CDrawMaskBMP invisible(SolidBmp("solid_green", 5, 5, kGreen).c_str(), kKeyGreen);
  Canvas canvas(20, 20);
  invisible.Draw(canvas.dc(), 2, 2);
  EXPECT_TRUE(Changed(canvas).empty());
  opaque.Draw(canvas.dc(), 2, 2);
  EXPECT_EQ(Changed(canvas).size(), 25u);
  EXPECT_EQ(canvas.At(2, 2), 0xC00000u);
  EXPECT_EQ(canvas.At(6, 6), 0xC00000u);
}

TEST(MaskSprite, SizedAndPartDrawsTakeZeroAsTheFullSize) {
  // A 96 x 10 strip of four 24-pixel cells, cell c filled with 0x200000 * (c + 1) + row.
  const auto strip = [](int x, int y) {
    return 0x200000u * static_cast<std::uint32_t>(x / 24 + 1) + static_cast<std::uint32_t>(y);
  };
  CDrawMaskBMP sprite(WriteBmp("strip96x10", 96, 10, strip).c_str(), kKeyWhite);

  Canvas sized(128, 16);
  sprite.DrawSized(sized.dc(), 0, 0, 0, 5);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 128; ++x)
      ASSERT_EQ(sized.At(x, y), x < 96 && y < 5 ? strip(x, y) : Background(x, y))
          << x << "," << y;

  Canvas part(64, 16);
  sprite.DrawPart(part.dc(), 3, 2, 24, 0, 48, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x) {
      const bool inside = x >= 3 && x < 27 && y >= 2 && y < 12;
      ASSERT_EQ(part.At(x, y), inside ? strip(x - 3 + 48, y - 2) : Background(x, y))
          << x << "," << y;
    }
}

TEST(MaskSprite, CentredDrawPutsTheTopLeftHalfTheSizeBack) {
  CDrawMaskBMP odd(SolidBmp("solid31", 31, 31, 0x400000).c_str(), kKeyWhite);
  CDrawMaskBMP even(SolidBmp("solid30", 30, 30, 0x500000).c_str(), kKeyWhite);
  Canvas a(200, 200);
  odd.DrawCentred(a.dc(), 100, 100);
  EXPECT_EQ(a.At(85, 85), 0x400000u);
  EXPECT_EQ(a.At(115, 115), 0x400000u);
  EXPECT_EQ(a.At(84, 85), Background(84, 85));
  EXPECT_EQ(a.At(116, 116), Background(116, 116));
  EXPECT_EQ(Changed(a).size(), 31u * 31u);

  Canvas b(200, 200);
  even.DrawCentred(b.dc(), 100, 100);
  EXPECT_EQ(b.At(85, 85), 0x500000u);
  EXPECT_EQ(b.At(114, 114), 0x500000u);
  EXPECT_EQ(b.At(84, 85), Background(84, 85));
  EXPECT_EQ(b.At(115, 114), Background(115, 114));
  EXPECT_EQ(Changed(b).size(), 30u * 30u);
}

TEST(MaskSprite, StretchedDrawScalesTheMaskWithThePicture) {
  // 2 x 2: key at (1, 0); doubled to 4 x 4, that key covers (2..3, 0..1).
  const auto pic = [](int x, int y) {
    return x == 1 && y == 0 ? kWhite : 0x300000u + 0x10u * static_cast<std::uint32_t>(x + 2 * y);
  };
  CDrawMaskBMP sprite(WriteBmp("sprite2x2", 2, 2, pic).c_str(), kKeyWhite);
  Canvas canvas(16, 16);
  sprite.DrawStretched(canvas.dc(), 4, 4, 4, 4, 0, 0, 2, 2);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 4 && x < 8 && y >= 4 && y < 8;
      const std::uint32_t src = inside ? pic((x - 4) / 2, (y - 4) / 2) : kWhite;
      ASSERT_EQ(canvas.At(x, y), src != kWhite ? src : Background(x, y)) << x << "," << y;
    }

  // A destination size of 0 stands for the sprite's own size.
  Canvas same(16, 16);
  sprite.DrawStretched(same.dc(), 1, 1, 0, 0, 0, 0, 2, 2);
  EXPECT_EQ(same.At(1, 1), pic(0, 0));
  EXPECT_EQ(same.At(2, 2), pic(1, 1));
  EXPECT_EQ(same.At(2, 1), Background(2, 1));
  EXPECT_EQ(same.At(3, 3), Background(3, 3));
}

std::uint32_t Blend(std::uint32_t s, std::uint32_t d, int a) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const std::uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
    out |= ((sc * a + dc * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

Pixels AlphaResult(CDrawMaskBMP& sprite, int alpha, int cx = 0, int cy = 0) {
  Canvas canvas(24, 24);
  sprite.DrawAlpha(canvas.dc(), 9, 11, cx, cy, alpha);
  return canvas.Snapshot();
}

TEST(MaskSprite, AlphaDrawBlendsOnlyOpaquePixelsWithTheLowByteOfAlpha) {
  CDrawMaskBMP sprite(WriteBmp("sprite6x4", 6, 4, Sprite6x4).c_str(), kKeyWhite);
  Canvas untouched(24, 24);
  const Pixels background = untouched.Snapshot();
  Canvas drawn(24, 24);
  sprite.Draw(drawn.dc(), 9, 11);

  EXPECT_EQ(AlphaResult(sprite, 0), background);
  EXPECT_EQ(AlphaResult(sprite, 256), background);
  EXPECT_EQ(AlphaResult(sprite, 255), drawn.Snapshot());

  const Pixels half = AlphaResult(sprite, 128);
  EXPECT_EQ(AlphaResult(sprite, 384), half);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      const int sx = x - 9, sy = y - 11;
      const bool opaque = sx >= 0 && sx < 6 && sy >= 0 && sy < 4 && Sprite6x4(sx, sy) != kWhite;
      const std::uint32_t expected =
          opaque ? Blend(Sprite6x4(sx, sy), Background(x, y), 128) : Background(x, y);
      ASSERT_EQ(half[static_cast<size_t>(y) * 24 + x], expected) << x << "," << y;
    }

  // A smaller size blends only its part; the rest of the sprite's area stays.
  const Pixels corner = AlphaResult(sprite, 255, 3, 2);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) {
      const int sx = x - 9, sy = y - 11;
      const bool opaque = sx >= 0 && sx < 3 && sy >= 0 && sy < 2 && Sprite6x4(sx, sy) != kWhite;
      ASSERT_EQ(corner[static_cast<size_t>(y) * 24 + x],
                opaque ? Sprite6x4(sx, sy) : Background(x, y))
          << x << "," << y;
    }
}

TEST(MaskSprite, AlphaDrawOfAnEmptySpriteChangesNothingAndLeaksNothing) {
  Canvas canvas(16, 16);
  const int before = gdi::LiveObjectCount();
  CDrawMaskBMP never;
  never.DrawAlpha(canvas.dc(), 0, 0, 0, 0, 255);
  never.DrawAlpha(canvas.dc(), 2, 2, 5, 5, 128);

  CDrawMaskBMP released(WriteBmp("sprite6x4", 6, 4, Sprite6x4).c_str(), kKeyWhite);
  released.Release();
  released.DrawAlpha(canvas.dc(), 1, 1, 0, 0, 255);

  CDrawMaskBMP failed;
  headless::ClearRecords();
  failed.Load((Dir() + "/missing_alpha.bmp").c_str(), kKeyWhite);
  failed.DrawAlpha(canvas.dc(), 3, 3, 0, 0, 200);
  failed.Release();

  EXPECT_TRUE(Changed(canvas).empty());
  EXPECT_EQ(gdi::LiveObjectCount(), before);
}

TEST(MaskSprite, ReleaseTwiceAndReloadFreeEverything) {
  const int before = gdi::LiveObjectCount();
  const std::string path = WriteBmp("sprite6x4", 6, 4, Sprite6x4);
  {
    CDrawMaskBMP sprite(path.c_str(), kKeyWhite);
    EXPECT_GT(gdi::LiveObjectCount(), before);
    EXPECT_EQ(sprite.Load(path.c_str(), kKeyWhite), 1);
    sprite.Release();
    EXPECT_EQ(gdi::LiveObjectCount(), before);
    sprite.Release();
    EXPECT_FALSE(sprite.IsLoaded());
    EXPECT_EQ(sprite.Load(path.c_str(), kKeyWhite), 1);
  }
  EXPECT_EQ(gdi::LiveObjectCount(), before);
}

// ---------------------------------------------------------------------------------
// Number rendering

// Glyph g is colour GlyphColour(g); its column 1 and row 1 hold the key (black), so a
// transparent draw shows the background there and an opaque one shows black.
std::uint32_t GlyphColour(int g) { return 0x100000u * static_cast<std::uint32_t>(g + 1) + 0x40u; }

std::string DigitStripBmp(const std::string& name, int glyphs, int w, int h) {
  return WriteBmp(name, glyphs * w, h, [w](int x, int y) {
    return x % w == 1 || y == 1 ? kBlack : GlyphColour(x / w);
  });
}

// The glyph shown in cell i (w wide, drawn at (x0, y0)), from the colour at its top-left
// pixel; -1 when the cell is untouched.
int GlyphInCell(const Canvas& c, int x0, int y0, int w, int i) {
  const int x = x0 + i * w;
  const std::uint32_t px = c.At(x, y0);
  if (px == Background(x, y0)) return -1;
  for (int g = 0; g < 11; ++g)
    if (px == GlyphColour(g)) return g;
  return -2;
}

std::vector<int> Cells(const Canvas& c, int x0, int y0, int w, int count) {
  std::vector<int> out;
  for (int i = 0; i < count; ++i) out.push_back(GlyphInCell(c, x0, y0, w, i));
  return out;
}

TEST(NumberRendering, TimeShowsMinutesColonSecondsAndSaturatesAt9999) {
  CDigitStrip digits;
  ASSERT_EQ(digits.Load(DigitStripBmp("time_strip", 11, 6, 3).c_str(), kKeyBlack, 6), 1);
  const struct {
    std::uint32_t seconds;
    std::vector<int> cells;
  } cases[] = {
      {0, {0, 0, 10, 0, 0}},          {59, {0, 0, 10, 5, 9}},
      {60, {0, 1, 10, 0, 0}},         {99 * 60 + 59, {9, 9, 10, 5, 9}},
      {100 * 60, {9, 9, 10, 9, 9}},   {100 * 60 + 59, {9, 9, 10, 9, 9}},
      {0xFFFFFFFFu, {9, 9, 10, 9, 9}},
  };
  for (const auto& c : cases) {
    Canvas canvas(48, 8);
    digits.RenderTime(canvas.dc(), 5, 2, c.seconds);
    EXPECT_EQ(Cells(canvas, 5, 2, 6, 5), c.cells) << c.seconds;
    // Opaque: the key pixels of each cell are black, not the background.
    EXPECT_EQ(canvas.At(5 + 1, 2), kBlack);
    EXPECT_EQ(canvas.At(5 + 4 * 6 + 1, 4), kBlack);
    EXPECT_EQ(canvas.At(5 + 5 * 6, 2), Background(35, 2));
    EXPECT_EQ(canvas.At(5, 5), Background(5, 5));
  }
}

TEST(NumberRendering, ScoreIsRightAlignedTransparentAndCapped) {
  CDigitStrip digits;
  ASSERT_EQ(digits.Load(DigitStripBmp("score_strip", 10, 5, 3).c_str(), kKeyBlack, 5), 1);
  EXPECT_EQ(digits.GetGlyphWidth(), 5);
  const struct {
    std::uint32_t value;
    std::vector<int> cells;
  } cases[] = {
      {0, {-1, -1, -1, -1, -1, 0}},     {105, {-1, -1, -1, 1, 0, 5}},
      {100, {-1, -1, -1, 1, 0, 0}},     {999999, {9, 9, 9, 9, 9, 9}},
      {1000000, {9, 9, 9, 9, 9, 9}},    {0xFFFFFFFFu, {9, 9, 9, 9, 9, 9}},
      {203040, {2, 0, 3, 0, 4, 0}},
  };
  for (const auto& c : cases) {
    Canvas canvas(40, 8);
    digits.RenderScore(canvas.dc(), 4, 3, c.value);
    EXPECT_EQ(Cells(canvas, 4, 3, 5, 6), c.cells) << c.value;
    // Transparent: the key column of the last cell shows the background.
    EXPECT_EQ(canvas.At(4 + 25 + 1, 3), Background(30, 3));
    EXPECT_EQ(canvas.At(4 + 30, 3), Background(34, 3));
  }
  // Cells left blank are untouched in full, not only at their corner.
  Canvas canvas(40, 8);
  digits.RenderScore(canvas.dc(), 4, 3, 105);
  for (const auto& p : Changed(canvas)) EXPECT_GE(p.first, 4 + 15) << p.first << "," << p.second;
}

// A 10-glyph strip 40 pixels a glyph where only column 0 of each glyph is opaque, so each
// drawn digit leaves a one-pixel mark of its colour at its left edge.
std::vector<std::pair<int, int>> CentredMarks(int value) {
  static const std::string path = WriteBmp("centred_strip", 400, 4, [](int x, int) {
    return x % 40 == 0 ? GlyphColour(x / 40) : kGreen;
  });
  CDrawMaskBMP strip(path.c_str(), kKeyGreen);
  Canvas canvas(700, 4);
  strip.DrawNumberCentred(canvas.dc(), 477, 0, value, 30, 40);
  std::vector<std::pair<int, int>> marks;
  for (const auto& p : Changed(canvas)) {
    if (p.second != 0) continue;
    int digit = -2;
    for (int g = 0; g < 10; ++g)
      if (canvas.At(p.first, 0) == GlyphColour(g)) digit = g;
    marks.emplace_back(p.first, digit);
  }
  return marks;
}

TEST(NumberRendering, CentredNumberCountsDigitsAndStepsByTheAdvance) {
  using Marks = std::vector<std::pair<int, int>>;
  EXPECT_EQ(CentredMarks(0), (Marks{{462, 0}}));
  EXPECT_EQ(CentredMarks(7), (Marks{{462, 7}}));
  EXPECT_EQ(CentredMarks(10), (Marks{{447, 1}, {477, 0}}));
  EXPECT_EQ(CentredMarks(12345), (Marks{{402, 1}, {432, 2}, {462, 3}, {492, 4}, {522, 5}}));
  EXPECT_EQ(CentredMarks(2147483647),
            (Marks{{327, 2}, {357, 1}, {387, 4}, {417, 7}, {447, 4},
                   {477, 8}, {507, 3}, {537, 6}, {567, 4}, {597, 7}}));
  EXPECT_EQ(CentredMarks(1000000000).size(), 10u);
}

TEST(NumberRendering, NegativeCentredNumberIsASingleZero) {
  using Marks = std::vector<std::pair<int, int>>;
  EXPECT_EQ(CentredMarks(-1), (Marks{{462, 0}}));
  EXPECT_EQ(CentredMarks(-123), (Marks{{462, 0}}));
  EXPECT_EQ(CentredMarks(INT_MIN), (Marks{{462, 0}}));
}

TEST(NumberRendering, IconsFillRowsThenStopAtTheCountOrTheGrid) {
  CIconStrip icons;
  icons.Load(SolidBmp("icon3x2", 3, 2, 0x600000).c_str(), kKeyWhite, nullptr, kKeyWhite, 5,
             2);
  ASSERT_NE(icons.Icon(), nullptr);
  EXPECT_EQ(icons.SecondIcon(), nullptr);
  const auto drawn = [&icons](int count) {
    Canvas canvas(32, 16);
    icons.DrawIcons(canvas.dc(), 4, 5, count);
    std::vector<std::vector<int>> grid(3, std::vector<int>(6));
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 6; ++j)
        grid[i][j] = canvas.At(4 + 3 * j + 2, 5 + 2 * i + 1) == 0x600000u ? 1 : 0;
    EXPECT_EQ(Changed(canvas).size(), static_cast<size_t>(std::max(0, std::min(count, 10)) * 6));
    return grid;
  };
  using Grid = std::vector<std::vector<int>>;
  EXPECT_EQ(drawn(7), (Grid{{1, 1, 1, 1, 1, 0}, {1, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(drawn(12), (Grid{{1, 1, 1, 1, 1, 0}, {1, 1, 1, 1, 1, 0}, {0, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(drawn(0), (Grid(3, std::vector<int>(6, 0))));
  EXPECT_EQ(drawn(-3), (Grid(3, std::vector<int>(6, 0))));

  icons.Load(SolidBmp("icon3x2", 3, 2, 0x600000).c_str(), kKeyWhite,
             SolidBmp("icon3x2b", 3, 2, 0x700000).c_str(), kKeyWhite, 5, 2);
  ASSERT_NE(icons.SecondIcon(), nullptr);
  EXPECT_TRUE(icons.SecondIcon()->IsLoaded());
  icons.Release();
  EXPECT_EQ(icons.Icon(), nullptr);
  EXPECT_EQ(icons.SecondIcon(), nullptr);
  Canvas canvas(32, 16);
  icons.DrawIcons(canvas.dc(), 0, 0, 5);
  EXPECT_TRUE(Changed(canvas).empty());
}

// ---------------------------------------------------------------------------------
// Plain pictures, canvases and pen

std::uint32_t Picture(int x, int y) {
  return 0x010000u * static_cast<std::uint32_t>(x) + 0x000100u * static_cast<std::uint32_t>(y) + 0x11u;
}

TEST(PlainBitmaps, NewPictureIsOneByOneWithNoBitmapAndMissingFileIsZero) {
  CDrawDCBMP pic;
  EXPECT_EQ(pic.GetWidth(), 1);
  EXPECT_EQ(pic.GetHeight(), 1);
  EXPECT_EQ(pic.GetMemDC(), 0u);

  const std::string path = Dir() + "/missing_plain.bmp";
  headless::ClearRecords();
  pic.Load(path.c_str());
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"width or height is 0",
                                                  "CDrawDCBMP::hBMP=NULL, File=" + path}));
  EXPECT_EQ(pic.GetWidth(), 0);
  EXPECT_EQ(pic.GetHeight(), 0);
  EXPECT_EQ(pic.GetMemDC(), 0u);
  Canvas canvas(16, 16);
  pic.Draw(canvas.dc(), 0, 0);
  pic.DrawPart(canvas.dc(), 0, 0, 8, 8, 0, 0);
  pic.CopyFrom(0, 0, canvas.dc(), 0, 0, 8, 8);
  EXPECT_TRUE(Changed(canvas).empty());

  CMemDCBMP none;
  none.Create(canvas.dc(), 0, 0);
  EXPECT_EQ(none.GetMemDC(), 0u);
  EXPECT_EQ(none.GetBitmap(), 0u);
}

TEST(PlainBitmaps, CopiesTakeZeroAsTheFullSizeEachOnItsOwn) {
  CDrawDCBMP pic;
  headless::ClearRecords();
  pic.Load(WriteBmp("picture20x10", 20, 10, Picture).c_str());
  EXPECT_TRUE(headless::MessageBoxes().empty());
  ASSERT_EQ(pic.GetWidth(), 20);
  ASSERT_EQ(pic.GetHeight(), 10);

  Canvas full(40, 20);
  pic.Draw(full.dc(), 2, 3);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool inside = x >= 2 && x < 22 && y >= 3 && y < 13;
      ASSERT_EQ(full.At(x, y), inside ? Picture(x - 2, y - 3) : Background(x, y));
    }

  // 0 x 0 from (4, 2): a 20 x 10 area, of which the source holds 16 x 8.
  Canvas part(40, 20);
  pic.DrawPart(part.dc(), 1, 1, 0, 0, 4, 2);
  EXPECT_EQ(part.At(1, 1), Picture(4, 2));
  EXPECT_EQ(part.At(16, 8), Picture(19, 9));
  EXPECT_EQ(Changed(part).size(), 16u * 8u);

  Canvas rows(40, 20);
  pic.DrawPart(rows.dc(), 0, 0, 5, 0, 0, 0);
  EXPECT_EQ(Changed(rows).size(), 5u * 10u);
  Canvas cols(40, 20);
  pic.DrawPart(cols.dc(), 0, 0, 0, 3, 0, 0);
  EXPECT_EQ(Changed(cols).size(), 20u * 3u);

  Canvas screen(640, 480);
  pic.CopyFrom(0, 0, screen.dc(), 470, 396, 0, 0);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(
          static_cast<std::uint32_t>(gdi::PixelAt(gdi::CurrentBitmap(pic.GetMemDC()), x, y)),
          Background(470 + x, 396 + y))
          << x << "," << y;

  pic.Load(WriteBmp("picture20x10", 20, 10, Picture).c_str());
  pic.CopyFrom(3, 4, screen.dc(), 100, 200, 5, 0);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool copied = x >= 3 && x < 8 && y >= 4;
      ASSERT_EQ(
          static_cast<std::uint32_t>(gdi::PixelAt(gdi::CurrentBitmap(pic.GetMemDC()), x, y)),
          copied ? Background(100 + x - 3, 200 + y - 4) : Picture(x, y))
          << x << "," << y;
    }
}

TEST(PlainBitmaps, CreatedCanvasHasTheGivenSizeAndCopiesIn) {
  Canvas source(32, 32);
  CDrawDCBMP pic;
  pic.Create(source.dc(), 12, 7);
  EXPECT_EQ(pic.GetWidth(), 12);
  EXPECT_EQ(pic.GetHeight(), 7);
  pic.CopyFrom(0, 0, source.dc(), 5, 6, 0, 0);
  Canvas out(32, 32);
  pic.Draw(out.dc(), 20, 20);
  EXPECT_EQ(out.At(20, 20), Background(5, 6));
  EXPECT_EQ(out.At(31, 26), Background(16, 12));
  EXPECT_EQ(Changed(out).size(), 12u * 7u);

  CMemDCBMP mem;
  mem.Create(source.dc(), 4, 4);
  mem.CopyIn(source.dc(), 10, 11, 2, 2, 1, 1);
  EXPECT_EQ(gdi::PixelAt(mem.GetBitmap(), 1, 1), Background(10, 11));
  EXPECT_EQ(gdi::PixelAt(mem.GetBitmap(), 2, 2), Background(11, 12));
  EXPECT_EQ(gdi::PixelAt(mem.GetBitmap(), 3, 3), 0);
}

TEST(PlainBitmaps, PenSelectOutlinesInBlackAndLeavesNothingBehind) {
  const int before = gdi::LiveObjectCount();
  {
    CDrawDCBMP board;
    board.Load(SolidBmp("white16", 16, 16, kWhite).c_str());
    const int loaded = gdi::LiveObjectCount();
    {
      CPenSelect pen(board.GetMemDC());
      gdi::SelectObject(board.GetMemDC(), gdi::GetStockObject(gdi::NULL_BRUSH));
      gdi::Rectangle(board.GetMemDC(), 2, 2, 10, 10);
    }
    const gdi::HBITMAP bmp = gdi::CurrentBitmap(board.GetMemDC());
    EXPECT_EQ(gdi::PixelAt(bmp, 2, 2), 0);
    EXPECT_EQ(gdi::PixelAt(bmp, 9, 5), 0);
    EXPECT_EQ(gdi::PixelAt(bmp, 5, 5), static_cast<std::int64_t>(kWhite));
    // The pen stays selected until the context goes; a second one replaces it.
    EXPECT_EQ(gdi::LiveObjectCount(), loaded + 1);
    { CPenSelect again(board.GetMemDC()); }
    EXPECT_EQ(gdi::LiveObjectCount(), loaded + 1);
  }
  EXPECT_EQ(gdi::LiveObjectCount(), before);
}

// ---------------------------------------------------------------------------------
// Tiled wall

// A 64-wide tile whose every pixel is distinct, so any piece cut from the wrong place of
// the tile shows.
std::uint32_t Tile(int x, int y) {
  return 0x040000u * static_cast<std::uint32_t>(x) + 0x000400u * static_cast<std::uint32_t>(y) + 0x03u;
}

void ExpectTiled(const Canvas& c, const CRect& r, int tw, int th) {
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) {
      const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
      const std::uint32_t expected =
          inside ? Tile((x - r.left) % tw, (y - r.top) % th) : Background(x, y);
      ASSERT_EQ(c.At(x, y), expected) << x << "," << y;
    }
}

TEST(Wall, PiecesShowTheTileFromItsTopLeft) {
  CWallBMP square;
  EXPECT_EQ(square.Load(WriteBmp("tile64x64", 64, 64, Tile).c_str()), 1);
  EXPECT_EQ(square.GetWidth(), 64);
  EXPECT_EQ(square.GetHeight(), 64);

  const CRect board(0, 0, 350, 350);
  Canvas a(360, 360);
  square.Tile(a.dc(), board);
  ExpectTiled(a, board, 64, 64);
  // Right pieces at x = 320 show tile columns 0..29, the corner the tile's top-left.
  EXPECT_EQ(a.At(320, 100), Tile(0, 36));
  EXPECT_EQ(a.At(349, 349), Tile(29, 29));

  const CRect strip(0, 0, 350, 40);
  Canvas b(360, 48);
  square.Tile(b.dc(), strip);
  ExpectTiled(b, strip, 64, 64);

  const CRect small(10, 20, 40, 50);
  Canvas c(64, 64);
  square.Tile(c.dc(), small);
  ExpectTiled(c, small, 64, 64);

  const CRect offset(5, 7, 200, 150);
  Canvas d(210, 160);
  square.Tile(d.dc(), offset);
  ExpectTiled(d, offset, 64, 64);

  CWallBMP wide(WriteBmp("tile64x48", 64, 48, Tile).c_str());
  const CRect screen(0, 0, 640, 480);
  Canvas e(640, 480);
  wide.Tile(e.dc(), screen);
  ExpectTiled(e, screen, 64, 48);
}

TEST(Wall, EmptyRectangleOrEmptyTileTilesNothing) {
  CWallBMP wall(WriteBmp("tile64x64", 64, 64, Tile).c_str());
  Canvas canvas(64, 64);
  wall.Tile(canvas.dc(), CRect(0, 0, 0, 0));
  wall.Tile(canvas.dc(), CRect(10, 10, 10, 30));
  EXPECT_TRUE(Changed(canvas).empty());

  CWallBMP unloaded;
  unloaded.Tile(canvas.dc(), CRect(0, 0, 64, 64));
  CWallBMP missing;
  headless::ClearRecords();
  EXPECT_EQ(missing.Load((Dir() + "/missing_wall.bmp").c_str()), 1);
  EXPECT_TRUE(headless::MessageBoxes().empty());
  EXPECT_EQ(missing.GetWidth(), 0);
  EXPECT_EQ(missing.GetHeight(), 0);
  missing.Tile(canvas.dc(), CRect(0, 0, 64, 64));
  gdi::BitBlt(canvas.dc(), 0, 0, 8, 8, missing.GetMemDC(), 0, 0, gdi::SRCCOPY);
  EXPECT_TRUE(Changed(canvas).empty());
}

// ---------------------------------------------------------------------------------
// Animations

// Frame f of an animation: a solid FrameColour(f) picture.
std::uint32_t FrameColour(int f) { return 0x200000u * static_cast<std::uint32_t>(f + 1) + 0x10u; }

std::string FrameBmp(int f, int w = 4, int h = 3) {
  return SolidBmp("frame" + std::to_string(f) + "_" + std::to_string(w) + "x" + std::to_string(h),
                  w, h, FrameColour(f));
}

// Which frame a draw at (2, 2) left on a fresh canvas; -1 for none.
int Shown(const std::function<int(gdi::HDC)>& draw, int* result = nullptr) {
  Canvas canvas(16, 16);
  const int r = draw(canvas.dc());
  if (result) *result = r;
  for (int f = 0; f < 16; ++f)
    if (canvas.At(2, 2) == FrameColour(f)) return f;
  return canvas.At(2, 2) == Background(2, 2) ? -1 : -2;
}

TEST(Animation, FrameStepsOnlyAfterMoreThanTheFrameTimeAndWraps) {
  CPata pata;
  pata.Init(5, 80);
  for (int f = 0; f < 5; ++f) pata.LoadTexture(f, FrameBmp(f).c_str(), kKeyWhite);
  pata.Reset();
  const auto drawAt = [&pata](gdi::HDC dc) { return pata.DrawAt(dc, 2, 2, 0, 0); };

  headless::SetTick(1000);
  int result = -1;
  EXPECT_EQ(Shown(drawAt, &result), 0);  // starts the timer at 1000
  EXPECT_EQ(result, 0);
  headless::SetTick(1080);
  EXPECT_EQ(Shown(drawAt), 0);
  EXPECT_EQ(pata.GetCurrent(), 0);
  headless::SetTick(1081);
  EXPECT_EQ(Shown(drawAt, &result), 0);  // still frame 0, then moves on
  EXPECT_EQ(result, 0);
  EXPECT_EQ(pata.GetCurrent(), 1);
  EXPECT_EQ(Shown(drawAt), 1);
  std::uint32_t tick = 1081;
  for (int f = 1; f < 4; ++f) {
    tick += 81;
    headless::SetTick(tick);
    EXPECT_EQ(Shown(drawAt, &result), f);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(pata.GetCurrent(), f + 1);
  }
  tick += 81;
  headless::SetTick(tick);
  EXPECT_EQ(Shown(drawAt, &result), 4);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(pata.GetCurrent(), 0);
  EXPECT_EQ(Shown(drawAt, &result), 0);
  EXPECT_EQ(result, 0);

  // Reset goes back to frame 0 and the next draw restarts the timer.
  tick += 81;
  headless::SetTick(tick);
  pata.Reset();
  EXPECT_EQ(Shown(drawAt), 0);
  EXPECT_EQ(pata.GetCurrent(), 0);
}

TEST(Animation, LoadTextureOutsideTheFramesReportsAndLoadsNothing) {
  CPata hammer;
  hammer.Init(13, 25);
  EXPECT_EQ(hammer.GetFrameCount(), 13);
  headless::ClearRecords();
  hammer.LoadTexture(13, FrameBmp(1).c_str(), kKeyWhite);
  hammer.LoadTexture(-1, FrameBmp(1).c_str(), kKeyWhite);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"LoadTextureインデックスエラー",
                                                  "LoadTextureインデックスエラー"}));
  headless::ClearRecords();
  hammer.LoadTexture(12, FrameBmp(2).c_str(), kKeyWhite);
  EXPECT_TRUE(headless::MessageBoxes().empty());
  EXPECT_EQ(Shown([&](gdi::HDC dc) { hammer.DrawFrame(dc, 12, 1, 0, 1, 2); return 0; }), 2);
  EXPECT_EQ(Shown([&](gdi::HDC dc) { hammer.DrawFrame(dc, 11, 2, 2, 0, 0); return 0; }), -1);
  EXPECT_EQ(Shown([&](gdi::HDC dc) { hammer.DrawFrame(dc, 13, 2, 2, 0, 0); return 0; }), -1);
  EXPECT_EQ(Shown([&](gdi::HDC dc) { hammer.DrawFrame(dc, -1, 2, 2, 0, 0); return 0; }), -1);
}

TEST(Animation, FixedFrameDrawLeavesCurrentAndTimerAlone) {
  CPata pata;
  pata.Init(3, 50);
  for (int f = 0; f < 3; ++f) pata.LoadTexture(f, FrameBmp(f).c_str(), kKeyWhite);
  pata.Reset();
  const auto drawAt = [&pata](gdi::HDC dc) { return pata.DrawAt(dc, 2, 2, 0, 0); };
  headless::SetTick(5000);
  EXPECT_EQ(Shown(drawAt), 0);
  headless::SetTick(5100);
  EXPECT_EQ(Shown([&](gdi::HDC dc) { pata.DrawFrame(dc, 2, 2, 2, 0, 0); return 0; }), 2);
  EXPECT_EQ(Shown([&](gdi::HDC dc) { pata.DrawFrame(dc, 0, 2, 2, 0, 0); return 0; }), 0);
  EXPECT_EQ(pata.GetCurrent(), 0);
  // The timer still runs from 5000, so this draw finds it expired.
  EXPECT_EQ(Shown(drawAt), 0);
  EXPECT_EQ(pata.GetCurrent(), 1);
}

TEST(Animation, AlphaDrawStepsLikeTheOthers) {
  CPataPata pata;
  pata.Init(2, 10);
  pata.LoadTexture(0, FrameBmp(0).c_str(), kKeyWhite);
  pata.LoadTexture(1, FrameBmp(1).c_str(), kKeyWhite);
  headless::SetTick(200);
  int result = -1;
  EXPECT_EQ(Shown([&](gdi::HDC dc) { return pata.Draw(dc, 2, 2, 255); }, &result), 0);
  EXPECT_EQ(Shown([&](gdi::HDC dc) { return pata.Draw(dc, 2, 2, 0); }), -1);
  headless::SetTick(211);
  EXPECT_EQ(Shown([&](gdi::HDC dc) { return pata.Draw(dc, 2, 2, 255); }), 0);
  headless::SetTick(222);
  EXPECT_EQ(Shown([&](gdi::HDC dc) { return pata.Draw(dc, 2, 2, 255); }, &result), 1);
  EXPECT_EQ(result, 1);
  pata.Release();
  EXPECT_EQ(pata.GetFrameCount(), 2);
  EXPECT_EQ(Shown([&](gdi::HDC dc) { return pata.Draw(dc, 2, 2, 255); }), 0);
}

TEST(Animation, TiledDrawUsesFrameZerosSizeForTheGrid) {
  CGaugePata gauge;
  gauge.Setup(2, 100, 5, 2);
  gauge.LoadTexture(0, FrameBmp(0, 3, 2).c_str(), kKeyWhite);
  gauge.LoadTexture(1, FrameBmp(1, 1, 1).c_str(), kKeyWhite);
  headless::SetTick(7000);

  const auto grid = [&gauge](int frameW, int frameH, int colour) {
    Canvas canvas(32, 16);
    gauge.DrawTiled(canvas.dc(), 4, 5);
    size_t cells = 0;
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 5; ++j) {
        const int x = 4 + 3 * j, y = 5 + 2 * i;
        if (canvas.At(x, y) == static_cast<std::uint32_t>(colour)) ++cells;
      }
    EXPECT_EQ(Changed(canvas).size(), static_cast<size_t>(10 * frameW * frameH));
    return cells;
  };
  EXPECT_EQ(grid(3, 2, static_cast<int>(FrameColour(0))), 10u);
  headless::SetTick(7101);
  EXPECT_EQ(grid(3, 2, static_cast<int>(FrameColour(0))), 10u);
  EXPECT_EQ(gauge.GetCurrent(), 1);
  EXPECT_EQ(grid(1, 1, static_cast<int>(FrameColour(1))), 10u);
}

TEST(Animation, UnloadedSecondFrameBlinks) {
  CGaugePata miss;
  miss.Setup(2, 100, 5, 2);
  miss.LoadTexture(0, FrameBmp(3).c_str(), kKeyBlack);
  miss.Reset();
  const auto draw = [&miss](gdi::HDC dc) { return miss.DrawTiled(dc, 2, 2); };
  std::uint32_t tick = 9000;
  headless::SetTick(tick);
  int wraps = 0;
  for (int pair = 0; pair < 3; ++pair) {
    int result = 0;
    EXPECT_EQ(Shown(draw, &result), 3);
    EXPECT_EQ(result, 0);
    headless::SetTick(tick += 50);
    EXPECT_EQ(Shown(draw, &result), 3);
    headless::SetTick(tick += 51);
    EXPECT_EQ(Shown(draw, &result), 3);  // shown for more than one frame time
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Shown(draw, &result), -1);
    headless::SetTick(tick += 101);
    EXPECT_EQ(Shown(draw, &result), -1);
    wraps += result;
  }
  EXPECT_EQ(wraps, 3);
}

// ---------------------------------------------------------------------------------
// Handles

TEST(GfxLeaks, LoadDrawReleaseCyclesReturnToTheStartCount) {
  Canvas screen(640, 480);
  const int before = gdi::LiveObjectCount();
  const std::string sprite = WriteBmp("sprite6x4", 6, 4, Sprite6x4);
  const std::string tile = WriteBmp("tile64x64", 64, 64, Tile);
  for (int cycle = 0; cycle < 3; ++cycle) {
    CDrawMaskBMP start(sprite.c_str(), kKeyWhite);
    for (int frame = 0; frame < 60; ++frame) start.DrawAlpha(screen.dc(), 100, 100, 0, 0, frame * 4);
    start.Load(sprite.c_str(), kKeyBlack);
    start.Draw(screen.dc(), 0, 0);
    start.DrawStretched(screen.dc(), 0, 0, 12, 8, 0, 0, 6, 4);

    CWallBMP wall(tile.c_str());
    wall.Tile(screen.dc(), CRect(0, 0, 640, 480));
    wall.Load(tile.c_str());

    CDrawDCBMP board;
    board.Create(screen.dc(), 350, 350);
    wall.Tile(board.GetMemDC(), CRect(0, 0, 350, 350));
    { CPenSelect pen(board.GetMemDC()); }
    board.Load(tile.c_str());
    board.Draw(screen.dc(), 10, 10);

    CDigitStrip digits;
    digits.Load(DigitStripBmp("score_strip", 10, 5, 3).c_str(), kKeyBlack, 5);
    digits.RenderScore(screen.dc(), 0, 0, 1234);
    digits.RenderTime(screen.dc(), 0, 0, 61);

    CIconStrip icons;
    icons.Load(sprite.c_str(), kKeyWhite, sprite.c_str(), kKeyWhite, 5, 2);
    icons.DrawIcons(screen.dc(), 0, 0, 4);

    CGaugePata gauge;
    gauge.Setup(3, 20, 5, 2);
    gauge.LoadTexture(0, sprite.c_str(), kKeyWhite);
    gauge.LoadTexture(1, sprite.c_str(), kKeyWhite);
    gauge.DrawTiled(screen.dc(), 0, 0);
    gauge.Release();
    gauge.Init(2, 20);
    gauge.LoadTexture(1, sprite.c_str(), kKeyWhite);
    gauge.Draw(screen.dc(), 0, 0, 77);
  }
  EXPECT_EQ(gdi::LiveObjectCount(), before);
}

}  // namespace
