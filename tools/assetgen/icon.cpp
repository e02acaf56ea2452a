#include "icon.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "output.h"
#include "sprites.h"

namespace assetgen {

namespace {

// The drawing is laid out on a 256-unit square; every size is the same drawing scaled.
constexpr double kDesign = 256;

void DrawIcon(cairo_t* cr) {
  cairo_save(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

  // The sky of the game's wall, with its soft diagonal bands, inside a dark rim.
  const double cx = 128, cy = 132, r = 112;
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  SetVerticalGradient(cr, cy - r, cy + r, pal::kSkyLight, pal::kSkyDark);
  cairo_fill_preserve(cr);
  cairo_save(cr);
  cairo_clip_preserve(cr);
  cairo_set_line_width(cr, 18);
  SetColour(cr, pal::kWhite, 0.10);
  for (double d = -160; d < 200; d += 56) {
    cairo_move_to(cr, cx + d - 140, cy + 140);
    cairo_line_to(cr, cx + d + 140, cy - 140);
  }
  cairo_stroke(cr);
  cairo_restore(cr);
  // A strip of the board's grass along the bottom of the disc.
  cairo_save(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_clip(cr);
  cairo_new_path(cr);
  cairo_move_to(cr, cx - r, 196);
  cairo_curve_to(cr, cx - 40, 182, cx + 40, 182, cx + r, 196);
  cairo_line_to(cr, cx + r, cy + r);
  cairo_line_to(cr, cx - r, cy + r);
  cairo_close_path(cr);
  SetVerticalGradient(cr, 182, cy + r, pal::kGrassLight, pal::kGrassDark);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  SetColour(cr, pal::kOutline);
  cairo_set_line_width(cr, 7);
  cairo_stroke(cr);

  // The coin rises from the grass; the mallet comes down on it from the upper right, and
  // the coin sparkles.
  DrawToken(cr, kToken1, 108, 158, 3.1);
  DrawTwinkle(cr, 46, 84, 13, Hex(0xFFF6B0));
  DrawTwinkle(cr, 196, 178, 10, Hex(0xFFF6B0));
  DrawMallet(cr, 234, 128, -2.55, 3.3);
  cairo_restore(cr);
}

// The drawing at `size` pixels on a transparent ARGB surface. A maskable icon (one the
// phone cuts to its own shape) fills the square with the sky and keeps the drawing inside
// the middle 80 %, the part every shape keeps.
cairo_surface_t* RenderIcon(int size, bool maskable = false) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(surface);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  cairo_scale(cr, size / kDesign, size / kDesign);
  if (maskable) {
    SetVerticalGradient(cr, 0, kDesign, pal::kSkyLight, pal::kSkyDark);
    cairo_paint(cr);
    cairo_translate(cr, kDesign * 0.1, kDesign * 0.1);
    cairo_scale(cr, 0.8, 0.8);
  }
  DrawIcon(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  return surface;
}

// Cairo keeps premultiplied alpha; a BMP's alpha is straight.
std::vector<std::uint32_t> StraightArgb(cairo_surface_t* surface) {
  const int w = cairo_image_surface_get_width(surface);
  const int h = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  std::vector<std::uint32_t> out(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = row[x];
      const std::uint32_t a = p >> 24;
      std::uint32_t c = 0;
      if (a != 0) {
        auto unmul = [a](std::uint32_t v) { return (v * 255 + a / 2) / a; };
        c = (a << 24) | (unmul((p >> 16) & 0xFF) << 16) | (unmul((p >> 8) & 0xFF) << 8) |
            unmul(p & 0xFF);
      }
      out[static_cast<size_t>(y) * w + x] = c;
    }
  }
  return out;
}

bool WriteSvg(const std::string& path) {
  cairo_surface_t* surface = cairo_svg_surface_create(path.c_str(), kDesign, kDesign);
  cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
  cairo_t* cr = cairo_create(surface);
  DrawIcon(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  if (!ok) std::fprintf(stderr, "tonkalo-assetgen: cannot write %s\n", path.c_str());
  return ok;
}

}  // namespace

bool WriteIcons(const std::string& folder) {
  bool ok = true;
  // The desktop's sizes, the page's favicon (32) and what a web app manifest asks for.
  for (int size : {32, 48, 128, 192, 256, 512}) {
    cairo_surface_t* surface = RenderIcon(size);
    ok = SavePng(surface, folder + "/tonkalo-" + std::to_string(size) + ".png") && ok;
    cairo_surface_destroy(surface);
  }
  cairo_surface_t* maskable = RenderIcon(512, true);
  ok = SavePng(maskable, folder + "/tonkalo-maskable-512.png") && ok;
  cairo_surface_destroy(maskable);
  cairo_surface_t* window = RenderIcon(64);
  ok = WriteBytes(folder + "/tonkalo.bmp", EncodeBmpWithAlpha(64, 64, StraightArgb(window))) && ok;
  cairo_surface_destroy(window);
  return WriteSvg(folder + "/tonkalo.svg") && ok;
}

}  // namespace assetgen
