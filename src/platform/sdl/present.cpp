// The two present paths and the choice between them. Under an X server without a GPU
// (Xvfb, a remote display, a virtual machine) SDL's accelerated renderer resolves to
// OpenGL on Mesa's software rasteriser: every frame is uploaded and rasterised again in
// software on extra threads, and merely creating it maps libLLVM (about 55 MB). There
// the window surface (XShm) with our own row-replicating upscale costs a fraction of
// it. So the choice is made without creating a GL context wherever the server already
// tells us that GL could only be software.
#include "platform/sdl/present.h"

#include <SDL_syswm.h>
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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

// The columns [first, end) where one frame row differs from the same row of the last
// frame; first == end when none does.
struct Columns {
  int first = 0;
  int end = 0;
};

Columns ChangedColumns(const std::uint32_t* now, const std::uint32_t* was, int width) {
  if (std::memcmp(now, was, static_cast<size_t>(width) * sizeof(std::uint32_t)) == 0) return {};
  // Whole 16-pixel blocks first, then pixel by pixel.
  constexpr int kBlock = 16;
  constexpr size_t kBlockBytes = kBlock * sizeof(std::uint32_t);
  int first = 0;
  while (first + kBlock <= width && std::memcmp(now + first, was + first, kBlockBytes) == 0) {
    first += kBlock;
  }
  while (now[first] == was[first]) ++first;
  int end = width;
  while (end - kBlock >= first && std::memcmp(now + end - kBlock, was + end - kBlock, kBlockBytes) == 0) {
    end -= kBlock;
  }
  while (now[end - 1] == was[end - 1]) --end;
  return {first, end};
}

}  // namespace

void ChangedAreas(const std::uint32_t* frame, const std::uint32_t* last, int width, int height,
                  std::vector<SDL_Rect>& out) {
  const auto columns = [&](int y) {
    const size_t at = static_cast<size_t>(y) * width;
    return ChangedColumns(frame + at, last + at, width);
  };
  int y = 0;
  while (y < height) {
    Columns c = columns(y);
    if (c.first == c.end) {
      ++y;
      continue;
    }
    SDL_Rect area{c.first, y, 0, 0};
    int end = c.end;
    int lastChanged = y;
    for (++y; y < height && y - lastChanged - 1 <= kMergeGap; ++y) {
      c = columns(y);
      if (c.first == c.end) continue;
      area.x = std::min(area.x, c.first);
      end = std::max(end, c.end);
      lastChanged = y;
    }
    area.w = end - area.x;
    area.h = lastChanged + 1 - area.y;
    out.push_back(area);
  }
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

void UpscaleInto(const std::uint32_t* src, int srcPitch, const SDL_Rect& area,
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

// The game's frame, which the renderer's logical size letterboxes.
constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// SDL's accelerated renderer: the GPU scales a streamed texture, letterboxed by SDL.
class RendererPresenter : public Presenter {
 public:
  explicit RendererPresenter(SDL_Renderer* renderer) : renderer_(renderer) {
    SDL_RenderSetLogicalSize(renderer_, kFrameWidth, kFrameHeight);
    SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderPresent(renderer_);
  }
  ~RendererPresenter() override {
    if (texture_) SDL_DestroyTexture(texture_);
    SDL_DestroyRenderer(renderer_);
  }

  void Present(const std::uint32_t* pixels, int width, int height) override {
    if (!texture_ || width != textureW_ || height != textureH_) {
      if (texture_) SDL_DestroyTexture(texture_);
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888,
                                   SDL_TEXTUREACCESS_STREAMING, width, height);
      textureW_ = texture_ ? width : 0;
      textureH_ = texture_ ? height : 0;
      if (!texture_) return;
    }
    SDL_UpdateTexture(texture_, nullptr, pixels, width * 4);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

  void WindowToFrame(int wx, int wy, int& x, int& y) override {
    float lx = 0.0f;
    float ly = 0.0f;
    SDL_RenderWindowToLogical(renderer_, wx, wy, &lx, &ly);
    x = static_cast<int>(std::floor(lx));
    y = static_cast<int>(std::floor(ly));
  }

  // With a logical size set, SDL has already mapped mouse events into it.
  void EventToFrame(int ex, int ey, int& x, int& y) override {
    x = ex;
    y = ey;
  }

  // The GL_RENDERER string of an OpenGL renderer ("" for other renderers).
  std::string GlRendererName() const {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer_, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0 ||
        !SDL_GL_GetCurrentContext()) {
      return "";
    }
    using GetString = const unsigned char* (*)(unsigned);
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    constexpr unsigned kGlRenderer = 0x1F01;
    const unsigned char* name = getString ? getString(kGlRenderer) : nullptr;
    return name ? reinterpret_cast<const char*>(name) : "";
  }

  // Why this renderer draws in software after all; "" when it may be hardware.
  std::string SoftwareReason() const {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer_, &info) == 0 &&
        std::strcmp(info.name, "software") == 0) {
      return "SDL has only its software renderer here";
    }
    const std::string gl = GlRendererName();
    const std::string lower = Lower(gl);
    for (const char* soft : {"llvmpipe", "softpipe", "swrast", "software rasterizer"}) {
      if (lower.find(soft) != std::string::npos) return "OpenGL is " + gl + ", a software rasteriser";
    }
    return "";
  }

  void Describe(const std::string& why) {
    SDL_RendererInfo info;
    const char* name = SDL_GetRendererInfo(renderer_, &info) == 0 ? info.name : "?";
    const std::string gl = GlRendererName();
    description_ = std::string("SDL renderer ") + name + (gl.empty() ? "" : " on " + gl) +
                   " (" + why + ")";
  }

 private:
  SDL_Renderer* renderer_;
  SDL_Texture* texture_ = nullptr;
  int textureW_ = 0;
  int textureH_ = 0;
};

