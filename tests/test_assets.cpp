// The generated data folder: every picture with the size, cells and key colour its
// drawing code relies on; sound effects and music that decode, fit their length and
// level limits and do not click; and a generator that gives the same bytes every run.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/bmp.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Image;

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kGreen = 0x00FF00,
                        kStartKey = 0x643C00, kGrey = 0x7F7F7F, kRecordKey = 0xFF5000;
constexpr std::uint32_t kNoKey = 0xFFFFFFFF;

struct PictureInfo {
  const char* name;
  int width;
  int height;
  std::uint32_t key;
};

// Every picture the game loads, with the size its drawing code places and cuts.
const PictureInfo kPictures[] = {
    {"TITLE.bmp", 640, 480, kWhite},
    {"HIGHSCORE.bmp", 154, 32, kWhite},
    {"START.bmp", 340, 80, kStartKey},
    {"HIGHSCORE_NUM.bmp", 400, 48, kGreen},
    {"wall.bmp", 640, 531, kNoKey},
    {"wall1.bmp", 70, 70, kNoKey},
    {"Hammer1.bmp", 64, 64, kWhite},
    {"Hammer5.bmp", 64, 64, kWhite},
    {"Hammer9.bmp", 64, 64, kWhite},
    {"Hammer13.bmp", 64, 64, kWhite},
    {"Hammer17.bmp", 64, 64, kWhite},
    {"Hammer21.bmp", 64, 64, kWhite},
    {"baku1.bmp", 60, 60, kBlack},
    {"baku2.bmp", 60, 60, kBlack},
    {"baku3.bmp", 60, 60, kBlack},
    {"baku4.bmp", 60, 60, kBlack},
    {"1Point.bmp", 60, 52, kBlack},
    {"2Point.bmp", 60, 52, kBlack},
    {"5Point.bmp", 60, 52, kBlack},
    {"10Point.bmp", 60, 52, kBlack},
    {"minus_timer.bmp", 60, 52, kBlack},
    {"plus_timer.bmp", 60, 52, kBlack},
    {"BoxTimer.bmp", 232, 75, kWhite},
    {"BoxScore.bmp", 232, 75, kWhite},
    {"BoxStars.bmp", 232, 75, kWhite},
    {"BoxMiss.bmp", 232, 70, kWhite},
    {"moji_aka.bmp", 264, 36, kBlack},
    {"moji_shiro.bmp", 200, 36, kBlack},
    {"hosi0.bmp", 24, 24, kWhite},
    {"hosi1.bmp", 24, 24, kWhite},
    {"hosi2.bmp", 24, 24, kWhite},
    {"hosi3.bmp", 24, 24, kWhite},
    {"hosi4.bmp", 24, 24, kWhite},
    {"hosi5.bmp", 24, 24, kWhite},
    {"hosi6.bmp", 24, 24, kWhite},
    {"hosi7.bmp", 24, 24, kWhite},
    {"hosi8.bmp", 24, 24, kWhite},
    {"hosi9.bmp", 24, 24, kWhite},
    {"hosi10.bmp", 24, 24, kWhite},
    {"hosi11.bmp", 24, 24, kWhite},
    {"hosi_mono.bmp", 24, 24, kWhite},
    {"miss.bmp", 22, 20, kBlack},
    {"GaugeWaku.bmp", 121, 30, kWhite},
    {"letter_red.bmp", 50, 24, kWhite},
    {"letter_blue.bmp", 50, 24, kWhite},
    {"letter_green.bmp", 50, 24, kWhite},
    {"letter_yellow.bmp", 50, 24, kWhite},
    {"GaugeNakami_R.bmp", 117, 24, kBlack},
    {"GaugeNakami_B.bmp", 117, 24, kBlack},
    {"GaugeNakami_G.bmp", 117, 24, kBlack},
    {"GaugeNakami_Y.bmp", 117, 24, kBlack},
    {"MAX2.bmp", 70, 28, kGreen},
    {"MSG.bmp", 384, 48, kGrey},
    {"321start.bmp", 192, 128, kGreen},
    {"result_box.bmp", 400, 160, kGreen},
    {"result_num.bmp", 320, 128, kGreen},
    {"HIGHSCORE_UPDATE.bmp", 220, 101, kRecordKey},
};

