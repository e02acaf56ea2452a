// Every picture file of the game, grouped by the screen element that shows it.
#pragma once

#include <vector>

#include "art.h"

namespace assetgen {

// wall, wall1, the six hammer frames, the four burst frames and the six tokens.
std::vector<Picture> MakeBoardPictures();
// The four counter boxes, both digit strips, stars, miss mark, gauge frame, fills,
// labels and MAX mark.
std::vector<Picture> MakeHudPictures();
// Title, high-score caption and digits, START, pop-up messages, countdown and results.
std::vector<Picture> MakeScreenPictures();

}  // namespace assetgen
