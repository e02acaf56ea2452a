// The browser page as the window: the canvas shows each frame, pointer and touch events
// are the mouse, Web Audio plays the effects and the music, a dialog in the page is the
// message box, and the browser's local storage keeps the record. The page side lives in
// web_page.js; this file decides what the game sees.
//
// The frame loop stays the loop it is: each Sleep hands the thread back to the browser
// (Asyncify unwinds the stack and a timer resumes it) until the next tick boundary, so
// one pass is one turn of the browser's event loop and the page never freezes. With a
// script the page runs on the virtual clock instead, as fast as the browser allows,
// handing back now and then so that the page stays alive.
#include <emscripten.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/backend.h"
#include "platform/core/replay.h"
#include "platform/core/virtual_clock.h"

extern "C" {
// web_page.js. Events are {kind, x, y}: see PageEvent.
void tonkalo_page_open(int realInput);
void tonkalo_page_close();
int tonkalo_page_next_event(int* event);
void tonkalo_page_pointer(int* x, int* y);
int tonkalo_page_button();
void tonkalo_page_cursor(int visible);
void tonkalo_page_present(const std::uint32_t* rgba, int width, int height);
void tonkalo_page_show_box(const char* caption, const char* text);
int tonkalo_page_box_open();
void tonkalo_page_effect(int index, const std::uint8_t* image, std::size_t size);
void tonkalo_page_music(int command, const char* path);
int tonkalo_page_hidden();
void tonkalo_page_pause_audio(int paused);
int tonkalo_page_record_read(char* out, int size);
int tonkalo_page_record_write(const char* text);
}

