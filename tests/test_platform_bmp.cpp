// The BMP decoder: every header, depth and compression the Windows loader takes gives
// the pixels of the picture it was written from, and malformed files are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/raster/bmp.h"
#include "support/test_support.h"

namespace {

using gdi::DecodedBmp;
using Pixels = std::vector<std::uint32_t>;

// BMP files put together field by field.
void PutLe(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct BmpFile {
  std::uint32_t headerSize = 40;  // 12 is the core header
  std::int32_t width = 1, height = 1;
  std::uint32_t planes = 1, bpp = 24, compression = 0, clrUsed = 0;
  std::vector<std::uint32_t> masks;    // written after the first 40 bytes of the header
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB
  std::string pixels;
};

std::string BuildBmp(const BmpFile& s) {
  std::string h;
  PutLe(h, s.headerSize, 4);
  for (std::int32_t side : {s.width, s.height}) PutLe(h, side, s.headerSize == 12 ? 2 : 4);
  PutLe(h, s.planes | s.bpp << 16, 4);
  if (s.headerSize != 12) {
    for (std::uint32_t v : {s.compression, std::uint32_t(s.pixels.size()), 2835u, 2835u, s.clrUsed, 0u})
      PutLe(h, v, 4);
    for (std::uint32_t m : s.masks) PutLe(h, m, 4);
    if (s.headerSize > h.size()) h.resize(s.headerSize, '\0');
  }
  for (std::uint32_t c : s.palette) PutLe(h, c, s.headerSize == 12 ? 3 : 4);
  std::string f = "BM";
  for (size_t v : {14 + h.size() + s.pixels.size(), size_t{0}, 14 + h.size()}) PutLe(f, std::uint32_t(v), 4);
  return f + h + s.pixels;
}

// The fields of a file, little-endian as are the machines this runs on.
std::uint32_t Get32(const std::string& s, size_t at) {
  std::uint32_t v;
  return *static_cast<std::uint32_t*>(std::memcpy(&v, &s[at], 4));
}
void Set32(std::string& s, size_t at, std::uint32_t v) { std::memcpy(&s[at], &v, 4); }
std::string Bytes(const std::vector<int>& v) { return std::string(v.begin(), v.end()); }

bool Decode(const std::string& bytes, DecodedBmp& out, size_t size = std::string::npos) {
  return gdi::DecodeBmp(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                        std::min(size, bytes.size()), out);
}

Pixels MustDecode(const std::string& bytes) {
  DecodedBmp out;
  EXPECT_TRUE(Decode(bytes, out));
  EXPECT_EQ(out.pixels.size(), static_cast<size_t>(out.width) * out.height);
  return out.pixels;
}

// Refused, and the output left empty.
bool Refused(const std::string& bytes, size_t size = std::string::npos) {
  DecodedBmp out;
  out.width = 99;
  return !Decode(bytes, out, size) && out.width == 0 && out.height == 0 && out.pixels.empty();
}

// 13 x 7 pictures: odd, so rows are padded.
Pixels Paint(std::uint32_t (*colour)(int x, int y)) {
  Pixels p;
  for (int i = 0; i < 13 * 7; ++i) p.push_back(colour(i % 13, i / 13));
  return p;
}
// The eight colours every 16-bit layout holds.
const Pixels kEight = Paint([](int x, int y) {
  const Pixels c = {0, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
  return c[(x / 3 + 2 * y + x * y) % 8];
});
// Forty colours, so a palette needs 8 bits; each row starts with a run for RLE.
const Pixels kMany = Paint([](int x, int y) {
  const unsigned k = x < 5 ? y : 7 + (x * 5 + y * 3) % 33;
  return (k * 37 % 256) << 16 | (k * 91 % 256) << 8 | (k * 13 % 256);
});
const Pixels kTwo = Paint([](int x, int y) { return (x + y) % 3 && x != 12 ? 0u : 0xFFFFFFu; });

// The bytes of the picture as ImageMagick's convert writes it.
std::string Convert(const Pixels& p, const std::string& options, const std::string& format) {
  static const std::string dir = testsupport::MakeTempDir("bmp_imagemagick");
  static int n = 0;
  std::string ppm = "P6\n13 7\n255\n";
  for (std::uint32_t c : p) {
    for (int shift : {16, 8, 0}) ppm += static_cast<char>(c >> shift);
  }
  const std::string in = dir + "/" + std::to_string(++n) + ".ppm", out = in + ".bmp";
  testsupport::WriteFile(in, ppm);
  const std::string cmd = "convert '" + in + "' +dither " + options + " " + format + ":'" +
                          out + "' 2>&1";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return testsupport::ReadFile(out);
}

TEST(BmpDecoder, ImageMagickFilesOfEveryDepthAndHeader) {
  struct Case {
    const Pixels& picture;
    std::string options, format;
    std::uint32_t headerSize, bpp, compression;  // which kind of file convert made
  };
  const std::string alpha = "-alpha on -type TrueColorAlpha ";
  const std::string v5 = "-type TrueColor -define bmp:subtype=";
  const Case cases[] = {
      {kEight, "-type TrueColor", "BMP3", 40, 24, 0},
      {kEight, "-type TrueColor", "BMP", 124, 24, 0},
      {kTwo, "-colors 2", "BMP3", 40, 1, 0},
      {kTwo, "-colors 2", "BMP2", 12, 1, 0},
      {kEight, "-colors 256", "BMP3", 40, 4, 0},
      {kEight, "-colors 256", "BMP2", 12, 4, 0},
      {kMany, "-colors 256 -compress None", "BMP3", 40, 8, 0},
      {kMany, "-colors 256 -compress None", "BMP2", 12, 8, 0},
      {kMany, "-colors 256 -compress RLE", "BMP3", 40, 8, 1},
      {kEight, v5 + "RGB565", "BMP", 124, 16, 3},
      {kEight, v5 + "RGB555", "BMP", 124, 16, 3},
      {kEight, alpha + "-define bmp:subtype=ARGB4444", "BMP", 124, 16, 3},
      {kEight, alpha, "BMP", 124, 32, 3},
      {kEight, alpha + "-define bmp3:alpha=true", "BMP3", 40, 32, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format + " " + c.options);
    const std::string f = Convert(c.picture, c.options, c.format);
    ASSERT_GE(f.size(), 54u);
    ASSERT_EQ(Get32(f, 14), c.headerSize);
    EXPECT_EQ(static_cast<std::uint8_t>(f[c.headerSize == 12 ? 24 : 28]), c.bpp);
    EXPECT_EQ(c.headerSize == 12 ? 0 : Get32(f, 30), c.compression);
    EXPECT_EQ(MustDecode(f), c.picture);
    // Every shorter file is refused, but for an RLE one that lost its closing mark.
    for (size_t n = 0; n < f.size(); ++n) {
      const bool whole = c.compression == 1 && n + 2 >= f.size();
      EXPECT_TRUE(whole ? MustDecode(f.substr(0, n)) == c.picture : Refused(f, n)) << n;
    }
  }
}

TEST(BmpDecoder, BitFieldsAndTopDownRows) {
  // The V5 bit-field file cut to a V4, a 56- and a 52-byte header, and to a plain info
  // header followed by the three masks.
  const std::string v5 = Convert(kEight, "-type TrueColor -define bmp:subtype=RGB565", "BMP");
  for (std::uint32_t size : {108u, 56u, 52u, 40u}) {
    SCOPED_TRACE(size);
    std::string f = v5.substr(0, 14 + size) + (size == 40 ? v5.substr(54, 12) : "");
    f += v5.substr(14 + 124);
    Set32(f, 14, size);
    Set32(f, 10, static_cast<std::uint32_t>(f.size() - (v5.size() - 14 - 124)));
    EXPECT_EQ(MustDecode(f), kEight);
  }
  // 10-bit channels keep their top 8 bits, a 2-bit channel repeats its bits; 16 bits
  // without fields are 5-5-5.
  BmpFile wide{40, 2, 1, 1, 32, 3, 0, {0x3FF00000, 0x000FFC00, 0x00000003}, {}, ""};
  PutLe(wide.pixels, 0x3FFu << 20 | 0x200u << 10 | 2u, 4);
  PutLe(wide.pixels, 0x004u << 20 | 0x0FFu << 10 | 1u, 4);
  EXPECT_EQ(MustDecode(BuildBmp(wide)), (Pixels{0xFF80AA, 0x013F55}));
  const BmpFile plain{40, 2, 1, 1, 16, 0, 0, {}, {}, Bytes({0x1F, 0x7C, 0xE0, 0x03})};
  EXPECT_EQ(MustDecode(BuildBmp(plain)), (Pixels{0xFF00FF, 0x00FF00}));
  for (const char* options : {"-type TrueColor", "-colors 256 -compress None"}) {
    SCOPED_TRACE(options);
    const std::string f = Convert(kMany, options, "BMP3");
    const std::uint32_t off = Get32(f, 10);
    const size_t stride = (f.size() - off) / 7;
    std::string flipped = f.substr(0, off);
    for (int r = 6; r >= 0; --r) flipped += f.substr(off + r * stride, stride);
    Set32(flipped, 22, static_cast<std::uint32_t>(-7));
    EXPECT_EQ(MustDecode(flipped), kMany);
  }
}

const Pixels kQuad = {0x101010, 0xFF0000, 0x00FF00, 0x0000FF};

BmpFile Rle(std::uint32_t bpp, int width, int height, const std::vector<int>& data) {
  return {40, width, height, 1, bpp, bpp == 8 ? 1u : 2u, 4, {}, kQuad, Bytes(data)};
}

TEST(BmpDecoder, RleRunsLiteralsDeltasAndSkippedPixels) {
  const std::uint32_t P0 = kQuad[0], P1 = kQuad[1], P2 = kQuad[2], P3 = kQuad[3];
  EXPECT_EQ(MustDecode(BuildBmp(Rle(4, 6, 3, {5, 0x12, 0, 0,              // 1 2 1 2 1, eol
                                              0, 5, 0x32, 0x11, 0x20, 0,  // literal 3 2 1 1 2
                                              0, 2, 0, 1,                 // up one row
                                              1, 0x30, 0, 1}))),          // 3, end
            (Pixels{P0, P0, P0, P0, P0, P3, P3, P2, P1, P1, P2, P0, P1, P2, P1, P2, P1, P0}));
  EXPECT_EQ(MustDecode(BuildBmp(Rle(8, 5, 2, {0, 3, 2, 1, 2, 0,  // literal 2 1 2, padded
                                              2, 1, 0, 0,        // 1 1, end of line
                                              0, 2, 2, 0,        // two to the right
                                              1, 2, 0, 1}))),    // 2, end
            (Pixels{P0, P0, P2, P0, P0, P2, P1, P2, P1, P1}));
}

TEST(BmpDecoder, RefusesHugeAndInconsistentHeaders) {
  const std::string good = BuildBmp({40, 1, 1, 1, 24, 0, 0, {}, {}, Bytes({1, 2, 3, 0})});
  ASSERT_EQ(MustDecode(good), (Pixels{0x030201}));
  enum : size_t { kOffset = 10, kHeader = 14, kWidth = 18, kHeight = 22, kDepth = 26,
                  kCompression = 30 };
  const std::vector<std::pair<size_t, std::uint32_t>> edits[] = {
      {{kWidth, 0}}, {{kHeight, 0}}, {{kWidth, -1u}}, {{kWidth, 8193}}, {{kHeight, -8193u}},
      {{kWidth, 0x80000000u}}, {{kHeight, 0x80000000u}}, {{kWidth, 0x7FFFFFFF}},
      // In range, but more than the file holds.
      {{kWidth, 4096}, {kHeight, 4096}}, {{kHeight, -2u}},
      {{kDepth, 2 | 24 << 16}}, {{kDepth, 1 | 2 << 16}},  // 2 planes, 2 bits
      {{kHeader, 64}}, {{kHeader, 0xFFFFFFF0u}}, {{kCompression, 4}},
      {{kCompression, 1}}, {{kCompression, 3}},  // RLE8 or bit fields of 24 bits
      {{kOffset, 59}}, {{kOffset, 0xFFFFFFFFu}},  // pixels past the end of the file
      {{kOffset, 20}},                             // pixels inside the header
      {{0, Get32(good, 0) + 1}}};                  // "CM" for "BM"
  for (const auto& edit : edits) {
    std::string f = good;
    for (const auto& [at, value] : edit) Set32(f, at, value);
    EXPECT_TRUE(Refused(f)) << "case " << &edit - edits;
  }
  DecodedBmp sink;
  EXPECT_FALSE(gdi::DecodeBmp(nullptr, 100, sink));
  // The widest picture there may be, and one pixel more.
  BmpFile wide{40, 8192, 1, 1, 1, 0, 0, {}, {0, 0xFFFFFF}, std::string(1024, '\xFF')};
  EXPECT_EQ(MustDecode(BuildBmp(wide)), Pixels(8192, 0xFFFFFF));
  wide.width = 8193;
  EXPECT_TRUE(Refused(BuildBmp(wide)));
}

// A few compressed bytes can claim any size: the most pixels a picture may have in all
// are decoded, a row more or a huge claim is refused before anything is allocated.
TEST(BmpDecoder, RefusesPicturesClaimingMoreThan16MiPixels) {
  DecodedBmp out;
  ASSERT_TRUE(Decode(BuildBmp(Rle(8, 4096, 4096, {0, 1})), out));
  EXPECT_EQ(out.pixels.size(), 4096u * 4096u);
  EXPECT_EQ(out.pixels.back(), kQuad[0]);
  for (const auto& [w, h] : {std::pair(4096, 4097), std::pair(8192, 8192),
                             std::pair(16384, 16384)}) {
    EXPECT_TRUE(Refused(BuildBmp(Rle(8, w, h, std::vector<int>(1000, 0))))) << w << "x" << h;
  }
}

TEST(BmpDecoder, RefusesPaletteIndicesOutOfRange) {
  for (std::uint32_t bpp : {1u, 4u, 8u}) {
    SCOPED_TRACE(bpp);
    BmpFile s{40, 3, 1, 1, bpp, 0, 0, {}, bpp == 1 ? Pixels{5} : Pixels{5, 6, 7}, ""};
    s.clrUsed = static_cast<std::uint32_t>(s.palette.size());
    // The first pixel takes the last colour, then one past it.
    s.pixels = Bytes({static_cast<int>((s.clrUsed - 1) << (8 - bpp)), 0, 0, 0});
    EXPECT_EQ(MustDecode(BuildBmp(s)), (Pixels{s.palette.back(), 5, 5}));
    s.pixels[0] = static_cast<char>(s.clrUsed << (8 - bpp));
    EXPECT_TRUE(Refused(BuildBmp(s)));
    s.pixels.clear();  // the colour table itself cut short
    s.palette.pop_back();
    EXPECT_TRUE(Refused(BuildBmp(s)));
  }
}

TEST(BmpDecoder, RefusesRleOverrunsAndColoursOutOfRange) {
  // Rows of 5 (RLE8) and of 3 (RLE4) are stored padded to 8 pixels; runs may fill the
  // padding, not more. The palettes hold 4 colours.
  const std::pair<int, std::vector<int>> cases[] = {
      {8, {9, 1, 0, 1}}, {8, {3, 1, 6, 1, 0, 1}},  // runs past the row
      {8, {0, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1}},  // literal past the row
      {8, {0, 2, 9, 0, 0, 1}}, {8, {0, 2, 0, 2, 1, 1, 0, 1}},  // skips past row, picture
      {8, {0, 0, 0, 0, 1, 1, 0, 1}}, {8, {0, 0, 0, 0, 0, 0, 0, 1}},  // lines past the top
      {8, {0, 3, 1, 1}}, {8, {0, 3, 1, 1, 1}}, {8, {0, 2, 1}},  // literal, padding, skip cut
      {8, {5, 1, 0}}, {8, {}},                                   // file ends mid-picture
      {4, {9, 0x12, 0, 1}}, {4, {0, 9, 0x12, 0x12, 0x12, 0x12, 0x10, 0, 0, 1}},
      {8, {2, 4, 0, 1}}, {4, {2, 0x34, 0, 1}}};  // colours past the palette
  ASSERT_FALSE(Refused(BuildBmp(Rle(8, 5, 2, {8, 1, 0, 0, 8, 2, 0, 1}))));
  ASSERT_FALSE(Refused(BuildBmp(Rle(4, 3, 1, {8, 0x12, 0, 1}))));
  for (const auto& c : cases) {
    EXPECT_TRUE(Refused(BuildBmp(Rle(c.first, c.first == 8 ? 5 : 3, c.first == 8 ? 2 : 1,
                                     c.second))))
        << "case " << &c - cases;
  }
  // Compressed pictures cannot be stored top-down.
  for (int bpp : {4, 8}) EXPECT_TRUE(Refused(BuildBmp(Rle(bpp, 3, -1, {3, 1, 0, 1}))));
}

}  // namespace
