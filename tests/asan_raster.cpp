// The raster layer and the window's change detection driven with random arguments,
// built with AddressSanitizer and UBSan: any read or write outside a bitmap or a frame,
// any overflow, aborts the run. Fixed seeds. Hostile BMP files are fuzz/bmp_fuzz's.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

#include "platform/raster/gdi.h"
#include "platform/sdl/present.h"

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
  std::vector<platform::FrameArea> areas;
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
    for (const platform::FrameArea& a : areas) {
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

}  // namespace
