// Flip-book animations over CDrawMaskBMP frames, paced by a CTimer; the frame advances
// inside the draw, which reports the end of a cycle.
#pragma once

#include <memory>

#include "gfx/mask_bmp.h"
#include "services/timer.h"

class CPataPata {
 public:
  CPataPata();
  virtual ~CPataPata();
  CPataPata(const CPataPata&) = delete;
  CPataPata& operator=(const CPataPata&) = delete;

  virtual void Release();
  virtual void Init(int frameCount, int intervalMs);
  virtual void Reset();
  // The current frame blended with `alpha`, then the frame step; 1 when a cycle ended.
  virtual int Draw(gdi::HDC dc, int x, int y, int alpha);

  void LoadTexture(int index, const char* path, gdi::COLORREF key);
  int GetFrameCount() const { return frameCount; }
  int GetCurrent() const { return current; }

 protected:
  // Before a frame is drawn: restart the timer when a reset asked for it.
  void BeginFrameStep();
  // After it: advance on an expired timer; 1 when the cycle wrapped to frame 0.
  int EndFrameStep();
  CDrawMaskBMP* Frame(int index);

  std::unique_ptr<CDrawMaskBMP[]> frames;
  int frameCount;
  int current;
  CTimer timer;
  int restartFlag;
};

// The board's hammer cursor and explosions.
class CPata : public CPataPata {
 public:
  int DrawAt(gdi::HDC dc, int x, int y, int dx, int dy);
  // One fixed frame; no frame step. An index out of range draws nothing.
  void DrawFrame(gdi::HDC dc, int index, int x, int y, int dx, int dy);
};

// The icon boxes' animations: one frame tiled over a cols x rows grid.
class CGaugePata : public CPataPata {
 public:
  void Setup(int frameCount, int intervalMs, int cols, int rows);
  int DrawTiled(gdi::HDC dc, int x, int y);

 private:
  int cols = 0;
  int rows = 0;
};
