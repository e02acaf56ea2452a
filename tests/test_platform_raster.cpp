// The raster layer: raster operations, colour/monochrome conversion, stretching,
// blending, clipping, outlines, and the lifetime of handles.
#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "platform/raster/gdi.h"

namespace {

using namespace gdi;
using Px = std::vector<std::int64_t>;

constexpr std::uint32_t W = 0xFFFFFF;
constexpr bool kMono = true;

// A memory context with its own bitmap, freed in the order the game frees them. Its
// pixels start as given, row by row (one value fills it; on a monochrome bitmap white
// is 1), each plotted through a 1 x 1 outline.
struct Canvas {
  Canvas(int w, int h, const std::vector<std::uint32_t>& rgb = {}, bool mono = false)
      : w_(w), h_(h), dc_(CreateCompatibleDC(0)),
        bmp_(mono ? CreateBitmap(w, h, 1, 1, nullptr) : CreateCompatibleBitmap(0, w, h)) {
    SelectObject(dc_, bmp_);
    for (int i = 0; i < w * h && !rgb.empty(); ++i) {
      const std::uint32_t c = rgb.size() == 1 ? rgb[0] : rgb[static_cast<size_t>(i)];
      const HGDIOBJ old = SelectObject(dc_, CreatePen(PS_SOLID, 1, RGB(c >> 16, c >> 8, c)));
      Rectangle(dc_, i % w, i / w, i % w + 1, i / w + 1);
      DeleteObject(SelectObject(dc_, old));
    }
  }
  ~Canvas() { DeleteDC(dc_); DeleteObject(bmp_); }
  Canvas(const Canvas&) = delete;
  HDC dc() const { return dc_; }
  Px Pixels() const {
    Px out;
    for (int i = 0; i < w_ * h_; ++i) out.push_back(PixelAt(bmp_, i % w_, i / w_));
    return out;
  }
  int w_, h_;
  HDC dc_;
  HBITMAP bmp_;
};

TEST(RasterOps, TruthTableOnColourAndMonochrome) {
  // Every pair of destination and source bits, in each channel and in monochrome, and
  // a colour whose channels differ. An unknown operation draws nothing.
  const std::vector<std::uint32_t> d = {0, 0, W, W, 0x12F05A}, s = {0, W, 0, W, 0x0FFF3C};
  const std::pair<DWORD, Px> cases[] = {
      {SRCCOPY, {0, W, 0, W, 0x0FFF3C}},   {SRCAND, {0, 0, 0, W, 0x02F018}},
      {SRCPAINT, {0, W, W, W, 0x1FFF7E}},  {SRCERASE_NOT, {0, 0, W, 0, 0x100042}},
      {0x00330008, {0, 0, W, W, 0x12F05A}}};
  const Canvas src(5, 1, s), monoSrc(4, 1, s, kMono);
  for (const auto& [rop, expected] : cases) {
    SCOPED_TRACE(rop);
    const Canvas dst(5, 1, d), monoDst(4, 1, d, kMono);
    EXPECT_EQ(BitBlt(dst.dc(), 0, 0, 5, 1, src.dc(), 0, 0, rop), rop != 0x00330008);
    EXPECT_EQ(dst.Pixels(), expected);
    BitBlt(monoDst.dc(), 0, 0, 4, 1, monoSrc.dc(), 0, 0, rop);
    EXPECT_EQ(monoDst.Pixels(), Px(expected.begin(), expected.begin() + 4));
  }
}

TEST(RasterOps, ConversionUsesTheColoursOfTheContexts) {
  // Colour to monochrome: the whole colour equal to the source's background becomes 1
  // (RGB(1, 2, 3) is the pixel 0x010203 and nothing else); the destination's colours
  // play no part.
  const Canvas colour(4, 1, {0x010203, 0x030201, 0x010202, 0x010203});
  SetBkColor(colour.dc(), RGB(1, 2, 3));
  const Canvas mono(4, 1, {}, kMono);
  SetBkColor(mono.dc(), RGB(0, 0, 0));
  SetTextColor(mono.dc(), RGB(1, 2, 3));
  ASSERT_TRUE(BitBlt(mono.dc(), 0, 0, 4, 1, colour.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(mono.Pixels(), (Px{W, 0, 0, W}));
  // Monochrome to colour: 1 becomes the destination's background, 0 its text colour.
  const Canvas out(4, 1);
  SetBkColor(out.dc(), RGB(255, 0, 0));
  SetTextColor(out.dc(), RGB(10, 20, 30));
  ASSERT_TRUE(BitBlt(out.dc(), 0, 0, 4, 1, mono.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(out.Pixels(), (Px{0xFF0000, 0x0A141E, 0x0A141E, 0xFF0000}));
  // By default white and black: a mask ANDed on keeps what lies under its 1s.
  const Canvas plain(4, 1, {0x123456});
  ASSERT_TRUE(BitBlt(plain.dc(), 0, 0, 4, 1, Canvas(4, 1, {W, 0, 0, W}, kMono).dc(), 0, 0,
                     SRCAND));
  EXPECT_EQ(plain.Pixels(), (Px{0x123456, 0, 0, 0x123456}));
}

TEST(Clipping, SourceOrDestinationPartlyOutside) {
  const Canvas src(3, 3, {0x111111}), dst(6, 6, {0xABCDEF});
  // Source columns 1..4 and rows -1..2: only columns 1..2 and rows 0..2 exist.
  ASSERT_TRUE(BitBlt(dst.dc(), 1, 1, 4, 4, src.dc(), 1, -1, SRCCOPY));
  Px copied(36, 0xABCDEF);
  for (int y = 2; y <= 4; ++y) copied[y * 6 + 1] = copied[y * 6 + 2] = 0x111111;
  EXPECT_EQ(dst.Pixels(), copied);
  const Canvas ramp(4, 2, {0x10, 0x20, 0x30, 0x40, 0x11, 0x21, 0x31, 0x41}), small(3, 3);
  ASSERT_TRUE(BitBlt(small.dc(), -2, 1, 4, 4, ramp.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(small.Pixels(), (Px{0, 0, 0, 0x30, 0x40, 0, 0x31, 0x41, 0}));
  // Extreme arguments draw only the overlap, and a bad source draws nothing.
  const Canvas white(4, 4, {W}), corner(4, 4);
  EXPECT_TRUE(BitBlt(corner.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, white.dc(), INT_MIN,
                     INT_MIN, SRCCOPY));
  EXPECT_TRUE(StretchBlt(corner.dc(), INT_MIN, 0, INT_MAX, 4, white.dc(), 0, 0, INT_MAX, 4,
                         SRCCOPY));
  EXPECT_TRUE(BitBlt(corner.dc(), 0, 0, -5, 4, white.dc(), 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(corner.dc(), 3, 3, INT_MAX, INT_MAX, white.dc(), 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(corner.dc(), 0, 0, 4, 4, 0xDEADBEEF, 0, 0, SRCCOPY));
  EXPECT_EQ(corner.Pixels(), (Px{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, W}));
}

TEST(Clipping, OverlappingCopyWithinOneBitmapReadsTheOldPixels) {
  const Canvas c(5, 1, {1, 2, 4, 8, 16});
  ASSERT_TRUE(BitBlt(c.dc(), 1, 0, 4, 1, c.dc(), 0, 0, SRCPAINT));
  EXPECT_EQ(c.Pixels(), (Px{1, 3, 6, 12, 24}));
  // A stretch within one bitmap is refused and draws nothing.
  EXPECT_FALSE(StretchBlt(c.dc(), 0, 0, 4, 1, c.dc(), 1, 0, 2, 1, SRCPAINT));
  EXPECT_EQ(c.Pixels(), (Px{1, 3, 6, 12, 24}));
}

TEST(Stretch, EachDestinationPixelTakesOrAndsItsSourcePixels) {
  // Enlarging takes the source pixel under each centre; shrinking ANDs the pixels that
  // land together (4 to 3: pixels 1 and 2 on the middle one; 3 to 2: 0 and 1 on the
  // first). Each row is stretched as a row and, transposed, as a column.
  const std::pair<std::vector<std::uint32_t>, Px> cases[] = {
      {{0xA, 0xB}, {0xA, 0xA, 0xB}}, {{0xA, 0xB, 0xC}, {0xA, 0xB, 0xB, 0xC}},
      {{0x0000FF, 0xFF00FF, 0x00FFFF, 0xF0F0F0}, {0x0000FF, 0x0000FF, 0xF0F0F0}},
      {{0xFF00FF, 0x00FFFF, 0x123456}, {0x0000FF, 0x123456}}};
  for (const auto& [from, expected] : cases) {
    const int n = static_cast<int>(from.size()), to = static_cast<int>(expected.size());
    const Canvas row(n, 1, from), column(1, n, from), wide(to, 1), tall(1, to);
    EXPECT_TRUE(StretchBlt(wide.dc(), 0, 0, to, 1, row.dc(), 0, 0, n, 1, SRCCOPY));
    EXPECT_TRUE(StretchBlt(tall.dc(), 0, 0, 1, to, column.dc(), 0, 0, 1, n, SRCCOPY));
    EXPECT_EQ(wide.Pixels(), expected) << n << " to " << to;
    EXPECT_EQ(tall.Pixels(), expected) << n << " to " << to;
  }
}

TEST(Stretch, SourceOutsideLeavesDestinationUnchangedAndOpsApply) {
  const Canvas s(2, 1, {0xA, 0xB}), d(4, 1, {7});
  // Source columns -1..2 doubled: -1 and 2 lie outside.
  ASSERT_TRUE(StretchBlt(d.dc(), 0, 0, 4, 1, s.dc(), -1, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(d.Pixels(), (Px{7, 7, 0xA, 0xA}));
  // Source columns 1..4 shrunk onto two pixels: 1 and 2 land on the first, of which
  // only 1 exists; 3 and 4 on the second, both outside.
  ASSERT_TRUE(StretchBlt(d.dc(), 1, 0, 2, 1, s.dc(), 1, 0, 4, 1, SRCCOPY));
  EXPECT_EQ(d.Pixels(), (Px{7, 0xB, 0xA, 0xA}));
  // The masked draw stretched: a mask doubled and ANDed (its 0s in the destination's
  // text colour), the picture ORed.
  const Canvas screen(4, 1, {0x808080});
  SetTextColor(screen.dc(), RGB(0x80, 0, 0x80));
  ASSERT_TRUE(StretchBlt(screen.dc(), 0, 0, 4, 1, Canvas(2, 1, {W, 0}, kMono).dc(), 0, 0, 2,
                         1, SRCAND));
  ASSERT_TRUE(StretchBlt(screen.dc(), 0, 0, 4, 1, Canvas(2, 1, {0, 0x00FF00}).dc(), 0, 0, 2,
                         1, SRCPAINT));
  EXPECT_EQ(screen.Pixels(), (Px{0x808080, 0x808080, 0x80FF80, 0x80FF80}));
}

TEST(Blend, ConstantAlphaRoundsToNearest) {
  // Per channel (S * a + D * (255 - a) + 127) / 255; white over white stays white.
  const Canvas s(3, 1, {0xFF0000, 0x00FF80, W});
  for (const auto& [alpha, expected] : {std::pair<int, Px>{128, {0x807F00, 0x7F8040, W}},
                                        std::pair<int, Px>{127, {0x7F8000, 0x807F40, W}}}) {
    const Canvas d(3, 1, {0x00FF00, 0xFF0000, W});
    const BLENDFUNCTION blend = {0, 0, static_cast<std::uint8_t>(alpha), 0};
    ASSERT_TRUE(AlphaBlend(d.dc(), 0, 0, 3, 1, s.dc(), 0, 0, 3, 1, blend));
    EXPECT_EQ(d.Pixels(), expected) << alpha;
    EXPECT_FALSE(AlphaBlend(d.dc(), 0, 0, 3, 1, s.dc(), 0, 0, 1, 1, blend));
  }
}

TEST(Outline, PenOnTheOutermostPixelsOnly) {
  const std::int64_t G = 0x777777, R = 0xFF0000;
  const Canvas c(6, 4, {0x777777});
  // The default pen is black, a stock object that survives deletion.
  EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_PEN)));
  const HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
  const HGDIOBJ oldPen = SelectObject(c.dc(), pen);
  EXPECT_EQ(oldPen, GetStockObject(BLACK_PEN));
  ASSERT_TRUE(Rectangle(c.dc(), 1, 0, 5, 3));
  EXPECT_EQ(c.Pixels(), (Px{G, R, R, R, R, G, G, R, G, G, R, G, G, R, R, R, R, G,  //
                            G, G, G, G, G, G}));
  // Back to the black pen: an outline past the edges draws only what is inside.
  EXPECT_EQ(SelectObject(c.dc(), oldPen), pen);
  EXPECT_TRUE(DeleteObject(pen));
  ASSERT_TRUE(Rectangle(c.dc(), -3, 3, 100, INT_MAX));
  ASSERT_TRUE(Rectangle(c.dc(), INT_MIN, INT_MIN, INT_MAX, INT_MAX));
  EXPECT_EQ(c.Pixels(), (Px{G, R, R, R, R, G, G, R, G, G, R, G, G, R, R, R, R, G,  //
                            0, 0, 0, 0, 0, 0}));
}

TEST(Objects, ContextsBitmapsAndArguments) {
  // A new context holds a 1 x 1 monochrome bitmap; a bitmap compatible with it is
  // monochrome, one compatible with nothing colour.
  const HDC dc = CreateCompatibleDC(0);
  const HBITMAP def = CurrentBitmap(dc);
  const HBITMAP mono = CreateCompatibleBitmap(dc, 3, 2);
  const HBITMAP colour = CreateCompatibleBitmap(0, 3, 2);
  const std::tuple<HBITMAP, int, int> kinds[] = {{def, 1, 1}, {mono, 3, 1}, {colour, 3, 32}};
  for (const auto& [bmp, width, bits] : kinds) {
    BITMAP bm{};
    ASSERT_EQ(GetObject(bmp, sizeof bm, &bm), static_cast<int>(sizeof bm));
    EXPECT_EQ(bm.bmWidth, width);
    EXPECT_EQ(bm.bmBitsPixel, bits);
  }
  // A bitmap goes into one context only.
  const HDC other = CreateCompatibleDC(0);
  EXPECT_EQ(SelectObject(dc, colour), def);
  EXPECT_EQ(SelectObject(other, colour), 0u);
  EXPECT_TRUE(DeleteDC(dc) && DeleteDC(other) && DeleteObject(mono) && DeleteObject(colour));
  const std::tuple<HDC, int, int> refused[] = {{0, 0, 5}, {0, 16385, 1}, {0xDEAD, 5, 5}};
  for (const auto& [of, w, h] : refused) EXPECT_EQ(CreateCompatibleBitmap(of, w, h), 0u) << w;
}

TEST(Objects, DeletingASelectedObjectWaitsForTheContext) {
  const int before = LiveObjectCount();
  const Canvas src(1, 1, {0x00FF00});
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
  // A pen deleted while selected lives until its context is deleted; a bitmap outlives
  // its context.
  const HPEN pen = CreatePen(PS_SOLID, 0, RGB(0, 0, 255));
  SelectObject(dc, pen);
  EXPECT_TRUE(DeleteObject(pen));
  const HBITMAP kept = CreateCompatibleBitmap(0, 2, 1);
  SelectObject(dc, kept);
  EXPECT_EQ(LiveObjectCount(), before + 5);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(LiveObjectCount(), before + 3);
  EXPECT_EQ(PixelAt(kept, 0, 0), 0);
  EXPECT_TRUE(DeleteObject(kept));
  EXPECT_EQ(LiveObjectCount(), before + 2);
}

}  // namespace
