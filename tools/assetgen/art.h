// Drawing kit shared by every picture of the generator: colours and the palette, a
// transparent cairo canvas, the flattening that turns a canvas into key-coloured
// pixels with hard edges, shape paths and outlined lettering in DejaVu fonts.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace assetgen {

// A colour with channels from 0 to 1.
struct Colour {
  double r = 0, g = 0, b = 0;
};

constexpr Colour Hex(std::uint32_t rgb) {
  return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}
Colour Mix(Colour a, Colour b, double t);
Colour Lighter(Colour c, double t);
Colour Darker(Colour c, double t);
void SetColour(cairo_t* cr, Colour c, double alpha = 1.0);

// One palette for every picture.
namespace pal {
inline constexpr Colour kSkyLight = Hex(0x6EC6FF);
inline constexpr Colour kSkyDark = Hex(0x3A8EDB);
inline constexpr Colour kGrassLight = Hex(0x5DBB63);
inline constexpr Colour kGrassDark = Hex(0x3E9A47);
inline constexpr Colour kEarth = Hex(0x4A2E1A);
inline constexpr Colour kGold = Hex(0xFFC93C);
inline constexpr Colour kBlue = Hex(0x3A86FF);
inline constexpr Colour kGreen = Hex(0x2EC27E);
inline constexpr Colour kRed = Hex(0xE63946);
inline constexpr Colour kPurple = Hex(0x7B2CBF);
inline constexpr Colour kOrange = Hex(0xFF8C1A);
inline constexpr Colour kNavy = Hex(0x1D2A4A);
inline constexpr std::uint32_t kOutlineRgb = 0x1B1B2F;
inline constexpr Colour kOutline = Hex(kOutlineRgb);
inline constexpr Colour kWhite = Hex(0xFFFFFF);
inline constexpr Colour kCream = Hex(0xFFF6DC);
inline constexpr Colour kWood = Hex(0xD99A5B);
inline constexpr Colour kWoodDark = Hex(0x9C5E2E);
inline constexpr Colour kSteel = Hex(0xB8C4D6);
}  // namespace pal

// 0x00RRGGBB pixels, top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  Image() = default;
  Image(int w, int h, std::uint32_t fill = 0);
  std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  void Set(int x, int y, std::uint32_t c) { pixels[static_cast<size_t>(y) * width + x] = c; }
};

// Key colours of the game's pictures, as 0x00RRGGBB.
constexpr std::uint32_t kKeyWhite = 0xFFFFFF;
constexpr std::uint32_t kKeyBlack = 0x000000;
constexpr std::uint32_t kKeyGreen = 0x00FF00;
constexpr std::uint32_t kKeyStart = 0x643C00;   // RGB(100, 60, 0)
constexpr std::uint32_t kKeyGrey = 0x7F7F7F;    // RGB(127, 127, 127)
constexpr std::uint32_t kKeyRecord = 0xFF5000;  // RGB(255, 80, 0)

// A picture file of the game: its name under BMP/, its pixels and its key (if any).
struct Picture {
  std::string name;
  Image image;
  bool keyed = false;
  std::uint32_t key = 0;
};

// A transparent ARGB canvas and its cairo context; owns both.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return cr_; }
  cairo_surface_t* surface() const { return surface_; }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_;
  int height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

// Turns a canvas into pixels. Where coverage is under one half the pixel becomes the key;
// elsewhere the art is laid over the outline colour, so an edge darkens instead of
// blending toward the key. An opaque pixel that happens to equal the key is moved by one
// unit of blue so that it stays opaque.
Picture FlattenKeyed(const Canvas& canvas, const std::string& name, std::uint32_t key);
// For pictures drawn opaque onto black (the red time display): a pixel is the key exactly
// when the art left it black.
Picture FlattenOnBlack(const Canvas& canvas, const std::string& name);
// A picture without key: the canvas laid over `matte`.
Picture FlattenOpaque(const Canvas& canvas, const std::string& name, std::uint32_t matte);

