// The window backend on a private virtual X server: the pointer in back-buffer pixels
// at any scale, clicks and double clicks as messages, the effect channel heard through
// SDL's disk audio driver, and the music-finished notice (only for a track that ends).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "support/test_support.h"

namespace {

using testsupport::MakeTempDir;
using testsupport::ReadFile;
using testsupport::WriteFile;

// A 16-bit mono PCM WAV of a sine tone.
std::string ToneWav(double seconds, double hz) {
  const int rate = 22050;
  const int samples = static_cast<int>(seconds * rate);
  auto le = [](std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  std::string w = "RIFF";
  le(w, 36 + samples * 2, 4);
  w += "WAVEfmt ";
  le(w, 16, 4);
  le(w, 1, 2);
  le(w, 1, 2);
  le(w, rate, 4);
  le(w, rate * 2, 4);
  le(w, 2, 2);
  le(w, 16, 2);
  w += "data";
  le(w, samples * 2, 4);
  for (int i = 0; i < samples; ++i) {
    const double v = 12000.0 * std::sin(2.0 * 3.14159265358979 * hz * i / rate);
    le(w, static_cast<std::uint32_t>(static_cast<std::int16_t>(v)) & 0xFFFF, 2);
  }
  return w;
}

std::string Shell(const std::string& command) {
  std::string out;
  if (std::FILE* p = popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof(buf), p)) out += buf;
    pclose(p);
  }
  return out;
}

class SdlBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTempDir("sdl-backend");
    ASSERT_TRUE(StartXvfb()) << "Xvfb did not start";
    setenv("DISPLAY", (":" + display_).c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SDL_VIDEODRIVER");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (dir_ + "/audio.raw").c_str(), 1);
  }

  void TearDown() override {
    platform::Shutdown();
    if (xvfb_ > 0) {
      kill(xvfb_, SIGTERM);
      waitpid(xvfb_, nullptr, 0);
    }
    if (displayPipe_ >= 0) close(displayPipe_);
  }

  bool StartXvfb() {
    int fds[2];
    if (pipe(fds) != 0) return false;
    xvfb_ = fork();
    if (xvfb_ == 0) {
      close(fds[0]);
      const int devNull = open("/dev/null", O_RDWR);
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
      const std::string fd = std::to_string(fds[1]);
      // No reset between the windows one test opens and closes.
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "2000x1600x24",
             "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char buf[32] = {};
    // The read end stays open while the server runs: it may write its number again.
    displayPipe_ = fds[0];
    const ssize_t n = read(displayPipe_, buf, sizeof(buf) - 1);
    if (n <= 0) return false;
    display_ = std::string(buf, static_cast<size_t>(n));
    while (!display_.empty() && (display_.back() == '\n' || display_.back() == ' ')) {
      display_.pop_back();
    }
    return !display_.empty();
  }

  void OpenWindow(int scale) {
    platform::Options options;
    options.scale = scale;
    std::string error;
    ASSERT_TRUE(platform::Init(options, error)) << error;
    std::vector<std::uint32_t> frame(640 * 480, 0x336699);
    platform::Present(frame.data(), 640, 480);
    Settle();
  }

  // Lets the X server and SDL catch up with what xdotool did.
  static void Settle() {
    for (int i = 0; i < 10; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      platform::Message m;
      while (platform::PeekMessage(m)) pending_.push_back(m);
    }
  }

  // The window's client origin on the screen, from xdotool.
  bool WindowOrigin(int& x, int& y) {
    const std::string id = Shell("xdotool search --name '^Tonkalo$' | head -n1");
    if (id.empty()) return false;
    const std::string geometry =
        Shell("xdotool getwindowgeometry --shell " + id.substr(0, id.find('\n')));
    const size_t xAt = geometry.find("X=");
    const size_t yAt = geometry.find("Y=");
    if (xAt == std::string::npos || yAt == std::string::npos) return false;
    x = std::atoi(geometry.c_str() + xAt + 2);
    y = std::atoi(geometry.c_str() + yAt + 2);
    return true;
  }

  std::vector<platform::Message> TakeMessages() {
    Settle();
    std::vector<platform::Message> out;
    out.swap(pending_);
    return out;
  }

  static std::vector<platform::Message> pending_;
  std::string dir_;
  std::string display_;
  pid_t xvfb_ = -1;
  int displayPipe_ = -1;
};

std::vector<platform::Message> SdlBackendTest::pending_;

