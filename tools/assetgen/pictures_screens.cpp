// Whole-screen pictures and banners: the title with its caption, digits and START
// button, the bonus messages, the countdown and the results panel.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "pictures.h"
#include "sprites.h"

namespace assetgen {

namespace {

// Big lettering with a dark extrusion below it, a thick outline and a glossy top.
TextStyle BannerStyle(Colour c, double outline) {
  return Lettering(Lighter(c, 0.4), Darker(c, 0.08), outline, true);
}

void BannerText(cairo_t* cr, const std::string& text, Face face, double size, double cx, double cy,
                Colour c, double outline, double depth) {
  TextStyle st = BannerStyle(c, outline);
  st.shadowDy = depth;
  DrawTextCentred(cr, text, face, size, cx, cy, st);
}

// The game's name, one colour per letter, each letter tilted a little and bobbing.
void Logo(cairo_t* cr, double cx, double baseline, double size) {
  const std::string letters = "Tonkalo";
  const Colour colours[7] = {pal::kGold,   pal::kBlue,   pal::kGreen, pal::kRed,
                             pal::kPurple, pal::kOrange, pal::kGold};
  const double tilt[7] = {-0.07, 0.05, -0.04, 0.06, -0.05, 0.04, 0.07};
  const double bob[7] = {0, -6, 2, -5, 3, -4, 1};
  const double tracking = -3;
  SetFont(cr, Face::Bold, size);
  std::vector<double> xs;
  double total = 0;
  for (char ch : letters) {
    xs.push_back(total);
    total += MeasureText(cr, std::string(1, ch)).advance + tracking;
  }
  total -= tracking;
  const double left = cx - total / 2;
  const double outline = size * 0.055, depth = size * 0.075;

  auto letterPath = [&](int i, double dy) {
    std::string one(1, letters[i]);
    InkBox ink = MeasureText(cr, one);
    double x = left + xs[i];
    double pivotX = x + ink.x + ink.width / 2, pivotY = baseline + bob[i] - ink.height / 2;
    cairo_translate(cr, pivotX, pivotY);
    cairo_rotate(cr, tilt[i]);
    cairo_translate(cr, -pivotX, -pivotY);
    cairo_new_path(cr);
    cairo_move_to(cr, x, baseline + bob[i] + dy);
    cairo_text_path(cr, one.c_str());
    return ink;
  };
  // Strokes every letter's outline (and fills it, if asked) in a colour per letter.
  auto strokeAll = [&](double dy, double width, bool fill, auto colourOf) {
    for (int i = 0; i < 7; ++i) {
      cairo_save(cr);
      letterPath(i, dy);
      SetColour(cr, colourOf(i));
      cairo_set_line_width(cr, width);
      cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
      if (fill) {
        cairo_stroke_preserve(cr);
        cairo_fill(cr);
      } else {
        cairo_stroke(cr);
      }
      cairo_restore(cr);
    }
  };
  const double sticker = outline * 2 + size * 0.07;
  auto dark = [](int) { return pal::kOutline; };
  // Back to front: a dark extrusion, a cream sticker edge with its own dark rim, the
  // letters' shaded sides, their outlines, then the faces.
  strokeAll(depth, sticker, false, dark);
  strokeAll(0, sticker + 5, false, dark);
  strokeAll(0, sticker, false, [](int) { return pal::kCream; });
  strokeAll(depth * 0.6, outline * 2, true, [&](int i) { return Darker(colours[i], 0.5); });
  strokeAll(0, outline * 2, false, dark);
  for (int i = 0; i < 7; ++i) {
    cairo_save(cr);
    InkBox ink = letterPath(i, 0);
    double top = baseline + bob[i] + ink.y, bottom = top + ink.height;
    SetVerticalGradient(cr, top, bottom, Lighter(colours[i], 0.22), Darker(colours[i], 0.12));
    cairo_fill_preserve(cr);
    cairo_clip(cr);
    cairo_rectangle(cr, left + xs[i] - 10, top - 10, ink.width + 40, (bottom - top) * 0.4 + 10);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.22);
    cairo_fill(cr);
    cairo_restore(cr);
  }
}

// A token half out of its hole: the hole, the token clipped to what shows above the
// hole's front lip, then the lip.
void TokenInHole(cairo_t* cr, TokenKind kind, double hx, double hy, double rx, double ry,
                 double rise, double scale) {
  EllipsePath(cr, hx, hy, rx + 4, ry + 3);
  SetColour(cr, Hex(0x7A4B2A));
  FillAndOutline(cr, pal::kOutline, 2.5);
  EllipsePath(cr, hx, hy + 1, rx - 1, ry - 1.5);
  SetVerticalGradient(cr, hy - ry, hy + ry, Darker(pal::kEarth, 0.5), pal::kEarth);
  cairo_fill(cr);
  if (rise > 0) {
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, hx - 200, hy - 300, 400, 300);
    EllipsePath(cr, hx, hy + 1, rx - 1, ry - 1.5);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr);
    DrawToken(cr, kind, hx, hy - rise, scale);
    cairo_restore(cr);
  }
  // Front lip over the token's foot.
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_rectangle(cr, hx - rx - 10, hy + 1, 2 * rx + 20, ry + 10);
  cairo_clip(cr);
  cairo_new_path(cr);
  EllipsePath(cr, hx, hy, rx + 4, ry + 3);
  EllipsePath(cr, hx, hy + 1, rx - 1, ry - 1.5);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  SetVerticalGradient(cr, hy, hy + ry + 3, Hex(0x8C5A33), Hex(0x6B4226));
  cairo_fill(cr);
  EllipsePath(cr, hx, hy, rx + 4, ry + 3);
  SetColour(cr, pal::kOutline);
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  cairo_restore(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
}

