// How a finished frame reaches the SDL window: the window surface, filled by our own
// whole-number upscale of the areas that changed since the last frame sent.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/changed_rows.h"

namespace platform {

// Where the frame lands in the window, in window pixels: whole-number scale, centred.
struct Placement {
  int scale = 1;
  int left = 0;
  int top = 0;
};
// The largest whole scale (at least 1) at which a frame of frameW x frameH fits into
// an outputW x outputH area, centred (negative offsets when it does not fit at 1).
Placement PlaceFrame(int outputW, int outputH, int frameW, int frameH);
// Writes the `area` of src (srcPitch bytes a row; in frame pixels) into dst (dstW x
// dstH, dstPitch bytes a row) as the frame lands there by p: scaled by p.scale, the
// frame's top-left at (p.left, p.top); parts outside dst are clipped. Each source row
// is widened once and copied scale - 1 times.
void UpscaleInto(const std::uint32_t* src, int srcPitch, const FrameArea& area,
                 std::uint32_t* dst, int dstW, int dstH, int dstPitch, const Placement& p,
                 std::vector<std::uint32_t>& rowScratch);

class Presenter {
 public:
  virtual ~Presenter() = default;
  // Shows a width x height frame of 0x00RRGGBB pixels scaled by a whole factor, centred
  // between black bars; called again after the window changed size.
  virtual void Present(const std::uint32_t* pixels, int width, int height) = 0;
  // A point in window coordinates (as SDL reports the pointer) in frame pixels.
  virtual void WindowToFrame(int wx, int wy, int& x, int& y) = 0;
  // A mouse event's position in frame pixels.
  virtual void EventToFrame(int ex, int ey, int& x, int& y) = 0;
  // The window was resized or uncovered: the next Present redraws all of it.
  virtual void Invalidate() {}
};

// Opens the present for `window`; null with a reason when the video driver has no
// window surface. Must run before anything else draws in the window.
std::unique_ptr<Presenter> MakePresenter(SDL_Window* window, std::string& error);

}  // namespace platform
