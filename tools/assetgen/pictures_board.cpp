// The play field: background wall, board tile, hammer cursor, burst and tokens.
#include <cmath>
#include <string>

#include "pictures.h"
#include "sprites.h"

namespace assetgen {

namespace {

// The background: 640 wide and tall enough for the gauge backgrounds sampled from rows
// 396..530; one plain colour from kWallPlainRow down.
constexpr int kWallWidth = 640;
constexpr int kWallHeight = 531;
constexpr int kWallPlainRow = 340;
constexpr Colour kWallPlain = Hex(0x2B5C9E);

std::uint32_t Pack(Colour c) {
  auto ch = [](double v) {
    int i = static_cast<int>(std::lround(v * 255));
    return static_cast<std::uint32_t>(i < 0 ? 0 : i > 255 ? 255 : i);
  };
  return (ch(c.r) << 16) | (ch(c.g) << 8) | ch(c.b);
}

double SmoothStep(double e0, double e1, double x) {
  double t = (x - e0) / (e1 - e0);
  t = t < 0 ? 0 : t > 1 ? 1 : t;
  return t * t * (3 - 2 * t);
}

// Sky with soft diagonal bands, easing into one plain colour that the gauge frames copy
// as their background; every row from kWallPlainRow down is that colour exactly.
Picture Wall() {
  Picture pic;
  pic.name = "wall.bmp";
  pic.image = Image(kWallWidth, kWallHeight);
  const Colour plain = kWallPlain;
  const std::uint32_t plainRgb = Pack(plain);
  for (int y = 0; y < kWallHeight; ++y) {
    for (int x = 0; x < kWallWidth; ++x) {
      if (y >= kWallPlainRow) {
        pic.image.Set(x, y, plainRgb);
        continue;
      }
      double t = y / static_cast<double>(kWallPlainRow);
      Colour base = Mix(pal::kSkyLight, pal::kSkyDark, 0.1 + 0.7 * t);
      double wave = 0.5 + 0.5 * std::sin((x + y) * 2 * M_PI / 96.0);
      double band = SmoothStep(0.35, 0.65, wave);
      Colour c = Mix(base, Lighter(base, 0.14), band);
      c = Mix(c, plain, SmoothStep(250, kWallPlainRow, y));
      pic.image.Set(x, y, Pack(c));
    }
  }
  return pic;
}

// One 70 x 70 board cell: grass with an earth hole whose front lip is the cell's bottom
// edge, where the tokens come up.
Picture BoardTile() {
  Canvas canvas(70, 70);
  cairo_t* cr = canvas.cr();
  SetVerticalGradient(cr, 0, 70, Lighter(pal::kGrassLight, 0.08), Darker(pal::kGrassLight, 0.04));
  cairo_paint(cr);

  // Soft bevel so the black grid lines read as tile edges.
  cairo_set_line_width(cr, 2);
  SetColour(cr, Lighter(pal::kGrassLight, 0.3));
  cairo_move_to(cr, 2, 68);
  cairo_line_to(cr, 2, 2);
  cairo_line_to(cr, 68, 2);
  cairo_stroke(cr);
  SetColour(cr, pal::kGrassDark);
  cairo_move_to(cr, 68, 2);
  cairo_line_to(cr, 68, 68);
  cairo_stroke(cr);

  // Grass tufts, placed the same way on every run.
  Random rnd(7);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int i = 0; i < 22; ++i) {
    double x = rnd.Range(7, 63), y = rnd.Range(8, 46);
    bool light = rnd.Uniform() < 0.45;
    SetColour(
        cr, light ? Lighter(pal::kGrassLight, 0.28) : Mix(pal::kGrassLight, pal::kGrassDark, 0.7));
    cairo_set_line_width(cr, 1.1);
    cairo_move_to(cr, x - 1.3, y);
    cairo_line_to(cr, x - 2, y - 2.6);
    cairo_move_to(cr, x + 1.3, y);
    cairo_line_to(cr, x + 2.2, y - 2.4);
    cairo_stroke(cr);
  }