// The grassy field across the foot of the title: a hill on the left with three holes
// and a mallet whacking the middle one, dipping behind the high-score plate and rising
// again to the right edge.
void TitleField(cairo_t* cr) {
  cairo_new_path(cr);
  cairo_move_to(cr, -10, 490);
  cairo_line_to(cr, -10, 352);
  cairo_curve_to(cr, 90, 318, 250, 312, 398, 352);
  cairo_curve_to(cr, 470, 372, 560, 372, 650, 338);
  cairo_line_to(cr, 650, 490);
  cairo_close_path(cr);
  SetVerticalGradient(cr, 315, 480, Lighter(pal::kGrassLight, 0.12), pal::kGrassDark);
  FillAndOutline(cr, pal::kOutline, 3.5);

  // A lit rim along the top of the hill, and tufts.
  cairo_new_path(cr);
  cairo_move_to(cr, 2, 352);
  cairo_curve_to(cr, 90, 324, 250, 318, 392, 356);
  cairo_curve_to(cr, 466, 376, 560, 378, 640, 346);
  SetColour(cr, Lighter(pal::kGrassLight, 0.35));
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  Random rnd(11);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int i = 0; i < 72; ++i) {
    // The last dozen go right of the plate.
    const bool right = i >= 60;
    double x = right ? rnd.Range(582, 632) : rnd.Range(8, 385);
    double y = rnd.Range(right ? 380 : 365, 475);
    SetColour(cr,
              rnd.Uniform() < 0.5 ? Lighter(pal::kGrassLight, 0.3) : Darker(pal::kGrassDark, 0.1));
    cairo_set_line_width(cr, 1.6);
    cairo_move_to(cr, x - 3, y);
    cairo_line_to(cr, x - 4, y - 5);
    cairo_move_to(cr, x, y + 1);
    cairo_line_to(cr, x + 0.5, y - 6);
    cairo_move_to(cr, x + 3, y);
    cairo_line_to(cr, x + 4.5, y - 4.5);
    cairo_stroke(cr);
  }
  // Little flowers.
  const double flowers[8][2] = {{30, 372},  {142, 352}, {268, 364}, {372, 378},
                                {24, 460},  {360, 468}, {606, 392}, {620, 458}};
  for (const auto& f : flowers) {
    for (int k = 0; k < 5; ++k) {
      double a = k * 2 * M_PI / 5;
      cairo_new_path(cr);
      cairo_arc(cr, f[0] + std::cos(a) * 3.2, f[1] + std::sin(a) * 3.2, 2.6, 0, 2 * M_PI);
      SetColour(cr, Hex(0xFFF3F6));
      FillAndOutline(cr, pal::kOutline, 1.2);
    }
    cairo_new_path(cr);
    cairo_arc(cr, f[0], f[1], 2.2, 0, 2 * M_PI);
    SetColour(cr, pal::kGold);
    cairo_fill(cr);
  }

  TokenInHole(cr, kToken1, 72, 404, 42, 13, 34, 1.3);
  TokenInHole(cr, kToken10, 334, 396, 40, 12.5, 30, 1.25);
  TokenInHole(cr, kToken2, 190, 452, 46, 14, 8, 1.3);
  // The whack: burst behind the head, the mallet level with its face on the token.
  DrawBurst(cr, 192, 432, 2, 1.6);
  const double angle = -172 * M_PI / 180, scale = 2.3;
  const double headX = 196, headY = 402;
  DrawMallet(cr, headX - std::cos(angle) * kMalletReach * scale,
             headY - std::sin(angle) * kMalletReach * scale, angle, scale);
  DrawImpactRays(cr, headX + std::sin(angle) * kMalletHalfLength * scale,
                 headY - std::cos(angle) * kMalletHalfLength * scale, 2.0, 30);
}

