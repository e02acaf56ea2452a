// Pictures from BMP files, as the game's loaders ask for them by path.
#pragma once

#include "platform/raster/gdi.h"

// A colour bitmap of the BMP file at `path` (relative to the working directory); 0 when
// the file is missing, is no plain file, is too large to be a picture, or is malformed.
gdi::HBITMAP LoadImageFromFile(const char* path);
