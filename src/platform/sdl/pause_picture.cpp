#include "platform/sdl/pause_picture.h"

#include <algorithm>
#include <cstring>

namespace platform {

const char kPausedText[] = "PAUSED - click or press P";

namespace {

// A tiny pixel font holding only the letters of the panel: 5 columns, 7 rows above the
// baseline and 2 below it (for the p), '#' lit.
constexpr int kGlyphW = 5;
constexpr int kGlyphH = 9;
constexpr int kAdvance = kGlyphW + 1;
struct Glyph {
  char c;
  const char* rows[kGlyphH];
};
constexpr Glyph kFont[] = {
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#....", ".....", "....."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#", ".....", "....."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###.", ".....", "....."}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####.", ".....", "....."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####", ".....", "....."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####.", ".....", "....."}},
    {'-', {".....", ".....", ".....", ".###.", ".....", ".....", ".....", ".....", "....."}},
    {'c', {".....", ".....", ".###.", "#....", "#....", "#....", ".###.", ".....", "....."}},
    {'l', {".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###.", ".....", "....."}},
    {'i', {"..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###.", ".....", "....."}},
    {'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#.", ".....", "....."}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###.", ".....", "....."}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#....", ".....", "....."}},
    {'p', {".....", ".....", "####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###.", ".....", "....."}},
    {'s', {".....", ".....", ".####", "#....", ".###.", "....#", "####.", ".....", "....."}},
};

const Glyph* Find(char c) {
  for (const Glyph& g : kFont) {
    if (g.c == c) return &g;
  }
  return nullptr;  // a space
}

struct Canvas {
  std::vector<std::uint32_t>& pixels;
  int width;
  int height;

  void Fill(int left, int top, int w, int h, std::uint32_t colour) {
    const int x0 = std::max(0, left);
    const int x1 = std::min(width, left + w);
    for (int y = std::max(0, top); y < std::min(height, top + h); ++y) {
      if (x0 < x1) std::fill_n(&pixels[static_cast<size_t>(y) * width + x0], x1 - x0, colour);
    }
  }
};

// Panel colours of the game's own palette: deep navy, a lighter rim, white letters.
constexpr std::uint32_t kPanel = 0x1D2A4A;
constexpr std::uint32_t kRim = 0x6EC6FF;
constexpr std::uint32_t kInk = 0xFFFFFF;
constexpr int kDot = 2;      // frame pixels per font pixel
constexpr int kPadding = 12;
constexpr int kRimWidth = 2;

}  // namespace

void DrawPausedPicture(std::vector<std::uint32_t>& pixels, int width, int height) {
  if (width <= 0 || height <= 0) return;
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (pixels.size() < count) pixels.resize(count, 0);
  for (size_t i = 0; i < count; ++i) pixels[i] = (pixels[i] >> 1) & 0x7F7F7F;

  Canvas canvas{pixels, width, height};
  const int length = static_cast<int>(std::strlen(kPausedText));
  const int textW = (length * kAdvance - 1) * kDot;
  const int textH = kGlyphH * kDot;
  const int panelW = textW + 2 * kPadding;
  const int panelH = textH + 2 * kPadding;
  const int left = (width - panelW) / 2;
  const int top = (height - panelH) / 2;
  canvas.Fill(left, top, panelW, panelH, kRim);
  canvas.Fill(left + kRimWidth, top + kRimWidth, panelW - 2 * kRimWidth, panelH - 2 * kRimWidth,
              kPanel);
  for (int i = 0; i < length; ++i) {
    const Glyph* glyph = Find(kPausedText[i]);
    if (!glyph) continue;
    const int gx = left + kPadding + i * kAdvance * kDot;
    const int gy = top + kPadding;
    for (int row = 0; row < kGlyphH; ++row) {
      for (int col = 0; col < kGlyphW; ++col) {
        if (glyph->rows[row][col] == '#') {
          canvas.Fill(gx + col * kDot, gy + row * kDot, kDot, kDot, kInk);
        }
      }
    }
  }
}

}  // namespace platform
