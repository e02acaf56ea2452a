// The BMP decoder: every header, depth and compression the Windows loader takes gives
// the same pixels as a plain 24-bit file, and malformed files are refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/bmp.h"
#include "platform/gdi.h"
#include "support/test_support.h"

namespace {

using gdi::DecodeBmp;
using gdi::DecodedBmp;
using Pixels = std::vector<std::uint32_t>;

// --- byte helpers ---

void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
std::uint32_t Get32(const std::string& s, size_t at) {
  return static_cast<std::uint8_t>(s[at]) | (static_cast<std::uint8_t>(s[at + 1]) << 8) |
         (static_cast<std::uint8_t>(s[at + 2]) << 16) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3])) << 24);
}
void Set32(std::string& s, size_t at, std::uint32_t v) {
  std::string b;
  Put32(b, v);
  s.replace(at, 4, b);
}
std::string Bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s += static_cast<char>(b);
  return s;
}

bool Decode(const std::string& bytes, DecodedBmp& out) {
  return DecodeBmp(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out);
}

DecodedBmp MustDecode(const std::string& bytes) {
  DecodedBmp out;
  EXPECT_TRUE(Decode(bytes, out));
  EXPECT_EQ(out.pixels.size(), static_cast<size_t>(out.width) * out.height);
  return out;
}

bool Refused(const std::string& bytes) {
  DecodedBmp out;
  out.width = 99;
  const bool ok = Decode(bytes, out);
  return !ok && out.width == 0 && out.height == 0 && out.pixels.empty();
}

// A BMP file put together field by field.
struct Spec {
  std::uint32_t headerSize = 40;
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint32_t planes = 1;
  std::uint32_t bpp = 24;
  std::uint32_t compression = 0;
  std::uint32_t clrUsed = 0;
  Pixels palette;  // 0x00RRGGBB
  std::vector<std::uint32_t> masks;
  std::string pixels;
};

std::string Build(const Spec& s) {
  std::string h;
  if (s.headerSize == 12) {
    Put32(h, 12);
    Put16(h, static_cast<std::uint32_t>(s.width));
    Put16(h, static_cast<std::uint32_t>(s.height));
    Put16(h, s.planes);
    Put16(h, s.bpp);
  } else {
    Put32(h, s.headerSize);
    Put32(h, static_cast<std::uint32_t>(s.width));
    Put32(h, static_cast<std::uint32_t>(s.height));
    Put16(h, s.planes);
    Put16(h, s.bpp);
    Put32(h, s.compression);
    Put32(h, static_cast<std::uint32_t>(s.pixels.size()));
    Put32(h, 2835);
    Put32(h, 2835);
    Put32(h, s.clrUsed);
    Put32(h, 0);
    if (s.headerSize > 40) {
      for (std::uint32_t m : s.masks) Put32(h, m);
      h.resize(s.headerSize, '\0');
    } else {
      for (std::uint32_t m : s.masks) Put32(h, m);
    }
  }
  for (std::uint32_t c : s.palette) {
    h += static_cast<char>(c & 0xFF);
    h += static_cast<char>((c >> 8) & 0xFF);
    h += static_cast<char>((c >> 16) & 0xFF);
    if (s.headerSize != 12) h += '\0';
  }
  std::string f = "BM";
  Put32(f, static_cast<std::uint32_t>(14 + h.size() + s.pixels.size()));
  Put32(f, 0);
  Put32(f, static_cast<std::uint32_t>(14 + h.size()));
  return f + h + s.pixels;
}

// --- pictures written by ImageMagick ---

struct Picture {
  int width;
  int height;
  Pixels pixels;
};

// 13 x 7 (odd, so rows are padded) in the eight colours every 16-bit layout holds.
Picture EightColours() {
  const Pixels colours = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                          0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};
  Picture p{13, 7, {}};
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) p.pixels.push_back(colours[(x / 3 + 2 * y + x * y) % 8]);
  }
  return p;
}

// Forty colours, so a palette needs 8 bits; each row starts with a run for RLE.
Picture ManyColours() {
  Picture p{13, 7, {}};
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      const int k = x < 5 ? y : 7 + (x * 5 + y * 3) % 33;
      p.pixels.push_back(static_cast<std::uint32_t>((k * 37 % 256) << 16 |
                                                    (k * 91 % 256) << 8 | (k * 13 % 256)));
    }
  }
  return p;
}