TEST_F(SdlBackendTest, PointerIsInBackBufferPixelsAtAnyScaleAndClicksBecomeMessages) {
  for (int scale : {1, 2}) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    OpenWindow(scale);
    int left = 0;
    int top = 0;
    ASSERT_TRUE(WindowOrigin(left, top));

    Shell("xdotool mousemove " + std::to_string(left + 100 * scale + scale / 2) + " " +
        std::to_string(top + 50 * scale + scale / 2));
    Settle();
    int x = 0;
    int y = 0;
    platform::GetCursorPos(x, y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 50);

    // Beyond the left and top edges the pointer reads outside.
    Shell("xdotool mousemove " + std::to_string(left - 20 * scale) + " " +
        std::to_string(top - 10 * scale));
    Settle();
    platform::GetCursorPos(x, y);
    EXPECT_LT(x, 0);
    EXPECT_LT(y, 4);

    Shell("xdotool mousemove " + std::to_string(left + 639 * scale) + " " +
        std::to_string(top + 479 * scale));
    TakeMessages();
    Shell("xdotool mousedown 1");
    Settle();
    EXPECT_TRUE(platform::LeftButtonDown());
    Shell("xdotool mouseup 1");
    auto messages = TakeMessages();
    EXPECT_FALSE(platform::LeftButtonDown());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, platform::WM_LBUTTONDOWN);
    EXPECT_EQ(messages[0].lParam, 639 | (479 << 16));

    // The second click of a double click is its own message.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // past double-click time
    Shell("xdotool click --repeat 2 --delay 80 1");
    messages = TakeMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, platform::WM_LBUTTONDOWN);
    EXPECT_EQ(messages[1].message, platform::WM_LBUTTONDBLCLK);
    platform::Shutdown();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
  }
}

TEST_F(SdlBackendTest, EffectsAreHeardOnTheDiskDriver) {
  OpenWindow(1);
  const std::string wav = ToneWav(0.3, 440.0);
  const auto* image = reinterpret_cast<const std::uint8_t*>(wav.data());
  const std::string broken = "RIFF\x10\0\0\0WAVEjunk";
  platform::PlayWave(1, reinterpret_cast<const std::uint8_t*>(broken.data()), broken.size());
  platform::PlayWave(0, image, wav.size());
  platform::PlayWave(0, image, wav.size());  // cut off and started again
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  platform::PlayWave(-1, nullptr, 0);
  platform::Shutdown();

  const std::string raw = ReadFile(dir_ + "/audio.raw");
  ASSERT_GT(raw.size(), 4000u);
  int loudest = 0;
  for (size_t i = 0; i + 1 < raw.size(); i += 2) {
    const std::int16_t s = static_cast<std::int16_t>(
        static_cast<unsigned char>(raw[i]) | (static_cast<unsigned char>(raw[i + 1]) << 8));
    loudest = std::max(loudest, std::abs(static_cast<int>(s)));
  }
  EXPECT_GT(loudest, 4000);
}

TEST_F(SdlBackendTest, OnlyATrackThatPlaysToItsEndSendsTheStoppedNotice) {
  WriteFile(dir_ + "/short.wav", ToneWav(0.2, 330.0));
  WriteFile(dir_ + "/long.wav", ToneWav(3.0, 330.0));
  OpenWindow(1);
  auto notices = [&](int ms) {
    int count = 0;
    for (int waited = 0; waited < ms; waited += 20) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      platform::Message m;
      while (platform::PeekMessage(m)) {
        if (m.message == platform::MCIWNDM_NOTIFYMODE && m.lParam == platform::MCI_MODE_STOP) {
          ++count;
        }
      }
    }
    return count;
  };

  platform::Music(platform::MusicCommand::Open, (dir_ + "/short.wav").c_str());
  platform::Music(platform::MusicCommand::Play);
  EXPECT_EQ(notices(1200), 1);
  platform::Music(platform::MusicCommand::Replay);  // the last path, from its start
  EXPECT_EQ(notices(1200), 1);

  platform::Music(platform::MusicCommand::Open, (dir_ + "/long.wav").c_str());
  platform::Music(platform::MusicCommand::Play);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  platform::Music(platform::MusicCommand::Stop);
  platform::Music(platform::MusicCommand::Play);
  platform::Music(platform::MusicCommand::Close);
  EXPECT_EQ(notices(600), 0);

  platform::Music(platform::MusicCommand::Open, (dir_ + "/missing.mp3").c_str());
  platform::Music(platform::MusicCommand::Play);
  platform::Music(platform::MusicCommand::Replay);
  EXPECT_EQ(notices(300), 0);
}

}  // namespace
