// The window's present: the window surface (shared memory with the X server under X11)
// filled by our own whole-number upscale of what changed since the last frame sent.
// SDL's renderer would upload and rasterise the whole frame each pass, on a machine
// without a GPU in software on extra threads; the surface costs a fraction of that
// everywhere.
#include "platform/sdl/present.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace platform {

Placement PlaceFrame(int outputW, int outputH, int frameW, int frameH) {
  Placement p;
  p.scale = std::max(1, std::min(outputW / frameW, outputH / frameH));
  p.left = (outputW - frameW * p.scale) / 2;
  p.top = (outputH - frameH * p.scale) / 2;
  return p;
}

namespace {

// Each of n pixels written s times over; the usual scales get loops the compiler can
// unroll and vectorise.
template <int S>
void WidenBy(const std::uint32_t* row, int n, std::uint32_t* out) {
  for (int x = 0; x < n; ++x) {
    for (int k = 0; k < S; ++k) out[x * S + k] = row[x];
  }
}

void Widen(const std::uint32_t* row, int n, int s, std::uint32_t* out) {
  switch (s) {
    case 2: return WidenBy<2>(row, n, out);
    case 3: return WidenBy<3>(row, n, out);
    case 4: return WidenBy<4>(row, n, out);
    default:
      for (int x = 0; x < n; ++x) std::fill_n(out + static_cast<size_t>(x) * s, s, row[x]);
  }
}

}  // namespace

void UpscaleInto(const std::uint32_t* src, int srcPitch, const FrameArea& area,
                 std::uint32_t* dst, int dstW, int dstH, int dstPitch, const Placement& p,
                 std::vector<std::uint32_t>& rowScratch) {
  const int s = p.scale;
  if (s < 1 || area.w <= 0 || area.h <= 0) return;
  // The area's place in the destination, then the part of it that is visible.
  const int left = p.left + area.x * s;
  const int top = p.top + area.y * s;
  const int x0 = std::max(0, left);
  const int x1 = std::min(dstW, left + area.w * s);
  const int y0 = std::max(0, top);
  const int y1 = std::min(dstH, top + area.h * s);
  if (x0 >= x1 || y0 >= y1) return;
  const size_t visible = static_cast<size_t>(x1 - x0);
  const auto* srcBytes = reinterpret_cast<const std::uint8_t*>(src);
  auto* dstBytes = reinterpret_cast<std::uint8_t*>(dst);
  const size_t wide = static_cast<size_t>(area.w) * s;
  if (rowScratch.size() < wide) rowScratch.resize(wide);

  int y = y0;
  while (y < y1) {
    const int sy = (y - top) / s;
    const int rows = std::min(y1, top + (sy + 1) * s) - y;  // this source row's share
    const std::uint32_t* srcRow =
        reinterpret_cast<const std::uint32_t*>(srcBytes + static_cast<size_t>(area.y + sy) * srcPitch) +
        area.x;
    const auto dstRow = [&](int at) {
      return reinterpret_cast<std::uint32_t*>(dstBytes + static_cast<size_t>(at) * dstPitch) + x0;
    };
    // Widened once, straight into the first of its window rows unless clipped sideways;
    // the rest of its share copies that row.
    std::uint32_t* const first = dstRow(y);
    if (s > 1 && visible == wide) {
      Widen(srcRow, area.w, s, first);
    } else {
      const std::uint32_t* widened = srcRow;
      if (s > 1) {
        Widen(srcRow, area.w, s, rowScratch.data());
        widened = rowScratch.data();
      }
      std::memcpy(first, widened + (x0 - left), visible * sizeof(std::uint32_t));
    }
    for (int k = 1; k < rows; ++k) std::memcpy(dstRow(y + k), first, visible * sizeof(std::uint32_t));
    y += rows;
  }
}

namespace {

// The window surface: SDL hands us the window's pixels (an XShm image under X11); we
// upscale into it what changed and push only that to the server. What changed is found
// by comparing the new frame with a copy of the last one, kept here: the wall and the
// board stay the same from one pass to the next, so little is scaled and sent, and
// nothing at all for a frame like the last. The black bars are drawn once each time
// the surface is made anew (new size, fullscreen).
class SurfacePresenter : public Presenter {
 public:
  explicit SurfacePresenter(SDL_Window* window) : window_(window) {}

  // False when the video driver has no window surface of its own.
  bool Open() {
    // Without this SDL would back the surface with a GL texture again.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    return SDL_GetWindowSurface(window_) != nullptr;
  }