Picture TwoColours() {
  Picture p{13, 7, {}};
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      p.pixels.push_back(((x + y) % 3 == 0 || x == 12) ? 0xFFFFFF : 0x000000);
    }
  }
  return p;
}

std::string Ppm(const Picture& p) {
  std::string s = "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) + "\n255\n";
  for (std::uint32_t c : p.pixels) {
    s += static_cast<char>((c >> 16) & 0xFF);
    s += static_cast<char>((c >> 8) & 0xFF);
    s += static_cast<char>(c & 0xFF);
  }
  return s;
}

class ImageMagickFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dir_ = testsupport::MakeTempDir("bmp_imagemagick"); }

  // Writes the picture with convert and returns the file's bytes; each file is made
  // once for the whole suite.
  static std::string Convert(const Picture& p, const std::string& options,
                             const std::string& format) {
    static std::map<std::string, std::string> made;
    const std::string key = format + " " + options + " " + Ppm(p);
    auto it = made.find(key);
    if (it != made.end()) return it->second;
    static int n = 0;
    const std::string in = dir_ + "/in" + std::to_string(++n) + ".ppm";
    const std::string out = dir_ + "/out" + std::to_string(n) + ".bmp";
    testsupport::WriteFile(in, Ppm(p));
    const std::string cmd = "convert '" + in + "' +dither " + options + " " + format + ":'" +
                            out + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return made[key] = testsupport::ReadFile(out);
  }

  // Checks which kind of file convert made, so each case tests what it says it does.
  static void ExpectKind(const std::string& f, std::uint32_t headerSize, unsigned bpp,
                         std::uint32_t compression) {
    ASSERT_GE(f.size(), 54u);
    ASSERT_EQ(Get32(f, 14), headerSize);
    if (headerSize == 12) {
      EXPECT_EQ(static_cast<std::uint8_t>(f[24]), bpp);
    } else {
      EXPECT_EQ(static_cast<std::uint8_t>(f[28]), bpp);
      EXPECT_EQ(Get32(f, 30), compression);
    }
  }

  static void ExpectSame(const std::string& f, const Picture& p) {
    const DecodedBmp d = MustDecode(f);
    EXPECT_EQ(d.width, p.width);
    EXPECT_EQ(d.height, p.height);
    EXPECT_EQ(d.pixels, p.pixels);
  }

  static std::string dir_;
};
std::string ImageMagickFiles::dir_;

TEST_F(ImageMagickFiles, TwentyFourBitReferenceMatchesThePicture) {
  const Picture p = EightColours();
  const std::string f = Convert(p, "-type TrueColor", "BMP3");
  ExpectKind(f, 40, 24, 0);
  ExpectSame(f, p);
  const std::string v5 = Convert(p, "-type TrueColor", "BMP");
  ExpectKind(v5, 124, 24, 0);
  ExpectSame(v5, p);
}

TEST_F(ImageMagickFiles, PalettesOfEveryDepthAndHeader) {
  struct Case {
    Picture picture;
    std::string options;
    std::string format;
    std::uint32_t headerSize;
    unsigned bpp;
    std::uint32_t compression;
  };
  const Case cases[] = {
      {EightColours(), "-colors 256", "BMP3", 40, 4, 0},
      {EightColours(), "-colors 256", "BMP2", 12, 4, 0},
      {EightColours(), "-colors 256", "BMP", 124, 4, 0},
      {ManyColours(), "-colors 256 -compress None", "BMP3", 40, 8, 0},
      {ManyColours(), "-colors 256 -compress None", "BMP2", 12, 8, 0},
      {ManyColours(), "-colors 256 -compress RLE", "BMP3", 40, 8, 1},
      {TwoColours(), "-colors 2", "BMP3", 40, 1, 0},
      {TwoColours(), "-colors 2", "BMP2", 12, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format + " " + c.options);
    const std::string f = Convert(c.picture, c.options, c.format);
    ExpectKind(f, c.headerSize, c.bpp, c.compression);
    ExpectSame(f, c.picture);
    // And the same through the loader of the raster layer.
    const std::string path = dir_ + "/load.bmp";
    testsupport::WriteFile(path, f);
    const gdi::HBITMAP bmp = gdi::LoadBitmapFromFile(path.c_str());
    ASSERT_NE(bmp, 0u);
    int w = 0;
    int h = 0;
    const std::uint32_t* bits = gdi::ColourBits(bmp, &w, &h);
    ASSERT_NE(bits, nullptr);
    EXPECT_EQ(Pixels(bits, bits + w * h), c.picture.pixels);
    gdi::DeleteObject(bmp);
  }
}

