// The per-frame costs of the graphics layer, each beside a plain memcpy of the same
// number of bytes in the same run, so the ratio holds from one machine to the next.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "gfx/dc_bmp.h"
#include "gfx/mask_bmp.h"
#include "platform/backend.h"
#include "platform/gdi.h"
#include "platform/platform.h"
#include "services/geometry.h"

namespace {

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;

// A 24-bit BMP of w x h: a diagonal pattern with every seventh pixel in the white key,
// so the masked draws have both transparent and opaque pixels to deal with.
std::string WritePicture(const std::string& dir, const char* name, int w, int h) {
  std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const bool key = (x + y) % 7 == 0;
      const std::uint32_t r = 0x40;
      const std::uint32_t g = static_cast<std::uint32_t>(y * 5) & 0xFF;
      const std::uint32_t b = static_cast<std::uint32_t>(x * 3) & 0xFF;
      pixels[static_cast<size_t>(y) * w + x] = key ? 0xFFFFFF : (r << 16) | (g << 8) | b;
    }
  }
  const std::string path = dir + "/" + name;
  platform::WriteBmp24(path, pixels.data(), w, h);
  return path;
}

struct Scene {
  std::string dir;
  CMemDCBMP backBuffer;
  CMemDCBMP window;  // stands for the window's surface, the present's destination
  CDrawMaskBMP sprite64;
  CDrawMaskBMP sprite640;
  CWallBMP wall;

  Scene() {
    char pattern[] = "/tmp/tonkalo-bench-XXXXXX";
    const char* made = mkdtemp(pattern);
    dir = made ? made : "/tmp";
    backBuffer.Create(0, kScreenW, kScreenH);
    window.Create(0, kScreenW, kScreenH);
    sprite64.Load(WritePicture(dir, "sprite64.bmp", 64, 64).c_str(), gdi::RGB(255, 255, 255));
    sprite640.Load(WritePicture(dir, "sprite640.bmp", kScreenW, kScreenH).c_str(),
                   gdi::RGB(255, 255, 255));
    wall.Load(WritePicture(dir, "wall.bmp", 640, 531).c_str());
  }
  ~Scene() {
    for (const char* name : {"sprite64.bmp", "sprite640.bmp", "wall.bmp"})
      std::remove((dir + "/" + name).c_str());
    rmdir(dir.c_str());
  }
};

Scene* scene = nullptr;

void Memcpy(benchmark::State& state, std::size_t bytes) {
  std::vector<char> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
}

constexpr std::size_t kBytes64 = 64 * 64 * 4;
constexpr std::size_t kBytesScreen = kScreenW * kScreenH * 4;

void BM_MaskedDraw64(benchmark::State& state) {
  const gdi::HDC dc = scene->backBuffer.GetMemDC();
  for (auto _ : state) scene->sprite64.Draw(dc, 100, 100);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytes64));
}
void BM_Memcpy64(benchmark::State& state) { Memcpy(state, kBytes64); }

void BM_WallTile640x480(benchmark::State& state) {
  const gdi::HDC dc = scene->backBuffer.GetMemDC();
  for (auto _ : state) scene->wall.Tile(dc, CRect(0, 0, kScreenW, kScreenH));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytesScreen));
}

void BM_MaskedDraw640x480(benchmark::State& state) {
  const gdi::HDC dc = scene->backBuffer.GetMemDC();
  for (auto _ : state) scene->sprite640.Draw(dc, 0, 0);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytesScreen));
}

void BM_Present640x480(benchmark::State& state) {
  const gdi::HDC window = scene->window.GetMemDC();
  const gdi::HDC back = scene->backBuffer.GetMemDC();
  int w = 0, h = 0;
  const std::uint32_t* pixels = gdi::ColourBits(scene->window.GetBitmap(), &w, &h);
  if (pixels == nullptr) {
    state.SkipWithError("the window surface has no pixels");
    return;
  }
  for (auto _ : state) {
    gdi::BitBlt(window, 0, 0, kScreenW, kScreenH, back, 0, 0, gdi::SRCCOPY);
    platform::Present(pixels, w, h);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBytesScreen));
}

void BM_Memcpy640x480(benchmark::State& state) { Memcpy(state, kBytesScreen); }

BENCHMARK(BM_MaskedDraw64);
BENCHMARK(BM_Memcpy64);
BENCHMARK(BM_WallTile640x480);
BENCHMARK(BM_MaskedDraw640x480);
BENCHMARK(BM_Present640x480);
BENCHMARK(BM_Memcpy640x480);

}  // namespace

int main(int argc, char** argv) {
  platform::Options options;
  options.headless = true;
  std::string error;
  if (!platform::Init(options, error)) {
    std::fprintf(stderr, "tonkalo-bench: %s\n", error.c_str());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  int status = 0;
  {
    Scene s;
    scene = &s;
    if (!s.sprite64.IsLoaded() || !s.sprite640.IsLoaded() || s.wall.GetWidth() == 0) {
      std::fprintf(stderr, "tonkalo-bench: the test pictures did not load\n");
      status = 1;
    } else {
      benchmark::RunSpecifiedBenchmarks();
    }
    scene = nullptr;
  }
  benchmark::Shutdown();
  platform::Shutdown();
  return status;
}
