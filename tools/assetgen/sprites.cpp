#include "sprites.h"

#include <cmath>
#include <string>

namespace assetgen {

namespace {

// A token's round body, shaded as lit from the upper left and outlined, and its flat face
// (its path left for the rim); returns the face's radius.
double BodyAndFace(cairo_t* cr, double cx, double cy, double r, double s, Colour base,
                   Colour faceTop, Colour faceBottom) {
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  SetGradient(cr,
              cairo_pattern_create_radial(cx - 0.35 * r, cy - 0.45 * r, 0.05 * r, cx, cy, r * 1.05),
              {{0, Lighter(base, 0.45)}, {0.55, base}, {1, Darker(base, 0.28)}});
  FillAndOutline(cr, pal::kOutline, 2.4 * s);
  const double face = 0.76 * r;
  cairo_arc(cr, cx, cy, face, 0, 2 * M_PI);
  SetVerticalGradient(cr, cy - face, cy + face, faceTop, faceBottom);
  cairo_fill_preserve(cr);
  return face;
}

void Gloss(cairo_t* cr, double cx, double cy, double r, double alpha) {
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
  cairo_clip(cr);
  EllipsePath(cr, cx - 0.28 * r, cy - 0.5 * r, 0.62 * r, 0.34 * r);
  cairo_set_source_rgba(cr, 1, 1, 1, alpha);
  cairo_fill(cr);
  cairo_restore(cr);
}

void Coin(cairo_t* cr, TokenKind kind, double cx, double cy, double s) {
  static const Colour* const bases[4] = {&pal::kGold, &pal::kBlue, &pal::kGreen, &pal::kRed};
  const Colour base = *bases[kind];
  const double r = 23 * s;
  const double face = BodyAndFace(cr, cx, cy, r, s, base, Darker(base, 0.18), Lighter(base, 0.22));
  // The 10-point coin is the rare one: a gold ring sets off its face.
  SetColour(cr, kind == kToken10 ? pal::kGold : Darker(base, 0.42));
  cairo_set_line_width(cr, (kind == kToken10 ? 2.4 : 1.6) * s);
  cairo_stroke(cr);

  // Notches on the rim, like a milled coin edge.
  cairo_set_line_width(cr, 1.1 * s);
  SetColour(cr, Lighter(base, 0.5));
  for (int i = 0; i < 16; ++i) {
    double a = i * M_PI / 8 + M_PI / 16;
    cairo_move_to(cr, cx + std::cos(a) * 0.83 * r, cy + std::sin(a) * 0.83 * r);
    cairo_line_to(cr, cx + std::cos(a) * 0.92 * r, cy + std::sin(a) * 0.92 * r);
  }
  cairo_stroke(cr);

  if (kind == kToken1) {
    DrawStar(cr, cx, cy + 0.02 * r, 0.66 * r, Hex(0xFFFBE6), Hex(0xFFE38A), 1.6 * s, 0);
    DrawTextCentred(cr, "1", Face::Bold, 17 * s, cx, cy + 0.06 * r,
                    Lettering(Hex(0xA8620F), Hex(0x8A4B08), 0));
  } else {
    const char* label = kind == kToken2 ? "2" : kind == kToken5 ? "5" : "10";
    TextStyle st = Lettering(pal::kWhite, Hex(0xEAF0FF), 1.8 * s);
    st.outline = Darker(base, 0.62);
    if (kind == kToken10) {
      double size = FitFontSize(cr, Face::Bold, label, 1.22 * face, 0.95 * face, 30 * s);
      st.xScale = 0.88;
      DrawTextCentred(cr, label, Face::Bold, size, cx, cy + 0.02 * r, st);
    } else {
      DrawTextCentred(cr, label, Face::Bold, 27 * s, cx, cy + 0.02 * r, st);
    }
  }
  Gloss(cr, cx, cy, r * 0.97, 0.30);
}

void Clock(cairo_t* cr, TokenKind kind, double cx, double cy, double s) {
  const Colour base = kind == kTokenMinus ? pal::kPurple : pal::kOrange;
  const double R = 20.5 * s;
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

  // Feet, then bells and the striker knob behind the body.
  for (int side = -1; side <= 1; side += 2) {
    double a = M_PI / 2 - side * 0.62;
    double fx = cx + std::cos(a) * R * 0.9, fy = cy + std::sin(a) * R * 0.9;
    cairo_new_path(cr);
    cairo_move_to(cr, fx, fy);
    cairo_line_to(cr, fx + side * 3.5 * s, fy + 5.5 * s);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    StrokeOutlined(cr, 6.2 * s, Darker(base, 0.3), 3 * s);
  }
  cairo_new_path(cr);
  RoundedRect(cr, cx - 3 * s, cy - R - 5.5 * s, 6 * s, 7 * s, 2 * s);
  SetColour(cr, pal::kSteel);
  FillAndOutline(cr, pal::kOutline, 1.6 * s);
  for (int side = -1; side <= 1; side += 2) {
    double a = -M_PI / 2 + side * 0.78;
    double bx = cx + std::cos(a) * R * 0.88, by = cy + std::sin(a) * R * 0.88;
    cairo_save(cr);
    cairo_translate(cr, bx, by);
    cairo_rotate(cr, side * 0.78);
    cairo_new_path(cr);
    cairo_arc(cr, 0, 0, 8.2 * s, M_PI, 2 * M_PI);
    cairo_close_path(cr);
    SetVerticalGradient(cr, -8 * s, 0, Lighter(base, 0.35), Darker(base, 0.1));
    FillAndOutline(cr, pal::kOutline, 1.8 * s);
    cairo_restore(cr);
  }

  const double face = BodyAndFace(cr, cx, cy, R, s, base, Hex(0xFFFDF4), Hex(0xF1E4C8));
  SetColour(cr, Darker(base, 0.45));
  cairo_set_line_width(cr, 1.5 * s);
  cairo_stroke(cr);

  cairo_set_line_width(cr, 1.3 * s);
  SetColour(cr, Darker(base, 0.15));
  for (int i = 0; i < 12; ++i) {
    if (i % 3 != 0) continue;
    double a = i * M_PI / 6;
    cairo_move_to(cr, cx + std::cos(a) * 0.56 * face, cy + std::sin(a) * 0.56 * face);
    cairo_line_to(cr, cx + std::cos(a) * 0.82 * face, cy + std::sin(a) * 0.82 * face);
  }
  cairo_stroke(cr);

  const char* label = kind == kTokenMinus ? "\u221230" : "+30";
  double size = FitFontSize(cr, Face::CondensedBold, label, 1.52 * face, 0.8 * face, 24 * s);
  DrawTextCentred(cr, label, Face::CondensedBold, size, cx, cy + 0.5 * s,
                  Lettering(Darker(base, 0.05), Darker(base, 0.3), 0));
  Gloss(cr, cx, cy, R * 0.97, 0.28);
}

}  // namespace

void DrawToken(cairo_t* cr, TokenKind kind, double cx, double cy, double scale) {
  cairo_save(cr);
  if (kind == kTokenMinus || kind == kTokenPlus) {
    Clock(cr, kind, cx, cy, scale);
  } else {
    Coin(cr, kind, cx, cy, scale);
  }
  cairo_restore(cr);
}

void DrawMallet(cairo_t* cr, double handX, double handY, double angle, double scale) {
  const double reach = kMalletReach;
  cairo_save(cr);
  cairo_translate(cr, handX, handY);
  cairo_rotate(cr, angle);
  cairo_scale(cr, scale, scale);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

  // Handle, from the knob at the grip to the head.
  cairo_new_path(cr);
  RoundedRect(cr, -3, -2.9, reach - 5, 5.8, 2.9);
  SetGradient(cr, cairo_pattern_create_linear(0, -3, 0, 3),
              {{0, Lighter(pal::kWood, 0.35)}, {0.45, pal::kWood}, {1, pal::kWoodDark}});
  FillAndOutline(cr, pal::kOutline, 1.6);

  // Red grip with a knob.
  RoundedPanel(cr, -3.5, -3.7, 13.5, 7.4, 3.4, Lighter(pal::kRed, 0.3), Darker(pal::kRed, 0.3),
               1.6);
  cairo_set_line_width(cr, 1.0);
  SetColour(cr, Darker(pal::kRed, 0.45));
  for (double x = 1.5; x < 10; x += 3.2) {
    cairo_move_to(cr, x, -3.2);
    cairo_line_to(cr, x + 1.6, 3.2);
  }
  cairo_stroke(cr);
  cairo_new_path(cr);
  cairo_arc(cr, -4.5, 0, 4.3, 0, 2 * M_PI);
  SetVerticalGradient(cr, -4.3, 4.3, Lighter(pal::kRed, 0.35), Darker(pal::kRed, 0.35));
  FillAndOutline(cr, pal::kOutline, 1.6);

  // Barrel head, across the handle; shaded as a cylinder along its length.
  const double hx = reach, halfLen = kMalletHalfLength, halfDia = kMalletHalfWidth;
  cairo_new_path(cr);
  RoundedRect(cr, hx - halfDia, -halfLen, 2 * halfDia, 2 * halfLen, 4);
  SetGradient(cr, cairo_pattern_create_linear(hx - halfDia, 0, hx + halfDia, 0),
              {{0, Darker(pal::kWood, 0.25)},
               {0.3, Lighter(pal::kWood, 0.45)},
               {0.6, pal::kWood},
               {1, pal::kWoodDark}});
  FillAndOutline(cr, pal::kOutline, 1.8);

  // Wood grain and two gold bands near the faces.
  cairo_set_line_width(cr, 0.9);
  SetColour(cr, Darker(pal::kWood, 0.3), 0.8);
  cairo_move_to(cr, hx + 3, -6);
  cairo_curve_to(cr, hx + 5, -2, hx + 1, 2, hx + 3.5, 6);
  cairo_stroke(cr);
  for (int side = -1; side <= 1; side += 2) {
    double y = side * (halfLen - 4.6);
    cairo_new_path(cr);
    cairo_rectangle(cr, hx - halfDia - 0.6, y - 1.9, 2 * halfDia + 1.2, 3.8);
    SetGradient(cr, cairo_pattern_create_linear(hx - halfDia, 0, hx + halfDia, 0),
                {{0, Darker(pal::kGold, 0.2)},
                 {0.32, Lighter(pal::kGold, 0.55)},
                 {1, Darker(pal::kGold, 0.35)}});
    FillAndOutline(cr, pal::kOutline, 1.2);
  }
  cairo_restore(cr);
}

void DrawSwingStreaks(cairo_t* cr, double handX, double handY, double angle, double scale,
                      double length) {
  // In the mallet's own frame the head moves toward -y; the streaks trail behind its +y
  // face.
  cairo_save(cr);
  cairo_translate(cr, handX, handY);
  cairo_rotate(cr, angle);
  cairo_scale(cr, scale, scale);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  const double offsets[3] = {-6.5, 0.5, 7.5};
  for (int i = 0; i < 3; ++i) {
    double x = kMalletReach + offsets[i];
    double y0 = kMalletHalfLength + 3, y1 = y0 + length * (i == 1 ? 1.0 : 0.7);
    cairo_new_path(cr);
    cairo_move_to(cr, x, y0);
    cairo_line_to(cr, x - length * 0.25, y1);
    StrokeOutlined(cr, 3.8, Hex(0xDCEBFA), 1.8);
  }
  cairo_restore(cr);
}

void DrawImpactRays(cairo_t* cr, double cx, double cy, double scale, double spread) {
  cairo_save(cr);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  // Sideways and downward around the struck point; the mallet itself is above it.
  const double degrees[5] = {-12, 34, 90, 146, 192};
  for (double deg : degrees) {
    double a = deg * M_PI / 180;
    double r0 = (spread + 2) * scale, r1 = (spread + 8) * scale;
    cairo_new_path(cr);
    cairo_move_to(cr, cx + std::cos(a) * r0, cy + std::sin(a) * r0);
    cairo_line_to(cr, cx + std::cos(a) * r1, cy + std::sin(a) * r1);
    StrokeOutlined(cr, 4.2 * scale, Hex(0xFFE45C), 2.0 * scale);
  }
  cairo_restore(cr);
}

void DrawBurst(cairo_t* cr, double cx, double cy, int frame, double scale) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, scale, scale);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  auto radial = [cr](double r, Colour inner, Colour mid, Colour outer) {
    SetGradient(cr, cairo_pattern_create_radial(0, 0, 0, 0, 0, r),
                {{0, inner}, {0.45, mid}, {1, outer}});
  };
  const Colour white = Hex(0xFFFDF0), yellow = Hex(0xFFE45C), orange = pal::kOrange,
               red = Hex(0xF2542D);
  switch (frame) {
    case 0:
      StarPath(cr, 0, 0, 14, 7, 8, 0.2);
      radial(14, white, yellow, orange);
      FillAndOutline(cr, pal::kOutline, 2.0);
      break;
    case 1:
      StarPath(cr, 0, 0, 22, 12, 10, 0.0);
      radial(22, white, yellow, orange);
      FillAndOutline(cr, pal::kOutline, 2.2);
      for (int i = 0; i < 4; ++i) {
        double a = M_PI / 4 + i * M_PI / 2;
        DrawTwinkle(cr, std::cos(a) * 23.5, std::sin(a) * 23.5, 4.5, yellow);
      }
      break;
    case 2: {
      StarPath(cr, 0, 0, 27.5, 18, 12, 0.13);
      radial(27.5, yellow, orange, red);
      FillAndOutline(cr, pal::kOutline, 2.2);
      StarPath(cr, 0, 0, 15, 9, 8, 0.3);
      radial(15, white, white, yellow);
      FillAndOutline(cr, Darker(orange, 0.2), 1.4);
      break;
    }
    default: {
      // Breaking up: a ring of smoke puffs with a few embers, the centre already clear.
      for (int i = 0; i < 8; ++i) {
        double a = i * 2 * M_PI / 8 + 0.2;
        double r = (i % 2 == 0) ? 23 : 20.5;
        double pr = (i % 2 == 0) ? 4.2 : 3.3;
        cairo_new_path(cr);
        cairo_arc(cr, std::cos(a) * r, std::sin(a) * r, pr, 0, 2 * M_PI);
        SetVerticalGradient(cr, std::sin(a) * r - pr, std::sin(a) * r + pr, Hex(0xD9D4EE),
                            Hex(0x9E97C2));
        FillAndOutline(cr, pal::kOutline, 1.6);
      }
      for (int i = 0; i < 5; ++i) {
        double a = i * 2 * M_PI / 5 + 0.55;
        cairo_new_path(cr);
        cairo_arc(cr, std::cos(a) * 12, std::sin(a) * 12, 1.7, 0, 2 * M_PI);
        SetColour(cr, Hex(0xFFB347));
        FillAndOutline(cr, pal::kOutline, 1.2);
      }
      break;
    }
  }
  cairo_restore(cr);
}

