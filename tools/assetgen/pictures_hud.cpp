// The side panel and the gauges: counter boxes, digit strips, star and miss icons, gauge
// frame, fills, labels and the MAX mark.
#include <algorithm>
#include <cmath>
#include <string>

#include "pictures.h"
#include "sprites.h"

namespace assetgen {

namespace {

constexpr Colour kPanelTop = Hex(0x2E4274);
constexpr Colour kPanelBottom = pal::kNavy;
constexpr Colour kWell = Hex(0x111931);
constexpr Colour kGhost = Hex(0x34467A);
constexpr Colour kLabelTop = Hex(0xFFFDF5);
constexpr Colour kLabelBottom = Hex(0xD6E2FF);
constexpr int kBoxWidth = 232;

// Text with extra space between letters, pen origin at (x, baseline); returns the end x.
double SpacedText(cairo_t* cr, const std::string& text, Face face, double size, double x,
                  double baseline, double spacing, const TextStyle& style) {
  for (char ch : text) {
    std::string one(1, ch);
    SetFont(cr, face, size);
    InkBox ink = MeasureText(cr, one);
    if (ch != ' ') DrawTextAt(cr, one, face, size, x, baseline, style);
    x += ink.advance + spacing;
  }
  return x - spacing;
}

// The navy panel every counter box shares (rounded, outlined, lit along its top edge)
// with the box's icon, drawn by `icon`, and its label.
template <typename Icon>
void BoxBase(cairo_t* cr, int h, const std::string& label, double size, double baseline,
             Icon icon) {
  const int w = kBoxWidth;
  cairo_new_path(cr);
  RoundedRect(cr, 1.5, 1.5, w - 3, h - 3, 10);
  SetVerticalGradient(cr, 0, h, kPanelTop, kPanelBottom);
  FillAndOutline(cr, pal::kOutline, 3);
  RoundedRim(cr, 4, 4, w - 8, h - 8, 7.5, Lighter(kPanelTop, 0.22), 1);
  icon();
  SpacedText(cr, label, Face::Bold, size, 30, baseline, 1.5,
             Lettering(kLabelTop, kLabelBottom, 1.6));
}

void Well(cairo_t* cr, double x, double y, double w, double h) {
  cairo_new_path(cr);
  RoundedRect(cr, x, y, w, h, 5);
  SetColour(cr, kWell);
  cairo_fill_preserve(cr);
  SetColour(cr, Darker(kWell, 0.5));
  cairo_set_line_width(cr, 1.4);
  cairo_stroke(cr);
  cairo_new_path(cr);
  cairo_move_to(cr, x + 4, y + h + 0.8);
  cairo_line_to(cr, x + w - 4, y + h + 0.8);
  SetColour(cr, Lighter(kPanelTop, 0.3));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
}

void ClockIcon(cairo_t* cr, double cx, double cy, double r) {
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  SetVerticalGradient(cr, cy - r, cy + r, Lighter(pal::kOrange, 0.25), Darker(pal::kOrange, 0.2));
  FillAndOutline(cr, pal::kOutline, 2);
  cairo_arc(cr, cx, cy, r * 0.72, 0, 2 * M_PI);
  SetColour(cr, Hex(0xFFF8EA));
  cairo_fill(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  SetColour(cr, pal::kOutline);
  cairo_set_line_width(cr, r * 0.14);
  cairo_move_to(cr, cx, cy);
  cairo_line_to(cr, cx, cy - r * 0.52);
  cairo_move_to(cr, cx, cy);
  cairo_line_to(cr, cx + r * 0.38, cy + r * 0.1);
  cairo_stroke(cr);
}

void MissX(cairo_t* cr, double cx, double cy, double half, double width, Colour colour,
           bool outlined) {
  cairo_save(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_new_path(cr);
  cairo_move_to(cr, cx - half, cy - half);
  cairo_line_to(cr, cx + half, cy + half);
  cairo_move_to(cr, cx + half, cy - half);
  cairo_line_to(cr, cx - half, cy + half);
  if (outlined) {
    SetColour(cr, pal::kOutline);
    cairo_set_line_width(cr, width + 3.2);
    cairo_stroke_preserve(cr);
  }
  SetVerticalGradient(cr, cy - half, cy + half, Lighter(colour, 0.2), Darker(colour, 0.15));
  cairo_set_line_width(cr, width);
  cairo_stroke_preserve(cr);
  if (outlined) {
    SetColour(cr, Lighter(colour, 0.55));
    cairo_set_line_width(cr, width * 0.3);
    cairo_new_path(cr);
    cairo_move_to(cr, cx - half + 1, cy - half + 0.2);
    cairo_line_to(cr, cx - 1.2, cy - 2.2);
    cairo_stroke(cr);
  }
  cairo_new_path(cr);
  cairo_restore(cr);
}

Picture BoxTimer() {
  Canvas canvas(kBoxWidth, 75);
  cairo_t* cr = canvas.cr();
  BoxBase(cr, 75, "TIME", 13, 18, [cr] { ClockIcon(cr, 19, 12.5, 6.5); });
  // The time is copied opaque into (8, 23) 120 x 36; the bezel frames that window.
  Well(cr, 5, 20, 126, 42);
  cairo_rectangle(cr, 8, 23, 120, 36);
  SetColour(cr, Hex(0x050608));
  cairo_fill(cr);
  ClockIcon(cr, 181, 41, 22);
  return FlattenKeyed(canvas, "BoxTimer.bmp", kKeyWhite);
}

Picture BoxScore() {
  Canvas canvas(kBoxWidth, 75);
  cairo_t* cr = canvas.cr();
  BoxBase(cr, 75, "SCORE", 14, 20.5,
          [cr] { DrawStar(cr, 19, 14, 7.5, Lighter(pal::kGold, 0.3), pal::kGold, 1.6, 0); });
  // The score digits are laid transparently over (8, 30) 120 x 36: a plain dark well.
  Well(cr, 5, 27, 126, 42);
  DrawTextAt(cr, "PTS", Face::Bold, 22, 146, 58,
             Lettering(Lighter(pal::kGold, 0.4), pal::kGold, 2, true));
  return FlattenKeyed(canvas, "BoxScore.bmp", kKeyWhite);
}

Picture BoxStars() {
  Canvas canvas(kBoxWidth, 75);
  cairo_t* cr = canvas.cr();
  BoxBase(cr, 75, "STARS", 13, 18,
          [cr] { DrawStar(cr, 19, 12.5, 7.5, Lighter(pal::kGold, 0.3), pal::kGold, 1.6, 0); });
  // Empty slots under the 5 x 2 grid of 24-px star icons from (8, 23).
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 5; ++j) {
      DrawStar(cr, 8 + 24 * j + 12, 23 + 24 * i + 12.5, 8.5, kGhost, Darker(kGhost, 0.15), 0, 0);
    }
  }
  // What ten stars buy.
  DrawStar(cr, 146, 37, 8, Lighter(pal::kGold, 0.3), pal::kGold, 1.5, 0);
  DrawTextAt(cr, "\u00D710", Face::Bold, 14, 158, 42, Lettering(kLabelTop, kLabelBottom, 1.4));
  DrawTextAt(cr, "+20 SEC", Face::Bold, 14, 139, 63,
             Lettering(Lighter(pal::kGold, 0.45), pal::kGold, 1.4));
  return FlattenKeyed(canvas, "BoxStars.bmp", kKeyWhite);
}

Picture BoxMiss() {
  Canvas canvas(kBoxWidth, 70);
  cairo_t* cr = canvas.cr();
  BoxBase(cr, 70, "MISS", 13, 17.5, [cr] { MissX(cr, 19, 12, 4.2, 3.2, pal::kRed, true); });
  // Empty slots under the 5 x 2 grid of 22 x 20 marks from (7, 22).
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 5; ++j) {
      MissX(cr, 7 + 22 * j + 11, 22 + 20 * i + 10, 4, 3, kGhost, false);
    }
  }
  DrawTextAt(cr, "10 MISSES", Face::Bold, 12, 134, 38, Lettering(kLabelTop, kLabelBottom, 1.4));
  DrawTextAt(cr, "GAME OVER", Face::Bold, 12, 134, 57,
             Lettering(Lighter(pal::kRed, 0.35), pal::kRed, 1.4));
  return FlattenKeyed(canvas, "BoxMiss.bmp", kKeyWhite);
}

