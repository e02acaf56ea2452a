// Colour-keyed sprite: a picture and a one-bit mask built from a key colour once, at
// load time, so that each transparent draw is two block copies.
#pragma once

#include "gfx/dc_bmp.h"
#include "platform/raster/gdi.h"

class CDrawMaskBMP {
 public:
  CDrawMaskBMP();
  // Loads at once; the result is not looked at (the gauge set-up relies on this form).
  CDrawMaskBMP(const char* path, gdi::COLORREF key);
  ~CDrawMaskBMP();
  CDrawMaskBMP(const CDrawMaskBMP&) = delete;
  CDrawMaskBMP& operator=(const CDrawMaskBMP&) = delete;

  // 1 when the picture and its mask were made. Failures are reported through
  // DebugMessageBox one box per fault, in a fixed order: no path, the picture not
  // loaded, an empty picture, then no picture or mask (the only one that returns 0
  // after a path was given).
  int Load(const char* path, gdi::COLORREF key);
  void Release();

  void Draw(gdi::HDC dc, int x, int y);
  void DrawSized(gdi::HDC dc, int x, int y, int cx, int cy);
  void DrawPart(gdi::HDC dc, int x, int y, int cx, int cy, int sx, int sy);
  void DrawStretched(gdi::HDC dc, int xd, int yd, int wd, int hd, int xs, int ys, int ws,
                     int hs);
  void DrawCentred(gdi::HDC dc, int x, int y);
  // Blends the sprite with constant alpha (alpha AND 0xFF) through a canvas of the
  // sprite's size, made at the first call and kept until Release.
  void DrawAlpha(gdi::HDC dc, int x, int y, int cx, int cy, int alpha);
  // The high score on the title: digits of `value` centred on x from this digit strip.
  void DrawNumberCentred(gdi::HDC dc, int x, int y, int value, int advance, int glyphWidth);

  int GetWidth() const { return width; }
  int GetHeight() const { return height; }
  // All four handles set: the draws that check anything check this.
  bool IsLoaded() const { return hForeBMP && hMaskBMP && hForeDC && hMaskDC; }
  // For the draws that work on the raw contexts (digit strips, the board's rising items).
  gdi::HDC GetForeDC() const { return hForeDC; }
  gdi::HDC GetMaskDC() const { return hMaskDC; }

 private:
  gdi::HBITMAP hForeBMP;
  gdi::HBITMAP hMaskBMP;
  gdi::HDC hForeDC;
  gdi::HDC hMaskDC;
  int width;
  int height;
  CMemDCBMP alphaCanvas;
};
