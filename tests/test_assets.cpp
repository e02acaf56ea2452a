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
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/raster/bmp.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kGreen = 0x00FF00;
constexpr std::uint32_t kNoKey = 0xFFFFFFFF;

// Every picture the game loads (name without ".bmp"), grouped by size and key colour,
// with a place (artX, artY) where each holds opaque art.
struct PictureGroup {
  int width, height;
  std::uint32_t key;
  int artX, artY;
  std::vector<std::string> names;
};
const PictureGroup kPictures[] = {
    {640, 480, kWhite, 320, 120, {"TITLE"}},
    {154, 32, kWhite, 77, 16, {"HIGHSCORE"}},
    {340, 80, 0x643C00, 170, 12, {"START"}},
    {400, 48, kGreen, 8, 24, {"HIGHSCORE_NUM"}},
    {640, 531, kNoKey, 0, 0, {"wall"}},
    {70, 70, kNoKey, 0, 0, {"wall1"}},
    {64, 64, kWhite, 25, 26, {"Hammer1", "Hammer5", "Hammer9", "Hammer13", "Hammer17", "Hammer21"}},
    {60, 60, kBlack, 25, 20, {"baku1", "baku2", "baku3", "baku4"}},
    {60, 52, kBlack, 30, 25, {"1Point", "2Point", "5Point", "10Point"}},
    {60, 52, kBlack, 30, 25, {"minus_timer", "plus_timer"}},
    {232, 75, kWhite, 116, 40, {"BoxTimer", "BoxScore", "BoxStars"}},
    {232, 70, kWhite, 116, 40, {"BoxMiss"}},
    {264, 36, kBlack, 12, 6, {"moji_aka"}},
    {200, 36, kBlack, 30, 25, {"moji_shiro"}},
    {24, 24, kWhite, 12, 13, {"hosi0", "hosi1", "hosi2", "hosi3", "hosi4", "hosi5", "hosi6"}},
    {24, 24, kWhite, 12, 13, {"hosi7", "hosi8", "hosi9", "hosi10", "hosi11", "hosi_mono"}},
    {22, 20, kBlack, 11, 10, {"miss"}},
    {121, 30, kWhite, 0, 15, {"GaugeWaku"}},
    {50, 24, kWhite, 25, 20, {"letter_red", "letter_blue", "letter_green", "letter_yellow"}},
    {117, 24, kBlack, 58, 12, {"GaugeNakami_R", "GaugeNakami_B", "GaugeNakami_G", "GaugeNakami_Y"}},
    {70, 28, kGreen, 31, 14, {"MAX2"}},
    {384, 48, 0x7F7F7F, 25, 20, {"MSG"}},
    {192, 128, kGreen, 32, 30, {"321start"}},
    {400, 160, kGreen, 200, 100, {"result_box"}},
    {320, 128, kGreen, 30, 30, {"result_num"}},
    {220, 101, 0xFF5000, 110, 50, {"HIGHSCORE_UPDATE"}},
};

std::string Data(const std::string& relative) {
  return std::string(TONKALO_DATA_DIR) + "/" + relative;
}

std::set<std::string> FilesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

struct Image : gdi::DecodedBmp {
  std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Read with the game's own decoder.
Image Load(const std::string& name) {
  const std::string bytes = testsupport::ReadFile(Data("BMP/" + name + ".bmp"));
  Image bmp;
  EXPECT_TRUE(
      gdi::DecodeBmp(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), bmp))
      << name;
  return bmp;
}

std::uint32_t KeyOf(const std::string& name) {
  for (const PictureGroup& g : kPictures) {
    if (std::count(g.names.begin(), g.names.end(), name)) return g.key;
  }
  return kNoKey;
}

// Opaque pixels within [x0, x1) x [y0, y1).
int Ink(const Image& img, std::uint32_t key, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) n += img.At(x, y) != key;
  }
  return n;
}

std::uint32_t Le(const std::string& b, size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint32_t(std::uint8_t(b[at + i])) << 8 * i;
  return v;
}