// One seven-segment digit (or the colon, glyph 10) of the red time display.
void SevenSegment(cairo_t* cr, double cellX, int glyph) {
  static const unsigned char kSegments[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                              0x6D, 0x7D, 0x07, 0x7F, 0x6F};
  const Colour lit = Hex(0xFF3B2F), core = Hex(0xFFB09A), ghost = Hex(0x2E0A0A);
  cairo_save(cr);
  // A slight forward slant, about the middle of the cell.
  cairo_matrix_t shear;
  cairo_matrix_init(&shear, 1, 0, -0.07, 1, cellX + 0.07 * 18, 0);
  cairo_transform(cr, &shear);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  if (glyph == 10) {
    for (double y : {13.0, 24.0}) {
      cairo_new_path(cr);
      cairo_arc(cr, 12, y, 2.6, 0, 2 * M_PI);
      SetColour(cr, lit);
      cairo_fill(cr);
      cairo_arc(cr, 11.6, y - 0.5, 1.1, 0, 2 * M_PI);
      SetColour(cr, core);
      cairo_fill(cr);
    }
    cairo_restore(cr);
    return;
  }
  const double x0 = 5.8, x1 = 18.2, y0 = 5.5, y1 = 18, y2 = 30.5, g = 2.1;
  // Segments a..g as line pieces.
  const double seg[7][4] = {{x0 + g, y0, x1 - g, y0}, {x1, y0 + g, x1, y1 - g},
                            {x1, y1 + g, x1, y2 - g}, {x0 + g, y2, x1 - g, y2},
                            {x0, y1 + g, x0, y2 - g}, {x0, y0 + g, x0, y1 - g},
                            {x0 + g, y1, x1 - g, y1}};
  const unsigned char on = kSegments[glyph];
  for (int pass = 0; pass < 3; ++pass) {
    for (int s = 0; s < 7; ++s) {
      bool isOn = (on >> s) & 1;
      if (pass == 0 && isOn) continue;
      if (pass > 0 && !isOn) continue;
      cairo_new_path(cr);
      cairo_move_to(cr, seg[s][0], seg[s][1]);
      cairo_line_to(cr, seg[s][2], seg[s][3]);
      if (pass == 0) {
        SetColour(cr, ghost);
        cairo_set_line_width(cr, 4.0);
      } else if (pass == 1) {
        SetColour(cr, lit);
        cairo_set_line_width(cr, 4.2);
      } else {
        SetColour(cr, core);
        cairo_set_line_width(cr, 1.3);
      }
      cairo_stroke(cr);
    }
  }
  cairo_restore(cr);
}

