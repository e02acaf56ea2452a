// Bonus pop-ups: a message cell of the MSG sprite that starts wide over the middle of
// the screen, settles, swells and is gone after 600 steps. Up to ten live at once,
// stacked downwards; one list serves the whole program.
#pragma once

#include "gfx/mask_bmp.h"
#include "platform/raster/gdi.h"

constexpr int kMaxPopups = 10;

// Kind 0: +20 s from ten stars; kind 2: +10 % score from a full gauge.
enum PopupKind { POPUP_STARS = 0, POPUP_UNUSED = 1, POPUP_GAUGE = 2 };

struct CBonusPopup {
  int kind;
  int age;
  float scaleX;
  float scaleY;
  // 72 x the live count when it was made; never changes, also when it moves down a slot.
  int offset;

  // One easing step; 1 when the pop-up is finished.
  int Step();
  void Draw(gdi::HDC dc, CDrawMaskBMP& sprite) const;
  // The destination rectangle of Draw (left, top, width, height).
  int Width() const;
  int Height() const;
  int Left() const;
  int Top() const;
};

// The MSG sprite belongs to the program objects; the list only draws from it. With
// none bound, pop-ups still live and age but draw nothing.
void BindPopupSprite(CDrawMaskBMP* sprite);
// Dropped when ten are live.
void AddPopup(int kind);
void ResetPopups();
// Play screen only: steps every live pop-up and removes the finished ones.
void StepPopups();
// Slot 0 first.
void DrawPopups(gdi::HDC dc);

int PopupCount();
const CBonusPopup& PopupAt(int slot);
