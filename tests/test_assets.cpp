// The generated data: pictures with the size, key and clear windows the drawing code relies
// on (their looks the frame fingerprints pin); a window icon with its alpha; effects and
// music that fit their length and levels and do not click; the same bytes every run.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/raster/bmp.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;

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
    {640, 480, kWhite, 320, 120, {"TITLE"}},       {154, 32, kWhite, 77, 16, {"HIGHSCORE"}},
    {340, 80, 0x643C00, 170, 12, {"START"}},       {400, 48, kGreen, 8, 24, {"HIGHSCORE_NUM"}},
    {640, 531, kNoKey, 0, 0, {"wall"}},            {70, 70, kNoKey, 0, 0, {"wall1"}},
    {64, 64, kWhite, 25, 26, {"Hammer1", "Hammer5", "Hammer9", "Hammer13", "Hammer17",
                              "Hammer21"}},
    {60, 60, kBlack, 25, 20, {"baku1", "baku2", "baku3", "baku4"}},
    {60, 52, kBlack, 30, 25, {"1Point", "2Point", "5Point", "10Point", "minus_timer",
                              "plus_timer"}},
    {232, 75, kWhite, 116, 40, {"BoxTimer", "BoxScore", "BoxStars"}},
    {232, 70, kWhite, 116, 40, {"BoxMiss"}},       {264, 36, kBlack, 12, 6, {"moji_aka"}},
    {200, 36, kBlack, 30, 25, {"moji_shiro"}},     {22, 20, kBlack, 11, 10, {"miss"}},
    {24, 24, kWhite, 12, 13, {"hosi0", "hosi1", "hosi2", "hosi3", "hosi4", "hosi5", "hosi6",
                              "hosi7", "hosi8", "hosi9", "hosi10", "hosi11", "hosi_mono"}},
    {121, 30, kWhite, 0, 15, {"GaugeWaku"}},       {70, 28, kGreen, 31, 14, {"MAX2"}},
    {50, 24, kWhite, 25, 20, {"letter_red", "letter_blue", "letter_green", "letter_yellow"}},
    {117, 24, kBlack, 58, 12, {"GaugeNakami_R", "GaugeNakami_B", "GaugeNakami_G", "GaugeNakami_Y"}},
    {384, 48, 0x7F7F7F, 25, 20, {"MSG"}},          {192, 128, kGreen, 32, 30, {"321start"}},
    {400, 160, kGreen, 200, 100, {"result_box"}},  {320, 128, kGreen, 30, 30, {"result_num"}},
    {220, 101, 0xFF5000, 110, 50, {"HIGHSCORE_UPDATE"}},
};

std::string Data(const std::string& relative) { return TONKALO_DATA_DIR "/" + relative; }

std::set<std::string> FilesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

// Each picture, read with the game's own decoder, has its size, and its corners show the
// key (the title's field runs off its foot) while its art does not. Windows that must stay
// key so that what lies behind shows (ink 0), and art that must cover at least `ink`
// percent of its area; a row applies to every picture whose name starts with its own.
TEST(AssetPictures, EveryFileHasItsSizeAndKeyAroundTheArtAndNeverInsideIt) {
  const struct { const char* prefix; int x, y, w, h, ink; } areas[] = {
      {"TITLE", 150, 200, 340, 80, 0},      // START fades in and out over the wall
      {"GaugeWaku", 2, 3, 117, 24, 100},    // a dark well under the fill
      {"result_num", 64, 64, 256, 64, 0},   // the lower row holds only the unit
      {"GaugeNakami", 3, 3, 111, 18, 100},  // a fill is cut to any length
      {"BoxTimer", 8, 23, 120, 36, 100},    // the time is copied opaque
      {"Hammer", 10, 15, 31, 31, 50},       // every frame's head covers the cursor's hit box
  };
  std::set<std::string> expected;
  for (const PictureGroup& g : kPictures) {
    for (const std::string& name : g.names) {
      SCOPED_TRACE(name);
      expected.insert(name + ".bmp");
      const std::string bytes = ReadFile(Data("BMP/" + name + ".bmp"));
      gdi::DecodedBmp img;
      ASSERT_TRUE(gdi::DecodeBmp(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                 bytes.size(), img));
      ASSERT_TRUE(img.width == g.width && img.height == g.height);
      auto at = [&](int x, int y) { return img.pixels[static_cast<size_t>(y) * g.width + x]; };
      if (g.key == kNoKey) continue;
      EXPECT_NE(at(g.artX, g.artY), g.key);
      EXPECT_TRUE(at(0, 0) == g.key && at(g.width - 1, 0) == g.key);
      EXPECT_TRUE(name == "TITLE" ||
                  (at(0, g.height - 1) == g.key && at(g.width - 1, g.height - 1) == g.key));
      for (const auto& a : areas) {
        if (name.rfind(a.prefix, 0) != 0) continue;
        int ink = 0;
        for (int i = 0; i < a.w * a.h; ++i) ink += at(a.x + i % a.w, a.y + i / a.w) != g.key;
        EXPECT_TRUE(a.ink ? ink * 100 >= a.ink * a.w * a.h : ink == 0)
            << ink << " opaque pixels at " << a.x << "," << a.y;
      }
    }
  }
  EXPECT_EQ(FilesIn(Data("BMP")), expected) << "file names, case included";
}

