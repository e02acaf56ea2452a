#include "art.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace assetgen {

Colour Mix(Colour a, Colour b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour Lighter(Colour c, double t) { return Mix(c, {1, 1, 1}, t); }
Colour Darker(Colour c, double t) { return Mix(c, {0, 0, 0}, t); }

void SetColour(cairo_t* cr, Colour c, double alpha) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

Image::Image(int w, int h, std::uint32_t fill)
    : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}

Canvas::Canvas(int width, int height)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      cr_(cairo_create(surface_)) {
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_GRAY);
}

Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

std::uint32_t AvoidKey(std::uint32_t rgb, std::uint32_t key) {
  if (rgb != key) return rgb;
  std::uint32_t b = rgb & 0xFF;
  return (rgb & 0xFFFF00) | (b < 0xFF ? b + 1 : b - 1);
}

namespace {

// Visits every canvas pixel as (alpha, premultiplied r, g, b).
template <typename F>
Image MapPixels(const Canvas& canvas, F f) {
  cairo_surface_flush(canvas.surface());
  const unsigned char* data = cairo_image_surface_get_data(canvas.surface());
  const int stride = cairo_image_surface_get_stride(canvas.surface());
  Image out(canvas.width(), canvas.height());
  for (int y = 0; y < canvas.height(); ++y) {
    const auto* row =
        reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < canvas.width(); ++x) {
      std::uint32_t p = row[x];
      out.Set(x, y, f(p >> 24, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    }
  }
  return out;
}

std::uint32_t Over(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b,
                   std::uint32_t matte) {
  auto ch = [a](std::uint32_t premul, std::uint32_t m) {
    return std::min<std::uint32_t>(255, premul + ((255 - a) * m + 127) / 255);
  };
  return (ch(r, (matte >> 16) & 0xFF) << 16) | (ch(g, (matte >> 8) & 0xFF) << 8) |
         ch(b, matte & 0xFF);
}

}  // namespace

Picture FlattenKeyed(const Canvas& canvas, const std::string& name, std::uint32_t key) {
  auto pixel = [key](std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return a < 128 ? key : AvoidKey(Over(a, r, g, b, pal::kOutlineRgb), key);
  };
  return {name, MapPixels(canvas, pixel), true, key};
}

Picture FlattenOnBlack(const Canvas& canvas, const std::string& name) {
  auto pixel = [](std::uint32_t, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (r << 16) | (g << 8) | b;
  };
  return {name, MapPixels(canvas, pixel), true, kKeyBlack};
}

Picture FlattenOpaque(const Canvas& canvas, const std::string& name, std::uint32_t matte) {
  auto pixel = [matte](std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return Over(a, r, g, b, matte);
  };
  return {name, MapPixels(canvas, pixel)};
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  r = std::min({r, w / 2, h / 2});
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void StarPath(cairo_t* cr, double cx, double cy, double outer, double inner, int points,
              double rotation) {
  cairo_new_sub_path(cr);
  for (int i = 0; i < points * 2; ++i) {
    double radius = (i % 2 == 0) ? outer : inner;
    double a = rotation - M_PI / 2 + i * M_PI / points;
    double x = cx + radius * std::cos(a);
    double y = cy + radius * std::sin(a);
    if (i == 0) {
      cairo_move_to(cr, x, y);
    } else {
      cairo_line_to(cr, x, y);
    }
  }
  cairo_close_path(cr);
}

void EllipsePath(cairo_t* cr, double cx, double cy, double rx, double ry) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
  cairo_restore(cr);
}

void SetGradient(cairo_t* cr, cairo_pattern_t* pattern, std::initializer_list<ColourStop> stops) {
  for (const ColourStop& s : stops) {
    cairo_pattern_add_color_stop_rgb(pattern, s.offset, s.colour.r, s.colour.g, s.colour.b);
  }
  cairo_set_source(cr, pattern);
  cairo_pattern_destroy(pattern);
}

void SetVerticalGradient(cairo_t* cr, double y0, double y1, Colour top, Colour bottom) {
  SetGradient(cr, cairo_pattern_create_linear(0, y0, 0, y1), {{0, top}, {1, bottom}});
}

void FillAndOutline(cairo_t* cr, Colour outline, double outlineWidth) {
  cairo_fill_preserve(cr);
  SetColour(cr, outline);
  cairo_set_line_width(cr, outlineWidth);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

void StrokeOutlined(cairo_t* cr, double outerWidth, Colour colour, double innerWidth) {
  SetColour(cr, pal::kOutline);
  cairo_set_line_width(cr, outerWidth);
  cairo_stroke_preserve(cr);
  SetColour(cr, colour);
  cairo_set_line_width(cr, innerWidth);
  cairo_stroke(cr);
}

void RoundedPanel(cairo_t* cr, double x, double y, double w, double h, double r, Colour top,
                  Colour bottom, double outlineWidth) {
  cairo_new_path(cr);
  RoundedRect(cr, x, y, w, h, r);
  SetVerticalGradient(cr, y, y + h, top, bottom);
  FillAndOutline(cr, pal::kOutline, outlineWidth);
}

void RoundedRim(cairo_t* cr, double x, double y, double w, double h, double r, Colour colour,
                double width) {
  cairo_new_path(cr);
  RoundedRect(cr, x, y, w, h, r);
  SetColour(cr, colour);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

namespace {

const char* const kFontDir = "/usr/share/fonts/truetype/dejavu/";

// The condensed and oblique styles are the bold face drawn narrower or slanted, so only
// the two files of the core DejaVu package are needed.
cairo_font_face_t* LoadFace(Face face) {
  static FT_Library library = nullptr;
  static cairo_font_face_t* faces[2] = {};
  const int index = face == Face::Book ? 1 : 0;
  if (faces[index]) return faces[index];
  if (!library && FT_Init_FreeType(&library) != 0) {
    std::fprintf(stderr, "tonkalo-assetgen: FreeType did not start\n");
    std::exit(1);
  }
  static const char* const files[2] = {"DejaVuSans-Bold.ttf", "DejaVuSans.ttf"};
  std::string path = std::string(kFontDir) + files[index];
  FT_Face ft = nullptr;
  if (FT_New_Face(library, path.c_str(), 0, &ft) != 0) {
    std::fprintf(stderr, "tonkalo-assetgen: cannot load font %s (install fonts-dejavu-core)\n",
                 path.c_str());
    std::exit(1);
  }
  faces[index] = cairo_ft_font_face_create_for_ft_face(ft, 0);
  return faces[index];
}

void ApplyFontOptions(cairo_t* cr) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
}

void DrawTextImpl(cairo_t* cr, const std::string& text, double ox, double oy, const InkBox& ink,
                  const TextStyle& style) {
  const double pivot = ox + ink.x + ink.width / 2;
  const double top = oy + ink.y;
  const double bottom = oy + ink.y + ink.height;
  cairo_save(cr);
  cairo_translate(cr, pivot, 0);
  cairo_scale(cr, style.xScale, 1.0);
  cairo_translate(cr, -pivot, 0);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);

  if (style.shadowDx != 0 || style.shadowDy != 0) {
    cairo_new_path(cr);
    cairo_move_to(cr, ox + style.shadowDx, oy + style.shadowDy);
    cairo_text_path(cr, text.c_str());
    SetColour(cr, style.outline);
    cairo_set_line_width(cr, style.outlineWidth * 2);
    cairo_stroke_preserve(cr);
    cairo_fill(cr);
  }

  cairo_new_path(cr);
  cairo_move_to(cr, ox, oy);
  cairo_text_path(cr, text.c_str());
  if (style.outlineWidth > 0) {
    SetColour(cr, style.outline);
    cairo_set_line_width(cr, style.outlineWidth * 2);
    cairo_stroke_preserve(cr);
  }
  SetVerticalGradient(cr, top, bottom, style.top, style.bottom);
  cairo_fill_preserve(cr);

  if (style.gloss) {
    cairo_clip(cr);
    cairo_rectangle(cr, ox + ink.x - 4, top - 4, ink.width + 8, (bottom - top) * 0.45 + 4);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
    cairo_fill(cr);
  }
  cairo_new_path(cr);
  cairo_restore(cr);
}

}  // namespace

void SetFont(cairo_t* cr, Face face, double size) {
  cairo_set_font_face(cr, LoadFace(face));
  cairo_matrix_t m;
  cairo_matrix_init_scale(&m, size, size);
  if (face == Face::CondensedBold) m.xx = size * 0.86;
  if (face == Face::BoldOblique) m.xy = -size * 0.2;
  cairo_set_font_matrix(cr, &m);
  ApplyFontOptions(cr);
}

InkBox MeasureText(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, text.c_str(), &e);
  return {e.x_bearing, e.y_bearing, e.width, e.height, e.x_advance};
}