Picture Title() {
  Canvas canvas(640, 480);
  cairo_t* cr = canvas.cr();
  DrawCloud(cr, 78, 70, 1.0);
  DrawCloud(cr, 574, 52, 1.15);
  DrawCloud(cr, 600, 178, 0.62);
  DrawCloud(cr, 36, 182, 0.55);

  Logo(cr, 320, 150, 112);
  TextStyle sub = Lettering(Hex(0xFFFFFF), Hex(0xE4EEFF), 3);
  sub.outline = pal::kNavy;
  sub.shadowDy = 2.5;
  DrawTextCentred(cr, "WHACK THE TOKENS!", Face::Bold, 21, 320, 184, sub);

  DrawTwinkle(cr, 96, 118, 9, Hex(0xFFF6C0));
  DrawTwinkle(cr, 548, 110, 11, Hex(0xFFF6C0));
  DrawTwinkle(cr, 520, 30, 6, Hex(0xFFFFFF));
  DrawTwinkle(cr, 130, 28, 6, Hex(0xFFFFFF));

  // Floating tokens either side of the START button.
  DrawToken(cr, kToken5, 74, 250, 1.25);
  DrawToken(cr, kTokenPlus, 568, 244, 1.3);
  DrawTwinkle(cr, 112, 218, 6, Hex(0xFFF6C0));
  DrawTwinkle(cr, 528, 282, 6, Hex(0xFFF6C0));

  // The high-score plate, in front of the field's edge and centred like the caption
  // (400..554, from y 350) and the digits (centred on x 477, rows 390..437).
  TitleField(cr);
  RoundedPanel(cr, 382, 341, 190, 104, 16, Hex(0x2E4274), pal::kNavy, 3.5);
  RoundedRim(cr, 387.5, 346.5, 179, 93, 12, Darker(pal::kGold, 0.1), 2);
  return FlattenKeyed(canvas, "TITLE.bmp", kKeyWhite);
}

Picture HighScoreCaption() {
  Canvas canvas(154, 32);
  cairo_t* cr = canvas.cr();
  TextStyle st = BannerStyle(pal::kGold, 2.2);
  double size = FitFontSize(cr, Face::Bold, "HIGH SCORE", 140, 20, 30);
  DrawTextCentred(cr, "HIGH SCORE", Face::Bold, size, 77, 16, st);
  return FlattenKeyed(canvas, "HIGHSCORE.bmp", kKeyWhite);
}

