#include "hud/popups.h"

namespace {

constexpr int kCellWidth = 128;
constexpr int kCellHeight = 48;
constexpr int kStackStep = 72;
// A pop-up eases towards normal size for this many steps, then swells, and is gone at
// kLifetime.
constexpr int kSettleSteps = 360;
constexpr int kLifetime = 600;
constexpr float kSettleTarget = 1.0f;
constexpr float kSettleDivisor = 18.0f;
constexpr float kSwellTarget = 1.2f;
constexpr float kSwellDivisor = 60.0f;
constexpr float kStartScaleX = 1.5f;
constexpr float kStartScaleY = 1.1f;
// The message cells are drawn at one and a half times their size at scale 1.
constexpr float kDrawScale = 1.5f;
constexpr int kCentreX = 320;
constexpr int kCentreY = 240;

CBonusPopup popupList[kMaxPopups];
int popupCount = 0;
CDrawMaskBMP* popupSprite = nullptr;

}  // namespace

int CBonusPopup::Step() {
  const float target = (age <= kSettleSteps) ? kSettleTarget : kSwellTarget;
  const float divisor = (age <= kSettleSteps) ? kSettleDivisor : kSwellDivisor;
  scaleX += (target - scaleX) / divisor;
  scaleY += (target - scaleY) / divisor;
  age += 1;
  return (age >= kLifetime) ? 1 : 0;
}

int CBonusPopup::Width() const {
  return static_cast<int>(static_cast<float>(kCellWidth) * scaleX * kDrawScale);
}

int CBonusPopup::Height() const {
  return static_cast<int>(static_cast<float>(kCellHeight) * scaleY * kDrawScale);
}

int CBonusPopup::Left() const { return kCentreX - Width() / 2; }

int CBonusPopup::Top() const { return kCentreY - Height() / 2 + offset; }

void CBonusPopup::Draw(gdi::HDC dc, CDrawMaskBMP& sprite) const {
  sprite.DrawStretched(dc, Left(), Top(), Width(), Height(), kCellWidth * kind, 0,
                       kCellWidth, kCellHeight);
}

void BindPopupSprite(CDrawMaskBMP* sprite) { popupSprite = sprite; }

void AddPopup(int kind) {
  if (popupCount >= kMaxPopups) return;
  CBonusPopup& popup = popupList[popupCount];
  popup.kind = kind;
  popup.age = 0;
  popup.scaleX = kStartScaleX;
  popup.scaleY = kStartScaleY;
  popup.offset = popupCount * kStackStep;
  popupCount += 1;
}

void ResetPopups() { popupCount = 0; }

void StepPopups() {
  // After a removal the record moved into slot i waits for the next frame's step.
  for (int i = 0; i < popupCount; ++i) {
    if (popupList[i].Step() == 1) {
      for (int j = i + 1; j < popupCount; ++j) popupList[j - 1] = popupList[j];
      popupCount -= 1;
    }
  }
}

void DrawPopups(gdi::HDC dc) {
  if (popupSprite == nullptr) return;
  for (int i = 0; i < popupCount; ++i) popupList[i].Draw(dc, *popupSprite);
}

int PopupCount() { return popupCount; }

const CBonusPopup& PopupAt(int slot) { return popupList[slot]; }
