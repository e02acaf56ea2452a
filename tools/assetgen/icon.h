// The game's icon: the mallet swung at a gold star coin on a sky-blue disc.
#pragma once

#include <string>

namespace assetgen {

// Writes into `folder`: tonkalo.bmp (64 x 64 with alpha, the window's icon, loaded by the
// game), tonkalo-48.png, tonkalo-128.png, tonkalo-256.png and tonkalo.svg (the desktop's
// icons, installed into the hicolor theme), and for the browser page tonkalo-32.png (its
// favicon), tonkalo-192.png, tonkalo-512.png and tonkalo-maskable-512.png (its web app
// manifest). False (with a message) on failure.
bool WriteIcons(const std::string& folder);

}  // namespace assetgen