// Keeps opaque pixels off the key colour (the one-unit nudge used by the flatteners).
std::uint32_t AvoidKey(std::uint32_t rgb, std::uint32_t key);

// Paths (the caller fills or strokes them).
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r);
void StarPath(cairo_t* cr, double cx, double cy, double outer, double inner, int points,
              double rotation);
void EllipsePath(cairo_t* cr, double cx, double cy, double rx, double ry);

struct ColourStop {
  double offset;
  Colour colour;
};
// Sets `pattern` (a fresh linear or radial gradient, released here) with its colour
// stops as the source.
void SetGradient(cairo_t* cr, cairo_pattern_t* pattern, std::initializer_list<ColourStop> stops);
// Vertical linear gradient from `top` at y0 to `bottom` at y1, set as the source.
void SetVerticalGradient(cairo_t* cr, double y0, double y1, Colour top, Colour bottom);

// Fill then outline the current path; the outline is centred on the path.
void FillAndOutline(cairo_t* cr, Colour outline, double outlineWidth);
// Strokes the current path twice: wide in the outline colour, then narrower in `colour`.
void StrokeOutlined(cairo_t* cr, double outerWidth, Colour colour, double innerWidth);

// A rounded panel on a path of its own: a top-to-bottom gradient over its height inside
// a dark outline.
void RoundedPanel(cairo_t* cr, double x, double y, double w, double h, double r, Colour top,
                  Colour bottom, double outlineWidth);
// A rounded frame line on a path of its own.
void RoundedRim(cairo_t* cr, double x, double y, double w, double h, double r, Colour colour,
                double width);

// DejaVu Sans, loaded from its files through FreeType: bold, bold narrowed, regular,
// bold slanted.
enum class Face { Bold, CondensedBold, Book, BoldOblique };
void SetFont(cairo_t* cr, Face face, double size);

struct InkBox {
  double x = 0, y = 0, width = 0, height = 0;  // ink relative to the pen origin
  double advance = 0;
};
InkBox MeasureText(cairo_t* cr, const std::string& text);

// The largest size, at most `maxSize`, at which `text` fits `maxW` x `maxH` of ink.
double FitFontSize(cairo_t* cr, Face face, const std::string& text, double maxW, double maxH,
                   double maxSize);

// Lettering with a dark outline, a top-to-bottom fill and an optional glossy upper half
// and drop shadow.
struct TextStyle {
  Colour top = pal::kWhite;
  Colour bottom = pal::kWhite;
  Colour outline = pal::kOutline;
  double outlineWidth = 2.0;  // on each side of the glyph edge
  double shadowDx = 0, shadowDy = 0;
  bool gloss = false;
  double xScale = 1.0;  // horizontal squeeze around the ink centre
};
// A fill from `top` to `bottom` inside the dark outline (width 0: none), no shadow.
TextStyle Lettering(Colour top, Colour bottom, double outlineWidth, bool gloss = false);
// Draws text whose ink box is centred on (cx, cy).
void DrawTextCentred(cairo_t* cr, const std::string& text, Face face, double size, double cx,
                     double cy, const TextStyle& style);
// Draws text with its pen origin at (x, baseline), left-aligned.
void DrawTextAt(cairo_t* cr, const std::string& text, Face face, double size, double x,
                double baseline, const TextStyle& style);
// Digits 0-9 in bold, all at one size whose ink fits inkW x inkH, each centred on its
// cell (`cellW` wide, from x 0) and on row cy.
void DrawDigits(cairo_t* cr, int cellW, double inkW, double inkH, double cy,
                const TextStyle& style);

// Deterministic pseudo-random numbers (xorshift), the same on every run.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
  std::uint32_t Next();
  double Uniform();                    // [0, 1)
  double Range(double lo, double hi);  // [lo, hi)
  int Int(int n);                      // 0 .. n-1

 private:
  std::uint32_t state_;
};

}  // namespace assetgen