const char* const kSounds[10] = {
    "tm2_bom003.wav",   "cursor09.wav",   "bell07.wav",       "push04.wav", "shoot16_b.wav",
    "tm2_laser002.wav", "tm2_put001.wav", "tm2_power000.wav", "pi02.wav",   "beep15.wav"};

struct TrackInfo {
  const char* name;
  double seconds;  // one loop: whole bars at the tune's tempo
};
const TrackInfo kTracks[2] = {{"tw014b.mp3", 64 * 60.0 / 90}, {"tw065.mp3", 128 * 60.0 / 140}};

std::string Data(const std::string& relative) {
  return std::string(TONKALO_DATA_DIR) + "/" + relative;
}

Image Load(const std::string& name) {
  Image img = testsupport::ReadBmp(Data("BMP/" + name));
  EXPECT_GT(img.width, 0) << name << " did not decode";
  return img;
}

const PictureInfo& Expected(const std::string& name) {
  for (const PictureInfo& s : kPictures) {
    if (name == s.name) return s;
  }
  ADD_FAILURE() << name << " is not a picture of the game";
  return kPictures[0];
}

bool IsKey(const Image& img, const std::string& name, int x, int y) {
  return img.At(x, y) == Expected(name).key;
}

// Opaque pixels within [x0, x1) x [y0, y1).
int Ink(const Image& img, std::uint32_t key, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) n += img.At(x, y) != key;
  }
  return n;
}

int R(std::uint32_t c) { return (c >> 16) & 0xFF; }
int G(std::uint32_t c) { return (c >> 8) & 0xFF; }
int B(std::uint32_t c) { return c & 0xFF; }
int Luma(std::uint32_t c) { return (R(c) * 299 + G(c) * 587 + B(c) * 114) / 1000; }

// Mean colour of the opaque pixels in a rectangle.
struct Mean {
  double r = 0, g = 0, b = 0;
};
Mean MeanColour(const Image& img, std::uint32_t key, int x0, int y0, int x1, int y1) {
  Mean m;
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      std::uint32_t c = img.At(x, y);
      if (c == key) continue;
      m.r += R(c);
      m.g += G(c);
      m.b += B(c);
      ++n;
    }
  }
  if (n) {
    m.r /= n;
    m.g /= n;
    m.b /= n;
  }
  return m;
}

// Mean colour of the clearly coloured pixels (outlines, white and grey left out): the
// colour a sprite reads as.
Mean BodyColour(const Image& img, std::uint32_t key, int x0, int y0, int x1, int y1) {
  Mean m;
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      std::uint32_t c = img.At(x, y);
      int hi = std::max({R(c), G(c), B(c)}), lo = std::min({R(c), G(c), B(c)});
      if (c == key || hi - lo < 70) continue;
      m.r += R(c);
      m.g += G(c);
      m.b += B(c);
      ++n;
    }
  }
  if (n) {
    m.r /= n;
    m.g /= n;
    m.b /= n;
  }
  return m;
}

std::uint32_t Le32(const std::string& b, size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
  return v;
}
std::uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    (static_cast<unsigned char>(b[at + 1]) << 8));
}

std::set<std::string> FilesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

// ------------------------------------------------------------------ pictures

TEST(AssetPictures, EveryFileIsA24BitBottomUpBmpOfItsSize) {
  std::set<std::string> expected;
  for (const PictureInfo& pic : kPictures) {
    SCOPED_TRACE(pic.name);
    expected.insert(pic.name);
    const std::string bytes = testsupport::ReadFile(Data(std::string("BMP/") + pic.name));
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(Le32(bytes, 14), 40u) << "BITMAPINFOHEADER";
    EXPECT_EQ(static_cast<std::int32_t>(Le32(bytes, 18)), pic.width);
    EXPECT_EQ(static_cast<std::int32_t>(Le32(bytes, 22)), pic.height) << "positive: bottom-up";
    EXPECT_EQ(Le16(bytes, 28), 24);
    EXPECT_EQ(Le32(bytes, 30), 0u) << "uncompressed";
    const std::uint32_t row = (static_cast<std::uint32_t>(pic.width) * 3 + 3) & ~3u;
    EXPECT_EQ(bytes.size(), Le32(bytes, 10) + row * pic.height);
    Image img = Load(pic.name);
    EXPECT_EQ(img.width, pic.width);
    EXPECT_EQ(img.height, pic.height);
    // The game's own decoder reads the same pixels.
    gdi::DecodedBmp decoded;
    ASSERT_TRUE(
        gdi::DecodeBmp(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), decoded));
    EXPECT_EQ(decoded.pixels, img.pixels);
  }
  EXPECT_EQ(FilesIn(Data("BMP")), expected) << "file names, case included";
}

