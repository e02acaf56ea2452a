// The raster layer and the BMP decoder driven with random arguments and hostile files,
// built with AddressSanitizer and UBSan: any read or write outside a bitmap or a file,
// any overflow, aborts the run. The seeds are fixed so a failure repeats.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/raster/bmp.h"
#include "platform/raster/gdi.h"
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

// Some drawing waits or shares: a mask's AND waits for the picture drawn over it, a
// copy of a whole bitmap is made when somebody needs it, a sprite's opaque spans are
// found once. Whatever the calls, that must show the pixels that drawing each call at
// once gives, which is what bitmaps whose pixels were handed out get: a fingerprint of
// every bitmap after every few calls. And every colour bitmap, shown as the window
// surface is, differs from the frame it showed before only where it says it may.
std::vector<std::uint64_t> LazyScene(bool handedOut) {
  Dice dice{std::mt19937(8086)};
  struct Slot {
    int w, h;
    bool mono;
    HDC dc = 0;
    HBITMAP bmp = 0;
  };
  struct Shown {
    std::vector<std::uint32_t> pixels;  // as ShownBits gave them last
    std::uint64_t frame = 0;
  };
  long long changed = 0, missed = 0, inAreas = 0, pixels = 0;
  const auto show = [&](const Slot& slot, Shown& s) {
    platform::FrameChanges changes;
    int w = 0, h = 0;
    const std::uint32_t* now = ShownBits(slot.bmp, &w, &h, &changes);
    if (changes.since != 0) {
      EXPECT_EQ(changes.since, s.frame);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const bool inside = std::any_of(changes.areas.begin(), changes.areas.end(), [&](auto& a) {
            return x >= a.x && x < a.x + a.w && y >= a.y && y < a.y + a.h;
          });
          inAreas += inside;
          if (now[y * w + x] == s.pixels[static_cast<size_t>(y * w + x)]) continue;
          ++changed;
          missed += !inside;
        }
      }
      pixels += w * h;
    }
    s.pixels.assign(now, now + w * h);
    s.frame = changes.frame;
  };
  // Two widths, some bitmaps taller than others of their width, and masks to fit; the
  // last is a wall that is seldom drawn on after it is made.
  std::vector<Slot> slots = {{48, 32, false}, {48, 32, false}, {48, 40, false},
                             {48, 32, false}, {24, 32, false}, {24, 32, false},
                             {48, 32, true},  {24, 32, true},  {48, 40, true},
                             {48, 40, false}};
  std::vector<Shown> shown(slots.size());
  const HDC zeros = CreateCompatibleDC(0);
  const HBITMAP zerosBmp = CreateBitmap(64, 64, 1, 1, nullptr);
  SelectObject(zeros, zerosBmp);
  const std::vector<COLORREF> inks = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(200, 40, 10),
                                      RGB(10, 90, 250), RGB(0, 255, 0)};
  const auto paint = [&](const Slot& s) {  // a solid block in one of the inks
    SetTextColor(s.dc, dice.Pick(inks));
    BitBlt(s.dc, dice.Below(40) - 8, dice.Below(30) - 6, 4 + dice.Below(40),
           2 + dice.Below(24), zeros, 0, 0, SRCCOPY);
    SetTextColor(s.dc, RGB(0, 0, 0));
  };
  const auto make = [&](Slot& s) {
    s.bmp = s.mono ? CreateBitmap(s.w, s.h, 1, 1, nullptr) : CreateCompatibleBitmap(0, s.w, s.h);
    SelectObject(s.dc, s.bmp);
    if (!s.mono && handedOut) ColourBits(s.bmp, nullptr, nullptr);
    for (int k = 0; k < 6; ++k) paint(s);
  };
  for (Slot& s : slots) {
    s.dc = CreateCompatibleDC(0);
    make(s);
  }
  // The wall in stripes a pixel high: rows of a different colour from their neighbours.
  for (int row = 0; row < slots[9].h; ++row) {
    SetTextColor(slots[9].dc, inks[static_cast<size_t>(row) % inks.size()]);
    BitBlt(slots[9].dc, 0, row, slots[9].w, 1, zeros, 0, 0, SRCCOPY);
  }
  SetTextColor(slots[9].dc, RGB(0, 0, 0));
  const auto colour = [&]() -> Slot& { return slots[static_cast<size_t>(dice.Below(6))]; };
  const auto anySlot = [&]() -> Slot& { return slots[static_cast<size_t>(dice.Below(9))]; };
  // A mask and a picture of its size: mask 6 goes with 0, 1, 3; 7 with 4, 5; 8 with 2.
  const auto sprite = [&](Slot*& mask, Slot*& picture) {
    const int k = dice.Below(3);
    mask = &slots[static_cast<size_t>(6 + k)];
    picture = &slots[k == 0 ? static_cast<size_t>(dice.Pick(std::vector<int>{0, 1, 3}))
                            : k == 1 ? static_cast<size_t>(4 + dice.Below(2)) : 2u];
  };
  const std::vector<DWORD> rops = {SRCCOPY, SRCAND, SRCPAINT, SRCERASE_NOT};
  std::vector<std::uint64_t> out;
  for (int i = 0; i < 8000; ++i) {
    if (i % 4 == 0) {
      std::uint64_t hash = 0xcbf29ce484222325u;
      for (const Slot& s : slots) {
        for (int p = 0; p < s.w * s.h; ++p) {
          hash = (hash ^ static_cast<std::uint64_t>(PixelAt(s.bmp, p % s.w, p / s.w))) *
                 0x100000001b3u;
        }
      }
      out.push_back(hash);
      for (size_t k = 0; k < slots.size(); ++k) {
        if (!slots[k].mono) show(slots[k], shown[k]);
      }
    }
    const int x = dice.Below(70) - 20, y = dice.Below(50) - 12;
    switch (dice.Below(12)) {
      case 0:
      case 1: {  // a transparent draw, whole or in part, at times broken up
        Slot* mask;
        Slot* picture;
        sprite(mask, picture);
        Slot& d = colour();
        const bool whole = dice.Chance(60);
        const int w = whole ? mask->w : dice.Below(50), h = whole ? mask->h : dice.Below(40);
        const int sx = whole ? 0 : dice.Below(30) - 4, sy = whole ? 0 : dice.Below(20) - 4;
        BitBlt(d.dc, x, y, w, h, mask->dc, sx, sy, SRCAND);
        if (dice.Chance(10)) PixelAt(d.bmp, 1, 1);
        int p[6] = {x, y, w, h, sx, sy};  // now and then not quite the same place
        if (dice.Chance(20)) p[dice.Below(6)] += 1;
        BitBlt(d.dc, p[0], p[1], p[2], p[3], picture->dc, p[4], p[5], SRCPAINT);
        break;
      }
      case 2: {  // the same, stretched
        Slot* mask;
        Slot* picture;
        sprite(mask, picture);
        Slot& d = colour();
        const int w = 1 + dice.Below(90), h = 1 + dice.Below(70);
        const int sw = 1 + dice.Below(mask->w), sh = 1 + dice.Below(mask->h);
        StretchBlt(d.dc, x, y, w, h, mask->dc, 0, dice.Below(4), sw, sh, SRCAND);
        StretchBlt(d.dc, x, y, w, h, picture->dc, 0, dice.Below(4), sw, sh, SRCPAINT);
        break;
      }
      case 3: {  // a sprite made as the loader makes one
        Slot* mask;
        Slot* picture;
        sprite(mask, picture);
        const COLORREF old = SetBkColor(picture->dc, dice.Pick(inks));
        BitBlt(mask->dc, 0, 0, mask->w, mask->h, picture->dc, 0, 0, SRCCOPY);
        SetBkColor(picture->dc, old);
        BitBlt(picture->dc, 0, 0, mask->w, mask->h, mask->dc, 0, 0, SRCERASE_NOT);
        break;
      }
      case 4: {  // a whole bitmap filled from one as wide, perhaps taller, or painted
        Slot& d = colour();
        const int from = dice.Below(3);
        Slot& s = from == 0 ? slots[2] : from == 1 ? slots[9] : colour();
        for (int again = dice.Below(3); again >= 0; --again) {
          BitBlt(d.dc, 0, 0, d.w, d.h, s.dc, 0, dice.Chance(50) ? 0 : dice.Below(10), SRCCOPY);
        }
        if (&s != &slots[9] && dice.Chance(30)) {  // the wall stays as it is
          SetTextColor(s.dc, dice.Pick(inks));
          BitBlt(s.dc, 0, 0, s.w, s.h, zeros, 0, 0, SRCCOPY);
          SetTextColor(s.dc, RGB(0, 0, 0));
        }
        break;
      }
      case 5:
        BitBlt(colour().dc, x, y, dice.Below(50), dice.Below(40), colour().dc, dice.Below(30),
               dice.Below(30), SRCCOPY);
        break;
      case 6:
        BitBlt(anySlot().dc, x, y, dice.Below(60), dice.Below(50), anySlot().dc,
               dice.Below(40) - 8, dice.Below(30) - 6, dice.Pick(rops));
        break;
      case 7:
        AlphaBlend(colour().dc, x, y, 30, 20, colour().dc, dice.Below(20), dice.Below(20), 30,
                   20, {0, 0, std::uint8_t(dice.rng()), 0});
        break;
      case 8: {  // a bitmap goes and another takes its place
        Slot& s = anySlot();
        DeleteDC(s.dc);
        DeleteObject(s.bmp);
        s.dc = CreateCompatibleDC(0);
        make(s);
        break;
      }
      case 9:
        paint(anySlot());
        break;
      case 10: {  // a picture built again on the wall, as the back buffer is every pass
        Slot& d = slots[static_cast<size_t>(dice.Pick(std::vector<int>{0, 1, 3}))];
        BitBlt(d.dc, 0, 0, d.w, d.h, slots[9].dc, 0, dice.Chance(70) ? 0 : 1 + dice.Below(8), SRCCOPY);
        if (dice.Chance(80)) {  // and a board over it, mostly from the same place
          BitBlt(d.dc, dice.Chance(80) ? 4 : 5, 3, 30, 20, slots[9].dc, 2,
                 dice.Chance(60) ? 1 : 2 + dice.Below(3), SRCCOPY);
        }
        paint(d);
        if (dice.Chance(10)) paint(slots[9]);  // the wall changes while d still owes it
        break;
      }
      default:
        if (dice.Chance(20)) {
          Slot& s = colour();
          SetBkColor(s.dc, dice.Pick(inks));
          SetTextColor(s.dc, dice.Chance(50) ? dice.Pick(inks) : RGB(0, 0, 0));
        } else {
          Rectangle(anySlot().dc, x, y, x + dice.Below(30), y + dice.Below(30));
        }
    }
  }
  EXPECT_EQ(missed, 0) << "of " << changed << " pixels changed";
  std::printf("changes %lld, areas %lld of %lld pixels\n", changed, inAreas, pixels);
  for (Slot& s : slots) {
    DeleteDC(s.dc);
    DeleteObject(s.bmp);
  }
  DeleteDC(zeros);
  DeleteObject(zerosBmp);
  return out;
}