Picture MojiAka() {
  Canvas canvas(264, 36);
  for (int g = 0; g <= 10; ++g) SevenSegment(canvas.cr(), 24.0 * g, g);
  return FlattenOnBlack(canvas, "moji_aka.bmp");
}

Picture MojiShiro() {
  Canvas canvas(200, 36);
  DrawDigits(canvas.cr(), 20, 14, 25, 18, Lettering(Hex(0xFFFFFF), Hex(0xCFDDFF), 1.8));
  return FlattenKeyed(canvas, "moji_shiro.bmp", kKeyBlack);
}

// Star icon frame i of 12: frame 0 is the plain icon; the others pulse, brighten and send
// a twinkle once around the star.
Picture StarFrame(int i) {
  Canvas canvas(24, 24);
  cairo_t* cr = canvas.cr();
  const double phase = i / 12.0;
  const double pulse = std::sin(M_PI * phase);
  const double r = 10 * (1 + 0.1 * pulse);
  const Colour top = Lighter(Hex(0xFFE680), 0.6 * pulse);
  const Colour bottom = Lighter(Hex(0xFFB400), 0.45 * pulse);
  DrawStar(cr, 12, 12.6, r, top, bottom, 1.6, 0.35 * pulse);
  cairo_save(cr);
  cairo_new_path(cr);
  EllipsePath(cr, 9.5, 9, 3.2, 2);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
  cairo_fill(cr);
  cairo_restore(cr);
  if (i > 0) {
    double a = -M_PI / 2 + 2 * M_PI * phase;
    DrawTwinkle(cr, 12 + 8 * std::cos(a), 12 + 8 * std::sin(a), 2.8 + 3.6 * pulse, Hex(0xFFF4B8));
  }
  return FlattenKeyed(canvas, "hosi" + std::to_string(i) + ".bmp", kKeyWhite);
}

Picture StarMono() {
  Canvas canvas(24, 24);
  DrawStar(canvas.cr(), 12, 12.6, 10, Hex(0xB4BCCB), Hex(0x7C8598), 1.6, 0);
  return FlattenKeyed(canvas, "hosi_mono.bmp", kKeyWhite);
}

Picture MissMark() {
  Canvas canvas(22, 20);
  MissX(canvas.cr(), 11, 10, 5.2, 4.2, pal::kRed, true);
  return FlattenKeyed(canvas, "miss.bmp", kKeyBlack);
}

