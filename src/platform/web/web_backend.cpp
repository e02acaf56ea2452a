// The browser page as the window: the canvas shows each frame, pointer and touch events
// are the mouse, Web Audio plays the effects and the music, a dialog in the page is the
// message box, and the browser's local storage keeps the record (a scripted run keeps
// its own in memory, so a demo never touches the player's). The page side lives in
// web_page.js; this file decides what the game sees.
//
// The frame loop stays the loop it is: each Sleep hands the thread back to the browser
// (Asyncify unwinds the stack) until a displayed frame finds a pass due, so a finger on
// the screen (which holds back the browser's timers, not its frames) delays none. With
// a script the page runs on the virtual clock instead, as fast as the browser allows,
// handing back now and then so that the page stays alive.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/backend.h"
#include "platform/core/changed_rows.h"
#include "platform/core/replay.h"
#include "platform/core/virtual_clock.h"
#include "platform/files/replay.h"

extern "C" {
// web_page.js. Events are {kind, x, y}: see PageEvent.
void tonkalo_page_open(int realInput);
void tonkalo_page_close();
int tonkalo_page_next_event(int* event);
void tonkalo_page_pointer(int* x, int* y);
int tonkalo_page_button();
void tonkalo_page_cursor(int visible);
void tonkalo_page_present(const std::uint32_t* rgba, int width, int height, int x, int y,
                          int w, int h);
void tonkalo_page_show_box(const char* caption, const char* text);
int tonkalo_page_box_open();
void tonkalo_page_effect(int index, const std::uint8_t* image, std::size_t size);
void tonkalo_page_music(int command, const char* path);
void tonkalo_page_frame(double due);
double tonkalo_page_stopped_ms();
int tonkalo_page_record_read(std::int32_t* value);
int tonkalo_page_record_write(std::int32_t value);
void tonkalo_page_note(const char* text);
}

namespace platform {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
// A scripted run hands the thread back to the browser after this much work.
constexpr double kScriptedSliceMs = 100.0;
constexpr unsigned kBoxPollMs = 30;
// A frame this late (a busy machine, a long message box) is not made up for pass by
// pass: the game's time goes on from now.
constexpr double kMostBehindMs = 250.0;

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
  ~WebBackend() override {
    Flush();
    if (realInput_) tonkalo_page_music(static_cast<int>(MusicCommand::Close), "");
    tonkalo_page_close();
  }

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
  RecordSave WriteRecord(std::int32_t value) override;
  void Notify(const std::string& text) override { tonkalo_page_note(text.c_str()); }

 private:
  // Real time: milliseconds since start-up, less the time the page stood still (hidden or
  // paused).
  double Elapsed() const { return emscripten_get_now() - start_ - tonkalo_page_stopped_ms(); }
  // Puts what changed since the last put on the canvas: once a displayed frame, or a
  // tenth of a second of a scripted run.
  void Flush();

  Options options_;
  // False when a script drives the input: then the virtual clock runs and nothing sounds.
  bool realInput_;
  VirtualClock clock_;
  double start_;
  double lastYield_;
  // Real time: when the pass that runs now was due, in Elapsed's milliseconds.
  double due_ = 0.0;
  std::vector<std::uint32_t> shown_;  // the last frame converted, 0x00RRGGBB
  std::vector<std::uint32_t> rgba_;   // the canvas's pixels, where the page reads them
  std::vector<FrameArea> areas_;
  int width_ = 0;
  int height_ = 0;
  // The part of rgba_ not yet put on the canvas: [left, right) x [top, bottom).
  int left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
  // A scripted run's record: a demo keeps its score to itself.
  std::int32_t scriptedRecord_ = 0;
  bool scriptedRecordSet_ = false;
};

// Real time reads the tick the pass was due at, so the passes of a late frame, run one
// after another, each see their own time.
std::uint32_t WebBackend::Tick() {
  if (!realInput_) return clock_.Tick();
  return options_.startTick + static_cast<std::uint32_t>(due_);
}

// Real time: the next pass is due at the first multiple of the tick at least `ms` after
// this one's; it runs at the first displayed frame that finds it due, at once when it is
// already late. A hidden or paused page shows no frames and runs no pass.
void WebBackend::SleepToBoundary(std::uint32_t ms) {
  if (!realInput_) {
    clock_.SleepToBoundary(ms);
    if (emscripten_get_now() - lastYield_ >= kScriptedSliceMs) {
      Flush();
      emscripten_sleep(0);
      lastYield_ = emscripten_get_now();
    }
    return;
  }
  const double tick = options_.tickMs;
  due_ = static_cast<double>(TickBoundaryAfter(due_, ms, tick)) * tick;
  if (Elapsed() - due_ > kMostBehindMs) {
    due_ = static_cast<double>(TickBoundaryAfter(Elapsed(), ms, tick)) * tick;
  }
  if (Elapsed() >= due_) return;
  Flush();
  tonkalo_page_frame(start_ + due_);
}

