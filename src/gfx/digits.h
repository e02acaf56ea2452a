// Numbers and counts drawn from glyph strips: no font is used anywhere.
#pragma once

#include <cstdint>
#include <memory>

#include "gfx/mask_bmp.h"

// A strip of equal-width glyph cells; glyph g lies at x = g * glyphWidth.
class CDigitStrip {
 public:
  int Load(const char* path, gdi::COLORREF key, int glyphWidth);
  void Release() { strip.Release(); }
  // mm:ss in five opaque cells; saturates at 99:99 from 100 minutes on.
  void RenderTime(gdi::HDC dc, int x, int y, std::uint32_t seconds);
  // Six transparent cells, right-aligned, leading zeros blank; capped at 999999.
  void RenderScore(gdi::HDC dc, int x, int y, std::uint32_t value);
  CDrawMaskBMP& Strip() { return strip; }
  int GetGlyphWidth() const { return glyphWidth; }

 private:
  CDrawMaskBMP strip;
  int glyphWidth = 0;
};

// A count drawn as icons over a columns x rows grid (the stars and miss boxes).
class CIconStrip {
 public:
  // Creates and loads the icon, and the second icon when secondPath is not null.
  void Load(const char* path, gdi::COLORREF key, const char* secondPath,
            gdi::COLORREF secondKey, int columns, int rows);
  void Release();
  void DrawIcons(gdi::HDC dc, int x, int y, int count);
  CDrawMaskBMP* Icon() { return icon.get(); }
  CDrawMaskBMP* SecondIcon() { return secondIcon.get(); }

 private:
  std::unique_ptr<CDrawMaskBMP> icon;
  std::unique_ptr<CDrawMaskBMP> secondIcon;
  int columns = 0;
  int rows = 0;
};
