#include "platform/sdl/present.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {

namespace {

// Window pixel d of an `out`-wide picture shows the frame pixel under its centre.
int Source(int d, int out, int frame) {
  const long long num = (2LL * d + 1) * frame;
  const long long den = 2LL * out;
  return static_cast<int>(num >= 0 ? num / den : -((-num + den - 1) / den));
}

// The first window pixel showing frame pixel i or one after it.
int Edge(int i, int out, int frame) {
  return static_cast<int>((2LL * i * out + frame - 1) / (2LL * frame));
}

}  // namespace

int Placement::SourceX(int d) const { return Source(d - left, width, frameW); }
int Placement::SourceY(int d) const { return Source(d - top, height, frameH); }

Placement PlaceFrame(int outW, int outH, int frameW, int frameH) {
  double k = std::max(0.0, std::min(static_cast<double>(outW) / frameW,
                                    static_cast<double>(outH) / frameH));
  const double whole = std::floor(k);
  if (whole >= 1 && whole * whole / (k * k) >= 0.85) k = whole;
  Placement p;
  p.width = std::max(1, static_cast<int>(std::lround(frameW * k)));
  p.height = std::max(1, static_cast<int>(std::lround(frameH * k)));
  p.left = (outW - p.width) / 2;
  p.top = (outH - p.height) / 2;
  p.frameW = frameW;
  p.frameH = frameH;
  return p;
}

void UpscaleInto(const std::uint32_t* src, int srcPitch, const FrameArea& area,
                 std::uint32_t* dst, int dstPitch, const Placement& p) {
  const int x0 = Edge(area.x, p.width, p.frameW);
  const int x1 = Edge(area.x + area.w, p.width, p.frameW);
  const int y1 = Edge(area.y + area.h, p.height, p.frameH);
  const auto* from = reinterpret_cast<const std::uint8_t*>(src);
  auto* to = reinterpret_cast<std::uint8_t*>(dst);
  const size_t bytes = static_cast<size_t>(x1 - x0) * sizeof(std::uint32_t);
  std::uint32_t* previous = nullptr;
  int previousY = -1;
  for (int y = Edge(area.y, p.height, p.frameH); y < y1; ++y) {
    const int sy = Source(y, p.height, p.frameH);
    auto* out = reinterpret_cast<std::uint32_t*>(to + static_cast<size_t>(p.top + y) * dstPitch) +
                p.left + x0;
    if (sy == previousY) {
      std::memcpy(out, previous, bytes);
      continue;
    }
    const auto* row = reinterpret_cast<const std::uint32_t*>(from + static_cast<size_t>(sy) * srcPitch);
    if (p.width == p.frameW) {
      std::memcpy(out, row + x0, bytes);
    } else {
      for (int x = x0; x < x1; ++x) out[x - x0] = row[Source(x, p.width, p.frameW)];
    }
    previous = out;
    previousY = sy;
  }
}

bool Presenter::Open(SDL_Window* window, std::string& error) {
  window_ = window;
  // Without this SDL would back the surface with a GL texture.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_GetWindowSurface(window_)) return true;
  error = std::string("cannot draw in the window (") + SDL_GetError() + ")";
  return false;
}

void Presenter::Present(const std::uint32_t* pixels, int width, int height) {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (!surface) return;
  if (surface != surface_ || surface->w != surfaceW_ || surface->h != surfaceH_ ||
      width != place_.frameW || height != place_.frameH) {
    Refit(surface, width, height);
  }
  SDL_Surface* target = shadow_ ? shadow_ : surface;
  if (SDL_MUSTLOCK(target) && SDL_LockSurface(target) != 0) {
    redrawAll_ = true;  // nothing was drawn: all of it next time
    return;
  }
  areas_.clear();
  if (redrawAll_) {
    areas_.push_back(FrameArea{0, 0, width, height});
  } else {
    ChangedAreas(pixels, last_.data(), width, height, areas_);
  }
  rects_.clear();
  for (const FrameArea& area : areas_) {
    UpscaleInto(pixels, width * 4, area, static_cast<std::uint32_t*>(target->pixels),
                target->pitch, place_);
    const int x0 = Edge(area.x, place_.width, width);
    const int y0 = Edge(area.y, place_.height, height);
    rects_.push_back(SDL_Rect{place_.left + x0, place_.top + y0,
                              Edge(area.x + area.w, place_.width, width) - x0,
                              Edge(area.y + area.h, place_.height, height) - y0});
    for (int y = area.y; y < area.y + area.h; ++y) {
      const size_t at = static_cast<size_t>(y) * width + area.x;
      std::memcpy(&last_[at], pixels + at, static_cast<size_t>(area.w) * sizeof(std::uint32_t));
    }
  }
  if (SDL_MUSTLOCK(target)) SDL_UnlockSurface(target);
  if (redrawAll_) rects_.assign(1, SDL_Rect{0, 0, surface->w, surface->h});  // the bars too
  redrawAll_ = false;
  if (rects_.empty()) return;
  if (shadow_) {
    for (const SDL_Rect& r : rects_) {
      SDL_Rect to = r;
      SDL_BlitSurface(shadow_, &r, surface, &to);
    }
  }
  SDL_UpdateWindowSurfaceRects(window_, rects_.data(), static_cast<int>(rects_.size()));
}

// Window coordinates are in points; on a HiDPI display the surface has more pixels.
void Presenter::WindowToFrame(int wx, int wy, int& x, int& y) const {
  int pointsW = 0;
  int pointsH = 0;
  SDL_GetWindowSize(window_, &pointsW, &pointsH);
  const int pixelsW = surface_ ? surfaceW_ : pointsW;
  const int pixelsH = surface_ ? surfaceH_ : pointsH;
  x = place_.SourceX(pointsW > 0 ? static_cast<int>(std::floor((wx + 0.5) * pixelsW / pointsW)) : wx);
  y = place_.SourceY(pointsH > 0 ? static_cast<int>(std::floor((wy + 0.5) * pixelsH / pointsH)) : wy);
}

// A new surface, or a frame of another size: black bars, the frame placed anew, and
// all of it drawn next.
void Presenter::Refit(SDL_Surface* surface, int width, int height) {
  surface_ = surface;
  surfaceW_ = surface->w;
  surfaceH_ = surface->h;
  const SDL_PixelFormat& f = *surface->format;
  const bool direct =
      f.BytesPerPixel == 4 && f.Rmask == 0xFF0000 && f.Gmask == 0xFF00 && f.Bmask == 0xFF;
  SDL_FreeSurface(shadow_);
  shadow_ = direct ? nullptr
                   : SDL_CreateRGBSurfaceWithFormat(0, surface->w, surface->h, 32,
                                                    SDL_PIXELFORMAT_RGB888);
  SDL_FillRect(shadow_ ? shadow_ : surface, nullptr, 0);
  place_ = PlaceFrame(surface->w, surface->h, width, height);
  last_.resize(static_cast<size_t>(width) * height);
  redrawAll_ = true;
}

}  // namespace platform
