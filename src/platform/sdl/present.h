// How a finished frame reaches the SDL window. Two ways: SDL's accelerated renderer
// (a texture drawn by the GPU), or the window surface (shared memory with the X server)
// filled by our own whole-number upscale. Which one is chosen by what the machine can
// do: OpenGL on a software rasteriser costs several times the game itself.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/platform.h"

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
// Appends to `out` where `frame` differs from `last` (both width x height, 4 bytes a
// pixel, rows one after the other), in frame pixels: runs of changed rows, with at most
// kMergeGap unchanged rows inside one, each narrowed to the columns that changed.
constexpr int kMergeGap = 8;
void ChangedAreas(const std::uint32_t* frame, const std::uint32_t* last, int width, int height,
                  std::vector<SDL_Rect>& out);
// Writes the `area` of src (srcPitch bytes a row; in frame pixels) into dst (dstW x
// dstH, dstPitch bytes a row) as the frame lands there by p: scaled by p.scale, the
// frame's top-left at (p.left, p.top); parts outside dst are clipped. Each source row
// is widened once and copied scale - 1 times.
void UpscaleInto(const std::uint32_t* src, int srcPitch, const SDL_Rect& area,
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
  // One line for --verbose: the path and why it was chosen.
  const std::string& Description() const { return description_; }

 protected:
  std::string description_;
};

// Picks and opens the present path for `window`; null with a reason when neither
// works. Must run before anything else draws in the window.
std::unique_ptr<Presenter> MakePresenter(SDL_Window* window, PresentMode mode,
                                         std::string& error);

}  // namespace platform
