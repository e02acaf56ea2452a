#include "platform/sdl/text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>

#include "platform/files/files.h"

namespace platform {

namespace {

std::uint32_t Mix(std::uint32_t under, std::uint32_t over, int alpha) {
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int a = static_cast<int>((under >> shift) & 0xFF);
    const int b = static_cast<int>((over >> shift) & 0xFF);
    out |= static_cast<std::uint32_t>((a * (255 - alpha) + b * alpha + 127) / 255) << shift;
  }
  return out;
}

// The font file (and face within it) fontconfig prefers for `pattern`.
bool MatchFont(const std::string& pattern, std::string& file, int& index) {
  FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(pattern.c_str()));
  if (!wanted) return false;
  FcConfigSubstitute(nullptr, wanted, FcMatchPattern);
  FcDefaultSubstitute(wanted);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, wanted, &result);
  FcPatternDestroy(wanted);
  if (!match) return false;
  FcChar8* path = nullptr;
  const bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
  if (found) file = reinterpret_cast<const char*>(path);
  if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  FcPatternDestroy(match);
  return found;
}

}  // namespace

void Canvas::Blend(int x, int y, std::uint32_t colour, int alpha) {
  if (x < 0 || y < 0 || x >= width || y >= height || alpha <= 0) return;
  std::uint32_t& p = pixels[static_cast<size_t>(y) * width + x];
  p = alpha >= 255 ? colour : Mix(p, colour, alpha);
}

void Canvas::Fill(int left, int top, int w, int h, std::uint32_t colour) {
  const int x0 = std::max(0, left);
  const int x1 = std::min(width, left + w);
  for (int y = std::max(0, top); y < std::min(height, top + h); ++y) {
    if (x0 < x1) std::fill_n(&pixels[static_cast<size_t>(y) * width + x0], x1 - x0, colour);
  }
}

void Canvas::Dim() {
  const size_t count = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < count; ++i) pixels[i] = (pixels[i] >> 1) & 0x7F7F7F;
}

// Each edge pixel is covered by how far its centre lies inside the arc, so the corners
// are smooth as the game's are.
void FillRounded(Canvas& canvas, int left, int top, int w, int h, int radius,
                 std::uint32_t topColour, std::uint32_t bottomColour) {
  const double r = std::max(0, std::min({radius, w / 2, h / 2}));
  for (int y = std::max(0, top); y < std::min(canvas.height, top + h); ++y) {
    const std::uint32_t colour =
        Mix(topColour, bottomColour, h > 1 ? (y - top) * 255 / (h - 1) : 0);
    for (int x = std::max(0, left); x < std::min(canvas.width, left + w); ++x) {
      const double cx = std::clamp(x + 0.5, left + r, left + w - r);
      const double cy = std::clamp(y + 0.5, top + r, top + h - r);
      const double outside = std::hypot(x + 0.5 - cx, y + 0.5 - cy) - r;
      canvas.Blend(x, y, colour,
                   static_cast<int>(std::lround(std::clamp(0.5 - outside, 0.0, 1.0) * 255)));
    }
  }
}

void DrawPanel(Canvas& canvas, int left, int top, int w, int h, int radius) {
  FillRounded(canvas, left, top, w, h, radius, kInkDark, kInkDark);
  FillRounded(canvas, left + 2, top + 2, w - 4, h - 4, radius - 2, kPanelRim, kPanelRim);
  FillRounded(canvas, left + 4, top + 4, w - 8, h - 8, radius - 4, kPanelTop, kPanelBottom);
}

struct Typeface::Fonts {
  FT_Library library = nullptr;
  std::vector<FT_Face> faces;
  int size = 16;
};

Typeface::Typeface(const std::vector<std::string>& patterns) : fonts_(new Fonts) {
  if (FT_Init_FreeType(&fonts_->library) != 0) {
    fonts_->library = nullptr;
    return;
  }
  std::vector<std::string> opened;
  for (const std::string& pattern : patterns) {
    std::string file;
    int index = 0;
    if (!MatchFont(pattern, file, index)) continue;
    const std::string key = file + "#" + std::to_string(index);
    if (std::find(opened.begin(), opened.end(), key) != opened.end()) continue;
    FT_Face face = nullptr;
    if (FT_New_Face(fonts_->library, file.c_str(), index, &face) != 0) continue;
    opened.push_back(key);
    fonts_->faces.push_back(face);
  }
  SetSize(fonts_->size);
}