TEST_F(ImageMagickFiles, SixteenAndThirtyTwoBitLayouts) {
  const Picture p = EightColours();
  struct Case {
    std::string options;
    std::string format;
    std::uint32_t headerSize;
    unsigned bpp;
    std::uint32_t compression;
  };
  const Case cases[] = {
      {"-type TrueColor -define bmp:subtype=RGB565", "BMP", 124, 16, 3},
      {"-type TrueColor -define bmp:subtype=RGB555", "BMP", 124, 16, 3},
      {"-alpha on -type TrueColorAlpha -define bmp:subtype=ARGB1555", "BMP", 124, 16, 3},
      {"-alpha on -type TrueColorAlpha -define bmp:subtype=ARGB4444", "BMP", 124, 16, 3},
      {"-alpha on -type TrueColorAlpha", "BMP", 124, 32, 3},
      {"-alpha on -type TrueColorAlpha -define bmp3:alpha=true", "BMP3", 40, 32, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format + " " + c.options);
    const std::string f = Convert(p, c.options, c.format);
    ExpectKind(f, c.headerSize, c.bpp, c.compression);
    ExpectSame(f, p);
  }
}

// The same bit-field file with its V5 header cut to a V4, a 56- and 52-byte info
// header, and a plain info header followed by the three masks.
TEST_F(ImageMagickFiles, BitFieldsAfterEveryHeaderSize) {
  const Picture p = EightColours();
  const std::string v5 = Convert(p, "-type TrueColor -define bmp:subtype=RGB565", "BMP");
  ExpectKind(v5, 124, 16, 3);
  for (std::uint32_t size : {108u, 56u, 52u, 40u}) {
    SCOPED_TRACE(size);
    std::string f = v5.substr(0, 14 + size);
    if (size == 40) f += v5.substr(14 + 40, 12);
    f += v5.substr(14 + 124);
    Set32(f, 14, size);
    Set32(f, 10, static_cast<std::uint32_t>(f.size() - (v5.size() - 14 - 124)));
    ExpectSame(f, p);
  }
}

TEST_F(ImageMagickFiles, TopDownRowsReversed) {
  const Picture p = ManyColours();
  for (const char* options : {"-type TrueColor", "-colors 256 -compress None"}) {
    SCOPED_TRACE(options);
    const std::string f = Convert(p, options, "BMP3");
    const std::uint32_t off = Get32(f, 10);
    const size_t stride = (f.size() - off) / p.height;
    std::string flipped = f.substr(0, off);
    for (int r = p.height - 1; r >= 0; --r) flipped += f.substr(off + r * stride, stride);
    Set32(flipped, 22, static_cast<std::uint32_t>(-p.height));
    ExpectSame(flipped, p);
  }
}

TEST_F(ImageMagickFiles, EveryPrefixFailsCleanlyOrDecodesTheWhole) {
  const Picture many = ManyColours();
  const Picture eight = EightColours();
  const std::string files[] = {
      Convert(many, "-colors 256 -compress RLE", "BMP3"),
      Convert(many, "-colors 256", "BMP2"),
      Convert(eight, "-type TrueColor -define bmp:subtype=RGB565", "BMP"),
      Convert(eight, "-type TrueColor", "BMP3"),
  };
  for (const std::string& f : files) {
    const DecodedBmp whole = MustDecode(f);
    int successes = 0;
    for (size_t n = 0; n < f.size(); ++n) {
      DecodedBmp part;
      if (DecodeBmp(reinterpret_cast<const std::uint8_t*>(f.data()), n, part)) {
        ++successes;
        EXPECT_EQ(part.pixels, whole.pixels) << "prefix " << n;
      } else {
        EXPECT_TRUE(part.pixels.empty());
      }
    }
    // Only an RLE file may lose its closing mark and still be whole.
    EXPECT_LE(successes, 2);
  }
}

// --- hand-built files ---

