// The results screen: the box drops from above and bounces to rest, the final score
// counts up inside it with a ticking sound, and a new record brings a banner that
// shrinks into place beside the number.
#pragma once

#include "gfx/mask_bmp.h"
#include "platform/raster/gdi.h"

class CResultPanel {
 public:
  CResultPanel();
  CResultPanel(const CResultPanel&) = delete;
  CResultPanel& operator=(const CResultPanel&) = delete;

  // The box, digit and banner pictures; 1 only when all three loaded.
  int Load();
  void Reset(int newRecord);
  // One results frame; 1 once the box rests, the count is complete and any banner has
  // settled.
  int Step(int finalScore);
  void Draw(gdi::HDC dc);
  // Digits of `value` from the 32 x 64 cells, centred together with the 64-pixel unit
  // cell on x, their tops 32 pixels above y; returns the x after the last digit.
  int DrawResultNumber(gdi::HDC dc, int x, int y, int advance, int value);
  // Box and digit pictures; the banner goes with the panel at exit.
  void Release();

  int GetShownScore() const { return shownScore; }
  int GetBannerFlag() const { return bannerFlag; }
  float GetBannerScale() const { return bannerScale; }
  // Height 0 and speed under 0.5: the box has come to rest.
  bool AtRest() const;

 private:
  CDrawMaskBMP box;
  CDrawMaskBMP digits;
  CDrawMaskBMP banner;
  float height;
  float speed;
  int shownScore;
  int newRecord;
  int bannerFlag;
  float bannerScale;
};

// The counting counter (the count advances every second step) and the tick counter
// (spaces the counting sound) live for the whole program and are never reset by a game.
// Tests set them to start from a known state.
void SetResultCounters(int counting, int tick);
