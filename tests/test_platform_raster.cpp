// The raster layer: raster operations, colour/monochrome conversion, stretching,
// blending, clipping, outlines, and the lifetime of handles.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "platform/gdi.h"

namespace {

using namespace gdi;

COLORREF Ref(std::uint32_t rgb) {
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// A memory context with its own bitmap, freed in the order the game frees them.
class Canvas {
 public:
  Canvas(int w, int h, bool mono = false)
      : dc_(CreateCompatibleDC(0)),
        bmp_(mono ? CreateBitmap(w, h, 1, 1, nullptr) : CreateCompatibleBitmap(0, w, h)) {
    SelectObject(dc_, bmp_);
  }
  ~Canvas() {
    DeleteDC(dc_);
    DeleteObject(bmp_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  HBITMAP bmp() const { return bmp_; }

  // Plots one pixel through a 1 x 1 outline; on a monochrome bitmap white is 1.
  void Set(int x, int y, std::uint32_t rgb) {
    const HPEN pen = CreatePen(PS_SOLID, 1, Ref(rgb));
    const HGDIOBJ old = SelectObject(dc_, pen);
    Rectangle(dc_, x, y, x + 1, y + 1);
    SelectObject(dc_, old);
    DeleteObject(pen);
  }
  void SetRow(int y, const std::vector<std::uint32_t>& rgb) {
    for (size_t x = 0; x < rgb.size(); ++x) Set(static_cast<int>(x), y, rgb[x]);
  }
  void Fill(std::uint32_t rgb) {
    BITMAP bm{};
    GetObject(bmp_, sizeof bm, &bm);
    for (int y = 0; y < bm.bmHeight; ++y) {
      for (int x = 0; x < bm.bmWidth; ++x) Set(x, y, rgb);
    }
  }
  std::int64_t At(int x, int y) const { return PixelAt(bmp_, x, y); }
  std::vector<std::int64_t> Row(int y) const {
    BITMAP bm{};
    GetObject(bmp_, sizeof bm, &bm);
    std::vector<std::int64_t> out;
    for (int x = 0; x < bm.bmWidth; ++x) out.push_back(At(x, y));
    return out;
  }
  std::vector<std::int64_t> Column(int x) const {
    BITMAP bm{};
    GetObject(bmp_, sizeof bm, &bm);
    std::vector<std::int64_t> out;
    for (int y = 0; y < bm.bmHeight; ++y) out.push_back(At(x, y));
    return out;
  }

 private:
  HDC dc_;
  HBITMAP bmp_;
};

using Px = std::vector<std::int64_t>;

TEST(RasterOps, TruthTableOnColour) {
  // Every combination of destination and source bit, in each channel, and a mixed
  // value whose channels differ.
  const std::vector<std::uint32_t> d = {0x000000, 0x000000, 0xFFFFFF, 0xFFFFFF, 0x12F05A};
  const std::vector<std::uint32_t> s = {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x0FFF3C};
  struct Case {
    DWORD rop;
    Px expected;
  };
  const Case cases[] = {
      {SRCCOPY, {0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x0FFF3C}},
      {SRCAND, {0x000000, 0x000000, 0x000000, 0xFFFFFF, 0x02F018}},
      {SRCPAINT, {0x000000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x1FFF7E}},
      {SRCERASE_NOT, {0x000000, 0x000000, 0xFFFFFF, 0x000000, 0x100042}},
  };
  Canvas src(5, 1);
  src.SetRow(0, s);
  for (const Case& c : cases) {
    Canvas dst(5, 1);
    dst.SetRow(0, d);
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 5, 1, src.dc(), 0, 0, c.rop));
    EXPECT_EQ(dst.Row(0), c.expected) << std::hex << c.rop;
  }
}

TEST(RasterOps, TruthTableOnMonochrome) {
  struct Case {
    DWORD rop;
    Px expected;
  };
  const Case cases[] = {
      {SRCCOPY, {0, 0xFFFFFF, 0, 0xFFFFFF}},
      {SRCAND, {0, 0, 0, 0xFFFFFF}},
      {SRCPAINT, {0, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
      {SRCERASE_NOT, {0, 0, 0xFFFFFF, 0}},
  };
  Canvas src(4, 1, true);
  src.SetRow(0, {0, 0xFFFFFF, 0, 0xFFFFFF});
  for (const Case& c : cases) {
    Canvas dst(4, 1, true);
    dst.SetRow(0, {0, 0, 0xFFFFFF, 0xFFFFFF});
    ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 4, 1, src.dc(), 0, 0, c.rop));
    EXPECT_EQ(dst.Row(0), c.expected) << std::hex << c.rop;
  }
}

TEST(RasterOps, UnknownOperationDrawsNothing) {
  Canvas src(2, 1);
  src.Fill(0xFFFFFF);
  Canvas dst(2, 1);
  EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 0x00330008));
  EXPECT_EQ(dst.Row(0), (Px{0, 0}));
}

