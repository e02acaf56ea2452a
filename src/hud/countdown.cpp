#include "hud/countdown.h"

#include <cmath>

#include "audio/sound.h"

namespace {

constexpr gdi::COLORREF kGreen = gdi::RGB(0, 255, 0);

constexpr int kFirstDigit = 3;
constexpr int kStepsPerDigit = 360;
constexpr int kSoundStep = 120;
constexpr float kStartAngle = 0.785398006439209f;
constexpr float kAngleStep = 0.3f;
constexpr float kStartRadius = 640.0f;
constexpr float kRadiusDivisor = 30.0f;
constexpr float kPi = 3.141592f;
// Top-left corner of a digit copy at radius 0: the 64 x 64 cell centred on (320, 240).
constexpr float kCentreLeft = 288.0f;
constexpr float kCentreTop = 208.0f;
constexpr int kDigitCell = 64;

constexpr float kBannerStartScale = 6.0f;
constexpr float kBannerTarget = 0.9f;
constexpr float kBannerDivisor = 16.0f;
constexpr int kBannerLastFrame = 300;
constexpr int kBannerWidth = 192;
constexpr int kBannerHeight = 64;
constexpr int kBannerSourceY = 64;
constexpr int kCentreX = 320;
constexpr int kCentreY = 240;

constexpr int kTickSound = 1;
constexpr int kBellSound = 2;

// Program-wide, outliving every Reset: a game ended early leaves the banner flag set.
int countdownSoundFlag = 0;
int bannerSoundFlag = 0;

}  // namespace

void SetCountdownSoundFlags(int countdownFlag, int bannerFlag) {
  countdownSoundFlag = countdownFlag;
  bannerSoundFlag = bannerFlag;
}

CCountdown::CCountdown()
    : digit(kFirstDigit),
      stepCount(0),
      angle(kStartAngle),
      radius(kStartRadius),
      bannerScale(kBannerStartScale),
      bannerFrames(0) {}

int CCountdown::Load(const char* path) { return picture.Load(path, kGreen); }

void CCountdown::Reset() {
  stepCount = 0;
  digit = kFirstDigit;
  angle = kStartAngle;
  radius = kStartRadius;
  bannerScale = kBannerStartScale;
  bannerFrames = 0;
}

int CCountdown::Step() {
  angle += kAngleStep;
  radius += (0.0f - radius) / kRadiusDivisor;
  if (radius <= 0.0f) radius = 0.0f;
  if (radius < 1.0f) radius = 0.0f;
  stepCount += 1;
  if (stepCount >= kSoundStep && countdownSoundFlag == 0) {
    PlaySoundEffect(kTickSound);
    countdownSoundFlag = 1;
  }
  if (stepCount >= kStepsPerDigit) {
    stepCount = 0;
    countdownSoundFlag = 0;
    angle = kStartAngle;
    radius = kStartRadius;
    digit -= 1;
    return (digit <= 0) ? 1 : 0;
  }
  return 0;
}

void CCountdown::CopyPosition(int i, int* x, int* y) const {
  const float a = angle + (static_cast<float>(2 * i) * kPi) / 4.0f;
  const float c = static_cast<float>(std::cos(static_cast<double>(a)));
  const float s = static_cast<float>(std::sin(static_cast<double>(a)));
  *x = static_cast<int>(c * radius + kCentreLeft);
  *y = static_cast<int>(s * radius + kCentreTop);
}

void CCountdown::Draw(gdi::HDC dc) {
  for (int i = 0; i < 4; ++i) {
    int x = 0;
    int y = 0;
    CopyPosition(i, &x, &y);
    picture.DrawPart(dc, x, y, kDigitCell, kDigitCell, (kFirstDigit - digit) * kDigitCell, 0);
  }
}

void CCountdown::DrawStartBanner(gdi::HDC dc) {
  bannerFrames += 1;
  if (bannerFrames >= kBannerLastFrame) {
    bannerFrames = kBannerLastFrame;
    bannerSoundFlag = 0;
    return;
  }
  bannerScale += (kBannerTarget - bannerScale) / kBannerDivisor;
  if (bannerScale <= 1.0f) bannerScale = 1.0f;
  if (bannerSoundFlag == 0 && bannerScale == 1.0f) {
    bannerSoundFlag = 1;
    PlaySoundEffect(kBellSound);
  }
  const int w = static_cast<int>(bannerScale * static_cast<float>(kBannerWidth));
  const int h = static_cast<int>(bannerScale * static_cast<float>(kBannerHeight));
  picture.DrawStretched(dc, kCentreX - w / 2, kCentreY - h / 2, w, h, 0, kBannerSourceY,
                        kBannerWidth, kBannerHeight);
}

void CCountdown::Release() { picture.Release(); }