TEST(AssetPictures, KeyedEdgesHaveNoHaloOfTheKeyColour) {
  // Where an opaque pixel meets a transparent one it must not be near the key colour:
  // such a pixel would show as a fringe of the key against whatever lies behind. The red
  // time strip is exempt: it is always copied opaque onto its own black.
  for (const PictureInfo& pic : kPictures) {
    if (pic.key == kNoKey || std::string(pic.name) == "moji_aka.bmp") continue;
    SCOPED_TRACE(pic.name);
    Image img = Load(pic.name);
    int worst = 1 << 20;
    for (int y = 0; y < img.height; ++y) {
      for (int x = 0; x < img.width; ++x) {
        std::uint32_t c = img.At(x, y);
        if (c == pic.key) continue;
        bool edge = false;
        for (auto [dx, dy] :
             {std::pair{1, 0}, std::pair{-1, 0}, std::pair{0, 1}, std::pair{0, -1}}) {
          int nx = x + dx, ny = y + dy;
          if (nx >= 0 && ny >= 0 && nx < img.width && ny < img.height &&
              img.At(nx, ny) == pic.key) {
            edge = true;
          }
        }
        if (!edge) continue;
        int d =
            std::abs(R(c) - R(pic.key)) + std::abs(G(c) - G(pic.key)) + std::abs(B(c) - B(pic.key));
        worst = std::min(worst, d);
      }
    }
    EXPECT_GE(worst, 90) << "an edge pixel comes within " << worst << " of the key";
  }
}

TEST(AssetPictures, SpritesAreTransparentAroundOpaqueArt) {
  // Corners are key (the background shows), the middle of the art is not.
  const struct {
    const char* name;
    int x, y;  // a pixel inside the art
  } sprites[] = {{"HIGHSCORE_NUM.bmp", 8, 24},
                 {"Hammer1.bmp", 54, 42},
                 {"baku1.bmp", 30, 30},
                 {"1Point.bmp", 30, 25},
                 {"2Point.bmp", 30, 25},
                 {"5Point.bmp", 30, 25},
                 {"10Point.bmp", 30, 25},
                 {"minus_timer.bmp", 30, 27},
                 {"plus_timer.bmp", 30, 27},
                 {"BoxTimer.bmp", 116, 10},
                 {"BoxScore.bmp", 116, 70},
                 {"BoxStars.bmp", 116, 10},
                 {"BoxMiss.bmp", 116, 65},
                 {"hosi0.bmp", 12, 13},
                 {"hosi_mono.bmp", 12, 13},
                 {"miss.bmp", 11, 10},
                 {"letter_red.bmp", 25, 20},
                 {"GaugeNakami_R.bmp", 58, 12},
                 {"START.bmp", 170, 12},
                 {"result_box.bmp", 200, 100},
                 {"HIGHSCORE_UPDATE.bmp", 110, 50}};
  for (const auto& s : sprites) {
    SCOPED_TRACE(s.name);
    Image img = Load(s.name);
    EXPECT_TRUE(IsKey(img, s.name, 0, 0));
    EXPECT_TRUE(IsKey(img, s.name, img.width - 1, 0));
    EXPECT_TRUE(IsKey(img, s.name, 0, img.height - 1));
    EXPECT_TRUE(IsKey(img, s.name, img.width - 1, img.height - 1));
    EXPECT_FALSE(IsKey(img, s.name, s.x, s.y));
  }
}