const Pixels kQuad = {0x101010, 0xFF0000, 0x00FF00, 0x0000FF};

TEST(HandBuiltBmp, Rle4RunsLiteralsDeltasAndSkippedPixels) {
  Spec s;
  s.width = 6;
  s.height = 3;
  s.bpp = 4;
  s.compression = 2;
  s.clrUsed = 4;
  s.palette = kQuad;
  s.pixels = Bytes({5, 0x12, 0, 0,                    // bottom row: 1 2 1 2 1, end of line
                    0, 5, 0x32, 0x11, 0x20, 0,        // literal 3 2 1 1 2, padded
                    0, 2, 0, 1,                       // up one row, same column
                    1, 0x30, 0, 1});                  // 3, end of picture
  const DecodedBmp d = MustDecode(Build(s));
  const std::uint32_t P0 = kQuad[0], P1 = kQuad[1], P2 = kQuad[2], P3 = kQuad[3];
  EXPECT_EQ(d.width, 6);
  EXPECT_EQ(d.height, 3);
  EXPECT_EQ(d.pixels, (Pixels{P0, P0, P0, P0, P0, P3,  //
                              P3, P2, P1, P1, P2, P0,  //
                              P1, P2, P1, P2, P1, P0}));
}

Spec Rle8Example() {
  Spec s;
  s.width = 5;
  s.height = 2;
  s.bpp = 8;
  s.compression = 1;
  s.clrUsed = 3;
  s.palette = {kQuad[0], kQuad[1], kQuad[2]};
  s.pixels = Bytes({0, 3, 2, 1, 2, 0,  // literal 2 1 2, padded
                    2, 1, 0, 0,        // 1 1, end of line
                    0, 2, 2, 0,        // two to the right
                    1, 2, 0, 1});      // 2, end of picture
  return s;
}

TEST(HandBuiltBmp, Rle8RunsLiteralsDeltasAndSkippedPixels) {
  const DecodedBmp d = MustDecode(Build(Rle8Example()));
  const std::uint32_t P0 = kQuad[0], P1 = kQuad[1], P2 = kQuad[2];
  EXPECT_EQ(d.pixels, (Pixels{P0, P0, P2, P0, P0,  //
                              P2, P1, P2, P1, P1}));
}

TEST(HandBuiltBmp, RunsIntoTheRowPaddingAreDropped) {
  // ImageMagick encodes the padding of each stored row as pixels.
  Spec s = Rle8Example();
  s.pixels = Bytes({5, 1, 3, 0, 0, 0, 8, 2, 0, 1});
  const std::uint32_t P1 = kQuad[1], P2 = kQuad[2];
  EXPECT_EQ(MustDecode(Build(s)).pixels, (Pixels{P2, P2, P2, P2, P2,  //
                                                 P1, P1, P1, P1, P1}));
}

TEST(HandBuiltBmp, PaletteSizeDefaultsToTheFullDepth) {
  Spec s;
  s.width = 3;
  s.height = 1;
  s.bpp = 4;
  for (std::uint32_t i = 0; i < 16; ++i) s.palette.push_back(i * 0x010101);
  s.pixels = Bytes({0xF0, 0x70, 0, 0});
  EXPECT_EQ(MustDecode(Build(s)).pixels, (Pixels{0x0F0F0F, 0, 0x070707}));
}

TEST(HandBuiltBmp, ThirtyTwoBitFieldsOfAnyWidth) {
  // 10-bit channels keep their top 8 bits; a 2-bit channel repeats its bits.
  Spec s;
  s.width = 2;
  s.height = 1;
  s.bpp = 32;
  s.compression = 3;
  s.masks = {0x3FF00000, 0x000FFC00, 0x00000003};
  s.pixels.clear();
  Put32(s.pixels, (0x3FFu << 20) | (0x200u << 10) | 2u);
  Put32(s.pixels, (0x004u << 20) | (0x0FFu << 10) | 1u);
  EXPECT_EQ(MustDecode(Build(s)).pixels, (Pixels{0xFF80AA, 0x013F55}));
}

