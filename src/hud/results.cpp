#include "hud/results.h"

#include <cmath>

#include "audio/sound.h"

namespace {

constexpr gdi::COLORREF kGreen = gdi::RGB(0, 255, 0);
constexpr gdi::COLORREF kBannerKey = gdi::RGB(255, 80, 0);

constexpr float kStartHeight = 400.0f;
constexpr float kGravity = 0.5f;
constexpr float kBounce = 0.6f;
constexpr float kBounceSoundSpeed = 0.25f;
constexpr float kRestSpeed = 0.5f;

// The count moves a sixtieth of what is left every second step and snaps to the final
// score from nine tenths on, or once a step would be under one point.
constexpr int kCountEvery = 2;
constexpr double kCountDivisor = 60.0;
constexpr float kSnapFraction = 0.9f;
constexpr int kTickEvery = 30;

constexpr float kBannerStartScale = 4.0f;
constexpr float kBannerTarget = 0.9f;
constexpr float kBannerDivisor = 8.0f;
constexpr int kBannerWidth = 220;
constexpr int kBannerHeight = 101;
constexpr int kBannerCentreX = 510;
constexpr int kBannerCentreY = 280;

constexpr int kBoxLeft = 120;
constexpr float kBoxRestTop = 160.0f;
constexpr int kNumberX = 325;
constexpr int kNumberY = 256;
constexpr int kDigitAdvance = 32;
constexpr int kDigitWidth = 32;
constexpr int kDigitHeight = 64;
// Digits and unit cell stand from 32 pixels above the number's y.
constexpr int kDigitRise = 32;
constexpr int kUnitSize = 64;
constexpr int kUnitSourceY = 64;
constexpr int kMaxPower = 15;

constexpr int kBounceSound = 6;
constexpr int kCountSound = 8;

// Both run on across games and results screens; only their own wrap resets them.
int countingCounter = 0;
int tickCounter = 0;

}  // namespace

void SetResultCounters(int counting, int tick) {
  countingCounter = counting;
  tickCounter = tick;
}

CResultPanel::CResultPanel()
    : height(kStartHeight),
      speed(0.0f),
      shownScore(0),
      newRecord(0),
      bannerFlag(0),
      bannerScale(kBannerStartScale) {}

int CResultPanel::Load() {
  const int boxLoaded = box.Load("BMP/result_box.bmp", kGreen);
  const int digitsLoaded = digits.Load("BMP/result_num.bmp", kGreen);
  const int bannerLoaded = banner.Load("BMP/HIGHSCORE_UPDATE.bmp", kBannerKey);
  return (boxLoaded && digitsLoaded && bannerLoaded) ? 1 : 0;
}

void CResultPanel::Reset(int record) {
  height = kStartHeight;
  speed = 0.0f;
  shownScore = 0;
  newRecord = record;
  bannerFlag = 0;
  bannerScale = kBannerStartScale;
}

bool CResultPanel::AtRest() const {
  return height == 0.0f && std::fabs(speed) < kRestSpeed;
}

int CResultPanel::Step(int finalScore) {
  speed -= kGravity;
  height += speed;
  if (height < 0.0f && speed < 0.0f) {
    speed = -speed * kBounce;
    height += speed;
    if (std::fabs(speed) >= kBounceSoundSpeed) PlaySoundEffect(kBounceSound);
  }
  if (height < 0.0f) height = 0.0f;
  if (!AtRest()) return 0;

  countingCounter += 1;
  if (countingCounter >= kCountEvery) {
    countingCounter = 0;
    const float step = static_cast<float>((finalScore - shownScore) / kCountDivisor);
    shownScore = static_cast<int>(static_cast<float>(shownScore) + step);
    if (static_cast<float>(shownScore) >= static_cast<float>(finalScore) * kSnapFraction) {
      shownScore = finalScore;
    }
    if (step < 1.0f) shownScore = finalScore;
  }
  if (shownScore < finalScore) {
    tickCounter += 1;
    if (tickCounter >= kTickEvery) {
      tickCounter = 0;
      PlaySoundEffect(kCountSound);
    }
    return 0;
  }
  shownScore = finalScore;
  if (newRecord != 1) return 1;

  bannerFlag = 1;
  bannerScale += (kBannerTarget - bannerScale) / kBannerDivisor;
  if (bannerScale <= 1.0f) bannerScale = 1.0f;
  return (bannerScale == 1.0f) ? 1 : 0;
}

// The digit count divides in single precision, the shown score rounded to a float too:
// exact below 2^24 points; above that the score can round up to the next power of ten
// and gain a leading 0. The digits themselves are taken in double.
int CResultPanel::DrawResultNumber(gdi::HDC dc, int x, int y, int advance, int value) {
  int count = 1;
  for (int n = kMaxPower; n >= 1; --n) {
    const float power = std::pow(10.0f, static_cast<float>(n));
    if (static_cast<float>(value) / power >= 1.0f) {
      count = n + 1;
      break;
    }
  }
  x = static_cast<int>(x - (count * advance + kUnitSize) / 2.0);
  for (int i = 0; i < count; ++i) {
    const float power = std::pow(10.0f, static_cast<float>(count - 1 - i));
    const int d = static_cast<int>(
        static_cast<long long>(static_cast<double>(value) / static_cast<double>(power)) % 10);
    digits.DrawPart(dc, x, y - kDigitRise, kDigitWidth, kDigitHeight, kDigitWidth * d, 0);
    x += advance;
  }
  return x;
}

void CResultPanel::Draw(gdi::HDC dc) {
  box.Draw(dc, kBoxLeft, static_cast<int>(kBoxRestTop - height));
  if (AtRest()) {
    const int x = DrawResultNumber(dc, kNumberX, kNumberY, kDigitAdvance, shownScore);
    digits.DrawPart(dc, x, kNumberY - kDigitRise, kUnitSize, kUnitSize, 0, kUnitSourceY);
  }
  if (bannerFlag == 1) {
    const int w = static_cast<int>(bannerScale * static_cast<float>(kBannerWidth));
    const int h = static_cast<int>(bannerScale * static_cast<float>(kBannerHeight));
    banner.DrawStretched(dc, kBannerCentreX - w / 2, kBannerCentreY - h / 2, w, h, 0, 0,
                         kBannerWidth, kBannerHeight);
  }
}

void CResultPanel::Release() {
  box.Release();
  digits.Release();
}
