// The 3-2-1 countdown (four copies of the digit spiralling into the middle) and the
// start banner that shrinks onto the screen in the first play frames; both from
// "BMP/321start.bmp".
#pragma once

#include "gfx/mask_bmp.h"
#include "platform/raster/gdi.h"

class CCountdown {
 public:
  CCountdown();
  CCountdown(const CCountdown&) = delete;
  CCountdown& operator=(const CCountdown&) = delete;

  // Transparent pure green; the result is for callers that want it.
  int Load(const char* path);
  void Reset();
  // One countdown frame; 1 in the step that ends the count (after 1080 steps).
  int Step();
  // The four digit copies.
  void Draw(gdi::HDC dc);
  // Advances and draws the banner; from its 300th call on it draws nothing.
  void DrawStartBanner(gdi::HDC dc);
  void Release();

  int GetDigit() const { return digit; }
  float GetRadius() const { return radius; }
  float GetBannerScale() const { return bannerScale; }
  // Top-left corner of digit copy i (0 to 3) as Draw places it.
  void CopyPosition(int i, int* x, int* y) const;
  CDrawMaskBMP& Picture() { return picture; }

 private:
  CDrawMaskBMP picture;
  int digit;
  int stepCount;
  float angle;
  float radius;
  float bannerScale;
  int bannerFrames;
};

// The two sound flags live for the whole program and no Reset touches them: sound 1
// already played for the current digit, sound 2 already played for the current banner.
// Tests set them to start from a known state.
void SetCountdownSoundFlags(int countdownFlag, int bannerFlag);
