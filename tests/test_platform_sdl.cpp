// The window backend on a private virtual X server: the pointer in back-buffer pixels
// at any scale, clicks and double clicks as messages, the effect channel heard through
// SDL's disk audio driver, and the music-finished notice (only for a track that ends).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/sdl/present.h"
#include "support/test_support.h"

namespace {

// The window surface's upscale against the obvious per-pixel nearest-neighbour walk:
// whole scales, centred with bars, and frames that overhang the output on any side.
TEST(WindowSurface, UpscaleMatchesNearestNeighbourAndClips) {
  struct Case { int outW, outH, scale, left, top; };
  const int w = 7, h = 5;
  std::vector<std::uint32_t> src(w * h);
  for (int i = 0; i < w * h; ++i) src[i] = 0x010203u * static_cast<std::uint32_t>(i + 1);
  const Case cases[] = {{7, 5, 1, 0, 0},   {23, 17, 3, 1, 1},  {20, 16, 2, 3, 3},
                        {10, 6, 3, -4, -2}, {9, 9, 4, 5, 7},    {30, 4, 1, 29, 0},
                        {6, 6, 2, -20, 0}};
  for (const Case& c : cases) {
    const std::uint32_t fill = 0xDEADBE;
    std::vector<std::uint32_t> out(c.outW * c.outH, fill), scratch;
    const platform::Placement p{c.scale, c.left, c.top};
    platform::UpscaleInto(src.data(), w, h, w * 4, out.data(), c.outW, c.outH, c.outW * 4, p,
                          scratch);
    for (int y = 0; y < c.outH; ++y) {
      for (int x = 0; x < c.outW; ++x) {
        const int sx = x - c.left, sy = y - c.top;
        const bool inside = sx >= 0 && sy >= 0 && sx < w * c.scale && sy < h * c.scale;
        const std::uint32_t want = inside ? src[sy / c.scale * w + sx / c.scale] : fill;
        ASSERT_EQ(out[y * c.outW + x], want) << x << "," << y << " in case " << c.outW << "x"
                                             << c.outH << " scale " << c.scale;
      }
    }
  }
}

TEST(WindowSurface, PlacementIsTheLargestWholeScaleCentred) {
  struct Case { int outW, outH, scale, left, top; };
  for (const Case& c : {Case{640, 480, 1, 0, 0}, Case{1280, 960, 2, 0, 0},
                        Case{1920, 1080, 2, 320, 60}, Case{1300, 1000, 2, 10, 20},
                        Case{2000, 1000, 2, 360, 20}, Case{600, 400, 1, -20, -40}}) {
    const platform::Placement p = platform::PlaceFrame(c.outW, c.outH, 640, 480);
    EXPECT_EQ(std::make_tuple(p.scale, p.left, p.top), std::make_tuple(c.scale, c.left, c.top))
        << c.outW << "x" << c.outH;
  }
}

// A 16-bit mono 22050 Hz PCM WAV of a sine tone.
std::string ToneWav(double seconds, double hz) {
  const std::uint32_t samples = static_cast<std::uint32_t>(seconds * 22050);
  std::string w;
  const auto put = [&w](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) w.push_back(static_cast<char>(v >> (8 * i)));
  };
  // RIFF size, "fmt " size 16, PCM and mono, rate, bytes a second, block 2 and 16 bits.
  for (std::uint32_t v : {0x46464952u, 36 + samples * 2, 0x45564157u, 0x20746D66u, 16u,
                          0x00010001u, 22050u, 44100u, 0x00100002u, 0x61746164u, samples * 2})
    put(v, 4);
  const double step = 2 * M_PI * hz / 22050;
  for (std::uint32_t i = 0; i < samples; ++i) put(std::lround(12000 * std::sin(step * i)), 2);
  return w;
}

// Messages as (message, lParam).
using Sent = std::vector<std::pair<unsigned, long>>;

class SdlBackend : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testsupport::MakeTempDir("sdl-backend");
    // The shell's pid is the server's once it execs; the server prints its display number.
    // No reset between the windows one test opens and closes.
    xvfb_ = popen("echo $$; exec Xvfb -displayfd 1 -screen 0 2000x1600x24 -nolisten tcp "
                  "-noreset 2>/dev/null", "r");
    int display = -1;
    ASSERT_TRUE(xvfb_ && std::fscanf(xvfb_, "%d %d", &pid_, &display) == 2) << "no Xvfb";
    setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    unsetenv("SDL_VIDEODRIVER");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir_ + "/audio.raw").c_str(), 1);
  }
  void TearDown() override {
    platform::Shutdown();
    if (pid_ > 0) kill(pid_, SIGTERM);
    if (xvfb_) pclose(xvfb_);
  }

  void OpenWindow(int scale, platform::PresentMode present = platform::PresentMode::Auto) {
    platform::Options options;
    options.scale = scale;
    options.present = present;
    std::string error;
    ASSERT_TRUE(platform::Init(options, error)) << error;
    platform::Present(std::vector<std::uint32_t>(640 * 480, 0x336699).data(), 640, 480);
    Messages(200);
    Xdotool("search --name '^Tonkalo$' getwindowgeometry --shell >" + dir_ + "/window");
    const std::string geometry = testsupport::ReadFile(dir_ + "/window");
    ASSERT_EQ(std::sscanf(geometry.c_str() + geometry.find("X="), "X=%d Y=%d", &left_, &top_), 2)
        << geometry;
  }
  // Moves the pointer over back-buffer pixel (x, y) at the given scale; where the
  // platform then puts it.
  std::pair<int, int> PointAt(int x, int y, int scale) {
    Xdotool("mousemove " + std::to_string(left_ + x * scale + scale / 2) + " " +
            std::to_string(top_ + y * scale + scale / 2));
    Messages(200);
    platform::GetCursorPos(x, y);
    return {x, y};
  }
  static void Xdotool(const std::string& command) {
    ASSERT_EQ(std::system(("xdotool " + command).c_str()), 0) << command;
  }
  // What the platform delivers over the next ms milliseconds.
  static Sent Messages(int ms) {
    Sent out;
    for (int waited = 0; waited < ms; waited += 20) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      for (platform::Message m; platform::PeekMessage(m);) out.emplace_back(m.message, m.lParam);
    }
    return out;
  }

  std::string dir_;
  std::FILE* xvfb_ = nullptr;
  int pid_ = -1, left_ = 0, top_ = 0;
};