// Each a 24-bit bottom-up BMP of its size whose corners show the key (the title's field
// runs off its foot) and whose art does not. Windows that must stay key so that
// what lies behind shows (ink 0), and art that must cover at least `ink` percent of its
// area; a row applies to every picture whose name starts with its own.
TEST(AssetPictures, EveryFileIsA24BitBmpOfItsSizeWithKeyAroundTheArtAndNeverInsideIt) {
  const struct {
    const char* prefix;
    int x, y, w, h, ink;
  } areas[] = {
      {"TITLE", 150, 200, 340, 80, 0},      // START fades in and out over the wall
      {"GaugeWaku", 2, 3, 117, 24, 100},    // a dark well under the fill
      {"result_num", 64, 64, 256, 64, 0},   // the lower row holds only the unit
      {"GaugeNakami", 3, 3, 111, 18, 100},  // a fill is cut to any length
      {"BoxTimer", 8, 23, 120, 36, 100},    // the time is copied opaque
  };
  std::set<std::string> expected;
  for (const PictureGroup& g : kPictures) {
    for (const std::string& name : g.names) {
      SCOPED_TRACE(name);
      expected.insert(name + ".bmp");
      const std::string bytes = testsupport::ReadFile(Data("BMP/" + name + ".bmp"));
      ASSERT_GE(bytes.size(), 54u);
      EXPECT_EQ(Le(bytes, 28, 2), 24u);
      EXPECT_EQ(static_cast<std::int32_t>(Le(bytes, 22, 4)), g.height) << "positive: bottom-up";
      const Image img = Load(name);
      ASSERT_TRUE(img.width == g.width && img.height == g.height);
      if (g.key == kNoKey) continue;
      EXPECT_NE(img.At(g.artX, g.artY), g.key);
      EXPECT_EQ(img.At(0, 0), g.key);
      EXPECT_EQ(img.At(g.width - 1, 0), g.key);
      EXPECT_TRUE(name == "TITLE" || (img.At(0, g.height - 1) == g.key &&
                                      img.At(g.width - 1, g.height - 1) == g.key));
      for (const auto& a : areas) {
        if (name.rfind(a.prefix, 0) != 0) continue;
        const int ink = Ink(img, g.key, a.x, a.y, a.x + a.w, a.y + a.h);
        EXPECT_TRUE(a.ink ? ink * 100 >= a.ink * a.w * a.h : ink == 0)
            << ink << " opaque pixels at " << a.x << "," << a.y;
      }
    }
  }
  EXPECT_EQ(FilesIn(Data("BMP")), expected) << "file names, case included";
  // The gauge frames copy their background from the wall's rows 396..530 and must match
  // the screen there: every row from 340 down is one colour.
  const Image wall = Load("wall");
  EXPECT_EQ(Ink(wall, wall.At(0, 340), 0, 340, wall.width, wall.height), 0);
}

TEST(AssetPictures, EveryGlyphCellHasInkThatStaysInsideIt) {
  // Cells of w x h from (0, y); `margin` columns at each side stay clear so no glyph
  // touches its neighbour: the high score is drawn 30 px apart from 40-px cells.
  const struct {
    const char* name;
    int y, w, h, cells, margin;
  } strips[] = {{"moji_aka", 0, 24, 36, 11, 1},      {"moji_shiro", 0, 20, 36, 10, 1},
                {"HIGHSCORE_NUM", 0, 40, 48, 10, 5}, {"result_num", 0, 32, 64, 10, 1},
                {"result_num", 64, 64, 64, 1, 1},    {"321start", 0, 64, 64, 3, 1},
                {"321start", 64, 192, 64, 1, 1},     {"MSG", 0, 128, 48, 3, 1}};
  for (const auto& s : strips) {
    const Image img = Load(s.name);
    ASSERT_TRUE(img.width >= s.cells * s.w && img.height >= s.y + s.h) << s.name;
    const std::uint32_t key = KeyOf(s.name);
    for (int c = 0; c < s.cells; ++c) {
      SCOPED_TRACE(std::string(s.name) + " cell " + std::to_string(c) + " of row " +
                   std::to_string(s.y));
      const int x0 = c * s.w, x1 = x0 + s.w, y1 = s.y + s.h;
      // The thinnest glyph (the time colon) still covers a twentieth of its cell.
      EXPECT_GT(Ink(img, key, x0, s.y, x1, y1), s.w * s.h / 20);
      EXPECT_EQ(Ink(img, key, x0, s.y, x0 + s.margin, y1), 0);
      EXPECT_EQ(Ink(img, key, x1 - s.margin, s.y, x1, y1), 0);
    }
  }
}