// Glyph strips: every cell has ink and its first and last columns are key, so no glyph
// bleeds into its neighbour's cell.
void ExpectCells(const std::string& name, int cellWidth, int cells, int y0, int y1) {
  // The thinnest glyph (the time colon) still covers a twentieth of its cell.
  SCOPED_TRACE(name);
  Image img = Load(name);
  const std::uint32_t key = Expected(name).key;
  for (int c = 0; c < cells; ++c) {
    SCOPED_TRACE("cell " + std::to_string(c));
    const int x0 = c * cellWidth, x1 = x0 + cellWidth;
    EXPECT_GT(Ink(img, key, x0, y0, x1, y1), cellWidth * (y1 - y0) / 20);
    EXPECT_EQ(Ink(img, key, x0, y0, x0 + 1, y1), 0);
    EXPECT_EQ(Ink(img, key, x1 - 1, y0, x1, y1), 0);
  }
}

TEST(AssetPictures, GlyphStripsKeepEachGlyphInsideItsCell) {
  ExpectCells("moji_aka.bmp", 24, 11, 0, 36);
  ExpectCells("moji_shiro.bmp", 20, 10, 0, 36);
  ExpectCells("HIGHSCORE_NUM.bmp", 40, 10, 0, 48);
  ExpectCells("result_num.bmp", 32, 10, 0, 64);
  ExpectCells("321start.bmp", 64, 3, 0, 64);
  ExpectCells("MSG.bmp", 128, 3, 0, 48);

  // The high score is drawn with an advance of 30 from 40-px cells: the ink keeps to the
  // middle 30 columns so neighbours never touch.
  Image num = Load("HIGHSCORE_NUM.bmp");
  for (int c = 0; c < 10; ++c) {
    EXPECT_EQ(Ink(num, kGreen, 40 * c, 0, 40 * c + 5, 48), 0) << "cell " << c;
    EXPECT_EQ(Ink(num, kGreen, 40 * c + 35, 0, 40 * c + 40, 48), 0) << "cell " << c;
  }
  // result_num: the unit cell (0, 64) 64 x 64 has ink; the rest of the lower row is key.
  Image result = Load("result_num.bmp");
  EXPECT_GT(Ink(result, kGreen, 0, 64, 64, 128), 300);
  EXPECT_EQ(Ink(result, kGreen, 64, 64, 320, 128), 0);
  // 321start: START! fills the lower 192 x 64.
  Image countdown = Load("321start.bmp");
  EXPECT_GT(Ink(countdown, kGreen, 0, 64, 96, 128), 800);
  EXPECT_GT(Ink(countdown, kGreen, 96, 64, 192, 128), 800);
}

TEST(AssetPictures, TimeDigitsAreRedOnBlackAndScoreDigitsWhite) {
  Image red = Load("moji_aka.bmp");
  Mean lit = MeanColour(red, kBlack, 0, 0, 264, 36);
  EXPECT_GT(lit.r, 2.5 * lit.g);
  EXPECT_GT(lit.r, 2.5 * lit.b);
  // The display's background is the key itself, copied as black.
  EXPECT_EQ(red.At(0, 0), kBlack);
  EXPECT_EQ(red.At(23, 18), kBlack);
  Image white = Load("moji_shiro.bmp");
  int bright = 0;
  for (int y = 0; y < 36; ++y) {
    for (int x = 0; x < 200; ++x) bright += Luma(white.At(x, y)) > 200;
  }
  EXPECT_GT(bright, 800);
}

TEST(AssetPictures, WallIsPlainWhereGaugeBackgroundsAreSampled) {
  // Rows from 340 down, across the whole width, are one colour: the gauge frames copy
  // their background from rows 396..530 at x 470..590 and must match the screen there.
  Image wall = Load("wall.bmp");
  ASSERT_GE(wall.height, 531);
  const std::uint32_t plain = wall.At(0, 340);
  int off = 0;
  for (int y = 340; y < wall.height; ++y) {
    for (int x = 0; x < wall.width; ++x) off += wall.At(x, y) != plain;
  }
  EXPECT_EQ(off, 0);
  // The sky above is banded, not flat.
  int lo = 255, hi = 0;
  for (int x = 0; x < 200; ++x) {
    lo = std::min(lo, Luma(wall.At(x, 100)));
    hi = std::max(hi, Luma(wall.At(x, 100)));
  }
  EXPECT_GE(hi - lo, 8);
  EXPECT_GT(B(wall.At(320, 50)), R(wall.At(320, 50))) << "sky blue";
}

