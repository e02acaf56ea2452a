// The raster layer and the BMP decoder driven with random arguments and hostile files,
// built with AddressSanitizer and UBSan: any read or write outside a bitmap or a file,
// any overflow, aborts the run. The seeds are fixed so a failure repeats.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/bmp.h"
#include "platform/gdi.h"

namespace {

using namespace gdi;

class Dice {
 public:
  explicit Dice(std::uint32_t seed) : rng_(seed) {}
  int Below(int n) { return static_cast<int>(rng_() % static_cast<std::uint32_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  std::uint32_t Bits() { return rng_(); }
  // Mostly small values around a bitmap, sometimes the extremes.
  int Coord() {
    static const int extremes[] = {INT_MIN, INT_MIN + 1, -65536, -1, 0, 1, 65536,
                                   INT_MAX - 1, INT_MAX, 16384, -16384};
    if (Chance(15)) return extremes[Below(sizeof extremes / sizeof extremes[0])];
    return Below(161) - 80;
  }
  // A width or height: usually a sensible one, sometimes anything.
  int Size() { return Chance(70) ? 1 + Below(80) : Coord(); }
  template <typename T>
  T Pick(const std::vector<T>& v) {
    return v[static_cast<size_t>(Below(static_cast<int>(v.size())))];
  }

 private:
  std::mt19937 rng_;
};

DWORD Rop(Dice& d) {
  static const std::vector<DWORD> rops = {SRCCOPY, SRCAND, SRCPAINT, SRCERASE_NOT,
                                          0x00330008, 0};
  return d.Chance(90) ? d.Pick(rops) : d.Bits();
}

TEST(RandomDraws, NeverFaultAndNeverLeak) {
  Dice dice(20240611);
  const int baseline = LiveObjectCount();
  std::vector<HDC> dcs;
  std::vector<HBITMAP> bitmaps;
  for (int i = 0; i < 8; ++i) dcs.push_back(CreateCompatibleDC(0));
  const auto newBitmap = [&]() {
    const int w = 1 + dice.Below(70);
    const int h = 1 + dice.Below(50);
    const HBITMAP b = dice.Chance(30) ? CreateBitmap(w, h, 1, 1, nullptr)
                                      : CreateCompatibleBitmap(0, w, h);
    EXPECT_NE(b, 0u);
    bitmaps.push_back(b);
    return b;
  };
  for (HDC dc : dcs) SelectObject(dc, newBitmap());
  std::vector<HPEN> pens = {CreatePen(PS_SOLID, 1, RGB(255, 0, 0)),
                            CreatePen(PS_SOLID, 0, RGB(255, 255, 255))};
  HGDIOBJ stale = CreateCompatibleBitmap(0, 2, 2);
  DeleteObject(stale);
  // Contexts, plus null, stale, made-up handles and a bitmap posing as a context.
  const auto anyDc = [&]() -> HDC {
    switch (dice.Below(12)) {
      case 0: return 0;
      case 1: return stale;
      case 2: return dice.Bits();
      case 3: return bitmaps.empty() ? 0 : dice.Pick(bitmaps);
      default: return dice.Pick(dcs);
    }
  };

  for (int i = 0; i < 100000; ++i) {
    switch (dice.Below(10)) {
      case 0:
      case 1:
      case 2:
        BitBlt(anyDc(), dice.Coord(), dice.Coord(), dice.Size(), dice.Size(), anyDc(),
               dice.Coord(), dice.Coord(), Rop(dice));
        break;
      case 3:
      case 4:
        StretchBlt(anyDc(), dice.Coord(), dice.Coord(), dice.Size(), dice.Size(), anyDc(),
                   dice.Coord(), dice.Coord(), dice.Size(), dice.Size(), Rop(dice));
        break;
      case 5: {
        const int w = dice.Size();
        const int h = dice.Size();
        const BLENDFUNCTION blend = {static_cast<std::uint8_t>(dice.Chance(90) ? 0 : 1), 0,
                                     static_cast<std::uint8_t>(dice.Bits()),
                                     static_cast<std::uint8_t>(dice.Chance(90) ? 0 : 1)};
        AlphaBlend(anyDc(), dice.Coord(), dice.Coord(), w, h, anyDc(), dice.Coord(),
                   dice.Coord(), dice.Chance(80) ? w : dice.Coord(),
                   dice.Chance(80) ? h : dice.Coord(), blend);
        break;
      }
      case 6:
        Rectangle(anyDc(), dice.Coord(), dice.Coord(), dice.Coord(), dice.Coord());
        break;
      case 7: {
        // Swap what the contexts hold, delete objects still in use, make new ones.
        const HDC dc = dice.Pick(dcs);
        if (dice.Chance(50)) {
          SelectObject(dc, dice.Chance(50) && !bitmaps.empty() ? dice.Pick(bitmaps)
                                                               : newBitmap());
        } else if (dice.Chance(50)) {
          SelectObject(anyDc(), dice.Chance(50) ? dice.Pick(pens) : dice.Bits());
        } else if (!bitmaps.empty()) {
          const size_t k = static_cast<size_t>(dice.Below(static_cast<int>(bitmaps.size())));
          DeleteObject(bitmaps[k]);
          bitmaps.erase(bitmaps.begin() + static_cast<long>(k));
        }
        break;
      }
      case 8:
        SetBkColor(anyDc(), dice.Bits());
        SetTextColor(anyDc(), dice.Chance(50) ? dice.Bits() : RGB(0, 0, 0));
        break;
      default: {
        const HBITMAP b = dice.Chance(50) ? CurrentBitmap(anyDc()) : anyDc();
        int w = 0;
        int h = 0;
        const std::uint32_t* bits = ColourBits(b, &w, &h);
        if (bits != nullptr && w > 0 && h > 0) {
          volatile std::uint32_t last = bits[static_cast<size_t>(w) * h - 1];
          (void)last;
        }
        PixelAt(b, dice.Coord(), dice.Coord());
        BITMAP bm;
        GetObject(b, static_cast<int>(sizeof bm), &bm);
        GetObject(b, dice.Below(40) - 8, &bm);
        CreateCompatibleBitmap(0xFFFFFFFFu, dice.Coord(), dice.Coord());
        if (const HBITMAP made = CreateCompatibleBitmap(anyDc(), dice.Coord(), 3)) {
          bitmaps.push_back(made);
        }
        break;
      }
    }
  }
  for (HDC dc : dcs) EXPECT_TRUE(DeleteDC(dc));
  for (HBITMAP b : bitmaps) DeleteObject(b);
  for (HPEN p : pens) EXPECT_TRUE(DeleteObject(p));
  EXPECT_EQ(LiveObjectCount(), baseline);
}

// A stretch between equal sizes is a plain copy: both paths must agree, also where the
// rectangles reach outside either bitmap and for every conversion.
TEST(RandomDraws, EqualSizeStretchMatchesBitBlt) {
  Dice dice(7);
  const int baseline = LiveObjectCount();
  for (int i = 0; i < 3000; ++i) {
    const bool srcMono = dice.Chance(30);
    const bool dstMono = dice.Chance(30);
    const int sw = 1 + dice.Below(12), sh = 1 + dice.Below(12);
    const int dw = 1 + dice.Below(12), dh = 1 + dice.Below(12);
    const HDC src = CreateCompatibleDC(0);
    const HBITMAP sb = srcMono ? CreateBitmap(sw, sh, 1, 1, nullptr)
                               : CreateCompatibleBitmap(0, sw, sh);
    SelectObject(src, sb);
    const HPEN pen = CreatePen(PS_SOLID, 1, 0);
    SelectObject(src, pen);
    for (int y = 0; y < sh; ++y) {
      for (int x = 0; x < sw; ++x) {
        const HPEN p = CreatePen(PS_SOLID, 1, dice.Chance(30) ? RGB(1, 2, 3) : dice.Bits());
        DeleteObject(SelectObject(src, p));
        Rectangle(src, x, y, x + 1, y + 1);
      }
    }
    DeleteObject(SelectObject(src, GetStockObject(BLACK_PEN)));
    SetBkColor(src, RGB(1, 2, 3));
    HDC dst[2];
    HBITMAP db[2];
    for (int k = 0; k < 2; ++k) {
      dst[k] = CreateCompatibleDC(0);
      db[k] = dstMono ? CreateBitmap(dw, dh, 1, 1, nullptr) : CreateCompatibleBitmap(0, dw, dh);
      SelectObject(dst[k], db[k]);
      SetBkColor(dst[k], RGB(200, 100, 50));
      SetTextColor(dst[k], RGB(5, 6, 7));
      const HPEN frame = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
      SelectObject(dst[k], frame);
      DeleteObject(frame);
      Rectangle(dst[k], 1, 1, dw, dh);
    }
    const int x = dice.Below(21) - 10, y = dice.Below(21) - 10;
    const int w = dice.Below(20) + 1, h = dice.Below(20) + 1;
    const int sx = dice.Below(21) - 10, sy = dice.Below(21) - 10;
    const DWORD rop = Rop(dice);
    const bool a = BitBlt(dst[0], x, y, w, h, src, sx, sy, rop);
    const bool b = StretchBlt(dst[1], x, y, w, h, src, sx, sy, w, h, rop);
    ASSERT_EQ(a, b);
    for (int py = 0; py < dh; ++py) {
      for (int px = 0; px < dw; ++px) {
        ASSERT_EQ(PixelAt(db[0], px, py), PixelAt(db[1], px, py))
            << "case " << i << " at " << px << "," << py;
      }
    }
    for (int k = 0; k < 2; ++k) {
      DeleteDC(dst[k]);
      DeleteObject(db[k]);
    }
    DeleteDC(src);
    DeleteObject(sb);
  }
  EXPECT_EQ(LiveObjectCount(), baseline);
}

// --- hostile BMP files ---

void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// A well-formed file to start from: header size, depth, compression, pixel bytes.
std::string Seed(std::uint32_t headerSize, std::uint32_t bpp, std::uint32_t compression,
                 int width, int height, const std::string& pixels) {
  std::string h;
  Put32(h, headerSize);
  if (headerSize == 12) {
    Put16(h, static_cast<std::uint32_t>(width));
    Put16(h, static_cast<std::uint32_t>(height));
    Put16(h, 1);
    Put16(h, bpp);
  } else {
    Put32(h, static_cast<std::uint32_t>(width));
    Put32(h, static_cast<std::uint32_t>(height));
    Put16(h, 1);
    Put16(h, bpp);
    Put32(h, compression);
    Put32(h, static_cast<std::uint32_t>(pixels.size()));
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, 0);
    Put32(h, 0);
    const std::uint32_t masks[3] = {bpp == 16 ? 0xF800u : 0xFF0000u,
                                    bpp == 16 ? 0x07E0u : 0x00FF00u,
                                    bpp == 16 ? 0x001Fu : 0x0000FFu};
    if (compression == 3 || headerSize > 40) {
      for (std::uint32_t m : masks) Put32(h, m);
    }
    if (headerSize > 40) h.resize(headerSize, '\0');
  }
  if (bpp <= 8) {
    for (std::uint32_t i = 0; i < (1u << bpp); ++i) {
      h += static_cast<char>(i * 3);
      h += static_cast<char>(i * 5);
      h += static_cast<char>(i * 7);
      if (headerSize != 12) h += '\0';
    }
  }
  std::string f = "BM";
  Put32(f, static_cast<std::uint32_t>(14 + h.size() + pixels.size()));
  Put32(f, 0);
  Put32(f, static_cast<std::uint32_t>(14 + h.size()));
  return f + h + pixels;
}

std::string Noise(Dice& d, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>(d.Bits());
  return s;
}

TEST(HostileBmp, MutatedFilesNeverFault) {
  Dice dice(4242);
  std::vector<std::string> seeds = {
      Seed(40, 24, 0, 5, 3, Noise(dice, 16 * 3)),
      Seed(40, 32, 0, 4, 4, Noise(dice, 64)),
      Seed(40, 32, 3, 4, 2, Noise(dice, 32)),
      Seed(40, 16, 3, 3, 3, Noise(dice, 24)),
      Seed(108, 16, 3, 3, 3, Noise(dice, 24)),
      Seed(124, 16, 0, 3, 3, Noise(dice, 24)),
      Seed(56, 32, 3, 2, 2, Noise(dice, 16)),
      Seed(52, 24, 0, 2, 2, Noise(dice, 16)),
      Seed(40, 8, 0, 7, 3, Noise(dice, 24)),
      Seed(40, 4, 0, 9, 2, Noise(dice, 16)),
      Seed(40, 1, 0, 33, 2, Noise(dice, 16)),
      Seed(12, 8, 0, 7, 3, Noise(dice, 24)),
      Seed(12, 1, 0, 5, 2, Noise(dice, 8)),
      Seed(40, 8, 1, 6, 3,
           std::string("\x03\x05\x00\x03\x01\x02\x03\x00\x00\x00\x00\x02\x01\x01"
                       "\x02\x07\x00\x00\x00\x01",
                       20)),
      Seed(40, 4, 2, 6, 3,
           std::string("\x05\x12\x00\x00\x00\x05\x32\x11\x20\x00\x00\x02\x00\x01"
                       "\x01\x30\x00\x01",
                       18)),
  };
  for (const std::string& s : seeds) {
    DecodedBmp out;
    ASSERT_TRUE(DecodeBmp(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), out));
  }
  // Header fields and the values that break naive decoders.
  const std::vector<size_t> fields = {2, 10, 14, 18, 22, 26, 28, 30, 34, 46, 54, 58, 62};
  const std::vector<std::uint32_t> values = {
      0, 1, 2, 3, 4, 5, 7, 8, 12, 15, 16, 24, 32, 40, 64, 108, 124, 255, 256, 0x8000,
      0xFFFF, 16384, 16385, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF8u};
  int decoded = 0;
  for (int i = 0; i < 40000; ++i) {
    std::string f = seeds[static_cast<size_t>(dice.Below(static_cast<int>(seeds.size())))];
    const int kind = dice.Below(4);
    if (kind == 0 || kind == 3) {
      // One header field: 16 or 32 bits at a known place.
      const size_t at = dice.Pick(fields);
      const std::uint32_t v = dice.Pick(values);
      const int width = dice.Chance(50) ? 2 : 4;
      for (int b = 0; b < width && at + b < f.size(); ++b) {
        f[at + b] = static_cast<char>(v >> (8 * b));
      }
    }
    if (kind == 1 || kind == 3) {
      // A few random bytes anywhere but the two dimensions, so a mutation never asks
      // for a gigantic picture that is then legitimately all one colour.
      for (int n = 1 + dice.Below(4); n > 0; --n) {
        const size_t at = static_cast<size_t>(dice.Below(static_cast<int>(f.size())));
        if (at >= 18 && at < 26) continue;
        f[at] = static_cast<char>(dice.Bits());
      }
    }
    if (kind == 2 || dice.Chance(20)) {
      f.resize(static_cast<size_t>(dice.Below(static_cast<int>(f.size()) + 1)));
    }
    if (dice.Chance(10)) f += Noise(dice, static_cast<size_t>(dice.Below(64)));
    // The decoder gets exactly the bytes of the file: a copy in its own allocation,
    // so that ASan sees any read past its end.
    std::vector<std::uint8_t> bytes(f.begin(), f.end());
    DecodedBmp out;
    if (DecodeBmp(bytes.data(), bytes.size(), out)) {
      ++decoded;
      ASSERT_GE(out.width, 1);
      ASSERT_GE(out.height, 1);
      ASSERT_LE(out.width, kMaxBitmapSide);
      ASSERT_LE(out.height, kMaxBitmapSide);
      ASSERT_EQ(out.pixels.size(), static_cast<size_t>(out.width) * out.height);
      for (std::uint32_t p : out.pixels) ASSERT_EQ(p >> 24, 0u);
    } else {
      ASSERT_TRUE(out.pixels.empty());
    }
  }
  // The mutations must leave enough files whole for the pixel paths to run too.
  EXPECT_GT(decoded, 4000);
}

TEST(HostileBmp, RandomBytesAfterAValidHeader) {
  Dice dice(99);
  for (int i = 0; i < 20000; ++i) {
    const std::uint32_t bpp = dice.Pick(std::vector<std::uint32_t>{1, 4, 8, 16, 24, 32});
    std::uint32_t compression = 0;
    if (bpp == 8 && dice.Chance(50)) compression = 1;
    if (bpp == 4 && dice.Chance(50)) compression = 2;
    if ((bpp == 16 || bpp == 32) && dice.Chance(50)) compression = 3;
    std::string f = Seed(dice.Chance(50) ? 40 : 124, bpp, compression, 1 + dice.Below(20),
                         1 + dice.Below(20), Noise(dice, static_cast<size_t>(dice.Below(600))));
    std::vector<std::uint8_t> bytes(f.begin(), f.end());
    DecodedBmp out;
    if (DecodeBmp(bytes.data(), bytes.size(), out)) {
      ASSERT_EQ(out.pixels.size(), static_cast<size_t>(out.width) * out.height);
    }
  }
}

}  // namespace