// Every frame keeps the head over the cursor's hit box, (10..40, 15..45) of the frame,
// in the same columns as the blow (Hammer13): the cursor does not jump on a click.
TEST(AssetPictures, TheHammerHeadStrikesWhereItRests) {
  auto headColumn = [](const Image& img) {
    double sum = 0;
    for (int y = 15; y <= 45; ++y) {
      for (int x = 10; x <= 40; ++x) sum += img.At(x, y) != kWhite ? x : 0;
    }
    return sum / std::max(1, Ink(img, kWhite, 10, 15, 41, 46));
  };
  const double strike = headColumn(Load("Hammer13"));
  for (const char* name : {"Hammer1", "Hammer5", "Hammer9", "Hammer13", "Hammer17", "Hammer21"}) {
    const Image img = Load(name);
    EXPECT_GE(Ink(img, kWhite, 10, 15, 41, 46) * 2, 31 * 31) << name;
    EXPECT_NEAR(headColumn(img), strike, 2.5) << name;
  }
}

// The window's icon as SDL loads it: 64 x 64 with its alpha kept (see-through corners, an
// opaque middle); the desktop's icons at their sizes.
TEST(AssetIcons, WindowIconKeepsItsAlphaAndDesktopIconsHaveTheirSizes) {
  SDL_Surface* loaded = SDL_LoadBMP(Data("icons/tonkalo.bmp").c_str());
  ASSERT_NE(loaded, nullptr) << SDL_GetError();
  SDL_Surface* icon = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(loaded);
  ASSERT_NE(icon, nullptr) << SDL_GetError();
  EXPECT_EQ(std::pair(icon->w, icon->h), std::pair(64, 64));
  auto alpha = [icon](int x, int y) {
    const auto* row = static_cast<const std::uint8_t*>(icon->pixels) + y * icon->pitch;
    return reinterpret_cast<const std::uint32_t*>(row)[x] >> 24;
  };
  EXPECT_EQ(alpha(0, 0) + alpha(63, 0) + alpha(0, 63) + alpha(63, 63), 0u);
  EXPECT_EQ(alpha(32, 40), 255u);
  SDL_FreeSurface(icon);

  for (const int size : {48, 128, 256}) {
    // A PNG's width and height are big-endian at bytes 16 and 20 of its IHDR chunk.
    const std::string png =
        testsupport::ReadFile(Data("icons/tonkalo-" + std::to_string(size) + ".png"));
    const char side[] = {0, 0, static_cast<char>(size >> 8), static_cast<char>(size)};
    EXPECT_EQ(png.substr(0, 4), "\x89PNG") << size;
    EXPECT_EQ(png.substr(16, 8), std::string(side, 4) + std::string(side, 4)) << size;
  }
  EXPECT_NE(testsupport::ReadFile(Data("icons/tonkalo.svg")).find("<svg"), std::string::npos);
}

const char* const kEffects[] = {
    "tm2_bom003.wav",   "cursor09.wav",   "bell07.wav",       "push04.wav", "shoot16_b.wav",
    "tm2_laser002.wav", "tm2_put001.wav", "tm2_power000.wav", "pi02.wav",   "beep15.wav"};

// One loop is whole bars at the tune's tempo.
const struct {
  const char* name;
  double seconds;
} kTracks[] = {{"tw014b.mp3", 64 * 60.0 / 90}, {"tw065.mp3", 128 * 60.0 / 140}};

int Peak(const std::vector<std::int16_t>& s) {
  int peak = 0;
  for (std::int16_t v : s) peak = std::max(peak, std::abs(static_cast<int>(v)));
  return peak;
}

// Level in dB of full scale of the mean square over `count` samples from `from`.
double RmsDb(const std::vector<std::int16_t>& s, size_t from, size_t count) {
  double sum = 0;
  for (size_t i = from; i < from + count; ++i) sum += double(s[i]) * s[i];
  return 10 * std::log10(sum / count / (32768.0 * 32768.0) + 1e-20);
}

// Decodes with SDL and SDL_mixer, as the game plays its sounds and music.
class AssetSounds : public ::testing::Test {
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
  // A whole track as interleaved stereo samples; empty if it does not decode.
  static std::vector<std::int16_t> Decode(const std::string& name) {
    Mix_Chunk* chunk = Mix_LoadWAV(Data("MP3/" + name).c_str());
    EXPECT_NE(chunk, nullptr) << name << ": " << Mix_GetError();
    if (!chunk) return {};
    const auto* s = reinterpret_cast<const std::int16_t*>(chunk->abuf);
    std::vector<std::int16_t> out(s, s + chunk->alen / 2);
    Mix_FreeChunk(chunk);
    return out;
  }
};