TEST(AssetPictures, BoardTileHasItsHoleAtTheBottomEdge) {
  Image tile = Load("wall1.bmp");
  const std::uint32_t grass = tile.At(35, 20), hole = tile.At(35, 63);
  EXPECT_GT(G(grass), R(grass) + 40);
  EXPECT_GT(G(grass), B(grass) + 40);
  EXPECT_LT(Luma(hole), 70);
  EXPECT_GT(R(hole), B(hole)) << "earth, not shade";
  int darkTop = 0, darkBottom = 0;
  for (int x = 5; x < 65; ++x) {
    for (int y = 5; y < 35; ++y) darkTop += Luma(tile.At(x, y)) < 70;
    for (int y = 45; y < 69; ++y) darkBottom += Luma(tile.At(x, y)) < 70;
  }
  EXPECT_EQ(darkTop, 0);
  EXPECT_GT(darkBottom, 400);
}

TEST(AssetPictures, TokensShowWhoTheyAreInTheirTopFiftyRows) {
  const char* const names[6] = {"1Point.bmp",  "2Point.bmp",      "5Point.bmp",
                                "10Point.bmp", "minus_timer.bmp", "plus_timer.bmp"};
  Mean means[6];
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(names[k]);
    Image img = Load(names[k]);
    EXPECT_LE(img.width, 70);
    EXPECT_GE(img.height, 50);
    const int all = Ink(img, kBlack, 0, 0, img.width, img.height);
    const int top = Ink(img, kBlack, 0, 0, img.width, 50);
    EXPECT_GE(top, all * 97 / 100) << "a fully risen token shows only its top 50 rows";
    // The hit box is 32 px wide around the middle: the token fills it.
    EXPECT_GT(Ink(img, kBlack, img.width / 2 - 16, 10, img.width / 2 + 16, 40), 32 * 30 * 9 / 10);
    means[k] = BodyColour(img, kBlack, 0, 0, img.width, 50);
  }
  // Told apart at a glance: their colours differ clearly, pair by pair.
  for (int a = 0; a < 6; ++a) {
    for (int b = a + 1; b < 6; ++b) {
      double d = std::fabs(means[a].r - means[b].r) + std::fabs(means[a].g - means[b].g) +
                 std::fabs(means[a].b - means[b].b);
      EXPECT_GT(d, 45) << names[a] << " vs " << names[b];
    }
  }
  EXPECT_GT(means[0].r, means[0].b + 60) << "gold";
  EXPECT_GT(means[1].b, means[1].r + 40) << "blue";
  EXPECT_GT(means[2].g, means[2].r + 40) << "green";
  EXPECT_GT(means[3].r, means[3].g + 40) << "red";
  EXPECT_GT(means[5].r, means[5].b + 60) << "orange";
}

TEST(AssetPictures, HammerHeadComesDownOnTheCursor) {
  // Drawn at cursor - (25, 15): the hit box is (10..40, 15..45) of the frame.
  const char* const frames[6] = {"Hammer1.bmp",  "Hammer5.bmp",  "Hammer9.bmp",
                                 "Hammer13.bmp", "Hammer17.bmp", "Hammer21.bmp"};
  int inBox[6];
  for (int i = 0; i < 6; ++i) {
    Image img = Load(frames[i]);
    inBox[i] = Ink(img, kWhite, 10, 15, 41, 46);
    // One mallet in one hand: the grip stays where it is in every frame.
    EXPECT_NE(img.At(54, 42), kWhite) << frames[i];
  }
  EXPECT_GT(inBox[2], 31 * 31 / 2) << "striking";
  EXPECT_GT(inBox[3], 31 * 31 / 2) << "striking";
  EXPECT_LT(inBox[0], inBox[2] / 2) << "raised before the swing";
  EXPECT_LT(inBox[5], inBox[3]) << "recoiling after it";
}

