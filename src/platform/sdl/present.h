// How a finished frame reaches the SDL window: the window surface (shared memory with
// the X server under X11), filled by our own nearest-neighbour scaling of the areas that
// changed since the last frame sent. SDL's renderer would upload and rasterise the whole
// frame each pass, on a machine without a GPU in software on extra threads.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/changed_rows.h"

namespace platform {

// Where a frameW x frameH frame lands in an outW x outH window, by the page's rule
// (web_page.js, fit): the largest whole scale unless that loses 15 % or more of the
// area the largest fitting scale covers, then that fractional scale; centred. Window
// column d shows frame column Source(d), and so for rows.
struct Placement {
  int left = 0;
  int top = 0;
  int width = 0;  // the picture, in window pixels
  int height = 0;
  int frameW = 0;
  int frameH = 0;
  // Floor division: points left of and above the picture read negative.
  int SourceX(int d) const;
  int SourceY(int d) const;
};
Placement PlaceFrame(int outW, int outH, int frameW, int frameH);

// Writes the `area` of src (frame pixels, srcPitch bytes a row) into dst (dstPitch
// bytes a row) where p puts it; each window row is built once and copied while the
// next one shows the same frame row.
void UpscaleInto(const std::uint32_t* src, int srcPitch, const FrameArea& area,
                 std::uint32_t* dst, int dstPitch, const Placement& p);

// The window surface: SDL hands us the window's pixels (an XShm image under X11); we
// scale into it what changed and push only that to the server. What changed is found
// by comparing the new frame with a copy of the last one, kept here: the wall and the
// board stay the same from one pass to the next, so little is scaled and sent, and
// nothing at all for a frame like the last. The black bars are drawn once each time
// the surface is made anew (new size, fullscreen).
class Presenter {
 public:
  Presenter() = default;
  ~Presenter() { SDL_FreeSurface(shadow_); }
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // False, with the reason, when the video driver has no window surface. Must run
  // before anything else draws in the window.
  bool Open(SDL_Window* window, std::string& error);
  // Shows a width x height frame of 0x00RRGGBB pixels between black bars.
  void Present(const std::uint32_t* pixels, int width, int height);
  // The window was resized or uncovered: the next Present redraws all of it. SDL may
  // hand out a new surface of the old size at the old address (fullscreen on and off),
  // so nothing of the old one is trusted.
  void Invalidate() { surface_ = nullptr; }
  // A point in window coordinates (as SDL reports the pointer) in frame pixels.
  void WindowToFrame(int wx, int wy, int& x, int& y) const;

 private:
  void Refit(SDL_Surface* surface, int width, int height);

  SDL_Window* window_ = nullptr;
  SDL_Surface* surface_ = nullptr;
  int surfaceW_ = 0;
  int surfaceH_ = 0;
  // Where the window's pixels are not 0x00RRGGBB (16-bit, 30-bit displays): the frame
  // is scaled into this one, and SDL converts what changed into the window's.
  SDL_Surface* shadow_ = nullptr;
  Placement place_;
  bool redrawAll_ = true;           // the surface does not hold the last frame (new, lock failed)
  std::vector<std::uint32_t> last_;  // the frame the surface shows, as it was presented
  std::vector<FrameArea> areas_;    // where this frame differs from it, in frame pixels
  std::vector<SDL_Rect> rects_;     // the same on the surface, for the server
};

}  // namespace platform