TEST(MalformedBmp, HeadersAndSizesAreChecked) {
  Spec ok;
  ok.width = 1;
  ok.height = 1;
  ok.pixels = Bytes({1, 2, 3, 0});
  ASSERT_EQ(MustDecode(Build(ok)).pixels, (Pixels{0x030201}));

  std::string bad = Build(ok);
  bad[0] = 'X';
  EXPECT_TRUE(Refused(bad));
  EXPECT_TRUE(Refused(""));
  EXPECT_TRUE(Refused("BM"));
  DecodedBmp sink;
  EXPECT_FALSE(DecodeBmp(nullptr, 100, sink));

  const auto with = [&](auto change) {
    Spec s = ok;
    change(s);
    return Refused(Build(s));
  };
  EXPECT_TRUE(with([](Spec& s) { s.width = 0; }));
  EXPECT_TRUE(with([](Spec& s) { s.height = 0; }));
  EXPECT_TRUE(with([](Spec& s) { s.width = -1; }));
  EXPECT_TRUE(with([](Spec& s) { s.width = 16385; }));
  EXPECT_TRUE(with([](Spec& s) { s.height = 16385; }));
  EXPECT_TRUE(with([](Spec& s) { s.height = -16385; }));
  EXPECT_TRUE(with([](Spec& s) { s.width = INT32_MIN; }));
  EXPECT_TRUE(with([](Spec& s) { s.height = INT32_MIN; }));
  EXPECT_TRUE(with([](Spec& s) { s.width = INT32_MAX; }));
  // Sizes in range that the file does not hold.
  EXPECT_TRUE(with([](Spec& s) { s.width = 16384; s.height = 16384; }));
  EXPECT_TRUE(with([](Spec& s) { s.height = -2; }));
  EXPECT_TRUE(with([](Spec& s) { s.planes = 2; }));
  EXPECT_TRUE(with([](Spec& s) { s.bpp = 2; }));
  EXPECT_TRUE(with([](Spec& s) { s.bpp = 0; }));
  EXPECT_TRUE(with([](Spec& s) { s.headerSize = 64; }));
  EXPECT_TRUE(with([](Spec& s) { s.headerSize = 16; }));
  EXPECT_TRUE(with([](Spec& s) { s.compression = 4; }));
  EXPECT_TRUE(with([](Spec& s) { s.compression = 1; }));  // RLE8 of 24 bits
  EXPECT_TRUE(with([](Spec& s) { s.compression = 3; }));  // bit fields of 24 bits
  EXPECT_TRUE(with([](Spec& s) {  // 16 bits in a core header
    s.headerSize = 12;
    s.bpp = 16;
  }));
  EXPECT_TRUE(with([](Spec& s) {  // bit fields whose masks are cut off
    s.bpp = 32;
    s.compression = 3;
    s.pixels.clear();
  }));

  std::string offset = Build(ok);
  Set32(offset, 10, static_cast<std::uint32_t>(offset.size() + 1));
  EXPECT_TRUE(Refused(offset));
  Set32(offset, 10, 0xFFFFFFFFu);
  EXPECT_TRUE(Refused(offset));
  Set32(offset, 10, 20);
  EXPECT_TRUE(Refused(offset));
  std::string header = Build(ok);
  Set32(header, 14, 0xFFFFFFF0u);
  EXPECT_TRUE(Refused(header));
}

TEST(MalformedBmp, PaletteIndicesOutOfRange) {
  Spec s;
  s.width = 3;
  s.height = 1;
  s.bpp = 8;
  s.clrUsed = 2;
  s.palette = {0x111111, 0x222222};
  s.pixels = Bytes({1, 0, 1, 0});
  ASSERT_EQ(MustDecode(Build(s)).pixels, (Pixels{0x222222, 0x111111, 0x222222}));
  s.pixels = Bytes({1, 2, 1, 0});
  EXPECT_TRUE(Refused(Build(s)));

  Spec four = s;
  four.bpp = 4;
  four.clrUsed = 3;
  four.palette = {1, 2, 3};
  four.pixels = Bytes({0x21, 0x00, 0, 0});
  ASSERT_EQ(MustDecode(Build(four)).pixels, (Pixels{3, 2, 1}));
  four.pixels = Bytes({0x21, 0x30, 0, 0});
  EXPECT_TRUE(Refused(Build(four)));

  Spec one = s;
  one.bpp = 1;
  one.clrUsed = 1;
  one.palette = {5};
  one.pixels = Bytes({0x00, 0, 0, 0});
  ASSERT_EQ(MustDecode(Build(one)).pixels, (Pixels{5, 5, 5}));
  one.pixels = Bytes({0x20, 0, 0, 0});
  EXPECT_TRUE(Refused(Build(one)));

  // The colour table itself cut short.
  Spec cut = s;
  cut.palette = {0x111111};
  cut.pixels.clear();
  EXPECT_TRUE(Refused(Build(cut)));

  Spec rle = Rle8Example();
  rle.pixels[7] = 3;  // the run of 1 1 becomes a run of colour 3 of 3
  EXPECT_TRUE(Refused(Build(rle)));
  Spec rle4;
  rle4.width = 2;
  rle4.height = 1;
  rle4.bpp = 4;
  rle4.compression = 2;
  rle4.clrUsed = 4;
  rle4.palette = kQuad;
  rle4.pixels = Bytes({2, 0x3F, 0, 1});
  EXPECT_TRUE(Refused(Build(rle4)));
}