TEST(AssetPictures, BurstGrowsThenBreaksUp) {
  int ink[4];
  double light[4];
  for (int f = 0; f < 4; ++f) {
    Image img = Load("baku" + std::to_string(f + 1) + ".bmp");
    ink[f] = Ink(img, kBlack, 0, 0, 60, 60);
    Mean m = MeanColour(img, kBlack, 0, 0, 60, 60);
    light[f] = m.r + m.g + m.b;
  }
  EXPECT_LT(ink[0], ink[1]);
  EXPECT_LT(ink[1], ink[2]);
  EXPECT_LT(ink[3], ink[2] / 2) << "breaking up";
  EXPECT_LT(light[3], light[1]) << "fading";
}

TEST(AssetPictures, PanelsKeepTheirNumberWindowsPlain) {
  // The time is copied opaque into (8, 23) 120 x 36 of the time box; the score digits
  // are laid transparently over (8, 30) 120 x 36 of the score box: one dark colour.
  Image timer = Load("BoxTimer.bmp");
  for (int y = 23; y < 59; ++y) {
    for (int x = 8; x < 128; ++x) ASSERT_LT(Luma(timer.At(x, y)), 30) << x << "," << y;
  }
  Image score = Load("BoxScore.bmp");
  const std::uint32_t well = score.At(8, 30);
  EXPECT_LT(Luma(well), 50);
  int off = 0;
  for (int y = 30; y < 66; ++y) {
    for (int x = 8; x < 128; ++x) off += score.At(x, y) != well;
  }
  EXPECT_EQ(off, 0);
  // The results panel: the score is drawn centred on x 205, rows 64..128.
  Image result = Load("result_box.bmp");
  const std::uint32_t back = result.At(205, 96);
  off = 0;
  for (int y = 64; y < 128; ++y) {
    for (int x = 60; x < 350; ++x) off += result.At(x, y) != back;
  }
  EXPECT_EQ(off, 0);
  EXPECT_NE(back, kGreen);
}

TEST(AssetPictures, GaugePartsFitTogether) {
  // The frame's window at (2, 3) 117 x 24 is key so that the wall shows through it.
  Image frame = Load("GaugeWaku.bmp");
  EXPECT_EQ(Ink(frame, kWhite, 2, 3, 119, 27), 0);
  EXPECT_NE(frame.At(0, 15), kWhite);
  EXPECT_NE(frame.At(120, 15), kWhite);
  EXPECT_NE(frame.At(60, 1), kWhite);
  EXPECT_NE(frame.At(60, 28), kWhite);
  // Fills: opaque across their length, each in its gauge's colour.
  const char* const fills[4] = {"GaugeNakami_R.bmp", "GaugeNakami_B.bmp", "GaugeNakami_G.bmp",
                                "GaugeNakami_Y.bmp"};
  Mean m[4];
  for (int i = 0; i < 4; ++i) {
    Image img = Load(fills[i]);
    EXPECT_EQ(Ink(img, kBlack, 3, 3, 114, 21), 111 * 18) << fills[i];
    m[i] = MeanColour(img, kBlack, 0, 0, 117, 24);
  }
  EXPECT_GT(m[0].r, m[0].g + 60);
  EXPECT_GT(m[1].b, m[1].r + 60);
  EXPECT_GT(m[2].g, m[2].r + 60);
  EXPECT_GT(m[3].g, m[3].b + 60);
  EXPECT_GT(m[3].r, m[3].b + 60);
  Image max = Load("MAX2.bmp");
  EXPECT_GT(Ink(max, kGreen, 0, 0, 70, 28), 70 * 28 / 4);
}