// The window's icon as SDL loads it: 64 x 64 with its alpha kept (see-through corners, an
// opaque middle).
TEST(AssetIcons, WindowIconKeepsItsAlpha) {
  SDL_Surface* icon = SDL_LoadBMP(Data("icons/tonkalo.bmp").c_str());
  ASSERT_TRUE(icon && icon->w == 64 && icon->h == 64) << SDL_GetError();
  auto alpha = [icon](int x, int y) {
    Uint8 r, g, b, a;
    SDL_GetRGBA(static_cast<const Uint32*>(icon->pixels)[y * icon->pitch / 4 + x], icon->format,
                &r, &g, &b, &a);
    return a;
  };
  EXPECT_EQ(alpha(0, 0) + alpha(63, 0) + alpha(0, 63) + alpha(63, 63), 0);
  EXPECT_EQ(alpha(32, 40), 255);
  SDL_FreeSurface(icon);
}

// Decoded whole by SDL_mixer, as the game plays effects and music: interleaved stereo
// 16-bit samples at 44.1 kHz (the mixer's format), empty when it does not decode.
std::vector<std::int16_t> Decode(const std::string& path) {
  Mix_Chunk* chunk = Mix_LoadWAV(Data(path).c_str());
  EXPECT_NE(chunk, nullptr) << path << ": " << Mix_GetError();
  if (!chunk) return {};
  const auto* s = reinterpret_cast<const std::int16_t*>(chunk->abuf);
  std::vector<std::int16_t> out(s, s + chunk->alen / 2);
  Mix_FreeChunk(chunk);
  return out;
}

int Peak(const std::vector<std::int16_t>& s) {
  const auto [low, high] = std::minmax_element(s.begin(), s.end());
  return s.empty() ? 0 : std::max(-static_cast<int>(*low), static_cast<int>(*high));
}

// Level in dB of full scale of the mean square over `count` samples from `from`.
double RmsDb(const std::vector<std::int16_t>& s, size_t from, size_t count) {
  double sum = 0;
  for (size_t i = from; i < from + count; ++i) sum += double(s[i]) * s[i];
  return 10 * std::log10(sum / count / (32768.0 * 32768.0) + 1e-20);
}

// Ten short effects, faded in and out so that starting or cutting one off never clicks.
// The mixer adds the one effect channel to the music, both at full volume: the two peaks
// together stay more than 0.1 dB under full scale, and the music sits at least 6 dB under
// the loudest 50 ms of every effect. Each loop of music is whole bars at its tempo, and
// its last sample runs on into the first as smoothly as any two neighbours inside the
// tune (the encoder's delay and padding trimmed).
TEST(AssetSounds, EffectsAreShortCleanAndOverTheMusicAndLoopsJoinWithoutAClick) {
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
  ASSERT_EQ(SDL_Init(SDL_INIT_AUDIO), 0) << SDL_GetError();
  ASSERT_EQ(Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024), 0) << Mix_GetError();
  Mix_Init(MIX_INIT_MP3);
  int effectPeak = 0;
  double quietestEffect = 0;
  for (const char* name : {"tm2_bom003", "cursor09", "bell07", "push04", "shoot16_b",
                           "tm2_laser002", "tm2_put001", "tm2_power000", "pi02", "beep15"}) {
    SCOPED_TRACE(name);
    const std::vector<std::int16_t> s = Decode("WAV/" + std::string(name) + ".wav");
    ASSERT_TRUE(s.size() >= 0.05 * 88200 && s.size() <= 1.5 * 88200) << s.size();
    EXPECT_GE(Peak(s), 8192) << "quieter than -12 dBFS";
    EXPECT_LE(std::max(std::abs(s.front()), std::abs(s.back())), 100);
    effectPeak = std::max(effectPeak, Peak(s));
    double loudest = -200;
    for (size_t at = 0; at + 4410 <= s.size(); at += 882) {
      loudest = std::max(loudest, RmsDb(s, at, 4410));
    }
    quietestEffect = std::min(quietestEffect, loudest);
  }
  for (const auto& [name, seconds] : {std::pair("tw014b.mp3", 64 * 60.0 / 90),
                                      std::pair("tw065.mp3", 128 * 60.0 / 140)}) {
    SCOPED_TRACE(name);
    const std::vector<std::int16_t> s = Decode(std::string("MP3/") + name);
    const size_t frames = s.size() / 2;
    ASSERT_NEAR(static_cast<double>(frames), seconds * 44100, 2);
    EXPECT_GT(Peak(s), 6000) << "not near silent";
    EXPECT_LT(effectPeak + Peak(s), 32393) << "with an effect peak of " << effectPeak;
    EXPECT_LE(RmsDb(s, 0, s.size()), quietestEffect - 6);
    double meanStep = 0;
    for (size_t i = 1; i < frames; ++i) meanStep += std::abs(s[2 * i] - s[2 * i - 2]);
    meanStep /= static_cast<double>(frames);
    for (int c = 0; c < 2; ++c) {
      EXPECT_LE(std::abs(s[c] - s[2 * (frames - 1) + c]), 3 * meanStep) << "channel " << c;
    }
  }
  Mix_CloseAudio();
  Mix_Quit();
  SDL_Quit();
}

// A second run of the generator writes the very bytes of the build's own run.
TEST(AssetGenerator, EveryRunGivesIdenticalBytes) {
  const std::string again = testsupport::MakeTempDir("assets");
  ASSERT_EQ(std::system(("'" TONKALO_ASSETGEN "' '" + again + "' >/dev/null").c_str()), 0);
  size_t compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(again)) {
    if (!entry.is_regular_file()) continue;
    const std::string rel = fs::relative(entry.path(), again).string();
    EXPECT_TRUE(ReadFile(entry.path()) == ReadFile(Data(rel))) << rel;
    ++compared;
  }
  EXPECT_GT(compared, FilesIn(Data("BMP")).size() + 12) << "pictures, sounds, music, icons";
}

}  // namespace