// The high-score and result digits: gold with a glossy top.
void GoldDigits(cairo_t* cr, int cellW, double inkW, double inkH, double cy, double outline) {
  DrawDigits(cr, cellW, inkW, inkH, cy, Lettering(Hex(0xFFF0A8), Hex(0xFFA81C), outline, true));
}

Picture HighScoreDigits() {
  Canvas canvas(400, 48);
  // 40-px cells drawn 30 px apart: the ink stays within the middle 30 px.
  GoldDigits(canvas.cr(), 40, 24, 38, 24, 2.6);
  return FlattenKeyed(canvas, "HIGHSCORE_NUM.bmp", kKeyGreen);
}

Picture StartButton() {
  Canvas canvas(340, 80);
  cairo_t* cr = canvas.cr();
  RoundedPanel(cr, 4, 4, 332, 72, 36, Hex(0xFFD84D), pal::kOrange, 4);
  cairo_new_path(cr);
  RoundedRect(cr, 14, 9, 312, 24, 12);
  cairo_set_source_rgba(cr, 1, 1, 1, 0.35);
  cairo_fill(cr);
  RoundedRim(cr, 9, 9, 322, 62, 31, Lighter(pal::kGold, 0.5), 1.5);

  TextStyle st = Lettering(Hex(0xFFFFFF), Hex(0xFFF1D6), 3.2);
  st.shadowDy = 3;
  DrawTextCentred(cr, "START", Face::Bold, 40, 170, 33, st);
  DrawTextCentred(cr, "CLICK TO START", Face::Bold, 13, 170, 62,
                  Lettering(Hex(0x7A3B00), Hex(0x5C2C00), 0));
  return FlattenKeyed(canvas, "START.bmp", kKeyStart);
}

Picture Messages() {
  Canvas canvas(384, 48);
  cairo_t* cr = canvas.cr();
  struct Msg {
    const char* text;
    Colour colour;
  };
  const Msg msgs[3] = {
      {"+20 SEC", pal::kOrange}, {"BONUS", pal::kGreen}, {"+10% SCORE", Hex(0xFF4F8B)}};
  for (int i = 0; i < 3; ++i) {
    double size = FitFontSize(cr, Face::CondensedBold, msgs[i].text, 116, 30, 36);
    TextStyle st = BannerStyle(msgs[i].colour, 2.6);
    st.top = Lighter(msgs[i].colour, 0.3);
    st.shadowDy = 2.5;
    DrawTextCentred(cr, msgs[i].text, Face::CondensedBold, size, 128 * i + 64, 23, st);
  }
  return FlattenKeyed(canvas, "MSG.bmp", kKeyGrey);
}

Picture Countdown() {
  Canvas canvas(192, 128);
  cairo_t* cr = canvas.cr();
  const char* digits[3] = {"3", "2", "1"};
  const Colour colours[3] = {pal::kRed, pal::kGold, pal::kGreen};
  for (int i = 0; i < 3; ++i) {
    double size = FitFontSize(cr, Face::Bold, digits[i], 44, 50, 80);
    BannerText(cr, digits[i], Face::Bold, size, 64 * i + 32, 30, colours[i], 3.4, 3.5);
  }
  double size = FitFontSize(cr, Face::Bold, "START!", 176, 44, 80);
  TextStyle st = Lettering(Hex(0xFFF27A), pal::kOrange, 3.4, true);
  st.shadowDy = 3.5;
  DrawTextCentred(cr, "START!", Face::Bold, size, 96, 64 + 30, st);
  return FlattenKeyed(canvas, "321start.bmp", kKeyGreen);
}

