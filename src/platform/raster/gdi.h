// Folder platform/raster/: the raster layer and the BMP decoder, in plain C++ with the
// standard library only: bytes in, pixels out. May include nothing else of the program.
//
// The raster layer: the GDI calls the game makes, with no backend in it, so that the
// headless tests see exactly the pixels the window shows. Colour bitmaps are 32-bit,
// 0x00RRGGBB in memory; colour references (COLORREF, 0x00BBGGRR as on Windows) are
// converted where they enter. Handles are looked up in a table, so a stale or made-up
// one is refused. No call reads or writes outside a bitmap: every copy is clipped to
// both bitmaps, and destination pixels whose source lies outside the source bitmap
// are left as they are. Each call does all its work before it returns and keeps
// nothing for the next: every bitmap owns its pixels, and no draw allocates.
//
// How one frame flows, and who owns which buffer:
//  1. The wall. The game owns the wall bitmap (a CWallBMP), loaded once from its BMP
//     bytes. Every pass the game tiles it over the whole back buffer.
//  2. The back buffer. The game (game/, backDC) owns it: 640 x 480. Over the wall it
//     draws the board's canvas (a bitmap the board owns), the items, boxes, digits and
//     gauges, the hammer and the pop-ups: plain copies, masked sprites (a SRCAND of the
//     mask, then a SRCPAINT of the picture), stretches and alpha blends.
//  3. The window surface. services/window.cpp owns it: the 640 x 480 bitmap behind the
//     window's GetDC. At the end of a pass the game copies the back buffer onto it
//     whole, and ReleaseDC hands its pixels (ColourBits) to platform::Present.
//  4. The present. The backend reads those pixels during the call, and may read them
//     again until the next pass draws (a paused window shows them again): headless
//     fingerprints them or keeps a copy for pictures; the SDL window compares them with
//     its own copy of the last frame it sent and scales only what changed into the
//     window (sdl/present.cpp); the browser page converts them for its canvas.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gdi {

using COLORREF = std::uint32_t;
using DWORD = std::uint32_t;
using HGDIOBJ = std::uint32_t;  // bitmap, pen or brush; 0 is null
using HBITMAP = HGDIOBJ;
using HPEN = HGDIOBJ;
using HBRUSH = HGDIOBJ;
using HDC = std::uint32_t;  // device context; 0 is null

constexpr COLORREF RGB(int r, int g, int b) {
  return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

constexpr DWORD SRCCOPY = 0x00CC0020;    // D = S
constexpr DWORD SRCAND = 0x008800C6;     // D = D AND S
constexpr DWORD SRCPAINT = 0x00EE0086;   // D = D OR S
constexpr DWORD SRCERASE_NOT = 0x00220326;  // D = D AND NOT S

constexpr int PS_SOLID = 0, NULL_BRUSH = 5, BLACK_PEN = 7;

struct BITMAP {
  std::int32_t bmType, bmWidth, bmHeight, bmWidthBytes;
  std::uint16_t bmPlanes, bmBitsPixel;
  void* bmBits;
};

struct BLENDFUNCTION {
  std::uint8_t BlendOp, BlendFlags, SourceConstantAlpha, AlphaFormat;
};

// A new memory context holding a 1 x 1 monochrome bitmap; ref is ignored, as for NULL.
HDC CreateCompatibleDC(HDC ref);
// Frees the context; the objects selected into it stay alive (and any the game already
// asked to delete are freed now that nothing uses them). False for a bad handle.
bool DeleteDC(HDC dc);
// Selects a bitmap, pen or brush; returns the object of that kind selected before, or 0
// when dc or obj is bad (or a bitmap already selected into another context).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj);
// Background colour (white by default): the colour that becomes 1 when copying colour to
// monochrome, and what 1 becomes from monochrome to colour; text colour (black): what 0
// becomes. Each returns the old one.
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF SetTextColor(HDC dc, COLORREF colour);

// A colour bitmap unless ref holds a monochrome bitmap; its pixels start black. 0 for
// sizes below 1 or above 16384, or too large to allocate.
HBITMAP CreateCompatibleBitmap(HDC ref, int width, int height);
// Only planes 1 and 1 bit per pixel are supported (the mask bitmaps); bits must be null.
HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                     const void* bits);
// Decodes the bytes of a BMP file into a colour bitmap; 0 when they are malformed.
HBITMAP LoadBitmapFromBytes(const std::uint8_t* bytes, std::size_t size);
HPEN CreatePen(int style, int width, COLORREF colour);
// The stock objects (NULL_BRUSH, BLACK_PEN); DeleteObject on them does nothing.
HGDIOBJ GetStockObject(int which);
// Frees an object. An object still selected into a context is only marked: it is freed
// when the last context using it lets go of it, so nothing in use ever disappears.
bool DeleteObject(HGDIOBJ obj);
// Fills in the BITMAP record of a bitmap (bmBits is null); returns the bytes written,
// 0 for anything that is not a bitmap.
int GetObject(HGDIOBJ obj, int size, void* out);

bool BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);
// Default stretch mode: enlarging repeats source pixels, shrinking ANDs together the
// source pixels that land on one destination pixel. Non-positive sizes draw nothing.
// Source and destination must be two bitmaps (false otherwise).
bool StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                int sh, DWORD rop);
// Constant-alpha source-over: per channel (S * a + D * (255 - a) + 127) / 255.
// Source and destination sizes must be equal (the only use the game makes).
bool AlphaBlend(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw,
                int sh, BLENDFUNCTION blend);
// Outline of the rectangle with the selected pen on its outermost pixels; the stock
// hollow brush leaves the inside untouched (the only brush there is).
bool Rectangle(HDC dc, int left, int top, int right, int bottom);

// The bitmap selected into dc, or 0.
HBITMAP CurrentBitmap(HDC dc);
// Colour bitmap pixels (0x00RRGGBB, rows top to bottom), or null for a bad or
// monochrome bitmap. The pixels stay there, unchanged, until the bitmap is next drawn
// into or freed; ask again after that.
const std::uint32_t* ColourBits(HBITMAP bmp, int* width, int* height);
// One pixel as 0x00RRGGBB (monochrome: 0xFFFFFF for 1, 0 for 0); -1 outside or bad.
std::int64_t PixelAt(HBITMAP bmp, int x, int y);
// How many bitmaps, pens and contexts are alive: for leak tests.
int LiveObjectCount();

}  // namespace gdi
