// The browser page as the window: the canvas shows each frame, pointer and touch events
// are the mouse, Web Audio plays the effects and the music, a dialog in the page is the
// message box, and the browser's local storage keeps the record (a scripted run keeps
// its own in memory, so a demo never touches the player's). The page side lives in
// web_page.js; this file decides what the game sees.
//
// The frame loop stays the loop it is: each Sleep hands the thread back to the browser
// (Asyncify unwinds the stack and a timer resumes it) until the next tick boundary, so
// one pass is one turn of the browser's event loop and the page never freezes. With a
// script the page runs on the virtual clock instead, as fast as the browser allows,
// handing back now and then so that the page stays alive.
#include <emscripten.h>

#include <algorithm>
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
void tonkalo_page_present(const std::uint32_t* rgba, int width, int height, int top,
                          int bottom);
void tonkalo_page_show_box(const char* caption, const char* text);
int tonkalo_page_box_open();
void tonkalo_page_effect(int index, const std::uint8_t* image, std::size_t size);
void tonkalo_page_music(int command, const char* path);
int tonkalo_page_stopped();
double tonkalo_page_stopped_ms();
void tonkalo_page_pause_audio(int paused);
int tonkalo_page_record_read(std::int32_t* value);
int tonkalo_page_record_write(std::int32_t value);
}

namespace platform {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
// A scripted run hands the thread back to the browser after this much work.
constexpr double kScriptedSliceMs = 100.0;
// How often a hidden or paused page looks whether it goes on.
constexpr unsigned kStoppedPollMs = 100;
constexpr unsigned kBoxPollMs = 30;

enum PageEvent { kPress = 1, kSecondPress = 2, kTrackEnded = 3, kResized = 4 };

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
  // Real time: milliseconds since start-up, less the time the page stood still (hidden or
  // paused).
  double Elapsed() const { return emscripten_get_now() - start_ - tonkalo_page_stopped_ms(); }
  void WaitWhileStopped();
  // The kept frame of a scripted run, if it has not been shown yet.
  void ShowFrame();
  void Show(const std::uint32_t* pixels, int width, int height);

  Options options_;
  // False when a script drives the input: then the virtual clock runs and nothing sounds.
  bool realInput_;
  VirtualClock clock_;
  double start_;
  double lastYield_;
  std::vector<std::uint32_t> frame_;  // a scripted run's last frame, 0x00RRGGBB
  std::vector<std::uint32_t> shown_;  // the frame the canvas holds, 0x00RRGGBB
  std::vector<std::uint32_t> rgba_;   // the same as the canvas wants its bytes
  int shownWidth_ = 0;
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  bool frameShown_ = true;
  // A scripted run's record: a demo keeps its score to itself.
  std::int32_t scriptedRecord_ = 0;
  bool scriptedRecordSet_ = false;
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

// A hidden page and the player's pause stop the passes and the clock together: the game
// sees no time pass, and the sound waits with it.
void WebBackend::WaitWhileStopped() {
  if (!tonkalo_page_stopped()) return;
  tonkalo_page_pause_audio(1);
  while (tonkalo_page_stopped()) emscripten_sleep(kStoppedPollMs);
  tonkalo_page_pause_audio(0);
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
  WaitWhileStopped();
  const double boundary = TickBoundaryAfter(Elapsed(), ms, options_.tickMs) * options_.tickMs;
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

// Only the rows that differ from the frame the canvas holds are converted and sent, and
// nothing when nothing changed: an idle title costs a compare a pass.
void WebBackend::Show(const std::uint32_t* pixels, int width, int height) {
  const std::size_t w = static_cast<std::size_t>(width);
  const std::size_t count = w * static_cast<std::size_t>(height);
  int top = 0;
  int bottom = height;
  if (shown_.size() == count && shownWidth_ == width) {
    while (top < bottom &&
           std::equal(pixels + top * w, pixels + (top + 1) * w, shown_.data() + top * w)) {
      ++top;
    }
    while (bottom > top && std::equal(pixels + (bottom - 1) * w, pixels + bottom * w,
                                      shown_.data() + (bottom - 1) * w)) {
      --bottom;
    }
    if (top == bottom) return;
  }
  shown_.assign(pixels, pixels + count);
  shownWidth_ = width;
  rgba_.resize(count);
  // 0x00RRGGBB to the bytes R, G, B, 255 (a little-endian 0xFFBBGGRR).
  for (std::size_t i = top * w; i < bottom * w; ++i) {
    const std::uint32_t p = pixels[i];
    rgba_[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
  }
  tonkalo_page_present(rgba_.data(), width, height, top, bottom);
}

void WebBackend::PlayWave(int index, const std::uint8_t* image, std::size_t size) {
  if (!realInput_) return;
  tonkalo_page_effect(index, image, image ? size : 0);
}

void WebBackend::Music(MusicCommand command, const std::string& path) {
  if (!realInput_) return;
  tonkalo_page_music(static_cast<int>(command), path.c_str());
}

// The page's storage merges, says what goes wrong and never writes over a value that is
// not a record (web_page.js). A scripted run starts with none and keeps its own.
RecordState WebBackend::ReadRecord(std::int32_t& value) {
  value = 0;
  if (!realInput_) {
    value = scriptedRecord_;
    return scriptedRecordSet_ ? RecordState::Read : RecordState::Absent;
  }
  switch (tonkalo_page_record_read(&value)) {
    case 0:
      return RecordState::Absent;
    case 1:
      return RecordState::Read;
    default:
      return RecordState::Unreadable;
  }
}

bool WebBackend::WriteRecord(std::int32_t value) {
  if (!realInput_) {
    scriptedRecord_ = value;
    scriptedRecordSet_ = true;
    return true;
  }
  return tonkalo_page_record_write(value) != 0;
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