TEST(Conversion, ColourToMonoUsesSourceBackground) {
  Canvas src(4, 1);
  src.SetRow(0, {0x00FF00, 0xFFFFFF, 0x00FF00, 0x000000});
  Canvas dst(4, 1, true);
  SetBkColor(src.dc(), RGB(0, 255, 0));
  // The destination's colours must play no part.
  SetBkColor(dst.dc(), RGB(0, 0, 0));
  SetTextColor(dst.dc(), RGB(0, 255, 0));
  ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 4, 1, src.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(dst.Row(0), (Px{0xFFFFFF, 0, 0xFFFFFF, 0}));
}

TEST(Conversion, ColourToMonoComparesWholeColour) {
  // COLORREF is BGR: RGB(1, 2, 3) is the pixel 0x010203 and nothing else.
  Canvas src(3, 1);
  src.SetRow(0, {0x010203, 0x030201, 0x010202});
  Canvas dst(3, 1, true);
  SetBkColor(src.dc(), RGB(1, 2, 3));
  ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 3, 1, src.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(dst.Row(0), (Px{0xFFFFFF, 0, 0}));
}

TEST(Conversion, MonoToColourUsesDestinationColours) {
  Canvas src(2, 1, true);
  src.SetRow(0, {0xFFFFFF, 0});
  SetBkColor(src.dc(), RGB(0, 0, 255));
  SetTextColor(src.dc(), RGB(0, 255, 0));
  Canvas dst(2, 1);
  SetBkColor(dst.dc(), RGB(255, 0, 0));
  SetTextColor(dst.dc(), RGB(10, 20, 30));
  ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(dst.Row(0), (Px{0xFF0000, 0x0A141E}));
}

TEST(Conversion, MonoToColourDefaultsAreWhiteAndBlack) {
  Canvas src(2, 1, true);
  src.SetRow(0, {0xFFFFFF, 0});
  Canvas dst(2, 1);
  dst.SetRow(0, {0x123456, 0x123456});
  ASSERT_TRUE(BitBlt(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, SRCAND));
  EXPECT_EQ(dst.Row(0), (Px{0x123456, 0}));
}

TEST(Conversion, SetColourReturnsPrevious) {
  Canvas c(1, 1);
  EXPECT_EQ(SetBkColor(c.dc(), RGB(1, 2, 3)), RGB(255, 255, 255));
  EXPECT_EQ(SetBkColor(c.dc(), RGB(4, 5, 6)), RGB(1, 2, 3));
  EXPECT_EQ(SetTextColor(c.dc(), RGB(7, 8, 9)), RGB(0, 0, 0));
  EXPECT_EQ(SetTextColor(c.dc(), RGB(0, 0, 0)), RGB(7, 8, 9));
}

// The sprite recipe: a mask from the key colour, the key blackened out of the picture,
// then mask AND and picture OR over a background.
TEST(MaskedSprite, KeyColourShowsTheBackground) {
  const std::uint32_t key = 0x00FF00;
  Canvas fore(3, 2);
  fore.SetRow(0, {key, 0xFF0000, key});
  fore.SetRow(1, {0x0000FF, key, 0xFFFFFF});
  Canvas mask(3, 2, true);
  const COLORREF old = SetBkColor(fore.dc(), Ref(key));
  ASSERT_TRUE(BitBlt(mask.dc(), 0, 0, 3, 2, fore.dc(), 0, 0, SRCCOPY));
  SetBkColor(fore.dc(), old);
  ASSERT_TRUE(BitBlt(fore.dc(), 0, 0, 3, 2, mask.dc(), 0, 0, SRCERASE_NOT));
  EXPECT_EQ(mask.Row(0), (Px{0xFFFFFF, 0, 0xFFFFFF}));
  EXPECT_EQ(fore.Row(0), (Px{0, 0xFF0000, 0}));
  EXPECT_EQ(fore.Row(1), (Px{0x0000FF, 0, 0xFFFFFF}));

  Canvas screen(5, 3);
  screen.Fill(0x808080);
  ASSERT_TRUE(BitBlt(screen.dc(), 1, 1, 3, 2, mask.dc(), 0, 0, SRCAND));
  ASSERT_TRUE(BitBlt(screen.dc(), 1, 1, 3, 2, fore.dc(), 0, 0, SRCPAINT));
  EXPECT_EQ(screen.Row(0), (Px{0x808080, 0x808080, 0x808080, 0x808080, 0x808080}));
  EXPECT_EQ(screen.Row(1), (Px{0x808080, 0x808080, 0xFF0000, 0x808080, 0x808080}));
  EXPECT_EQ(screen.Row(2), (Px{0x808080, 0x0000FF, 0x808080, 0xFFFFFF, 0x808080}));
}

