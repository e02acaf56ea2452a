// Lettering and panels that the window backend draws over the game's frame (message
// boxes, key labels, the pause panel) in the look of the game's own art: navy panels
// with a dark outline and a lighter rim, white bold letters outlined in dark ink.
// Fonts are the desktop's, found through fontconfig and drawn with FreeType, so that
// Japanese text reads wherever a font with its glyphs is installed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Colours of the game's panels.
constexpr std::uint32_t kInkDark = 0x1B1B2F;
constexpr std::uint32_t kPanelTop = 0x293B69;
constexpr std::uint32_t kPanelBottom = 0x203158;
constexpr std::uint32_t kPanelRim = 0x5A6E9E;
constexpr std::uint32_t kLetter = 0xFFFFFF;
constexpr std::uint32_t kGold = 0xFFD24F;

// A width x height picture of 0x00RRGGBB pixels to draw into; every draw is clipped.
struct Canvas {
  std::uint32_t* pixels;
  int width;
  int height;

  // Mixes `colour` into pixel (x, y) by alpha / 255.
  void Blend(int x, int y, std::uint32_t colour, int alpha);
  void Fill(int left, int top, int w, int h, std::uint32_t colour);
  // Halves every pixel's brightness: the frame behind a panel.
  void Dim();
};

// A rounded rectangle shading from `topColour` down to `bottomColour`.
void FillRounded(Canvas& canvas, int left, int top, int w, int h, int radius,
                 std::uint32_t topColour, std::uint32_t bottomColour);
// The game's panel: dark outline, rim, navy body shading downwards, rounded corners.
void DrawPanel(Canvas& canvas, int left, int top, int w, int h, int radius);

// A text face made of the fonts fontconfig picks for each pattern (say
// "sans-serif:lang=ja"), the first that has a glyph drawing each character.
class Typeface {
 public:
  explicit Typeface(const std::vector<std::string>& patterns);
  ~Typeface();
  Typeface(const Typeface&) = delete;
  Typeface& operator=(const Typeface&) = delete;

  // False when no font could be opened at all (then nothing is drawn).
  bool Usable() const;
  // Every later measure and draw is at `pixels` pixels to the em.
  void SetSize(int pixels);
  int Ascent() const;
  int LineHeight() const;
  int Width(const std::string& utf8);
  // True when some font of the face has a glyph for every character of `utf8`.
  bool Covers(const std::string& utf8);
  // Draws `utf8` with its baseline at y = baseline; `outline` > 0 first draws it in
  // kInkDark that many pixels around.
  void Draw(Canvas& canvas, int x, int baseline, const std::string& utf8, std::uint32_t colour,
            int outline = 0);
  // `utf8` cut into lines at most `maxWidth` wide: at its own line breaks, after
  // spaces where a line must break, anywhere within a word that is wider.
  std::vector<std::string> Wrap(const std::string& utf8, int maxWidth);

 private:
  struct Fonts;
  std::unique_ptr<Fonts> fonts_;
};

}  // namespace platform