TEST(AssetPictures, StarSparklesAndTheMonoStarIsGrey) {
  Image base = Load("hosi0.bmp");
  for (int i = 1; i < 12; ++i) {
    Image frame = Load("hosi" + std::to_string(i) + ".bmp");
    EXPECT_NE(frame.pixels, base.pixels) << "frame " << i;
  }
  Mean gold = BodyColour(base, kWhite, 0, 0, 24, 24);
  EXPECT_GT(gold.r, gold.b + 80);
  Mean grey = MeanColour(Load("hosi_mono.bmp"), kWhite, 0, 0, 24, 24);
  EXPECT_LT(std::fabs(grey.r - grey.b), 30);
  Mean miss = BodyColour(Load("miss.bmp"), kBlack, 0, 0, 22, 20);
  EXPECT_GT(miss.r, miss.g + 60) << "a red mark";
}

TEST(AssetPictures, TitleLeavesStartAreaToTheWall) {
  // START pulses from invisible to opaque over (150..490, 200..280): the title keeps that
  // area key so the wall shows there when START is faint.
  Image title = Load("TITLE.bmp");
  EXPECT_EQ(Ink(title, kWhite, 150, 200, 490, 280), 0);
  // The name sits large across the top; the sky shows around it.
  EXPECT_GT(Ink(title, kWhite, 100, 50, 540, 170), 440 * 120 / 3);
  EXPECT_GT(640 * 200 - Ink(title, kWhite, 0, 0, 640, 200), 640 * 200 / 3);
  Image start = Load("START.bmp");
  EXPECT_GT(Ink(start, kStartKey, 0, 0, 340, 80), 340 * 80 / 2);
}

// ------------------------------------------------------------------ sounds

struct Wav {
  int channels = 0, rate = 0, bits = 0, format = 0;
  std::vector<std::int16_t> samples;  // interleaved
};

Wav ReadWav(const std::string& path) {
  Wav w;
  const std::string b = testsupport::ReadFile(path);
  if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") return w;
  for (size_t at = 12; at + 8 <= b.size();) {
    const std::string id = b.substr(at, 4);
    const std::uint32_t size = Le32(b, at + 4);
    if (at + 8 + size > b.size()) break;
    if (id == "fmt ") {
      w.format = Le16(b, at + 8);
      w.channels = Le16(b, at + 10);
      w.rate = static_cast<int>(Le32(b, at + 12));
      w.bits = Le16(b, at + 22);
    } else if (id == "data") {
      for (std::uint32_t i = 0; i + 1 < size; i += 2) {
        w.samples.push_back(static_cast<std::int16_t>(Le16(b, at + 8 + i)));
      }
    }
    at += 8 + size + (size & 1);
  }
  return w;
}

TEST(AssetSounds, TenEffectsAreShortCleanPcm) {
  std::set<std::string> expected;
  for (const char* name : kSounds) {
    SCOPED_TRACE(name);
    expected.insert(name);
    Wav w = ReadWav(Data(std::string("WAV/") + name));
    EXPECT_EQ(w.format, 1) << "PCM";
    EXPECT_EQ(w.rate, 44100);
    EXPECT_EQ(w.bits, 16);
    ASSERT_TRUE(w.channels == 1 || w.channels == 2);
    ASSERT_FALSE(w.samples.empty());
    const double seconds = static_cast<double>(w.samples.size()) / w.channels / w.rate;
    EXPECT_GE(seconds, 0.05);
    EXPECT_LE(seconds, 1.5);
    int peak = 0;
    for (std::int16_t s : w.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_LE(peak, 29204) << "above -1 dBFS";
    EXPECT_GE(peak, 8192) << "quieter than -12 dBFS";
    // Faded in and out: cutting an effect off or starting it never clicks.
    for (int c = 0; c < w.channels; ++c) {
      EXPECT_LE(std::abs(w.samples[c]), 100);
      EXPECT_LE(std::abs(w.samples[w.samples.size() - w.channels + c]), 100);
    }
  }
  EXPECT_EQ(FilesIn(Data("WAV")), expected);
}

// ------------------------------------------------------------------ music

class AssetMusic : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
    ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024), 0) << Mix_GetError();
    Mix_Init(MIX_INIT_MP3);
  }
  static void TearDownTestSuite() {
    Mix_CloseAudio();
    Mix_Quit();
    SDL_Quit();
  }
};

