// The four boxes on the right of the play screen: time and score (a number with a
// pending amount that rolls into it one unit per 50 ms tick) and stars and misses (an
// icon count with a threshold that fires a bonus or the end of the game).
#pragma once

#include <memory>

#include "gfx/dc_bmp.h"
#include "gfx/digits.h"
#include "gfx/mask_bmp.h"
#include "gfx/pata.h"
#include "platform/raster/gdi.h"

// The number held by a CNumberBox.
struct CCounter {
  int value = 0;
  // Still to be moved into value, one unit per Step; may be negative.
  int pending = 0;
  // The value at the last number draw; 999 means nothing drawn since the last Reset.
  int drawnValue = 999;
};

class CNumberBox {
 public:
  CNumberBox();
  ~CNumberBox();
  CNumberBox(const CNumberBox&) = delete;
  CNumberBox& operator=(const CNumberBox&) = delete;

  // The box picture, transparent white; 1 on success.
  int LoadBox(const char* path);
  int LoadDigits(const char* path, gdi::COLORREF key, int glyphWidth);
  // The 120 x 36 canvas kept beside the box for its lifetime; nothing is drawn into it.
  void CreateCanvas(gdi::HDC windowDC);
  void ReleaseCanvas();

  void SetValue(int v) { counter.value = v; }
  void Reset(int v);
  void AddValue(int d) { counter.value += d; }
  void AddPending(int d) { counter.pending += d; }
  // One unit of pending into value, per firing of the 50 ms counter tick.
  void Step();
  int GetValue() const { return counter.value; }
  // The board adds points and seconds here directly.
  int& Pending() { return counter.pending; }

  void DrawBox(gdi::HDC dc, int x, int y);
  // Both store a negative value as 0 before drawing it; with force 0 an unchanged value
  // is not drawn again.
  void DrawTime(gdi::HDC dc, int x, int y, int force);
  void DrawScore(gdi::HDC dc, int x, int y, int force);
  // Box picture, digit strip and canvas; may be called any number of times.
  void Release();

  const CCounter& Counter() const { return counter; }
  const CDrawDCBMP* Canvas() const { return canvas.get(); }

 private:
  // What both number draws do before the digits: a negative value becomes 0 for good,
  // and an unchanged value is not drawn again unless forced; false when nothing is drawn.
  bool BeginNumberDraw(int force);

  CDrawMaskBMP box;
  std::unique_ptr<CDrawDCBMP> canvas;
  CCounter counter;
  CDigitStrip digits;
};

class CIconBox {
 public:
  CIconBox();
  ~CIconBox();
  CIconBox(const CIconBox&) = delete;
  CIconBox& operator=(const CIconBox&) = delete;

  // The box picture, transparent white; 1 on success.
  int LoadBox(const char* path);
  // secondPath may be null: no second icon is made.
  void LoadIcons(const char* iconPath, gdi::COLORREF iconKey, const char* secondPath,
                 gdi::COLORREF secondKey, int cols, int rows);
  // The trigger animation over the cols x rows grid; frames are loaded one by one.
  void LoadAnimation(int frameCount, int frameMs, int cols, int rows);
  void LoadFrame(int index, const char* path, gdi::COLORREF key);

  void Reset(int repeats, int threshold);
  // 1 when iconCount had reached the threshold: the threshold is taken off and the
  // animation starts.
  int TakeTrigger();
  // The board adds stars and misses here directly.
  int& IconCount() { return iconCount; }

  void DrawBox(gdi::HDC dc, int x, int y);
  // The trigger animation while it runs (force and count ignored), else the icons.
  void Draw(gdi::HDC dc, int x, int y, int force);
  void Release();

  int GetDrawnCount() const { return drawnCount; }
  int IsAnimating() const { return animating; }
  CGaugePata& Animation() { return animation; }

 private:
  CDrawMaskBMP box;
  CIconStrip icons;
  CGaugePata animation;
  int iconCount;
  int drawnCount;
  int threshold;
  int animating;
  int repeats;
  int cyclesPlayed;
};
