#include "gfx/mask_bmp.h"

#include "gfx/dc_bmp.h"
#include "services/debug.h"
#include "services/load_image.h"

namespace {

// What the C library prints for a null string, so that a null path reads as it always
// has in the message box.
const char kNullText[] = "(null)";

int Pow10(int n) {
  int p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

}  // namespace

CDrawMaskBMP::CDrawMaskBMP()
    : hForeBMP(0), hMaskBMP(0), hForeDC(0), hMaskDC(0), width(0), height(0) {}

CDrawMaskBMP::CDrawMaskBMP(const char* path, gdi::COLORREF key) : CDrawMaskBMP() {
  Load(path, key);
}

CDrawMaskBMP::~CDrawMaskBMP() { Release(); }

int CDrawMaskBMP::Load(const char* path, gdi::COLORREF key) {
  Release();
  if (path == nullptr) {
    DebugMessageBox("File: %s is None.", kNullText);
    return 0;
  }

  hForeDC = gdi::CreateCompatibleDC(0);
  hForeBMP = LoadImageFromFile(path);
  gdi::SelectObject(hForeDC, hForeBMP);
  if (hForeBMP == 0) DebugMessageBox("File : %s is NULL", path);

  BitmapSize(hForeBMP, width, height);

  // The key colour becomes 1 in the mask; the fore context's own background colour is
  // put back so that the blackening below expands the mask to white and black.
  const gdi::COLORREF oldBk = gdi::SetBkColor(hForeDC, key);
  hMaskDC = gdi::CreateCompatibleDC(0);
  hMaskBMP = gdi::CreateBitmap(width, height, 1, 1, nullptr);
  gdi::SelectObject(hMaskDC, hMaskBMP);
  gdi::BitBlt(hMaskDC, 0, 0, width, height, hForeDC, 0, 0, gdi::SRCCOPY);
  gdi::SetBkColor(hForeDC, oldBk);

  // Black under the mask, so that the SRCPAINT half of a draw adds nothing there.
  gdi::BitBlt(hForeDC, 0, 0, width, height, hMaskDC, 0, 0, gdi::SRCERASE_NOT);

  if (width == 0 || height == 0) DebugMessageBox("width or height is 0");
  if (hForeBMP == 0 || hMaskBMP == 0) {
    DebugMessageBox("hForeBMP or hMaskBMP is NULL:File=%s", path);
    return 0;
  }
  return 1;
}

void CDrawMaskBMP::Release() {
  ReleaseContextAndBitmap(hForeDC, hForeBMP);
  ReleaseContextAndBitmap(hMaskDC, hMaskBMP);
  alphaCanvas.Release();
}

void CDrawMaskBMP::Draw(gdi::HDC dc, int x, int y) {
  if (!IsLoaded() || width == 0 || height == 0) return;
  gdi::BitBlt(dc, x, y, width, height, hMaskDC, 0, 0, gdi::SRCAND);
  gdi::BitBlt(dc, x, y, width, height, hForeDC, 0, 0, gdi::SRCPAINT);
}

void CDrawMaskBMP::DrawSized(gdi::HDC dc, int x, int y, int cx, int cy) {
  DrawPart(dc, x, y, cx, cy, 0, 0);
}

void CDrawMaskBMP::DrawPart(gdi::HDC dc, int x, int y, int cx, int cy, int sx, int sy) {
  if (!IsLoaded()) return;
  if (cx == 0) cx = width;
  if (cy == 0) cy = height;
  gdi::BitBlt(dc, x, y, cx, cy, hMaskDC, sx, sy, gdi::SRCAND);
  gdi::BitBlt(dc, x, y, cx, cy, hForeDC, sx, sy, gdi::SRCPAINT);
}

void CDrawMaskBMP::DrawStretched(gdi::HDC dc, int xd, int yd, int wd, int hd, int xs,
                                 int ys, int ws, int hs) {
  if (!IsLoaded()) return;
  if (wd == 0) wd = width;
  if (hd == 0) hd = height;
  gdi::StretchBlt(dc, xd, yd, wd, hd, hMaskDC, xs, ys, ws, hs, gdi::SRCAND);
  gdi::StretchBlt(dc, xd, yd, wd, hd, hForeDC, xs, ys, ws, hs, gdi::SRCPAINT);
}

void CDrawMaskBMP::DrawCentred(gdi::HDC dc, int x, int y) {
  if (!IsLoaded()) return;
  const int left = x - width / 2;
  const int top = y - height / 2;
  gdi::BitBlt(dc, left, top, width, height, hMaskDC, 0, 0, gdi::SRCAND);
  gdi::BitBlt(dc, left, top, width, height, hForeDC, 0, 0, gdi::SRCPAINT);
}

void CDrawMaskBMP::DrawAlpha(gdi::HDC dc, int x, int y, int cx, int cy, int alpha) {
  // No check on purpose: an empty sprite gets a canvas the raster layer refuses to
  // make, every copy below then fails on a null bitmap or context, and nothing changes.
  // The canvas is a colour one whatever dc holds: it is filled from dc before it is
  // read, and the blend into a monochrome dc fails as it would from a monochrome canvas.
  // Pixels of it that the first copy leaves alone lie outside dc, where the blend does
  // not reach either.
  int canvasWidth = 0;
  int canvasHeight = 0;
  BitmapSize(alphaCanvas.GetBitmap(), canvasWidth, canvasHeight);
  if (canvasWidth != width || canvasHeight != height) alphaCanvas.Create(0, width, height);
  const gdi::HDC canvasDC = alphaCanvas.GetMemDC();
  gdi::BitBlt(canvasDC, 0, 0, width, height, dc, x, y, gdi::SRCCOPY);
  const int w = cx == 0 ? width : cx;
  const int h = cy == 0 ? height : cy;
  gdi::BitBlt(canvasDC, 0, 0, w, h, hMaskDC, 0, 0, gdi::SRCAND);
  gdi::BitBlt(canvasDC, 0, 0, w, h, hForeDC, 0, 0, gdi::SRCPAINT);
  gdi::BLENDFUNCTION blend{};
  blend.BlendOp = 0;  // source over
  blend.BlendFlags = 0;
  blend.SourceConstantAlpha = static_cast<std::uint8_t>(alpha & 0xFF);
  blend.AlphaFormat = 0;
  gdi::AlphaBlend(dc, x, y, width, height, canvasDC, 0, 0, width, height, blend);
}

void CDrawMaskBMP::DrawNumberCentred(gdi::HDC dc, int x, int y, int value, int advance,
                                     int glyphWidth) {
  // Only a hand-edited high-score file holds a negative record, and any game beats it;
  // it shows as 0 rather than as a cell to the left of the strip.
  if (value < 0) value = 0;
  int count = 1;
  while (count < 10 && value / Pow10(count) > 0) ++count;
  x -= advance * count / 2;
  for (int i = 0; i < count; ++i) {
    const int d = value / Pow10(count - 1 - i) % 10;
    DrawPart(dc, x, y, glyphWidth, height, glyphWidth * d, 0);
    x += advance;
  }
}