// The window surface: SDL hands us the window's pixels (an XShm image under X11); we
// upscale into it what changed and push only that to the server. What changed is found
// by comparing the new frame with a copy of the last one, kept here: the wall and the
// board stay the same from one pass to the next, so little is scaled and sent, and
// nothing at all for a frame like the last. The black bars are drawn once each time
// the surface is made anew (new size, fullscreen).
class SurfacePresenter : public Presenter {
 public:
  explicit SurfacePresenter(SDL_Window* window, const std::string& why) : window_(window) {
    description_ = "window surface, own whole-number upscale (" + why + ")";
  }

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
      areas_.push_back({0, 0, width, height});
    } else {
      ChangedAreas(pixels, last_.data(), width, height, areas_);
    }
    rects_.clear();
    const SDL_Rect all{0, 0, surface->w, surface->h};
    for (const SDL_Rect& area : areas_) {
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
  void BlitConverted(const std::uint32_t* pixels, int width, int height, const SDL_Rect& area,
                     SDL_Surface* surface, SDL_Rect onScreen) {
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<std::uint32_t*>(pixels), width, height, 32, width * 4, SDL_PIXELFORMAT_RGB888);
    if (!frame) return;
    SDL_Rect from = area;
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
  void Keep(const std::uint32_t* pixels, int width, const SDL_Rect& area) {
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
  std::vector<SDL_Rect> areas_;     // where this frame differs from it, in frame pixels
  std::vector<SDL_Rect> rects_;     // the same on the surface, for the server
  std::vector<std::uint32_t> rowScratch_;
};

// True when the machine shows a GPU device: a DRM node (Mesa's drivers) or NVIDIA's.
bool HasGpuDevice() {
  if (access("/dev/nvidiactl", F_OK) == 0) return true;
  DIR* dri = opendir("/dev/dri");
  if (!dri) return false;
  bool found = false;
  while (const dirent* entry = readdir(dri)) {
    if (std::strncmp(entry->d_name, "card", 4) == 0 || std::strncmp(entry->d_name, "renderD", 7) == 0) {
      found = true;
    }
  }
  closedir(dri);
  return found;
}

// Why OpenGL here can only be a software rasteriser, found without creating a context
// (which would map libLLVM for good); empty when it may be real hardware. Mesa reaches a
// GPU through a DRM device and the X server's DRI3 or DRI2 extension, NVIDIA's driver
// through its own device and NV-GLX; without them (Xvfb, Xvnc, a forwarded display, a
// sandbox without devices) only software is left.
std::string SoftwareOnlyReason(SDL_Window* window) {
  const char* forced = SDL_getenv("LIBGL_ALWAYS_SOFTWARE");
  if (forced && *forced && std::strcmp(forced, "0") != 0 && Lower(forced) != "false") {
    return "LIBGL_ALWAYS_SOFTWARE is set";
  }
  if (!HasGpuDevice()) return "no GPU device";
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return "";
  // SDL has loaded Xlib already; borrow its XQueryExtension rather than link it again.
  void* xlib = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
  if (!xlib) return "";
  using QueryExtension = int (*)(Display*, const char*, int*, int*, int*);
  const auto query = reinterpret_cast<QueryExtension>(dlsym(xlib, "XQueryExtension"));
  bool direct = !query;
  for (const char* name : {"DRI3", "DRI2", "NV-GLX"}) {
    int opcode = 0;
    int event = 0;
    int error = 0;
    if (query && query(info.info.x11.display, name, &opcode, &event, &error)) direct = true;
  }
  dlclose(xlib);
  return direct ? "" : "the X server offers no direct OpenGL";
}

std::unique_ptr<Presenter> OpenSurface(SDL_Window* window, const std::string& why) {
  auto surface = std::make_unique<SurfacePresenter>(window, why);
  if (!surface->Open()) return nullptr;
  return surface;
}

std::unique_ptr<RendererPresenter> OpenRenderer(SDL_Window* window) {
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  // No SDL_RENDERER_PRESENTVSYNC: the tick alone paces the loop.
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
  if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer) return nullptr;
  return std::make_unique<RendererPresenter>(renderer);
}

}  // namespace

std::unique_ptr<Presenter> MakePresenter(SDL_Window* window, PresentMode mode,
                                         std::string& error) {
  const std::string why = mode == PresentMode::Surface ? "chosen with --present surface"
                          : mode == PresentMode::Auto  ? SoftwareOnlyReason(window)
                                                       : "";
  if (!why.empty()) {
    if (auto surface = OpenSurface(window, why)) return surface;
  }
  if (auto renderer = OpenRenderer(window)) {
    const std::string software =
        mode == PresentMode::Auto && why.empty() ? renderer->SoftwareReason() : "";
    if (software.empty()) {
      renderer->Describe(mode == PresentMode::Gpu ? "chosen with --present gpu"
                         : why.empty()           ? "hardware"
                                                 : why + ", but the window has no surface");
      return renderer;
    }
    // Found only now, at the price of a GL context: tear it down and take the surface.
    renderer.reset();
    if (auto surface = OpenSurface(window, software)) return surface;
    if ((renderer = OpenRenderer(window))) {
      renderer->Describe(software + ", but the window has no surface");
      return renderer;
    }
  }
  if (why.empty()) {
    if (auto surface = OpenSurface(window, "no SDL renderer works here")) return surface;
  }
  error = std::string("cannot draw in the window (") + SDL_GetError() + ")";
  return nullptr;
}

}  // namespace platform