Picture ResultBox() {
  Canvas canvas(400, 160);
  cairo_t* cr = canvas.cr();
  RoundedPanel(cr, 3, 3, 394, 154, 20, Hex(0x31477C), pal::kNavy, 4);
  RoundedRim(cr, 10, 10, 380, 140, 14, Darker(pal::kGold, 0.05), 2.5);

  // Heading ribbon.
  RoundedPanel(cr, 122, 14, 156, 34, 10, Lighter(pal::kRed, 0.25), Darker(pal::kRed, 0.15), 2.6);
  DrawTextCentred(cr, "RESULT", Face::Bold, 22, 200, 31,
                  Lettering(Hex(0xFFFFFF), Hex(0xFFE9EC), 2.2));
  DrawStar(cr, 96, 31, 9, Lighter(pal::kGold, 0.4), pal::kGold, 1.8, -0.2);
  DrawStar(cr, 304, 31, 9, Lighter(pal::kGold, 0.4), pal::kGold, 1.8, 0.2);
  DrawTwinkle(cr, 72, 24, 4.5, Hex(0xFFF6C0));
  DrawTwinkle(cr, 328, 24, 4.5, Hex(0xFFF6C0));

  // The score (digits and unit) is drawn centred on x 205, rows 64..128: a plain well.
  cairo_new_path(cr);
  RoundedRect(cr, 36, 57, 338, 78, 14);
  SetColour(cr, Hex(0x111931));
  cairo_fill_preserve(cr);
  SetColour(cr, Darker(pal::kNavy, 0.5));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  // Clicks count only once the score has finished counting; the quiet line says so and
  // stays true while it counts. It ends left of where the NEW RECORD banner lands.
  DrawTextCentred(cr, "CLICK WHEN THE COUNT ENDS", Face::Bold, 10, 200, 142.5,
                  Lettering(Hex(0x9AA9CF), Hex(0x8191BC), 0));
  return FlattenKeyed(canvas, "result_box.bmp", kKeyGreen);
}

Picture ResultDigits() {
  Canvas canvas(320, 128);
  cairo_t* cr = canvas.cr();
  GoldDigits(cr, 32, 24, 50, 32, 3);
  // The unit after the number: its foot on the digits' baseline.
  const TextStyle st = Lettering(Hex(0xFFFFFF), Hex(0xD6E2FF), 2.4);
  double size = FitFontSize(cr, Face::Bold, "PTS", 52, 22, 40);
  SetFont(cr, Face::Bold, size);
  InkBox ink = MeasureText(cr, "PTS");
  DrawTextCentred(cr, "PTS", Face::Bold, size, 34, 64 + 57 - ink.height / 2, st);
  return FlattenKeyed(canvas, "result_num.bmp", kKeyGreen);
}

Picture NewRecord() {
  Canvas canvas(220, 101);
  cairo_t* cr = canvas.cr();
  cairo_save(cr);
  cairo_translate(cr, 110, 50.5);
  cairo_scale(cr, 2.1, 1.0);
  StarPath(cr, 0, 0, 48, 41, 20, 0);
  cairo_restore(cr);
  SetVerticalGradient(cr, 2, 99, Hex(0xFFF0A0), Hex(0xFFB21C));
  FillAndOutline(cr, pal::kOutline, 3);
  cairo_new_path(cr);
  cairo_save(cr);
  cairo_translate(cr, 110, 50.5);
  cairo_scale(cr, 2.1, 1.0);
  cairo_arc(cr, 0, 0, 37, 0, 2 * M_PI);
  cairo_restore(cr);
  SetColour(cr, Hex(0xFFF7D6));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);

  TextStyle st = BannerStyle(pal::kRed, 2.4);
  st.shadowDy = 2.5;
  DrawTextCentred(cr, "NEW", Face::Bold, 30, 110, 33, st);
  double size = FitFontSize(cr, Face::Bold, "RECORD!", 150, 24, 30);
  DrawTextCentred(cr, "RECORD!", Face::Bold, size, 110, 68, st);
  DrawTwinkle(cr, 40, 30, 6, Hex(0xFFFFFF));
  DrawTwinkle(cr, 182, 72, 6, Hex(0xFFFFFF));
  return FlattenKeyed(canvas, "HIGHSCORE_UPDATE.bmp", kKeyRecord);
}

}  // namespace

std::vector<Picture> MakeScreenPictures() {
  return {Title(),     HighScoreCaption(), StartButton(),  HighScoreDigits(), Messages(),
          Countdown(), ResultBox(),        ResultDigits(), NewRecord()};
}

}  // namespace assetgen
