// The recurring motifs (tokens, mallet, burst, star, cloud) as cairo drawings, so that the
// board sprites and the title art show the very same objects.
#pragma once

#include <cairo.h>

#include "art.h"

namespace assetgen {

// Token kinds, in the order of the game's item kinds.
enum TokenKind { kToken1, kToken2, kToken5, kToken10, kTokenMinus, kTokenPlus };

// A token centred on (cx, cy) at the given scale; at scale 1 a coin is 46 px across.
void DrawToken(cairo_t* cr, TokenKind kind, double cx, double cy, double scale);

// The wooden mallet, its grip at (handX, handY), the head `reach` * scale away along
// `angle` (radians, screen coordinates: 0 = right, pi/2 = down).
void DrawMallet(cairo_t* cr, double handX, double handY, double angle, double scale);

// Speed streaks trailing the head of a mallet drawn with the same arguments, and impact
// rays around a struck point.
void DrawSwingStreaks(cairo_t* cr, double handX, double handY, double angle, double scale,
                      double length);
void DrawImpactRays(cairo_t* cr, double cx, double cy, double scale, double spread);

// Burst frame 0..3 (grows, then breaks up and fades) centred on (cx, cy).
void DrawBurst(cairo_t* cr, double cx, double cy, int frame, double scale);

// A five-pointed star with outline; `rotation` in radians.
void DrawStar(cairo_t* cr, double cx, double cy, double radius, Colour top, Colour bottom,
              double outline, double rotation);

// A small four-pointed twinkle.
void DrawTwinkle(cairo_t* cr, double cx, double cy, double radius, Colour colour);

// A puffy cloud whose base line is at y, centred on x.
void DrawCloud(cairo_t* cr, double cx, double cy, double scale);

// Mallet geometry shared by the cursor frames and the title art.
constexpr double kMalletReach = 31.0;       // grip to the centre of the head
constexpr double kMalletHalfLength = 14.5;  // head, from its centre to a face
constexpr double kMalletHalfWidth = 10.5;   // head, across

}  // namespace assetgen