TEST(MalformedBmp, RleOverruns) {
  const auto rle8 = [](std::initializer_list<int> data) {
    Spec s = Rle8Example();
    s.pixels = Bytes(data);
    return Build(s);
  };
  ASSERT_FALSE(Refused(rle8({5, 1, 0, 0, 5, 2, 0, 1})));
  // Rows of 5 are stored padded to 8 pixels; runs may fill the padding, not more.
  EXPECT_TRUE(Refused(rle8({9, 1, 0, 1})));                // run past the row
  EXPECT_TRUE(Refused(rle8({3, 1, 6, 1, 0, 1})));          // second run past the row
  EXPECT_TRUE(Refused(rle8({0, 9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 1})));  // literal
  EXPECT_TRUE(Refused(rle8({0, 2, 9, 0, 0, 1})));          // skip past the row
  EXPECT_TRUE(Refused(rle8({0, 2, 0, 2, 1, 1, 0, 1})));    // skip past the picture
  EXPECT_TRUE(Refused(rle8({0, 0, 0, 0, 1, 1, 0, 1})));    // a run above the top row
  EXPECT_TRUE(Refused(rle8({0, 0, 0, 0, 0, 0, 0, 1})));    // lines past the top
  EXPECT_TRUE(Refused(rle8({0, 3, 1, 1})));                // literal cut off
  EXPECT_TRUE(Refused(rle8({0, 3, 1, 1, 1})));             // its padding cut off
  EXPECT_TRUE(Refused(rle8({0, 2, 1})));                   // skip cut off
  EXPECT_TRUE(Refused(rle8({5, 1, 0})));                   // file ends mid-picture
  EXPECT_TRUE(Refused(rle8({})));

  Spec s;
  s.width = 3;
  s.height = 1;
  s.bpp = 4;
  s.compression = 2;
  s.clrUsed = 4;
  s.palette = kQuad;
  s.pixels = Bytes({3, 0x12, 0, 1});
  ASSERT_FALSE(Refused(Build(s)));
  // Rows of 3 are stored padded to 8 pixels.
  s.pixels = Bytes({9, 0x12, 0, 1});
  EXPECT_TRUE(Refused(Build(s)));
  s.pixels = Bytes({0, 9, 0x12, 0x12, 0x12, 0x12, 0x10, 0, 0, 1});
  EXPECT_TRUE(Refused(Build(s)));
  // Compressed pictures cannot be stored top-down.
  s.height = -1;
  s.pixels = Bytes({3, 0x12, 0, 1});
  EXPECT_TRUE(Refused(Build(s)));
}

TEST(MalformedBmp, LoaderRefusesWhatTheDecoderRefuses) {
  const std::string dir = testsupport::MakeTempDir("bmp_loader");
  const std::string path = dir + "/bad.bmp";
  const int before = gdi::LiveObjectCount();
  Spec s = Rle8Example();
  s.pixels = Bytes({9, 1, 0, 1});
  testsupport::WriteFile(path, Build(s));
  EXPECT_EQ(gdi::LoadBitmapFromFile(path.c_str()), 0u);
  testsupport::WriteFile(path, "");
  EXPECT_EQ(gdi::LoadBitmapFromFile(path.c_str()), 0u);
  EXPECT_EQ(gdi::LoadBitmapFromFile(dir.c_str()), 0u);
  EXPECT_EQ(gdi::LiveObjectCount(), before);
}

}  // namespace