Typeface::~Typeface() {
  for (FT_Face face : fonts_->faces) FT_Done_Face(face);
  if (fonts_->library) FT_Done_FreeType(fonts_->library);
}

bool Typeface::Usable() const { return !fonts_->faces.empty(); }

void Typeface::SetSize(int pixels) {
  fonts_->size = pixels;
  for (FT_Face face : fonts_->faces) FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
}

int Typeface::Ascent() const {
  if (fonts_->faces.empty()) return fonts_->size;
  return static_cast<int>(fonts_->faces.front()->size->metrics.ascender >> 6);
}

int Typeface::LineHeight() const {
  if (fonts_->faces.empty()) return fonts_->size;
  return static_cast<int>(fonts_->faces.front()->size->metrics.height >> 6);
}

namespace {

// The first face that has a glyph for `cp`, and its index; the first face's missing
// glyph when none has one.
std::pair<FT_Face, FT_UInt> GlyphFor(const std::vector<FT_Face>& faces, char32_t cp) {
  for (FT_Face face : faces) {
    if (const FT_UInt index = FT_Get_Char_Index(face, cp)) return {face, index};
  }
  return {faces.front(), 0};
}

}  // namespace

int Typeface::Width(const std::string& utf8) {
  if (fonts_->faces.empty()) return 0;
  int width = 0;
  for (size_t at = 0; at < utf8.size();) {
    const auto [face, index] = GlyphFor(fonts_->faces, NextCodePoint(utf8, at));
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT) == 0) {
      width += static_cast<int>(face->glyph->advance.x >> 6);
    }
  }
  return width;
}

bool Typeface::Covers(const std::string& utf8) {
  if (fonts_->faces.empty()) return false;
  for (size_t at = 0; at < utf8.size();) {
    const char32_t cp = NextCodePoint(utf8, at);
    if (cp > ' ' && GlyphFor(fonts_->faces, cp).second == 0) return false;
  }
  return true;
}

void Typeface::Draw(Canvas& canvas, int x, int baseline, const std::string& utf8,
                    std::uint32_t colour, int outline) {
  if (fonts_->faces.empty()) return;
  const auto pass = [&](int dx, int dy, std::uint32_t ink) {
    int pen = x + dx;
    for (size_t at = 0; at < utf8.size();) {
      const auto [face, index] = GlyphFor(fonts_->faces, NextCodePoint(utf8, at));
      if (FT_Load_Glyph(face, index, FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot g = face->glyph;
      const FT_Bitmap& b = g->bitmap;
      if (b.pixel_mode == FT_PIXEL_MODE_GRAY) {
        for (unsigned row = 0; row < b.rows; ++row) {
          for (unsigned col = 0; col < b.width; ++col) {
            canvas.Blend(pen + g->bitmap_left + static_cast<int>(col),
                         baseline + dy - g->bitmap_top + static_cast<int>(row), ink,
                         b.buffer[row * b.pitch + col]);
          }
        }
      }
      pen += static_cast<int>(g->advance.x >> 6);
    }
  };
  for (int dy = -outline; dy <= outline; ++dy) {
    for (int dx = -outline; dx <= outline; ++dx) {
      if (dx != 0 || dy != 0) pass(dx, dy, kInkDark);
    }
  }
  pass(0, 0, colour);
}

std::vector<std::string> Typeface::Wrap(const std::string& utf8, int maxWidth) {
  std::vector<std::string> lines;
  std::string line;
  size_t lastSpace = std::string::npos;  // in `line`
  for (size_t at = 0; at < utf8.size();) {
    const size_t start = at;
    const char32_t cp = NextCodePoint(utf8, at);
    if (cp == '\n') {
      lines.push_back(line);
      line.clear();
      lastSpace = std::string::npos;
      continue;
    }
    if (cp == '\r') continue;
    const std::string piece = utf8.substr(start, at - start);
    if (!line.empty() && Width(line + piece) > maxWidth && cp != ' ') {
      if (lastSpace != std::string::npos) {
        lines.push_back(line.substr(0, lastSpace));
        line.erase(0, lastSpace + 1);
      } else {
        lines.push_back(line);
        line.clear();
      }
      lastSpace = std::string::npos;
    }
    if (cp == ' ') lastSpace = line.size();
    line += piece;
  }
  lines.push_back(line);
  return lines;
}

}  // namespace platform
