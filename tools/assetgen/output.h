// Writing the generated files: folders, BMP pictures, raw bytes, and the review sheets.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "art.h"

namespace assetgen {

// Creates the folder and its parents; false (with a message) on failure.
bool MakeFolder(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// 24-bit bottom-up BMP with a BITMAPINFOHEADER, rows padded to four bytes.
std::vector<std::uint8_t> EncodeBmp(const Image& image);

// 32-bit bottom-up BMP with a BITMAPV4HEADER whose bit fields include alpha, from
// non-premultiplied 0xAARRGGBB pixels, top row first: the kind SDL_LoadBMP keeps alpha of.
std::vector<std::uint8_t> EncodeBmpWithAlpha(int width, int height,
                                             const std::vector<std::uint32_t>& argb);

// Writes a cairo surface as a PNG file; false (with a message) on failure.
bool SavePng(cairo_surface_t* surface, const std::string& path);

// Every picture at twice its size on a checkerboard (key pixels show the checkerboard),
// each with its file name, as one PNG.
bool WriteContactSheet(const std::string& path, const std::vector<Picture>& pictures);

// Mock screens composed from the pictures at their places in the game, for judging the
// whole: the title, a moment of play and the results panel.
bool WritePreviews(const std::string& folder, const std::vector<Picture>& pictures);

}  // namespace assetgen
