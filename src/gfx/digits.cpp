#include "gfx/digits.h"

namespace {

// Powers of ten for the six score cells, most significant first.
constexpr std::uint32_t kScorePlaces[6] = {100000, 10000, 1000, 100, 10, 1};

}  // namespace

int CDigitStrip::Load(const char* path, gdi::COLORREF key, int glyphWidth) {
  this->glyphWidth = glyphWidth;
  return strip.Load(path, key);
}

void CDigitStrip::RenderTime(gdi::HDC dc, int x, int y, std::uint32_t seconds) {
  const int w = glyphWidth;
  const int h = strip.GetHeight();
  const std::uint32_t m = seconds / 60;
  const std::uint32_t s = seconds % 60;
  const int colon = 10;
  int glyphs[5] = {static_cast<int>(m / 10 % 10), static_cast<int>(m % 10), colon,
                   static_cast<int>(s / 10), static_cast<int>(s % 10)};
  if (m / 10 > 9) {
    glyphs[0] = glyphs[1] = glyphs[3] = glyphs[4] = 9;
  }
  // Copied opaquely and without the mask, as the time box always was: the key colour
  // shows as black behind each glyph.
  for (int i = 0; i < 5; ++i) {
    gdi::BitBlt(dc, x + i * w, y, w, h, strip.GetForeDC(), glyphs[i] * w, 0, gdi::SRCCOPY);
  }
}

void CDigitStrip::RenderScore(gdi::HDC dc, int x, int y, std::uint32_t value) {
  const int w = glyphWidth;
  const int h = strip.GetHeight();
  if (value > 999999) value = 999999;
  bool leading = false;
  for (int i = 0; i < 6; ++i) {
    const int d = static_cast<int>(value / kScorePlaces[i] % 10);
    if (d != 0) leading = true;
    if (!leading && i != 5) continue;
    gdi::BitBlt(dc, x + i * w, y, w, h, strip.GetMaskDC(), d * w, 0, gdi::SRCAND);
    gdi::BitBlt(dc, x + i * w, y, w, h, strip.GetForeDC(), d * w, 0, gdi::SRCPAINT);
  }
}

void CIconStrip::Load(const char* path, gdi::COLORREF key, const char* secondPath,
                      gdi::COLORREF secondKey, int columns, int rows) {
  icon = std::make_unique<CDrawMaskBMP>();
  icon->Load(path, key);
  if (secondPath != nullptr) {
    secondIcon = std::make_unique<CDrawMaskBMP>();
    secondIcon->Load(secondPath, secondKey);
  }
  this->columns = columns;
  this->rows = rows;
}

void CIconStrip::Release() {
  icon.reset();
  secondIcon.reset();
}

void CIconStrip::DrawIcons(gdi::HDC dc, int x, int y, int count) {
  if (!icon) return;
  const int w = icon->GetWidth();
  const int h = icon->GetHeight();
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < columns; ++j) {
      if (count <= 0) return;
      icon->DrawPart(dc, x + w * j, y + h * i, w, h, 0, 0);
      --count;
    }
  }
}