void WebBackend::Pump(std::deque<Message>& queue) {
  int event[3];
  while (tonkalo_page_next_event(event)) {
    const bool press = event[0] == kPress || event[0] == kSecondPress;
    // A scripted run takes neither presses nor resizes: its input is the script's alone,
    // as in the headless program.
    if (press && realInput_) {
      queue.push_back({event[0] == kSecondPress ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, 1,
                       PackPoint(event[1], event[2])});
    } else if (event[0] == kTrackEnded) {
      queue.push_back({MCIWNDM_NOTIFYMODE, 0, MCI_MODE_STOP});
    } else if (event[0] == kResized && realInput_) {
      queue.push_back({WM_SIZE, 0, static_cast<std::intptr_t>(kWidth | (kHeight << 16))});
    }
  }
}

// Modal in real time: the loop waits for OK as it waited for a message box. A scripted
// run never waits, as the headless program does not.
void WebBackend::ShowMessageBox(const char* caption, const char* text) {
  Flush();
  tonkalo_page_show_box(caption, text);
  if (!realInput_) return;
  while (tonkalo_page_box_open()) emscripten_sleep(kBoxPollMs);
}

// Only the areas that differ from the last frame are copied and converted into the
// canvas's pixels (R, G, B, 255 bytes, a little-endian 0xFFBBGGRR), and nothing when
// nothing changed; Flush puts them on the canvas.
void WebBackend::Present(const std::uint32_t* pixels, int width, int height) {
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  areas_.clear();
  if (shown_.size() != count || width_ != width) {
    shown_.resize(count);
    rgba_.resize(count);
    areas_.push_back({0, 0, width, height});
  } else {
    ChangedAreas(pixels, shown_.data(), width, height, areas_);
  }
  width_ = width;
  height_ = height;
  for (const FrameArea& a : areas_) {
    for (int y = a.y; y < a.y + a.h; ++y) {
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
      for (std::size_t i = row + a.x; i < row + a.x + a.w; ++i) {
        const std::uint32_t p = pixels[i];
        shown_[i] = p;
        rgba_[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
      }
    }
    const bool none = right_ == left_;
    left_ = none ? a.x : std::min(left_, a.x);
    right_ = none ? a.x + a.w : std::max(right_, a.x + a.w);
    top_ = none ? a.y : std::min(top_, a.y);
    bottom_ = none ? a.y + a.h : std::max(bottom_, a.y + a.h);
  }
}

void WebBackend::Flush() {
  if (right_ == left_) return;
  tonkalo_page_present(rgba_.data(), width_, height_, left_, top_, right_ - left_,
                       bottom_ - top_);
  right_ = left_;
}

void WebBackend::PlayWave(int index, const std::uint8_t* image, std::size_t size) {
  if (realInput_) tonkalo_page_effect(index, image, image ? size : 0);
}

void WebBackend::Music(MusicCommand command, const std::string& path) {
  if (realInput_) tonkalo_page_music(static_cast<int>(command), path.c_str());
}

// The page's storage merges, says what goes wrong and never writes over a value that is
// not a record (web_page.js). A scripted run starts with none and keeps its own.
RecordState WebBackend::ReadRecord(std::int32_t& value) {
  value = 0;
  if (!realInput_) {
    value = scriptedRecord_;
    return scriptedRecordSet_ ? RecordState::Read : RecordState::Absent;
  }
  const int state = tonkalo_page_record_read(&value);
  return state == 0 ? RecordState::Absent
                    : state == 1 ? RecordState::Read : RecordState::Unreadable;
}

RecordSave WebBackend::WriteRecord(std::int32_t value) {
  std::int32_t stored = 0;
  const RecordState state = ReadRecord(stored);
  if (state == RecordState::Unreadable) return RecordSave::Failed;
  if (state == RecordState::Read && stored >= value) return RecordSave::AlreadyHeld;
  if (!realInput_) {
    scriptedRecord_ = value;
    scriptedRecordSet_ = true;
    return RecordSave::Written;
  }
  return tonkalo_page_record_write(value) != 0 ? RecordSave::Written : RecordSave::Failed;
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

// The page's "Open replay": why the file at `path` is no replay the page can play, in
// one line that names it; empty when it is one.
extern "C" EMSCRIPTEN_KEEPALIVE const char* tonkalo_replay_problem(const char* path) {
  static std::string error;
  platform::ReplayFile replay;
  error.clear();
  if (!platform::ReadReplay(path, replay, error) && error.empty()) error = "it is no replay";
  return error.c_str();
}