  // The hole: a dirt lip, the dark inside and a lit front edge.
  EllipsePath(cr, 35, 61, 29, 10.5);
  SetColour(cr, Darker(pal::kGrassDark, 0.25));
  cairo_fill(cr);
  EllipsePath(cr, 35, 61.5, 27, 9);
  SetVerticalGradient(cr, 52, 70, Hex(0x8A5A34), Hex(0x6B4226));
  cairo_fill(cr);
  EllipsePath(cr, 35, 63, 23, 7);
  SetVerticalGradient(cr, 56, 70, Darker(pal::kEarth, 0.45), pal::kEarth);
  cairo_fill(cr);
  return FlattenOpaque(canvas, "wall1.bmp", 0x000000);
}

// The cursor is drawn at cursor - (25, 15), so its hit box is (10..40, 15..45) of the
// frame. The head is placed, not the hand: at rest it hovers over the middle of the box,
// tilted back a little; a swing brings it straight down onto the same spot (the hit
// counts at the click, so the blow falls at once) and lets it bounce back up to rest,
// while the hand only turns the wrist. What the player aims with is where it lands.
constexpr double kMalletScale = 0.95;
constexpr double kStrikeAngle = -156 * M_PI / 180;

struct MalletPose {
  double raiseDeg;      // turned back from the strike
  double headX, headY;  // centre of the head
};

Picture HammerFrame(const std::string& name, MalletPose pose, double streakLength, bool impact) {
  Canvas canvas(64, 64);
  cairo_t* cr = canvas.cr();
  const double angle = kStrikeAngle + pose.raiseDeg * M_PI / 180;
  const double reach = kMalletReach * kMalletScale;
  const double handX = pose.headX - std::cos(angle) * reach;
  const double handY = pose.headY - std::sin(angle) * reach;
  if (streakLength > 0) {
    DrawSwingStreaks(cr, handX, handY, angle, kMalletScale, streakLength);
  }
  DrawMallet(cr, handX, handY, angle, kMalletScale);
  if (impact) {
    // The struck face is the head's -y side in the mallet's own frame.
    const double half = kMalletHalfLength * kMalletScale;
    DrawImpactRays(cr, pose.headX + std::sin(angle) * half, pose.headY - std::cos(angle) * half,
                   0.9, 10.5);
  }
  return FlattenKeyed(canvas, name, kKeyWhite);
}

Picture BurstFrame(int frame) {
  Canvas canvas(60, 60);
  DrawBurst(canvas.cr(), 30, 30, frame, 1.0);
  return FlattenKeyed(canvas, "baku" + std::to_string(frame + 1) + ".bmp", kKeyBlack);
}

Picture TokenPicture(TokenKind kind, const std::string& name) {
  Canvas canvas(60, 52);
  const bool clock = kind == kTokenMinus || kind == kTokenPlus;
  DrawToken(canvas.cr(), kind, 30, clock ? 26 : 25, 1.0);
  return FlattenKeyed(canvas, name, kKeyBlack);
}

}  // namespace

std::vector<Picture> MakeBoardPictures() {
  return {Wall(),
          BoardTile(),
          HammerFrame("Hammer1.bmp", {12, 24, 24}, 0, false),
          HammerFrame("Hammer5.bmp", {6, 24, 28}, 9, false),
          HammerFrame("Hammer9.bmp", {2, 24, 31}, 7, false),
          HammerFrame("Hammer13.bmp", {0, 24, 33}, 0, true),
          HammerFrame("Hammer17.bmp", {6, 24, 29}, 0, false),
          HammerFrame("Hammer21.bmp", {10, 24, 26}, 0, false),
          BurstFrame(0),
          BurstFrame(1),
          BurstFrame(2),
          BurstFrame(3),
          TokenPicture(kToken1, "1Point.bmp"),
          TokenPicture(kToken2, "2Point.bmp"),
          TokenPicture(kToken5, "5Point.bmp"),
          TokenPicture(kToken10, "10Point.bmp"),
          TokenPicture(kTokenMinus, "minus_timer.bmp"),
          TokenPicture(kTokenPlus, "plus_timer.bmp")};
}

}  // namespace assetgen