  void Present(const std::uint32_t* pixels, int width, int height) override {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface) return;
    if (surface != surface_ || surface->w != surfaceW_ || surface->h != surfaceH_ ||
        width != frameW_ || height != frameH_) {
      Refit(surface, width, height);
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) {
      redrawAll_ = true;  // nothing was drawn: all of it next time
      return;
    }
    const Placement& p = place_;
    areas_.clear();
    if (redrawAll_) {
      areas_.push_back(FrameArea{0, 0, width, height});
    } else {
      ChangedAreas(pixels, last_.data(), width, height, areas_);
    }
    rects_.clear();
    const SDL_Rect all{0, 0, surface->w, surface->h};
    for (const FrameArea& area : areas_) {
      SDL_Rect onScreen{p.left + area.x * p.scale, p.top + area.y * p.scale, area.w * p.scale,
                        area.h * p.scale};
      if (surface->format->format == SDL_PIXELFORMAT_RGB888) {
        UpscaleInto(pixels, width * 4, area, static_cast<std::uint32_t*>(surface->pixels),
                    surface->w, surface->h, surface->pitch, p, rowScratch_);
      } else {
        BlitConverted(pixels, width, height, area, surface, onScreen);
      }
      Keep(pixels, width, area);
      SDL_Rect visible;
      if (SDL_IntersectRect(&onScreen, &all, &visible)) rects_.push_back(visible);
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (redrawAll_) {
      SDL_UpdateWindowSurface(window_);  // the bars too
    } else if (!rects_.empty()) {
      SDL_UpdateWindowSurfaceRects(window_, rects_.data(), static_cast<int>(rects_.size()));
    }
    redrawAll_ = false;
  }

  // SDL may hand out a new surface of the old size at the old address (fullscreen on
  // and off), so nothing of the old one is trusted.
  void Invalidate() override { surface_ = nullptr; }

  void WindowToFrame(int wx, int wy, int& x, int& y) override {
    // Window coordinates are in points; on a HiDPI display the surface has more pixels.
    int pointsW = 0;
    int pointsH = 0;
    SDL_GetWindowSize(window_, &pointsW, &pointsH);
    const double rx = pointsW > 0 && surfaceW_ > 0 ? static_cast<double>(surfaceW_) / pointsW : 1.0;
    const double ry = pointsH > 0 && surfaceH_ > 0 ? static_cast<double>(surfaceH_) / pointsH : 1.0;
    const double px = (wx + 0.5) * rx;
    const double py = (wy + 0.5) * ry;
    x = static_cast<int>(std::floor((px - place_.left) / place_.scale));
    y = static_cast<int>(std::floor((py - place_.top) / place_.scale));
  }

  void EventToFrame(int ex, int ey, int& x, int& y) override { WindowToFrame(ex, ey, x, y); }

 private:
  // Displays whose pixels are not 0x00RRGGBB (16-bit, 32-bit with alpha): SDL converts
  // and scales. Rare, so its generic blitter is good enough.
  void BlitConverted(const std::uint32_t* pixels, int width, int height, const FrameArea& area,
                     SDL_Surface* surface, SDL_Rect onScreen) {
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<std::uint32_t*>(pixels), width, height, 32, width * 4, SDL_PIXELFORMAT_RGB888);
    if (!frame) return;
    SDL_Rect from{area.x, area.y, area.w, area.h};
    SDL_BlitScaled(frame, &from, surface, &onScreen);
    SDL_FreeSurface(frame);
  }

  // A new surface, or a frame of another size: black bars, the frame placed anew, and
  // all of it drawn next.
  void Refit(SDL_Surface* surface, int width, int height) {
    surface_ = surface;
    surfaceW_ = surface->w;
    surfaceH_ = surface->h;
    frameW_ = width;
    frameH_ = height;
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    place_ = PlaceFrame(surface->w, surface->h, width, height);
    last_.assign(static_cast<size_t>(width) * height, 0);
    redrawAll_ = true;
  }

  // The kept copy of the last frame takes in one area of the new one.
  void Keep(const std::uint32_t* pixels, int width, const FrameArea& area) {
    for (int y = area.y; y < area.y + area.h; ++y) {
      const size_t at = static_cast<size_t>(y) * width + area.x;
      std::memcpy(last_.data() + at, pixels + at, static_cast<size_t>(area.w) * sizeof(std::uint32_t));
    }
  }

  SDL_Window* window_;
  SDL_Surface* surface_ = nullptr;
  int surfaceW_ = 0;
  int surfaceH_ = 0;
  int frameW_ = 0;
  int frameH_ = 0;
  Placement place_;
  bool redrawAll_ = true;           // the surface does not hold the last frame (new, lock failed)
  std::vector<std::uint32_t> last_;  // the frame the surface shows, as it was presented
  std::vector<FrameArea> areas_;    // where this frame differs from it, in frame pixels
  std::vector<SDL_Rect> rects_;     // the same on the surface, for the server
  std::vector<std::uint32_t> rowScratch_;
};

}  // namespace

std::unique_ptr<Presenter> MakePresenter(SDL_Window* window, std::string& error) {
  auto surface = std::make_unique<SurfacePresenter>(window);
  if (surface->Open()) return surface;
  error = std::string("cannot draw in the window (") + SDL_GetError() + ")";
  return nullptr;
}

}  // namespace platform
