// The four colour gauges along the bottom of the play screen: one step per frame in
// which an item of their kind was hit, a bonus of a tenth of the score at 15 steps, and
// a blinking MAX mark for a while after.
#pragma once

#include "gfx/dc_bmp.h"
#include "gfx/mask_bmp.h"
#include "platform/raster/gdi.h"

constexpr int kGaugeCount = 4;
constexpr int kGaugeFullLevel = 15;

// Index 0 red (10-point items), 1 blue (2-point), 2 green (5-point), 3 yellow (1-point).
enum GaugeIndex { GAUGE_RED = 0, GAUGE_BLUE = 1, GAUGE_GREEN = 2, GAUGE_YELLOW = 3 };

class CColorGauge {
 public:
  CColorGauge();
  CColorGauge(const CColorGauge&) = delete;
  CColorGauge& operator=(const CColorGauge&) = delete;

  // The letter and the finished frame canvas: the frame picture over the wall pixels
  // sampled at (470, 396 + 35 x index).
  void BuildFrame(int index, gdi::HDC wallDC, CDrawMaskBMP& framePicture);
  // The fill and the MAX mark.
  void LoadFill(int index);
  void DrawLetter(gdi::HDC dc, int index);
  void DrawFrame(gdi::HDC dc, int index);
  // The fill for `level` (full while maxFlag is set), then the MAX mark on the shared
  // blink counters.
  void DrawFill(gdi::HDC dc, int index, int level);
  void Release();

  int maxFlag;


 private:
  CDrawMaskBMP maxPicture;
  CDrawMaskBMP fill;
  CDrawDCBMP frame;
  CDrawMaskBMP letter;
};

class CGaugeSet {
 public:
  CGaugeSet();
  CGaugeSet(const CGaugeSet&) = delete;
  CGaugeSet& operator=(const CGaugeSet&) = delete;

  // Once at start-up, after the wall has loaded; wallDC is the wall picture's own context.
  void Init(gdi::HDC windowDC, gdi::HDC wallDC);
  void Reset();
  // One step, capped at 15; reaching 15 raises maxFlag.
  void AddPoint(int index);
  // Empties every full gauge and returns how many there were; maxFlag stays.
  int CollectFull();
  // Letters, then frames.
  void DrawFrames(gdi::HDC dc);
  // Fills, then MAX marks.
  void DrawFills(gdi::HDC dc);
  void Release();

  int GetLevel(int index) const { return levels[index]; }
  int GetMaxFlag(int index) const { return gauges[index].maxFlag; }

 private:
  CColorGauge gauges[kGaugeCount];
  int levels[kGaugeCount];
};

// The blink counters shared by every gauge and every game (30 and 30 at start-up,
// changed only by the MAX draws). Tests set them to start from a known state.
void SetGaugeBlinkCounters(int inner, int outer);