TEST(LazyDrawing, LooksLikeDrawingEachCallAtOnce) {
  const int baseline = LiveObjectCount();
  EXPECT_EQ(LazyScene(false), LazyScene(true));
  EXPECT_EQ(LiveObjectCount(), baseline);
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
      Seed(40, 24, 0, 5, 3, dice.Noise(48)),   Seed(40, 32, 0, 4, 4, dice.Noise(64)),
      Seed(40, 32, 3, 4, 2, dice.Noise(32)),   Seed(40, 16, 3, 3, 3, dice.Noise(24)),
      Seed(108, 16, 3, 3, 3, dice.Noise(24)),  Seed(124, 16, 0, 3, 3, dice.Noise(24)),
      Seed(56, 32, 3, 2, 2, dice.Noise(16)),   Seed(52, 24, 0, 2, 2, dice.Noise(16)),
      Seed(40, 8, 0, 7, 3, dice.Noise(24)),    Seed(40, 4, 0, 9, 2, dice.Noise(16)),
      Seed(40, 1, 0, 33, 2, dice.Noise(16)),   Seed(12, 8, 0, 7, 3, dice.Noise(24)),
      Seed(12, 1, 0, 5, 2, dice.Noise(8)),
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
      const size_t at = dice.Pick(fields);
      const std::uint32_t v = dice.Pick(values);
      const size_t end = std::min(f.size(), at + (dice.Chance(50) ? 2 : 4));
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
    ASSERT_TRUE(out.width >= 1 && out.width <= kMaxPictureSide);
    ASSERT_TRUE(out.height >= 1 && out.height <= kMaxPictureSide);
    ASSERT_EQ(out.pixels.size(), static_cast<size_t>(out.width) * out.height);
    for (std::uint32_t p : out.pixels) ASSERT_EQ(p >> 24, 0u);
  }
  // The mutations must leave enough files whole for the pixel paths to run too.
  EXPECT_GT(decoded, 15000);
}

}  // namespace