double FitFontSize(cairo_t* cr, Face face, const std::string& text, double maxW, double maxH,
                   double maxSize) {
  SetFont(cr, face, 100);
  InkBox ink = MeasureText(cr, text);
  double size = maxSize;
  if (ink.width > 0) size = std::min(size, 100 * maxW / ink.width);
  if (ink.height > 0) size = std::min(size, 100 * maxH / ink.height);
  return size;
}

TextStyle Lettering(Colour top, Colour bottom, double outlineWidth, bool gloss) {
  TextStyle st;
  st.top = top;
  st.bottom = bottom;
  st.outlineWidth = outlineWidth;
  st.gloss = gloss;
  return st;
}

void DrawTextCentred(cairo_t* cr, const std::string& text, Face face, double size, double cx,
                     double cy, const TextStyle& style) {
  SetFont(cr, face, size);
  InkBox ink = MeasureText(cr, text);
  DrawTextImpl(cr, text, cx - (ink.x + ink.width / 2), cy - (ink.y + ink.height / 2), ink, style);
}

void DrawTextAt(cairo_t* cr, const std::string& text, Face face, double size, double x,
                double baseline, const TextStyle& style) {
  SetFont(cr, face, size);
  InkBox ink = MeasureText(cr, text);
  DrawTextImpl(cr, text, x, baseline, ink, style);
}

void DrawDigits(cairo_t* cr, int cellW, double inkW, double inkH, double cy,
                const TextStyle& style) {
  double size = 200;
  for (int d = 0; d < 10; ++d) {
    size = std::min(size, FitFontSize(cr, Face::Bold, std::string(1, '0' + d), inkW, inkH, 200));
  }
  for (int d = 0; d < 10; ++d) {
    DrawTextCentred(cr, std::string(1, '0' + d), Face::Bold, size, cellW * d + cellW / 2.0, cy,
                    style);
  }
}

std::uint32_t Random::Next() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return state_;
}

double Random::Uniform() { return (Next() >> 8) / 16777216.0; }
double Random::Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
int Random::Int(int n) { return static_cast<int>(Uniform() * n); }

}  // namespace assetgen