TEST_F(AssetMusic, LoopsAreStereoMp3WithAnEncoderTag) {
  std::set<std::string> expected;
  for (const TrackInfo& t : kTracks) {
    SCOPED_TRACE(t.name);
    expected.insert(t.name);
    const std::string b = testsupport::ReadFile(Data(std::string("MP3/") + t.name));
    ASSERT_GT(b.size(), 4000u);
    const auto u = [&b](size_t i) { return static_cast<unsigned char>(b[i]); };
    // First frame header: MPEG-1 layer III, 44.1 kHz, not mono.
    EXPECT_EQ(u(0), 0xFF);
    EXPECT_EQ(u(1) & 0xFE, 0xFA);
    EXPECT_EQ((u(2) >> 2) & 3, 0) << "44.1 kHz";
    EXPECT_NE((u(3) >> 6) & 3, 3) << "stereo";
    // The first frame carries the Info/Xing tag with LAME's delay and padding.
    const std::string head = b.substr(0, 400);
    EXPECT_TRUE(head.find("Info") != std::string::npos || head.find("Xing") != std::string::npos);
    EXPECT_NE(head.find("LAME"), std::string::npos);
  }
  EXPECT_EQ(FilesIn(Data("MP3")), expected);
}

TEST_F(AssetMusic, LoopsDecodeToTheirLengthAndJoinWithoutAClick) {
  for (const TrackInfo& t : kTracks) {
    SCOPED_TRACE(t.name);
    const std::string path = Data(std::string("MP3/") + t.name);
    Mix_Music* music = Mix_LoadMUS(path.c_str());
    ASSERT_NE(music, nullptr) << Mix_GetError();
    const double duration = Mix_MusicDuration(music);
    Mix_FreeMusic(music);
    EXPECT_GE(duration, 30.0);
    EXPECT_LE(duration, 90.0);
    EXPECT_NEAR(duration, t.seconds, 0.03);

    // Decoded whole: the encoder's delay and padding are trimmed, so the last sample
    // runs on into the first as smoothly as any two neighbours inside the tune.
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    ASSERT_NE(chunk, nullptr) << Mix_GetError();
    const auto* s = reinterpret_cast<const std::int16_t*>(chunk->abuf);
    const size_t frames = chunk->alen / 4;
    EXPECT_NEAR(static_cast<double>(frames), t.seconds * 44100, 2);
    double meanStep = 0;
    for (size_t i = 1; i < frames; ++i) meanStep += std::abs(s[2 * i] - s[2 * i - 2]);
    meanStep /= static_cast<double>(frames);
    for (int c = 0; c < 2; ++c) {
      EXPECT_LE(std::abs(s[c] - s[2 * (frames - 1) + c]), 3 * meanStep) << "channel " << c;
    }
    int peak = 0;
    for (size_t i = 0; i < frames * 2; ++i) peak = std::max(peak, std::abs(static_cast<int>(s[i])));
    EXPECT_LT(peak, 32000) << "no clipping";
    EXPECT_GT(peak, 10000) << "not near silent";
    Mix_FreeChunk(chunk);
  }
}

// ------------------------------------------------------------------ generator

TEST(AssetGenerator, TwoRunsGiveIdenticalBytes) {
  const std::string a = testsupport::MakeTempDir("assets-a");
  const std::string b = testsupport::MakeTempDir("assets-b");
  for (const std::string& dir : {a, b}) {
    const std::string cmd = std::string("'") + TONKALO_ASSETGEN + "' '" + dir + "' >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
  size_t compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(a)) {
    if (!entry.is_regular_file()) continue;
    const std::string rel = fs::relative(entry.path(), a).string();
    SCOPED_TRACE(rel);
    ASSERT_TRUE(testsupport::FileExists(b + "/" + rel));
    EXPECT_TRUE(testsupport::ReadFile(entry.path().string()) ==
                testsupport::ReadFile(b + "/" + rel));
    ++compared;
  }
  EXPECT_EQ(compared, std::size(kPictures) + 10 + 2 + 6) << "pictures, sounds, music, sheets";
  // The contact sheet is a PNG.
  const std::string sheet = testsupport::ReadFile(a + "/contact-sheet.png");
  EXPECT_EQ(sheet.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

}  // namespace
