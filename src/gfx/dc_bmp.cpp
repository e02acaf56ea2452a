#include "gfx/dc_bmp.h"

#include "services/debug.h"
#include "services/load_image.h"

namespace {

// A context whose own bitmap could not be made still holds the raster layer's 1 x 1
// default bitmap and would copy that stray pixel; without its bitmap an object stays
// empty instead, so that every copy from or into it draws nothing.
void DropContextWithoutBitmap(gdi::HDC& dc, gdi::HBITMAP bmp) {
  if (bmp == 0 && dc != 0) {
    gdi::DeleteDC(dc);
    dc = 0;
  }
}

// A fresh context holding the picture of a BMP file, or nothing when it does not load.
void OpenPicture(const char* path, gdi::HDC& dc, gdi::HBITMAP& bmp) {
  dc = gdi::CreateCompatibleDC(0);
  bmp = LoadImageFromFile(path);
  gdi::SelectObject(dc, bmp);
  DropContextWithoutBitmap(dc, bmp);
}

}  // namespace

void ReleaseContextAndBitmap(gdi::HDC& dc, gdi::HBITMAP& bmp) {
  if (dc) {
    gdi::DeleteDC(dc);
    dc = 0;
  }
  if (bmp) {
    gdi::DeleteObject(bmp);
    bmp = 0;
  }
}

void BitmapSize(gdi::HBITMAP bmp, int& width, int& height) {
  gdi::BITMAP bm{};
  if (bmp != 0 && gdi::GetObject(bmp, sizeof(bm), &bm) != 0) {
    width = bm.bmWidth;
    height = bm.bmHeight;
  } else {
    width = 0;
    height = 0;
  }
}

CMemDCBMP::CMemDCBMP() : hDC(0), hBMP(0) {}

CMemDCBMP::~CMemDCBMP() { Release(); }

void CMemDCBMP::Create(gdi::HDC refDC, int w, int h) {
  Release();
  hDC = gdi::CreateCompatibleDC(0);
  hBMP = gdi::CreateCompatibleBitmap(refDC, w, h);
  gdi::SelectObject(hDC, hBMP);
  DropContextWithoutBitmap(hDC, hBMP);
}

void CMemDCBMP::LoadFromFile(const char* path) {
  Release();
  OpenPicture(path, hDC, hBMP);
}

void CMemDCBMP::Release() { ReleaseContextAndBitmap(hDC, hBMP); }

void CMemDCBMP::CopyIn(gdi::HDC srcDC, int sx, int sy, int w, int h, int dx, int dy) {
  gdi::BitBlt(hDC, dx, dy, w, h, srcDC, sx, sy, gdi::SRCCOPY);
}

CDrawDCBMP::CDrawDCBMP() : width(1), height(1) {}

void CDrawDCBMP::Load(const char* path) {
  store.LoadFromFile(path);
  BitmapSize(store.GetBitmap(), width, height);
  if (width == 0 || height == 0) DebugMessageBox("width or height is 0");
  if (store.GetBitmap() == 0) DebugMessageBox("CDrawDCBMP::hBMP=NULL, File=%s", path);
}

void CDrawDCBMP::Create(gdi::HDC refDC, int w, int h) {
  store.Create(refDC, w, h);
  width = w;
  height = h;
}

void CDrawDCBMP::Draw(gdi::HDC dc, int x, int y) {
  gdi::BitBlt(dc, x, y, width, height, store.GetMemDC(), 0, 0, gdi::SRCCOPY);
}

void CDrawDCBMP::DrawPart(gdi::HDC dc, int x, int y, int cx, int cy, int sx, int sy) {
  if (cx == 0) cx = width;
  if (cy == 0) cy = height;
  gdi::BitBlt(dc, x, y, cx, cy, store.GetMemDC(), sx, sy, gdi::SRCCOPY);
}

void CDrawDCBMP::CopyFrom(int x, int y, gdi::HDC srcDC, int sx, int sy, int cx, int cy) {
  if (cx == 0) cx = width;
  if (cy == 0) cy = height;
  gdi::BitBlt(store.GetMemDC(), x, y, cx, cy, srcDC, sx, sy, gdi::SRCCOPY);
}

CWallBMP::CWallBMP() : width(0), height(0), hBMP(0), hDC(0) {}

CWallBMP::CWallBMP(const char* path) : CWallBMP() { Load(path); }

CWallBMP::~CWallBMP() { Release(); }

int CWallBMP::Load(const char* path) {
  Release();
  OpenPicture(path, hDC, hBMP);
  BitmapSize(hBMP, width, height);
  return 1;
}

void CWallBMP::Release() { ReleaseContextAndBitmap(hDC, hBMP); }

void CWallBMP::Tile(gdi::HDC dc, CRect rect) {
  const int w = width;
  const int h = height;
  // A wall that did not load is 0 x 0 and covers nothing.
  if (w <= 0 || h <= 0) return;
  const int W = rect.right - rect.left;
  const int H = rect.bottom - rect.top;
  const int cols = W / w;
  const int rows = H / h;
  const int remX = W % w;
  const int remY = H % h;

  // Every piece starts at the tile's top-left: the right column and the bottom row are
  // the tile cut short, so the seams match the whole tiles beside them.
  for (int i = 0; i < rows; ++i) {
    const int y = rect.top + i * h;
    for (int j = 0; j < cols; ++j) {
      gdi::BitBlt(dc, rect.left + j * w, y, w, h, hDC, 0, 0, gdi::SRCCOPY);
    }
    gdi::BitBlt(dc, rect.right - remX, y, remX, h, hDC, 0, 0, gdi::SRCCOPY);
  }
  for (int j = 0; j < cols; ++j) {
    gdi::BitBlt(dc, rect.left + j * w, rect.bottom - remY, w, remY, hDC, 0, 0,
                gdi::SRCCOPY);
  }
  gdi::BitBlt(dc, rect.right - remX, rect.bottom - remY, remX, remY, hDC, 0, 0,
              gdi::SRCCOPY);
}

CPenSelect::CPenSelect(gdi::HDC dc) {
  pen = gdi::CreatePen(gdi::PS_SOLID, 1, gdi::RGB(0, 0, 0));
  previous = gdi::SelectObject(dc, pen);
}

CPenSelect::~CPenSelect() {
  // The black pen stays selected in the context. The object it replaced goes to
  // DeleteObject, which keeps stock and in-use objects; our own pen is only marked while
  // selected and the raster layer frees it with the context, so it never leaks.
  gdi::DeleteObject(previous);
  gdi::DeleteObject(pen);
}