// Ten short effects, mono 16-bit PCM, faded in and out so that starting or cutting one
// off never clicks. The mixer adds the one effect channel to the music, both at full
// volume: the two peaks together stay more than 0.1 dB under full scale, and the music
// sits at least 6 dB under the loudest 50 ms of every effect.
TEST_F(AssetSounds, TenEffectsAreShortCleanPcmThatStandsOverTheMusicWithoutClipping) {
  std::set<std::string> expected;
  int effectPeak = 0;
  double quietestEffect = 0;
  for (const char* name : kEffects) {
    SCOPED_TRACE(name);
    expected.insert(name);
    SDL_AudioSpec spec{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    ASSERT_NE(SDL_LoadWAV(Data(std::string("WAV/") + name).c_str(), &spec, &buffer, &length),
              nullptr) << SDL_GetError();
    std::vector<std::int16_t> s(length / 2);
    std::memcpy(s.data(), buffer, s.size() * 2);
    SDL_FreeWAV(buffer);
    EXPECT_TRUE(spec.format == AUDIO_S16LSB && spec.freq == 44100 && spec.channels == 1);
    ASSERT_FALSE(s.empty());
    EXPECT_GE(s.size(), 0.05 * 44100);
    EXPECT_LE(s.size(), 1.5 * 44100);
    EXPECT_GE(Peak(s), 8192) << "quieter than -12 dBFS";
    EXPECT_LE(std::abs(s.front()), 100);
    EXPECT_LE(std::abs(s.back()), 100);
    effectPeak = std::max(effectPeak, Peak(s));
    double loudest = -200;
    for (size_t at = 0; at + 2205 <= s.size(); at += 441) {
      loudest = std::max(loudest, RmsDb(s, at, 2205));
    }
    quietestEffect = std::min(quietestEffect, loudest);
  }
  EXPECT_EQ(FilesIn(Data("WAV")), expected);
  for (const auto& t : kTracks) {
    const std::vector<std::int16_t> s = Decode(t.name);
    ASSERT_FALSE(s.empty());
    EXPECT_LT(effectPeak + Peak(s), 32393) << t.name << " with an effect peak of " << effectPeak;
    EXPECT_LE(RmsDb(s, 0, s.size()), quietestEffect - 6) << t.name;
  }
}

TEST_F(AssetSounds, LoopsDecodeToTheirLengthAndJoinWithoutAClick) {
  std::set<std::string> expected;
  for (const auto& t : kTracks) {
    SCOPED_TRACE(t.name);
    expected.insert(t.name);
    Mix_Music* music = Mix_LoadMUS(Data(std::string("MP3/") + t.name).c_str());
    ASSERT_NE(music, nullptr) << Mix_GetError();
    EXPECT_NEAR(Mix_MusicDuration(music), t.seconds, 0.03);
    Mix_FreeMusic(music);

    // Decoded whole: the encoder's delay and padding are trimmed, so the last sample
    // runs on into the first as smoothly as any two neighbours inside the tune.
    const std::vector<std::int16_t> s = Decode(t.name);
    const size_t frames = s.size() / 2;
    ASSERT_NEAR(static_cast<double>(frames), t.seconds * 44100, 2);
    double meanStep = 0;
    for (size_t i = 1; i < frames; ++i) meanStep += std::abs(s[2 * i] - s[2 * i - 2]);
    meanStep /= static_cast<double>(frames);
    for (int c = 0; c < 2; ++c) {
      EXPECT_LE(std::abs(s[c] - s[2 * (frames - 1) + c]), 3 * meanStep) << "channel " << c;
    }
    EXPECT_GT(Peak(s), 6000) << "not near silent";
  }
  EXPECT_EQ(FilesIn(Data("MP3")), expected);
}

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
    ASSERT_TRUE(testsupport::FileExists(b + "/" + rel)) << rel;
    EXPECT_TRUE(testsupport::ReadFile(entry.path()) == testsupport::ReadFile(b + "/" + rel)) << rel;
    ++compared;
  }
  EXPECT_EQ(compared, FilesIn(Data("BMP")).size() + 10 + 2 + 6 + 9 + 2)
      << "pictures, sounds, music, sheets, icons, the page's music";
}

}  // namespace
