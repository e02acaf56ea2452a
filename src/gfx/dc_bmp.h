// The opaque side of the graphics: canvases, plain pictures, the tiled wall and the pen
// that outlines the board grid.
#pragma once

#include "platform/raster/gdi.h"
#include "services/geometry.h"

// Frees a context and then the bitmap that was selected into it, each only if set, and
// nulls both: the bitmap is no longer in use when it goes.
void ReleaseContextAndBitmap(gdi::HDC& dc, gdi::HBITMAP& bmp);
// Width and height of a bitmap, both 0 when there is none.
void BitmapSize(gdi::HBITMAP bmp, int& width, int& height);

// A memory device context with one bitmap of its own.
class CMemDCBMP {
 public:
  CMemDCBMP();
  ~CMemDCBMP();
  CMemDCBMP(const CMemDCBMP&) = delete;
  CMemDCBMP& operator=(const CMemDCBMP&) = delete;

  void Create(gdi::HDC refDC, int w, int h);
  // Release, then a fresh context holding the picture of a BMP file; a file that does
  // not load leaves the object empty (no context, no bitmap).
  void LoadFromFile(const char* path);
  void Release();
  gdi::HDC GetMemDC() const { return hDC; }
  gdi::HBITMAP GetBitmap() const { return hBMP; }
  void CopyIn(gdi::HDC srcDC, int sx, int sy, int w, int h, int dx, int dy);

 private:
  gdi::HDC hDC;
  gdi::HBITMAP hBMP;
};

// A plain picture with its size, loaded from a file or created blank.
class CDrawDCBMP {
 public:
  CDrawDCBMP();
  ~CDrawDCBMP() = default;
  CDrawDCBMP(const CDrawDCBMP&) = delete;
  CDrawDCBMP& operator=(const CDrawDCBMP&) = delete;

  void Load(const char* path);
  void Create(gdi::HDC refDC, int w, int h);
  void Release() { store.Release(); }
  void Draw(gdi::HDC dc, int x, int y);
  void DrawPart(gdi::HDC dc, int x, int y, int cx, int cy, int sx, int sy);
  void CopyFrom(int x, int y, gdi::HDC srcDC, int sx, int sy, int cx, int cy);
  gdi::HDC GetMemDC() const { return store.GetMemDC(); }
  int GetWidth() const { return width; }
  int GetHeight() const { return height; }

 private:
  CMemDCBMP store;
  int width;
  int height;
};

// A tile that fills any rectangle with copies of itself.
class CWallBMP {
 public:
  CWallBMP();
  explicit CWallBMP(const char* path);
  ~CWallBMP();
  CWallBMP(const CWallBMP&) = delete;
  CWallBMP& operator=(const CWallBMP&) = delete;

  int Load(const char* path);  // always 1; a wall that did not load is 0 x 0
  void Release();
  gdi::HDC GetMemDC() const { return hDC; }
  void Tile(gdi::HDC dc, CRect rect);
  int GetWidth() const { return width; }
  int GetHeight() const { return height; }

 private:
  int width;
  int height;
  gdi::HBITMAP hBMP;
  gdi::HDC hDC;
};

// Selects a solid black pen one pixel wide into a context for the life of the object.
class CPenSelect {
 public:
  explicit CPenSelect(gdi::HDC dc);
  ~CPenSelect();
  CPenSelect(const CPenSelect&) = delete;
  CPenSelect& operator=(const CPenSelect&) = delete;

 private:
  gdi::HGDIOBJ previous;
  gdi::HPEN pen;
};
