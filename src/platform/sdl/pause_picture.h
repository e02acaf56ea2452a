// What the window shows while the game is paused: the last frame dimmed, with a small
// panel saying how to go on. Drawn in frame pixels, so the window's whole-number
// upscale keeps its letters as sharp as the game's own picture at every scale.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

// The words on the panel.
extern const char kPausedText[];

// Dims width x height pixels (0x00RRGGBB) to half their brightness and draws the panel
// centred on them; clipped to the picture whatever its size.
void DrawPausedPicture(std::vector<std::uint32_t>& pixels, int width, int height);

}  // namespace platform