TEST(Clipping, SourcePartlyOutsideLeavesTheRestUnchanged) {
  Canvas src(3, 3);
  src.Fill(0x111111);
  Canvas dst(6, 6);
  dst.Fill(0xABCDEF);
  // Source columns 1..4 and rows -1..2: only columns 1..2 and rows 0..2 exist.
  ASSERT_TRUE(BitBlt(dst.dc(), 1, 1, 4, 4, src.dc(), 1, -1, SRCCOPY));
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool copied = x >= 1 && x <= 2 && y >= 2 && y <= 4;
      EXPECT_EQ(dst.At(x, y), copied ? 0x111111 : 0xABCDEF) << x << "," << y;
    }
  }
}

TEST(Clipping, DestinationPartlyOutside) {
  Canvas src(4, 4);
  for (int y = 0; y < 4; ++y) src.SetRow(y, {0x10u + y, 0x20u + y, 0x30u + y, 0x40u + y});
  Canvas dst(3, 3);
  ASSERT_TRUE(BitBlt(dst.dc(), -2, 1, 4, 4, src.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(dst.Row(0), (Px{0, 0, 0}));
  EXPECT_EQ(dst.Row(1), (Px{0x30, 0x40, 0}));
  EXPECT_EQ(dst.Row(2), (Px{0x31, 0x41, 0}));
}

TEST(Clipping, ExtremeArgumentsDrawNothingOrOnlyInside) {
  Canvas src(4, 4);
  src.Fill(0xFFFFFF);
  Canvas dst(4, 4);
  EXPECT_TRUE(BitBlt(dst.dc(), INT_MAX, INT_MAX, INT_MAX, INT_MAX, src.dc(), 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(dst.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, src.dc(), INT_MIN, INT_MIN,
                     SRCCOPY));
  EXPECT_TRUE(BitBlt(dst.dc(), 0, 0, -5, 4, src.dc(), 0, 0, SRCCOPY));
  EXPECT_TRUE(StretchBlt(dst.dc(), INT_MIN, 0, INT_MAX, 4, src.dc(), 0, 0, INT_MAX, 4,
                         SRCCOPY));
  for (int y = 0; y < 4; ++y) EXPECT_EQ(dst.Row(y), (Px{0, 0, 0, 0}));
  // A huge copy from the origin covers exactly the overlap.
  EXPECT_TRUE(BitBlt(dst.dc(), 2, 2, INT_MAX, INT_MAX, src.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(dst.Row(1), (Px{0, 0, 0, 0}));
  EXPECT_EQ(dst.Row(3), (Px{0, 0, 0xFFFFFF, 0xFFFFFF}));
}

TEST(Clipping, BadSourceFailsAndDrawsNothing) {
  Canvas dst(2, 2);
  dst.Fill(0x445566);
  EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 2, 2, 0, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 2, 2, 0xDEADBEEF, 0, 0, SRCCOPY));
  EXPECT_FALSE(StretchBlt(dst.dc(), 0, 0, 2, 2, 0, 0, 0, 1, 1, SRCCOPY));
  EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 2, 2, dst.bmp(), 0, 0, SRCCOPY));
  EXPECT_EQ(dst.Row(0), (Px{0x445566, 0x445566}));
  EXPECT_EQ(dst.Row(1), (Px{0x445566, 0x445566}));
}

TEST(Clipping, OverlappingCopyWithinOneBitmapReadsTheOldPixels) {
  Canvas c(5, 1);
  c.SetRow(0, {1, 2, 3, 4, 5});
  ASSERT_TRUE(BitBlt(c.dc(), 1, 0, 4, 1, c.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(c.Row(0), (Px{1, 1, 2, 3, 4}));
  ASSERT_TRUE(StretchBlt(c.dc(), 0, 0, 4, 1, c.dc(), 1, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(c.Row(0), (Px{1, 1, 2, 2, 4}));
}

// One row of distinct values stretched horizontally, and the same as a column.
Px StretchRow(const std::vector<std::uint32_t>& src, int to) {
  const int n = static_cast<int>(src.size());
  Canvas s(n, 1);
  s.SetRow(0, src);
  Canvas d(to, 1);
  EXPECT_TRUE(StretchBlt(d.dc(), 0, 0, to, 1, s.dc(), 0, 0, n, 1, SRCCOPY));
  Canvas sc(1, n);
  for (int i = 0; i < n; ++i) sc.Set(0, i, src[i]);
  Canvas dc(1, to);
  EXPECT_TRUE(StretchBlt(dc.dc(), 0, 0, 1, to, sc.dc(), 0, 0, 1, n, SRCCOPY));
  EXPECT_EQ(dc.Column(0), d.Row(0)) << "the vertical axis maps as the horizontal";
  return d.Row(0);
}

TEST(Stretch, EnlargeTakesTheSourcePixelUnderEachCentre) {
  EXPECT_EQ(StretchRow({0xA, 0xB}, 3), (Px{0xA, 0xA, 0xB}));
  EXPECT_EQ(StretchRow({0xA, 0xB, 0xC}, 4), (Px{0xA, 0xB, 0xB, 0xC}));
  EXPECT_EQ(StretchRow({0xA, 0xB}, 4), (Px{0xA, 0xA, 0xB, 0xB}));
  EXPECT_EQ(StretchRow({0xA}, 3), (Px{0xA, 0xA, 0xA}));
}

TEST(Stretch, ShrinkAndsThePixelsThatLandTogether) {
  // 4 to 3: pixels 1 and 2 land on the middle one; 3 to 2: pixels 0 and 1 on the first.
  EXPECT_EQ(StretchRow({0x0000FF, 0xFF00FF, 0x00FFFF, 0xF0F0F0}, 3),
            (Px{0x0000FF, 0x0000FF, 0xF0F0F0}));
  EXPECT_EQ(StretchRow({0xFF00FF, 0x00FFFF, 0x123456}, 2), (Px{0x0000FF, 0x123456}));
  EXPECT_EQ(StretchRow({0xA, 0xB, 0xC}, 3), (Px{0xA, 0xB, 0xC}));
}

TEST(Stretch, OneDarkPixelSurvivesTheShrink) {
  Canvas s(4, 4);
  s.Fill(0xFFFFFF);
  s.Set(2, 1, 0x202020);
  Canvas d(2, 2);
  ASSERT_TRUE(StretchBlt(d.dc(), 0, 0, 2, 2, s.dc(), 0, 0, 4, 4, SRCCOPY));
  EXPECT_EQ(d.Row(0), (Px{0xFFFFFF, 0x202020}));
  EXPECT_EQ(d.Row(1), (Px{0xFFFFFF, 0xFFFFFF}));
  Canvas one(1, 1);
  ASSERT_TRUE(StretchBlt(one.dc(), 0, 0, 1, 1, s.dc(), 0, 0, 4, 4, SRCCOPY));
  EXPECT_EQ(one.At(0, 0), 0x202020);
}

TEST(Stretch, AxesAreIndependent) {
  // 2 x 3 to 3 x 2: columns enlarge (0, 0, 1) while rows 0 and 1 are ANDed.
  Canvas s(2, 3);
  s.SetRow(0, {0xFF00FF, 0x0F0F0F});
  s.SetRow(1, {0x00FFFF, 0xFFFFFF});
  s.SetRow(2, {0x111111, 0x222222});
  Canvas d(3, 2);
  ASSERT_TRUE(StretchBlt(d.dc(), 0, 0, 3, 2, s.dc(), 0, 0, 2, 3, SRCCOPY));
  EXPECT_EQ(d.Row(0), (Px{0x0000FF, 0x0000FF, 0x0F0F0F}));
  EXPECT_EQ(d.Row(1), (Px{0x111111, 0x111111, 0x222222}));
}

TEST(Stretch, RasterOpsAndMonoExpansionApply) {
  // The masked draw stretched: mask 1 0 doubled, SRCAND over grey with default colours.
  Canvas mask(2, 1, true);
  mask.SetRow(0, {0xFFFFFF, 0});
  Canvas d(4, 1);
  d.SetRow(0, {0x808080, 0x808080, 0x808080, 0x808080});
  ASSERT_TRUE(StretchBlt(d.dc(), 0, 0, 4, 1, mask.dc(), 0, 0, 2, 1, SRCAND));
  EXPECT_EQ(d.Row(0), (Px{0x808080, 0x808080, 0, 0}));
  Canvas fore(2, 1);
  fore.SetRow(0, {0, 0x00FF00});
  ASSERT_TRUE(StretchBlt(d.dc(), 0, 0, 4, 1, fore.dc(), 0, 0, 2, 1, SRCPAINT));
  EXPECT_EQ(d.Row(0), (Px{0x808080, 0x808080, 0x00FF00, 0x00FF00}));
  // Colour to mono through a stretch compares with the source background.
  Canvas m(3, 1, true);
  SetBkColor(fore.dc(), RGB(0, 255, 0));
  ASSERT_TRUE(StretchBlt(m.dc(), 0, 0, 3, 1, fore.dc(), 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(m.Row(0), (Px{0, 0, 0xFFFFFF}));
}

TEST(Stretch, SourceOutsideLeavesDestinationUnchanged) {
  Canvas s(2, 1);
  s.SetRow(0, {0xA, 0xB});
  Canvas d(4, 1);
  d.SetRow(0, {7, 7, 7, 7});
  // Source columns -1..2 doubled: -1 and 2 lie outside.
  ASSERT_TRUE(StretchBlt(d.dc(), 0, 0, 4, 1, s.dc(), -1, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(d.Row(0), (Px{7, 7, 0xA, 0xA}));
  d.SetRow(0, {7, 7, 7, 7});
  // Shrinking source columns 1..4 onto two pixels: 1 and 2 land on the first, of
  // which only 1 exists; 3 and 4 on the second, both outside.
  ASSERT_TRUE(StretchBlt(d.dc(), 1, 0, 2, 1, s.dc(), 1, 0, 4, 1, SRCCOPY));
  EXPECT_EQ(d.Row(0), (Px{7, 0xB, 7, 7}));
  EXPECT_TRUE(StretchBlt(d.dc(), 0, 0, 0, 1, s.dc(), 0, 0, 2, 1, SRCCOPY));
  EXPECT_TRUE(StretchBlt(d.dc(), 0, 0, 4, 1, s.dc(), 0, 0, -2, 1, SRCCOPY));
  EXPECT_EQ(d.Row(0), (Px{7, 0xB, 7, 7}));
}

TEST(Blend, ConstantAlphaRoundsToNearest) {
  Canvas s(2, 1);
  s.SetRow(0, {0xFF0000, 0x00FF80});
  Canvas d(2, 1);
  d.SetRow(0, {0x00FF00, 0xFF0000});
  ASSERT_TRUE(AlphaBlend(d.dc(), 0, 0, 2, 1, s.dc(), 0, 0, 2, 1, {0, 0, 128, 0}));
  // S=255, D=0 -> 128; S=0, D=255 -> 127; S=128, D=0 -> 64.
  EXPECT_EQ(d.Row(0), (Px{0x807F00, 0x7F8040}));
}

TEST(Blend, EndpointsAndClipping) {
  Canvas s(2, 2);
  s.Fill(0x336699);
  Canvas d(3, 3);
  d.Fill(0xCCCCCC);
  ASSERT_TRUE(AlphaBlend(d.dc(), 0, 0, 2, 2, s.dc(), 0, 0, 2, 2, {0, 0, 0, 0}));
  EXPECT_EQ(d.At(0, 0), 0xCCCCCC);
  ASSERT_TRUE(AlphaBlend(d.dc(), 2, 2, 2, 2, s.dc(), 0, 0, 2, 2, {0, 0, 255, 0}));
  EXPECT_EQ(d.At(2, 2), 0x336699);
  EXPECT_EQ(d.At(1, 1), 0xCCCCCC);
  EXPECT_FALSE(AlphaBlend(d.dc(), 0, 0, 2, 2, s.dc(), 0, 0, 1, 1, {0, 0, 255, 0}));
  EXPECT_FALSE(AlphaBlend(d.dc(), 0, 0, 2, 2, 0, 0, 0, 2, 2, {0, 0, 255, 0}));
  EXPECT_EQ(d.At(0, 0), 0xCCCCCC);
}

TEST(Outline, PenOnTheOutermostPixelsOnly) {
  Canvas c(6, 5);
  c.Fill(0x777777);
  const HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  ASSERT_NE(pen, 0u);
  const HGDIOBJ oldPen = SelectObject(c.dc(), pen);
  EXPECT_EQ(oldPen, GetStockObject(BLACK_PEN));
  EXPECT_NE(SelectObject(c.dc(), GetStockObject(NULL_BRUSH)), 0u);
  ASSERT_TRUE(Rectangle(c.dc(), 1, 1, 5, 4));
  const std::int64_t R = 0xFF0000;
  const std::int64_t G = 0x777777;
  EXPECT_EQ(c.Row(0), (Px{G, G, G, G, G, G}));
  EXPECT_EQ(c.Row(1), (Px{G, R, R, R, R, G}));
  EXPECT_EQ(c.Row(2), (Px{G, R, G, G, R, G}));
  EXPECT_EQ(c.Row(3), (Px{G, R, R, R, R, G}));
  EXPECT_EQ(c.Row(4), (Px{G, G, G, G, G, G}));
  EXPECT_EQ(SelectObject(c.dc(), oldPen), pen);
  EXPECT_TRUE(DeleteObject(pen));
  // The default pen is black; an outline past the edges draws only what is inside.
  ASSERT_TRUE(Rectangle(c.dc(), -3, 2, 100, INT_MAX));
  EXPECT_EQ(c.Row(2), (Px{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(c.Row(3), (Px{G, R, R, R, R, G}));
  EXPECT_TRUE(Rectangle(c.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX));
  EXPECT_EQ(c.Row(3), (Px{G, R, R, R, R, G}));
}

TEST(Objects, NewContextHoldsAOneByOneMonochromeBitmap) {
  const HDC dc = CreateCompatibleDC(0);
  const HBITMAP def = CurrentBitmap(dc);
  BITMAP bm{};
  ASSERT_EQ(GetObject(def, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 1);
  EXPECT_EQ(bm.bmHeight, 1);
  EXPECT_EQ(bm.bmBitsPixel, 1);
  EXPECT_EQ(ColourBits(def, nullptr, nullptr), nullptr);
  // A bitmap compatible with it is monochrome; one compatible with nothing is colour.
  const HBITMAP mono = CreateCompatibleBitmap(dc, 3, 2);
  ASSERT_EQ(GetObject(mono, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmBitsPixel, 1);
  const HBITMAP colour = CreateCompatibleBitmap(0, 3, 2);
  ASSERT_EQ(GetObject(colour, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 3);
  EXPECT_EQ(bm.bmHeight, 2);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  int w = 0;
  int h = 0;
  const std::uint32_t* bits = ColourBits(colour, &w, &h);
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(bits[i], 0u);
  EXPECT_EQ(SelectObject(dc, colour), def);
  EXPECT_EQ(SelectObject(dc, def), colour);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(mono));
  EXPECT_TRUE(DeleteObject(colour));
}

TEST(Objects, SizesAndArgumentsAreChecked) {
  EXPECT_EQ(CreateCompatibleBitmap(0, 0, 5), 0u);
  EXPECT_EQ(CreateCompatibleBitmap(0, 5, -1), 0u);
  EXPECT_EQ(CreateCompatibleBitmap(0, 16385, 1), 0u);
  EXPECT_EQ(CreateCompatibleBitmap(0xDEAD, 5, 5), 0u);
  EXPECT_EQ(CreateBitmap(4, 4, 1, 32, nullptr), 0u);
  EXPECT_EQ(CreateBitmap(4, 4, 1, 1, "x"), 0u);
  EXPECT_EQ(CreatePen(1, 1, 0), 0u);
  EXPECT_EQ(GetStockObject(0), 0u);
  EXPECT_EQ(LoadBitmapFromFile("no/such/file.bmp"), 0u);
  EXPECT_EQ(LoadBitmapFromFile(nullptr), 0u);
  const HBITMAP big = CreateCompatibleBitmap(0, 16384, 1);
  EXPECT_NE(big, 0u);
  EXPECT_TRUE(DeleteObject(big));
  EXPECT_EQ(PixelAt(big, 0, 0), -1);
}

TEST(Objects, ABitmapGoesIntoOneContextOnly) {
  const HDC a = CreateCompatibleDC(0);
  const HDC b = CreateCompatibleDC(0);
  const HBITMAP bmp = CreateCompatibleBitmap(0, 2, 2);
  EXPECT_NE(SelectObject(a, bmp), 0u);
  EXPECT_EQ(SelectObject(b, bmp), 0u);
  EXPECT_NE(CurrentBitmap(b), bmp);
  // A pen may be used by any number of contexts.
  const HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
  EXPECT_NE(SelectObject(a, pen), 0u);
  EXPECT_NE(SelectObject(b, pen), 0u);
  EXPECT_EQ(SelectObject(a, a), 0u);
  EXPECT_EQ(SelectObject(a, 0), 0u);
  EXPECT_EQ(SelectObject(0, bmp), 0u);
  DeleteDC(a);
  DeleteDC(b);
  DeleteObject(bmp);
  DeleteObject(pen);
}

TEST(Objects, DeletingASelectedObjectWaitsForTheContext) {
  const int before = LiveObjectCount();
  Canvas src(1, 1);
  src.Set(0, 0, 0x00FF00);
  const HDC dc = CreateCompatibleDC(0);
  const HBITMAP bmp = CreateCompatibleBitmap(0, 2, 1);
  const HBITMAP def = SelectObject(dc, bmp);
  EXPECT_EQ(LiveObjectCount(), before + 4);
  EXPECT_TRUE(DeleteObject(bmp));
  EXPECT_EQ(LiveObjectCount(), before + 4);
  // Still drawn into and read through the context.
  ASSERT_TRUE(BitBlt(dc, 1, 0, 1, 1, src.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(PixelAt(CurrentBitmap(dc), 1, 0), 0x00FF00);
  EXPECT_FALSE(DeleteObject(bmp));
  EXPECT_EQ(SelectObject(dc, def), bmp);
  EXPECT_EQ(LiveObjectCount(), before + 3);
  EXPECT_EQ(PixelAt(bmp, 0, 0), -1);
  EXPECT_EQ(SelectObject(dc, bmp), 0u);

  // A pen deleted while selected lives until its context is deleted.
  const HPEN pen = CreatePen(PS_SOLID, 0, RGB(0, 0, 255));
  SelectObject(dc, pen);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_EQ(LiveObjectCount(), before + 4);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(LiveObjectCount(), before + 2);
}

TEST(Objects, DeletingAContextKeepsItsBitmap) {
  const int before = LiveObjectCount();
  const HDC dc = CreateCompatibleDC(0);
  const HBITMAP bmp = CreateCompatibleBitmap(0, 2, 1);
  SelectObject(dc, bmp);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(LiveObjectCount(), before + 1);
  EXPECT_EQ(PixelAt(bmp, 0, 0), 0);
  // Free again to be selected elsewhere.
  const HDC other = CreateCompatibleDC(0);
  EXPECT_NE(SelectObject(other, bmp), 0u);
  DeleteDC(other);
  EXPECT_TRUE(DeleteObject(bmp));
  EXPECT_FALSE(DeleteObject(bmp));
  EXPECT_EQ(LiveObjectCount(), before);
}

TEST(Objects, StockObjectsSurviveDeletion) {
  const int before = LiveObjectCount();
  const HGDIOBJ pen = GetStockObject(BLACK_PEN);
  const HGDIOBJ brush = GetStockObject(NULL_BRUSH);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(GetStockObject(BLACK_PEN), pen);
  Canvas c(2, 2);
  c.Fill(0xFFFFFF);
  EXPECT_NE(SelectObject(c.dc(), pen), 0u);
  ASSERT_TRUE(Rectangle(c.dc(), 0, 0, 1, 1));
  EXPECT_EQ(c.At(0, 0), 0);
  EXPECT_EQ(GetObject(pen, sizeof(BITMAP), nullptr), 0);
  EXPECT_EQ(LiveObjectCount(), before + 2);
}

}  // namespace