void DrawStar(cairo_t* cr, double cx, double cy, double radius, Colour top, Colour bottom,
              double outline, double rotation) {
  cairo_save(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_new_path(cr);
  StarPath(cr, cx, cy, radius, radius * 0.5, 5, rotation);
  SetVerticalGradient(cr, cy - radius, cy + radius, top, bottom);
  if (outline > 0) {
    FillAndOutline(cr, pal::kOutline, outline);
  } else {
    cairo_fill(cr);
  }
  cairo_restore(cr);
}

void DrawTwinkle(cairo_t* cr, double cx, double cy, double radius, Colour colour) {
  cairo_save(cr);
  cairo_new_path(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  StarPath(cr, cx, cy, radius, radius * 0.3, 4, 0);
  SetColour(cr, colour);
  FillAndOutline(cr, pal::kOutline, 1.2);
  cairo_restore(cr);
}

void DrawCloud(cairo_t* cr, double cx, double cy, double scale) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, scale, scale);
  cairo_new_path(cr);
  const double puffs[5][3] = {
      {-34, -10, 14}, {-14, -20, 20}, {10, -24, 22}, {32, -12, 15}, {0, -6, 18}};
  for (const auto& p : puffs) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, p[0], p[1], p[2], 0, 2 * M_PI);
  }
  cairo_new_sub_path(cr);
  RoundedRect(cr, -46, -14, 92, 14, 7);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  cairo_path_t* outline = cairo_copy_path(cr);
  SetColour(cr, Hex(0x9CCBEB));
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
  cairo_append_path(cr, outline);
  SetVerticalGradient(cr, -46, 0, Hex(0xFDFEFF), Hex(0xDDEEFA));
  cairo_fill(cr);
  cairo_path_destroy(outline);
  cairo_restore(cr);
}

}  // namespace assetgen