namespace platform {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
// A scripted run hands the thread back to the browser after this much work.
constexpr double kScriptedSliceMs = 100.0;
// How often a hidden page looks whether it is shown again.
constexpr unsigned kHiddenPollMs = 100;
constexpr unsigned kBoxPollMs = 30;

enum PageEvent { kPress = 1, kSecondPress = 2, kTrackEnded = 3, kResized = 4 };

// The record is eight hex digits, the four bytes in little-endian order ("39300000" is
// 12345), so that it means what highscore.dat means.
constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class WebBackend : public Backend {
 public:
  WebBackend(const Options& options, bool realInput)
      : options_(options),
        realInput_(realInput),
        clock_(options.tickMs, options.startTick),
        start_(emscripten_get_now()),
        lastYield_(start_) {
    tonkalo_page_open(realInput ? 1 : 0);
  }
  ~WebBackend() override;

  std::uint32_t Tick() override;
  void SleepToBoundary(std::uint32_t ms) override;
  void Pump(std::deque<Message>& queue) override;
  void Pointer(int& x, int& y) override { tonkalo_page_pointer(&x, &y); }
  bool PointerButton() override { return tonkalo_page_button() != 0; }
  void SetCursorVisible(bool visible) override { tonkalo_page_cursor(visible ? 1 : 0); }
  void ShowMessageBox(const char* caption, const char* text) override;
  void Present(const std::uint32_t* pixels, int width, int height) override;
  void PlayWave(int index, const std::uint8_t* image, std::size_t size) override;
  void Music(MusicCommand command, const std::string& path) override;
  RecordState ReadRecord(std::int32_t& value) override;
  bool WriteRecord(std::int32_t value) override;

 private:
  // Real time: milliseconds since start-up, less the time the page spent hidden.
  double Elapsed() const { return emscripten_get_now() - start_ - hiddenMs_; }
  void WaitWhileHidden();
  // The kept frame of a scripted run, if it has not been shown yet.
  void ShowFrame();
  void Show(const std::uint32_t* pixels, int width, int height);

  Options options_;
  // False when a script drives the input: then the virtual clock runs and nothing sounds.
  bool realInput_;
  VirtualClock clock_;
  double start_;
  double hiddenMs_ = 0.0;
  double lastYield_;
  std::vector<std::uint32_t> frame_;  // a scripted run's last frame, 0x00RRGGBB
  std::vector<std::uint32_t> rgba_;   // a frame as the canvas wants its bytes
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  bool frameShown_ = true;
};

WebBackend::~WebBackend() {
  ShowFrame();
  if (realInput_) tonkalo_page_music(static_cast<int>(MusicCommand::Close), "");
  tonkalo_page_close();
}

std::uint32_t WebBackend::Tick() {
  if (!realInput_) return clock_.Tick();
  return options_.startTick + static_cast<std::uint32_t>(static_cast<std::uint64_t>(Elapsed()));
}

// A hidden page stops the passes and the clock together, as a pause does: the game sees
// no time pass, and the music waits with it.
void WebBackend::WaitWhileHidden() {
  if (!tonkalo_page_hidden()) return;
  const double hiddenAt = emscripten_get_now();
  tonkalo_page_pause_audio(1);
  while (tonkalo_page_hidden()) emscripten_sleep(kHiddenPollMs);
  tonkalo_page_pause_audio(0);
  hiddenMs_ += emscripten_get_now() - hiddenAt;
}

// Real time wakes at the first multiple of the tick, counted from start-up, at least `ms`
// ahead; a late wake-up is not made up for, so the passes never drift from the tick.
void WebBackend::SleepToBoundary(std::uint32_t ms) {
  if (!realInput_) {
    clock_.SleepToBoundary(ms);
    const double now = emscripten_get_now();
    if (now - lastYield_ >= kScriptedSliceMs) {
      ShowFrame();
      emscripten_sleep(0);
      lastYield_ = emscripten_get_now();
    }
    return;
  }
  WaitWhileHidden();
  const double tick = options_.tickMs;
  const double boundary = std::ceil((Elapsed() + ms) / tick) * tick;
  for (double now = Elapsed(); now < boundary; now = Elapsed()) {
    emscripten_sleep(static_cast<unsigned>(std::ceil(boundary - now)));
  }
}

void WebBackend::Pump(std::deque<Message>& queue) {
  int event[3];
  while (tonkalo_page_next_event(event)) {
    switch (event[0]) {
      case kPress:
      case kSecondPress:
        // A press on the canvas. A scripted run takes neither presses nor resizes: its
        // input is the script's alone, as in the headless program.
        if (realInput_) {
          queue.push_back({event[0] == kSecondPress ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, 1,
                           PackPoint(event[1], event[2])});
        }
        break;
      case kTrackEnded:
        queue.push_back({MCIWNDM_NOTIFYMODE, 0, MCI_MODE_STOP});
        break;
      case kResized:
        if (realInput_) {
          queue.push_back({WM_SIZE, 0, static_cast<std::intptr_t>(kWidth | (kHeight << 16))});
        }
        break;
      default:
        break;
    }
  }
}

// Modal in real time: the loop waits for OK as it waited for a message box. A scripted
// run never waits, as the headless program does not.
void WebBackend::ShowMessageBox(const char* caption, const char* text) {
  tonkalo_page_show_box(caption, text);
  if (!realInput_) return;
  while (tonkalo_page_box_open()) emscripten_sleep(kBoxPollMs);
}

// Real time shows every frame as it comes. A scripted run shows only some of them, so it
// keeps the last one as it came and converts it when it is shown.
void WebBackend::Present(const std::uint32_t* pixels, int width, int height) {
  if (realInput_) {
    Show(pixels, width, height);
    return;
  }
  frame_.assign(pixels, pixels + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  frameWidth_ = width;
  frameHeight_ = height;
  frameShown_ = false;
}

void WebBackend::ShowFrame() {
  if (frameShown_) return;
  Show(frame_.data(), frameWidth_, frameHeight_);
  frameShown_ = true;
}

void WebBackend::Show(const std::uint32_t* pixels, int width, int height) {
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  rgba_.resize(count);
  // 0x00RRGGBB to the bytes R, G, B, 255 (a little-endian 0xFFBBGGRR).
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t p = pixels[i];
    rgba_[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
  }
  tonkalo_page_present(rgba_.data(), width, height);
}

void WebBackend::PlayWave(int index, const std::uint8_t* image, std::size_t size) {
  if (!realInput_) return;
  tonkalo_page_effect(index, image, image ? size : 0);
}

void WebBackend::Music(MusicCommand command, const std::string& path) {
  if (!realInput_) return;
  tonkalo_page_music(static_cast<int>(command), path.c_str());
}

// Storage that throws (switched off, or a private window that refuses it) is a record
// that could not be read, and so is a value that is not hex digits: the game then never
// writes over it. Fewer than four bytes' worth count as no record, as a short file does.
RecordState WebBackend::ReadRecord(std::int32_t& value) {
  value = 0;
  char text[64] = {};
  if (tonkalo_page_record_read(text, sizeof(text)) < 0) return RecordState::Unreadable;
  std::uint32_t v = 0;
  for (int i = 0; i < 8; ++i) {
    if (text[i] == '\0') return RecordState::Absent;
    if (HexValue(text[i]) < 0) return RecordState::Unreadable;
  }
  for (int byte = 0; byte < 4; ++byte) {
    const int b = HexValue(text[2 * byte]) * 16 + HexValue(text[2 * byte + 1]);
    v |= static_cast<std::uint32_t>(b) << (8 * byte);
  }
  value = static_cast<std::int32_t>(v);
  return RecordState::Read;
}

bool WebBackend::WriteRecord(std::int32_t value) {
  const std::uint32_t v = static_cast<std::uint32_t>(value);
  char text[9];
  for (int byte = 0; byte < 4; ++byte) {
    const unsigned b = (v >> (8 * byte)) & 0xFFu;
    text[2 * byte] = kHexDigits[b >> 4];
    text[2 * byte + 1] = kHexDigits[b & 0xF];
  }
  text[8] = '\0';
  return tonkalo_page_record_write(text) != 0;
}

}  // namespace

std::unique_ptr<Backend> MakeWindowBackend(const Options& options, bool realMouse,
                                           std::string&) {
  return std::make_unique<WebBackend>(options, realMouse);
}

}  // namespace platform

// The page's "Save replay": the game so far as a replay, as if the page closed now;
// empty when the page records none. The text stays until the next call.
extern "C" EMSCRIPTEN_KEEPALIVE const char* tonkalo_replay_so_far() {
  static std::string text;
  text = platform::RecordedReplay();
  return text.c_str();
}