TEST_F(SdlBackend, PointerIsInBackBufferPixelsAtAnyScaleAndClicksBecomeMessages) {
  const long corner = 639 | 479 << 16;
  using platform::PresentMode;
  for (const auto& [present, scale] : {std::pair(PresentMode::Surface, 1),
                                      std::pair(PresentMode::Surface, 3),
                                      std::pair(PresentMode::Gpu, 2)}) {
    SCOPED_TRACE(present == PresentMode::Gpu ? "gpu" : "surface");
    OpenWindow(scale, present);
    EXPECT_EQ(PointAt(100, 50, scale), std::pair(100, 50)) << "scale " << scale;
    const auto [x, y] = PointAt(-10, -5, scale);  // beyond the left and top edges: outside
    EXPECT_TRUE(x < 0 && y < 4) << x << "," << y << " at scale " << scale;

    PointAt(639, 479, scale);
    Xdotool("mousedown 1");
    EXPECT_EQ(Messages(200), (Sent{{platform::WM_LBUTTONDOWN, corner}})) << scale;
    EXPECT_TRUE(platform::LeftButtonDown());
    Xdotool("mouseup 1");
    EXPECT_TRUE(Messages(200).empty());
    EXPECT_FALSE(platform::LeftButtonDown());
    // The second click of a double click is its own message.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // past double-click time
    Xdotool("click --repeat 2 --delay 80 1");
    EXPECT_EQ(Messages(200),
              (Sent{{platform::WM_LBUTTONDOWN, corner}, {platform::WM_LBUTTONDBLCLK, corner}}));
    platform::Shutdown();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
  }
}

TEST_F(SdlBackend, EffectsAreHeardOnTheDiskDriver) {
  OpenWindow(1);
  const std::string wav = ToneWav(0.3, 440.0), broken("RIFF\x10\0\0\0WAVEjunk", 16);
  const auto* image = reinterpret_cast<const std::uint8_t*>(wav.data());
  platform::PlayWave(1, reinterpret_cast<const std::uint8_t*>(broken.data()), broken.size());
  platform::PlayWave(0, image, wav.size());
  platform::PlayWave(0, image, wav.size());  // cut off and started again
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  platform::Shutdown();
  const std::string raw = testsupport::ReadFile(dir_ + "/audio.raw");
  ASSERT_GT(raw.size(), 4000u);
  std::vector<std::int16_t> samples(raw.size() / 2);  // the device's native 16-bit format
  std::memcpy(samples.data(), raw.data(), samples.size() * 2);
  const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
  EXPECT_GT(std::max(-*low, static_cast<int>(*high)), 4000);
}

TEST_F(SdlBackend, OnlyATrackThatPlaysToItsEndSendsTheStoppedNotice) {
  testsupport::WriteFile(dir_ + "/short.wav", ToneWav(0.2, 330.0));
  testsupport::WriteFile(dir_ + "/long.wav", ToneWav(3.0, 330.0));
  OpenWindow(1);
  platform::Music(platform::MusicCommand::Open, (dir_ + "/short.wav").c_str());
  platform::Music(platform::MusicCommand::Play);
  EXPECT_EQ(Messages(1200), (Sent{{platform::MCIWNDM_NOTIFYMODE, platform::MCI_MODE_STOP}}));
  platform::Music(platform::MusicCommand::Replay);  // the last path, from its start
  EXPECT_EQ(Messages(1200), (Sent{{platform::MCIWNDM_NOTIFYMODE, platform::MCI_MODE_STOP}}));

  platform::Music(platform::MusicCommand::Open, (dir_ + "/long.wav").c_str());
  platform::Music(platform::MusicCommand::Play);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  platform::Music(platform::MusicCommand::Stop);
  platform::Music(platform::MusicCommand::Play);
  platform::Music(platform::MusicCommand::Close);
  EXPECT_TRUE(Messages(600).empty());
  platform::Music(platform::MusicCommand::Open, (dir_ + "/missing.mp3").c_str());
  platform::Music(platform::MusicCommand::Play);
  EXPECT_TRUE(Messages(300).empty());
}

}  // namespace
