// The raster layer, the BMP decoder and the window's change detection driven with random
// arguments and hostile files, built with AddressSanitizer and UBSan: any read or write
// outside a bitmap, a frame or a file, any overflow, aborts the run. Fixed seeds.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

#include "platform/raster/bmp.h"
#include "platform/raster/gdi.h"
#include "platform/sdl/present.h"
#include "support/bmp_file.h"

namespace {

using namespace gdi;

struct Dice {
  std::mt19937 rng;
  int Below(size_t n) { return static_cast<int>(rng() % n); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <typename T>
  T Pick(const std::vector<T>& v) { return v[static_cast<size_t>(Below(v.size()))]; }
  // Mostly small values around a bitmap, sometimes the extremes.
  int Coord() {
    static const std::vector<int> extremes = {INT_MIN, -65536, -16384, -1, 0, 1, 16384, INT_MAX};
    return Chance(15) ? Pick(extremes) : Below(161) - 80;
  }
  // A width or height: usually a sensible one, sometimes anything.
  int Size() { return Chance(70) ? 1 + Below(80) : Coord(); }
  std::string Noise(int n) {
    std::string s;
    while (n-- > 0) s += static_cast<char>(rng());
    return s;
  }
};

TEST(RandomDraws, NeverFaultAndNeverLeak) {
  Dice dice{std::mt19937(20240611)};
  const auto xy = [&]() { return dice.Coord(); };
  const int baseline = LiveObjectCount();
  // Bitmaps and pens, some deleted along the way.
  std::vector<HGDIOBJ> objects = {CreatePen(PS_SOLID, 1, RGB(255, 0, 0)),
                                  CreatePen(PS_SOLID, 0, RGB(255, 255, 255))};
  const auto newBitmap = [&]() {
    const int w = 1 + dice.Below(70), h = 1 + dice.Below(50);
    objects.push_back(dice.Chance(30) ? CreateBitmap(w, h, 1, 1, nullptr)
                                      : CreateCompatibleBitmap(0, w, h));
    return objects.back();
  };
  std::vector<HDC> dcs(8);
  for (HDC& dc : dcs) SelectObject(dc = CreateCompatibleDC(0), newBitmap());
  const std::vector<DWORD> rops = {SRCCOPY, SRCAND, SRCPAINT, SRCERASE_NOT, 0, 0x00330008};
  // Mostly contexts; sometimes null or made-up handles, or another object (perhaps
  // deleted) posing as one.
  const auto anyDc = [&]() -> HDC {
    const int k = dice.Below(12);
    return k == 0 ? 0 : k == 1 ? dice.rng() : k == 2 ? dice.Pick(objects) : dice.Pick(dcs);
  };
  for (int i = 0; i < 100000; ++i) {
    const int w = dice.Size(), h = dice.Size();
    switch (dice.Below(6)) {
      case 0:
        BitBlt(anyDc(), xy(), xy(), w, h, anyDc(), xy(), xy(), dice.Pick(rops));
        break;
      case 1:
        StretchBlt(anyDc(), xy(), xy(), w, h, anyDc(), xy(), xy(), dice.Size(), dice.Size(),
                   dice.Pick(rops));
        break;
      case 2:
        AlphaBlend(anyDc(), xy(), xy(), w, h, anyDc(), xy(), xy(), dice.Chance(80) ? w : xy(),
                   dice.Chance(80) ? h : xy(), {dice.Chance(10), 0, std::uint8_t(dice.rng()), 0});
        break;
      case 3:
        Rectangle(anyDc(), xy(), xy(), xy(), xy());
        break;
      case 4:  // swap what the contexts hold, delete objects perhaps in use, make new ones
        if (dice.Chance(50)) {
          SelectObject(dice.Pick(dcs), dice.Chance(50) ? dice.Pick(objects) : newBitmap());
        } else if (dice.Chance(50)) {
          SelectObject(anyDc(), dice.Chance(50) ? dice.Pick(objects) : dice.rng());
        } else {
          DeleteObject(dice.Pick(objects));
        }
        break;
      default: {
        SetBkColor(anyDc(), dice.rng());
        SetTextColor(anyDc(), dice.rng());
        const HBITMAP b = dice.Chance(50) ? CurrentBitmap(anyDc()) : anyDc();
        BITMAP bm;
        GetObject(b, dice.Below(80) - 8, &bm);
        PixelAt(b, xy(), xy());
        objects.push_back(CreateCompatibleBitmap(anyDc(), xy(), 3));
      }
    }
  }
  for (HDC dc : dcs) EXPECT_TRUE(DeleteDC(dc));
  for (HGDIOBJ obj : objects) DeleteObject(obj);
  EXPECT_EQ(LiveObjectCount(), baseline);
}

// The window's present sends only the areas where a frame differs from the last: every
// pixel a plain compare finds different lies in one of them, and none reaches outside.
TEST(ChangedAreas, HoldEveryChangedPixel) {
  Dice dice{std::mt19937(1999)};
  constexpr int kW = 67, kH = 45;
  std::vector<SDL_Rect> areas;
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::uint32_t> last(kW * kH), frame;
    for (std::uint32_t& p : last) p = dice.rng() & 3;
    frame = last;
    for (int n = dice.Below(6); n > 0; --n) {  // blocks of changes, some a pixel
      const int x = dice.Below(kW), y = dice.Below(kH);
      for (int k = dice.Below(40); k >= 0; --k) {
        frame[std::min(kH - 1, y + k / 7) * kW + std::min(kW - 1, x + k % 7)] ^= 4;
      }
    }
    areas.clear();
    platform::ChangedAreas(frame.data(), last.data(), kW, kH, areas);
    std::vector<std::uint8_t> inside(kW * kH, 0);
    for (const SDL_Rect& a : areas) {
      ASSERT_TRUE(a.x >= 0 && a.y >= 0 && a.w > 0 && a.h > 0);
      ASSERT_TRUE(a.x + a.w <= kW && a.y + a.h <= kH);
      for (int y = a.y; y < a.y + a.h; ++y) std::fill_n(&inside[y * kW + a.x], a.w, 1);
    }
    for (int p = 0; p < kW * kH; ++p) {
      ASSERT_TRUE(frame[p] == last[p] || inside[p]) << p;
    }
    EXPECT_EQ(areas.empty(), frame == last);
  }
}

// A well-formed file to start from, with every palette entry and, where the header has
// room or the compression needs them, the colour masks.
std::string Seed(std::uint32_t header, std::uint32_t bpp, std::uint32_t compression,
                 int width, int height, const std::string& pixels) {
  testsupport::BmpFile s{header, width, height, 1, bpp, compression, 0, {}, {}, pixels};
  if (header > 40 || compression == 3) s.masks = {0xF800, 0x07E0, 0x001F};
  for (std::uint32_t i = 0; bpp <= 8 && i < (1u << bpp); ++i) s.palette.push_back(i * 0x070503);
  return testsupport::BuildBmp(s);
}

TEST(HostileBmp, MutatedFilesNeverFault) {
  Dice dice{std::mt19937(4242)};
  const std::vector<std::string> seeds = {
      Seed(40, 24, 0, 5, 3, dice.Noise(48)),  Seed(40, 32, 3, 4, 2, dice.Noise(32)),
      Seed(108, 16, 3, 3, 3, dice.Noise(24)), Seed(124, 16, 0, 3, 3, dice.Noise(24)),
      Seed(56, 32, 3, 2, 2, dice.Noise(16)),  Seed(52, 24, 0, 2, 2, dice.Noise(16)),
      Seed(40, 8, 0, 7, 3, dice.Noise(24)),   Seed(40, 4, 0, 9, 2, dice.Noise(16)),
      Seed(40, 1, 0, 33, 2, dice.Noise(16)),  Seed(12, 8, 0, 7, 3, dice.Noise(24)),
      Seed(40, 8, 1, 6, 3, std::string("\3\5\0\3\1\2\3\0\0\0\0\2\1\1\2\7\0\0\0\1", 20)),
      Seed(40, 4, 2, 6, 3, std::string("\5\x12\0\0\0\5\x32\x11\x20\0\0\2\0\1\1\x30\0\1", 18)),
  };
  DecodedBmp out;
  for (const std::string& s : seeds) {
    ASSERT_TRUE(DecodeBmp(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), out));
  }
  // Header fields and the values that break naive decoders.
  const std::vector<size_t> fields = {2, 10, 14, 18, 22, 26, 28, 30, 34, 46, 54, 58, 62};
  const std::vector<std::uint32_t> values = {0, 1, 2, 3, 4, 8, 12, 16, 24, 32, 40, 108, 124, 255,
      256, 0xFFFF, 16384, 16385, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF8u};
  int decoded = 0;
  for (int i = 0; i < 60000; ++i) {
    std::string f = dice.Pick(seeds);
    const int kind = dice.Below(4);
    if (kind == 0) {  // one header field, 16 or 32 bits
      const size_t at = dice.Pick(fields), end = std::min(f.size(), at + (dice.Chance(50) ? 2 : 4));
      const std::uint32_t v = dice.Pick(values);
      for (size_t b = at; b < end; ++b) f[b] = static_cast<char>(v >> (8 * (b - at)));
    } else if (kind == 1) {
      // A few random bytes anywhere but the two dimensions, so a mutation never asks
      // for a gigantic picture that is then legitimately all one colour.
      for (int n = 1 + dice.Below(4); n > 0; --n) {
        const size_t at = static_cast<size_t>(dice.Below(f.size()));
        if (at < 18 || at >= 26) f[at] = static_cast<char>(dice.rng());
      }
    } else if (kind == 2) {  // pixel bytes of any length and content
      f.resize(static_cast<std::uint8_t>(f[10]) | static_cast<std::uint8_t>(f[11]) << 8);
      f += dice.Noise(dice.Below(600));
    }
    if (kind == 3 || dice.Chance(20)) f.resize(static_cast<size_t>(dice.Below(f.size() + 1)));
    if (dice.Chance(10)) f += dice.Noise(dice.Below(64));
    // The decoder gets exactly the bytes of the file: a copy in its own allocation,
    // so that ASan sees any read past its end.
    const std::vector<std::uint8_t> bytes(f.begin(), f.end());
    if (!DecodeBmp(bytes.data(), bytes.size(), out)) {
      ASSERT_TRUE(out.pixels.empty());
      continue;
    }
    ++decoded;
    ASSERT_TRUE(out.width >= 1 && out.width <= kMaxPictureSide && out.height >= 1);
    ASSERT_EQ(out.pixels.size(), static_cast<size_t>(out.width) * out.height);
    for (std::uint32_t p : out.pixels) ASSERT_EQ(p >> 24, 0u);
  }
  // The mutations must leave enough files whole for the pixel paths to run too.
  EXPECT_GT(decoded, 15000);
}

}  // namespace