// The gauge frame: a thin bezel around a dark well, the window at (2, 3) 117 x 24. The
// frames are drawn before the fills, so the well shows where a gauge is empty and the
// fill covers it as it grows.
Picture GaugeFrame() {
  Canvas canvas(121, 30);
  cairo_t* cr = canvas.cr();
  RoundedRect(cr, 0.5, 0.5, 120, 29, 5);
  SetVerticalGradient(cr, 0, 30, Hex(0x8FA3CC), Hex(0x3A4B78));
  FillAndOutline(cr, pal::kOutline, 1);
  cairo_new_path(cr);
  RoundedRect(cr, 2, 3, 117, 24, 4);
  SetVerticalGradient(cr, 3, 27, Darker(kWell, 0.4), Lighter(kWell, 0.08));
  cairo_fill(cr);
  // Shade under the top edge, so the well reads as sunk into the bezel.
  cairo_rectangle(cr, 4, 3.5, 113, 2);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_fill(cr);
  return FlattenKeyed(canvas, "GaugeWaku.bmp", kKeyWhite);
}

Picture GaugeLabel(const std::string& name, const std::string& text, Colour colour) {
  Canvas canvas(50, 24);
  cairo_t* cr = canvas.cr();
  RoundedRect(cr, 1.5, 1.5, 47, 21, 10.5);
  SetVerticalGradient(cr, 1, 23, Lighter(colour, 0.25), Darker(colour, 0.18));
  FillAndOutline(cr, pal::kOutline, 2);
  cairo_new_path(cr);
  RoundedRect(cr, 5, 3.5, 40, 6, 3);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.3);
  cairo_fill(cr);
  double size = FitFontSize(cr, Face::Bold, text, 36, 13, 15);
  DrawTextCentred(cr, text, Face::Bold, size, 25, 12.5,
                  Lettering(Hex(0xFFFFFF), Hex(0xEEF2FF), 1.7));
  return FlattenKeyed(canvas, name, kKeyWhite);
}

Picture GaugeFill(const std::string& name, Colour colour) {
  Canvas canvas(117, 24);
  cairo_t* cr = canvas.cr();
  RoundedRect(cr, 0.5, 0.5, 116, 23, 5);
  SetGradient(cr, cairo_pattern_create_linear(0, 0, 0, 24),
              {{0, Lighter(colour, 0.35)}, {0.5, colour}, {1, Darker(colour, 0.3)}});
  cairo_fill_preserve(cr);
  cairo_save(cr);
  cairo_clip_preserve(cr);
  // Candy stripes and a glossy upper band.
  for (double x = -24; x < 130; x += 14) {
    cairo_new_path(cr);
    cairo_move_to(cr, x, 24);
    cairo_line_to(cr, x + 6, 24);
    cairo_line_to(cr, x + 18, 0);
    cairo_line_to(cr, x + 12, 0);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.16);
    cairo_fill(cr);
  }
  cairo_new_path(cr);
  RoundedRect(cr, 3, 2.5, 111, 7, 3.5);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.42);
  cairo_fill(cr);
  cairo_restore(cr);
  RoundedRim(cr, 0.5, 0.5, 116, 23, 5, pal::kOutline, 1.2);
  return FlattenKeyed(canvas, name, kKeyBlack);
}

Picture MaxMark() {
  Canvas canvas(70, 28);
  cairo_t* cr = canvas.cr();
  double size = FitFontSize(cr, Face::BoldOblique, "MAX", 54, 20, 40);
  DrawTextCentred(cr, "MAX", Face::BoldOblique, size, 31, 14,
                  Lettering(Hex(0xFFF27A), pal::kOrange, 2.6, true));
  DrawTwinkle(cr, 63, 7, 5, Hex(0xFFFBEA));
  return FlattenKeyed(canvas, "MAX2.bmp", kKeyGreen);
}

}  // namespace

std::vector<Picture> MakeHudPictures() {
  std::vector<Picture> out = {BoxTimer(), BoxScore(), BoxStars(),
                              BoxMiss(),  MojiAka(),  MojiShiro()};
  for (int i = 0; i < 12; ++i) out.push_back(StarFrame(i));
  out.insert(out.end(),
             {StarMono(), MissMark(), GaugeFrame(), GaugeLabel("letter_red.bmp", "10pt", pal::kRed),
              GaugeLabel("letter_blue.bmp", "2pt", pal::kBlue),
              GaugeLabel("letter_green.bmp", "5pt", pal::kGreen),
              GaugeLabel("letter_yellow.bmp", "1pt", Darker(pal::kGold, 0.08)),
              GaugeFill("GaugeNakami_R.bmp", pal::kRed), GaugeFill("GaugeNakami_B.bmp", pal::kBlue),
              GaugeFill("GaugeNakami_G.bmp", pal::kGreen),
              GaugeFill("GaugeNakami_Y.bmp", pal::kGold), MaxMark()});
  return out;
}

}  // namespace assetgen
