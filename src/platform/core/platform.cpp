// The backend-independent half of the platform: it owns the pass counter, the message
// queue, scripted input, the cursor display counter, the trace and the shots, and hands
// the machine-facing work to the backend chosen at Init. Until Init runs, a default
// headless backend answers, so objects built before main (timers) read a sane clock.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/backend.h"
#include "platform/core/platform.h"
#include "platform/core/replay.h"
#include "platform/files/replay.h"

namespace platform {

namespace {

struct State {
  Options options;
  bool initialised = false;
  std::unique_ptr<Backend> backend;
  // Virtual input (script or tests) instead of the real pointer: always so headless.
  bool scripted = true;
  VirtualInput input;
  std::deque<Message> queue;
  long long pass = 0;
  std::vector<ScriptCommand> script;  // in pass order
  size_t nextCommand = 0;
  int cursorCounter = 0;
  bool signalClosed = false;  // the WM_CLOSE for a caught signal is queued
  std::FILE* trace = nullptr;
  std::vector<std::uint32_t> lastFrame;
  long long lastShotPass = -1;
  int frameWidth = 0;
  int frameHeight = 0;
  // --timedemo: the clocks when the first timed pass began, and the figures so far.
  double cpuStart = 0.0;
  double wallStart = 0.0;
  PassTiming timing;
  std::set<std::string> said;  // SayOnce's lines so far
  // The record kept in a folder of its own (the player's data folder, not the game's
  // data): made when the first record is saved. The data folder, the working
  // directory, is never made again when it has gone.
  bool makeRecordFolder = false;
  bool outputLost = false;     // a shot or the trace could not be written
  // What a script's "tick" line adds to the backend's clock from its pass on.
  std::uint32_t clockShift = 0;
  // While recording or replaying, the clock is read once a pass: this is the reading.
  bool passTickHeld = false;
  std::uint32_t passTick = 0;
  // --record: the replay being written, and the pointer and button as this pass first
  // read them.
  std::unique_ptr<ReplayWriter> recorder;
  long long pointerPass = -1;
  int pointerX = 0;
  int pointerY = 0;
  long long buttonPass = -1;
  bool buttonDown = false;
  bool keepReplay = false;  // main's word that the run started and ended well
  // A new record that found the store locked, saved at Shutdown.
  bool recordWaiting = false;
  std::int32_t waitingRecord = 0;
  // --replay: the recorded run's record and the clock it read.
  bool replaying = false;
  RecordState replayRecord = RecordState::Read;
  std::int32_t replayHighScore = 0;
  bool replayDemo = false;  // the recorded run was the built-in player's
  TickModel replayClock;
};

// Never destroyed: objects with static lifetime elsewhere may still call in while the
// program exits.
State& S() {
  static State* state = new State;
  return *state;
}

Backend& B() {
  State& s = S();
  if (!s.backend) s.backend = MakeHeadlessBackend(s.options);
  return *s.backend;
}

// The clock's reading for the pass that begins now, given by a script's "tick" line
// (`given`), by the replay, or read once from the backend while recording.
void HoldPassTick(const std::uint32_t* given) {
  State& s = S();
  if (s.replaying) {
    // Pass 0 always has its reading in the file (ReadReplay checks it).
    std::uint32_t tick = 0;
    if (given) {
      tick = *given;
    } else {
      s.replayClock.Expect(s.pass, tick);
    }
    s.replayClock.Observe(s.pass, tick);
    s.passTick = tick;
    s.passTickHeld = true;
    return;
  }
  if (given) s.clockShift = *given - B().Tick();
  if (!s.recorder) return;
  s.passTick = B().Tick() + s.clockShift;
  s.passTickHeld = true;
  s.recorder->Tick(s.pass, s.passTick);
}

// Script commands and the --frames close for the pass that begins now.
void BeginPass() {
  State& s = S();
  bool tickGiven = false;
  std::uint32_t givenTick = 0;
  while (s.nextCommand < s.script.size() && s.script[s.nextCommand].pass <= s.pass) {
    const ScriptCommand& c = s.script[s.nextCommand++];
    switch (c.kind) {
      case ScriptCommand::Move:
        s.input.x = c.x;
        s.input.y = c.y;
        break;
      case ScriptCommand::Down:
        s.input.down = true;
        QueueLeftButtonDown();
        break;
      case ScriptCommand::Up:
        s.input.down = false;
        break;
      case ScriptCommand::Close:
        s.queue.push_back({WM_CLOSE, 0, 0});
        break;
      case ScriptCommand::Button:
        s.input.down = c.x != 0;
        break;
      case ScriptCommand::Click:
        s.queue.push_back({WM_LBUTTONDOWN, 1, PackPoint(c.x, c.y)});
        break;
      case ScriptCommand::DoubleClick:
        s.queue.push_back({WM_LBUTTONDBLCLK, 1, PackPoint(c.x, c.y)});
        break;
      case ScriptCommand::Size:
        s.queue.push_back({WM_SIZE, 0, PackPoint(c.x, c.y)});
        break;
      case ScriptCommand::MusicEnd:
        s.queue.push_back({MCIWNDM_NOTIFYMODE, 0, MCI_MODE_STOP});
        break;
      case ScriptCommand::Tick:
        tickGiven = true;
        givenTick = c.tick;
        break;
    }
  }
  if (s.options.frames >= 0 && s.pass == s.options.frames) {
    s.queue.push_back({WM_CLOSE, 0, 0});
  }
  HoldPassTick(tickGiven ? &givenTick : nullptr);
}

// How long a pass of a replay in the window sleeps, so that it keeps the recorded pace:
// until the tick boundary where the next pass's recorded reading falls (a recorded pass
// that missed a tick misses it again), and never more than a few seconds (a recorded
// clock may jump).
std::uint32_t ReplayPace(std::uint32_t ms) {
  State& s = S();
  std::uint32_t next = 0;
  if (!s.replayClock.Expect(s.pass + 1, next)) return ms;
  for (size_t i = s.nextCommand; i < s.script.size() && s.script[i].pass == s.pass + 1; ++i) {
    if (s.script[i].kind == ScriptCommand::Tick) next = s.script[i].tick;
  }
  const std::uint32_t gap = next - s.passTick;
  const auto tick = static_cast<std::uint32_t>(s.options.tickMs);
  if (gap <= tick || gap > 5000) return ms;
  return std::max(ms, gap - tick + 1);
}

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Called as each pass begins: starts the clocks at the first timed pass and brings the
// figures up to the pass that just ended.
void TimePass() {
  State& s = S();
  if (!s.options.timedemo || s.pass < s.options.timedemoFrom) return;
  const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  const double wall = Seconds(CLOCK_MONOTONIC);
  if (s.pass == s.options.timedemoFrom) {
    s.cpuStart = cpu;
    s.wallStart = wall;
    return;
  }
  s.timing.passes = s.pass - s.options.timedemoFrom;
  s.timing.cpuSeconds = cpu - s.cpuStart;
  s.timing.wallSeconds = wall - s.wallStart;
}

void ReportTiming() {
  const PassTiming& t = S().timing;
  if (t.passes == 0 || t.cpuSeconds <= 0.0 || t.wallSeconds <= 0.0) {
    std::fprintf(stderr, "tonkalo: timedemo: no pass was timed\n");
    return;
  }
  std::fprintf(stderr,
               "tonkalo: timedemo: %lld passes, %.0f passes a second, %.1f µs CPU a pass\n",
               t.passes, static_cast<double>(t.passes) / t.wallSeconds,
               t.cpuSeconds * 1e6 / static_cast<double>(t.passes));
}

// The browser build has no picture writers (libpng is not there); its page takes no
// shots, Init refuses them, and its tests read the canvas instead.
#ifdef __EMSCRIPTEN__
void TakeShots(long long) {}
#else
bool EndsWithPng(const std::string& file) {
  if (file.size() < 4) return false;
  std::string tail = file.substr(file.size() - 4);
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return tail == ".png";
}

void TakeShots(long long pass) {
  State& s = S();
  for (const Options::Shot& shot : s.options.shots) {
    if (shot.pass != pass) continue;
    if (s.lastFrame.empty()) {
      std::fprintf(stderr, "tonkalo: no shot %s for pass %lld: nothing was presented yet\n",
                   Printable(shot.file).c_str(), pass);
      s.outputLost = true;
      continue;
    }
    errno = 0;
    const bool ok = EndsWithPng(shot.file)
                        ? WritePng(shot.file, s.lastFrame.data(), s.frameWidth, s.frameHeight)
                        : WriteBmp24(shot.file, s.lastFrame.data(), s.frameWidth, s.frameHeight);
    if (!ok) {
      std::fprintf(stderr, "tonkalo: cannot write shot %s: %s\n", Printable(shot.file).c_str(),
                   errno ? std::strerror(errno) : "write failed");
      s.outputLost = true;
    }
  }
}
#endif

void AppendJsonString(std::string& out, const char* text) {
  out.push_back('"');
  for (const char* p = text; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof(buf), "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

void AppendKey(std::string& out, const char* key) {
  out.push_back(',');
  AppendJsonString(out, key);
  out.push_back(':');
}

const char* MusicCommandName(MusicCommand command) {
  switch (command) {
    case MusicCommand::Stop: return "stop";
    case MusicCommand::Open: return "open";
    case MusicCommand::Play: return "play";
    case MusicCommand::Replay: return "replay";
    case MusicCommand::Close: return "close";
  }
  return "stop";
}

}  // namespace

// --- the internal interface (backend.h) ---

VirtualInput& ScriptedInput() { return S().input; }

std::intptr_t PackPoint(int x, int y) {
  return static_cast<std::intptr_t>((static_cast<std::uint32_t>(x) & 0xFFFF) |
                                    ((static_cast<std::uint32_t>(y) & 0xFFFF) << 16));
}


void QueueMessage(const Message& message) { S().queue.push_back(message); }

void QueueLeftButtonDown() {
  State& s = S();
  s.queue.push_back({WM_LBUTTONDOWN, 1, PackPoint(s.input.x, s.input.y)});
}

const std::vector<std::uint32_t>& LastFrame() { return S().lastFrame; }

void ForgetLastFrame() {
  State& s = S();
  s.lastFrame.clear();
  s.frameWidth = 0;
  s.frameHeight = 0;
}

Backend& CurrentBackend() { return B(); }

const Options& CurrentOptions() { return S().options; }

void SayOnce(const std::string& text) {
  if (!S().said.insert(text).second) return;
  std::fprintf(stderr, "tonkalo: %s\n", Printable(text).c_str());
  std::fflush(stderr);
}

// The record as a file named by the options; what cannot be read or kept is said once
// on standard error and shown in the window. A save never waits on another program's
// lock inside a frame: the record then waits for Shutdown.
RecordState Backend::ReadRecord(std::int32_t& value) {
  std::string problem;
  const RecordState state = ReadRecordFile(S().options.recordFile, value, problem);
  if (!problem.empty()) {
    SayOnce(problem);
    Notify("RECORD NOT KEPT");
  }
  return state;
}

RecordSave Backend::WriteRecord(std::int32_t value) {
  State& s = S();
  std::string problem;
  const RecordSave saved =
      SaveRecordFile(s.options.recordFile, value, s.makeRecordFolder, nullptr, problem);
  s.recordWaiting = saved == RecordSave::Busy;
  s.waitingRecord = value;
  if (!problem.empty()) {
    SayOnce(problem);
    Notify("RECORD NOT SAVED");
  }
  return saved;
}

// --- the public interface ---

bool Init(Options options, std::string& error) {
  Shutdown();
  State& s = S();
  s = State();
  s.script = std::move(options.script);
  s.options = std::move(options);
  const Options& o = s.options;
  std::error_code notThere;
  const std::filesystem::path recordFolder = std::filesystem::path(o.recordFile).parent_path();
  s.makeRecordFolder = !recordFolder.empty() &&
                       !std::filesystem::equivalent(recordFolder, ".", notThere);
  CatchQuitSignals();
#ifdef __EMSCRIPTEN__
  if (!o.shots.empty()) {
    error = "this build takes no shots (--shot)";
    return false;
  }
#endif
  for (const Options::Shot& shot : o.shots) {
    s.lastShotPass = std::max(s.lastShotPass, shot.pass);
  }

  if (!o.replay.empty()) {
    ReplayFile& replay = s.options.replayed;
    s.script = std::move(replay.commands);
    s.replaying = true;
    s.replayRecord = replay.record;
    s.replayHighScore = replay.highScore;
    s.replayDemo = replay.demo;
    s.replayClock = TickModel(replay.tickMs);
    // The recorded pace, in the window too.
    s.options.tickMs = replay.tickMs;
  }
  s.scripted = o.headless || !o.scriptFile.empty() || o.autoplay || s.replaying;

  if (o.headless) {
    s.backend = MakeHeadlessBackend(o);
  } else {
    // A replay shows and sounds as a game played there does, at its pace; its input is
    // the file's alone (PeekMessage keeps only the window's close).
    s.backend = MakeWindowBackend(o, !s.scripted || s.replaying, error);
    if (!s.backend) {
      s = State();
      return false;
    }
  }

  if (!o.trace.empty()) {
    s.trace = std::fopen(o.trace.c_str(), "w");
    if (!s.trace) {
      error = "cannot write trace '" + o.trace + "': " + std::strerror(errno);
      s = State();
      return false;
    }
    // A trace to a terminal (the browser's console is one) is read as it happens.
    std::setvbuf(s.trace, nullptr, isatty(fileno(s.trace)) ? _IOLBF : _IOFBF, 1 << 20);
  }

  if (!o.saveReplay.empty()) {
    s.recorder = std::make_unique<ReplayWriter>();
    if (!s.recorder->Open(o.saveReplay, o.recordFile, s.options.tickMs, o.autoplay, error)) {
      s = State();
      return false;
    }
  }

  s.initialised = true;
  TimePass();
  BeginPass();
  return true;
}

bool Shutdown() {
  State& s = S();
  if (!s.initialised) return true;
  TakeShots(s.pass);
  for (const Options::Shot& shot : s.options.shots) {
    if (shot.pass > s.pass) {
      std::fprintf(stderr, "tonkalo: no shot %s for pass %lld: the run ended in pass %lld\n",
                   Printable(shot.file).c_str(), shot.pass, s.pass);
      s.outputLost = true;
    }
  }
  if (s.options.timedemo) ReportTiming();
  std::string problem;
  if (s.recordWaiting) {
    // Another game holds the lock for a moment; a longer hold is said while it lasts.
    int polls = 0;
    const auto stillWanted = [&polls] {
      if (++polls == 40) {
        SayOnce("another program holds the high score's folder locked: the record waits for "
                "it (close the window or press Ctrl-C to give up)");
      }
      std::deque<Message> pumped;
      B().Pump(pumped);
      return QuitSignal() == 0 && std::none_of(pumped.begin(), pumped.end(), [](const Message& m) {
               return m.message == WM_CLOSE;
             });
    };
    SaveRecordFile(s.options.recordFile, s.waitingRecord, s.makeRecordFolder, stillWanted, problem);
  }
  if (!problem.empty()) SayOnce(problem);
  if (s.recorder && s.keepReplay) {
    std::string error;
    if (!s.recorder->Finish(error)) {
      SayOnce(error);
      s.outputLost = true;
    }
  }
  s.backend.reset();
  if (s.trace) {
    // An error on an earlier write leaves only the stream's flag, not its errno.
    const int earlier = std::ferror(s.trace) ? EIO : 0;
    const int error = std::fclose(s.trace) != 0 ? errno : earlier;
    if (error) {
      std::fprintf(stderr, "tonkalo: cannot write trace '%s': %s\n",
                   Printable(s.options.trace).c_str(), std::strerror(error));
      s.outputLost = true;
    }
    s.trace = nullptr;
  }
  const bool complete = !s.outputLost;
  s = State();
  return complete;
}

std::uint32_t GetTickCount() {
  State& s = S();
  return s.passTickHeld ? s.passTick : B().Tick() + s.clockShift;
}

void Sleep(std::uint32_t ms) {
  State& s = S();
  TakeShots(s.pass);
  B().SleepToBoundary(s.replaying && !s.options.headless ? ReplayPace(ms) : ms);
  ++s.pass;
  TimePass();
  BeginPass();
}

bool PeekMessage(Message& out) {
  State& s = S();
  if (s.replaying) {
    // The window still pauses and closes; what else it would say came from the
    // recorded run.
    std::deque<Message> pumped;
    B().Pump(pumped);
    for (const Message& m : pumped) {
      if (m.message == WM_CLOSE) s.queue.push_back(m);
    }
  } else {
    B().Pump(s.queue);
  }
  if (QuitSignal() != 0 && !s.signalClosed) {
    s.signalClosed = true;
    s.queue.push_back(Message{WM_CLOSE, 0, 0});
  }
  if (s.queue.empty()) return false;
  out = s.queue.front();
  s.queue.pop_front();
  if (s.recorder) s.recorder->Received(s.pass, out);
  return true;
}

void GetCursorPos(int& x, int& y) {
  State& s = S();
  if (s.recorder && s.pointerPass == s.pass) {
    x = s.pointerX;
    y = s.pointerY;
    return;
  }
  if (s.scripted) {
    x = s.input.x;
    y = s.input.y;
  } else {
    B().Pointer(x, y);
  }
  if (s.recorder) {
    s.pointerPass = s.pass;
    s.pointerX = x;
    s.pointerY = y;
    s.recorder->Pointer(s.pass, x, y);
  }
}

void SetVirtualInput(int x, int y, bool down) {
  State& s = S();
  s.input.x = x;
  s.input.y = y;
  if (down && !s.input.down) QueueLeftButtonDown();
  s.input.down = down;
}

bool LeftButtonDown() {
  State& s = S();
  if (!s.recorder) return s.scripted ? s.input.down : B().PointerButton();
  if (s.buttonPass != s.pass) {
    s.buttonPass = s.pass;
    s.buttonDown = s.scripted ? s.input.down : B().PointerButton();
    s.recorder->Button(s.pass, s.buttonDown);
  }
  return s.buttonDown;
}

int ShowCursor(bool show) {
  State& s = S();
  const bool wasVisible = s.cursorCounter >= 0;
  s.cursorCounter += show ? 1 : -1;
  const bool visible = s.cursorCounter >= 0;
  if (visible != wasVisible) B().SetCursorVisible(visible);
  return s.cursorCounter;
}

void MessageBox(const char* text, const char* caption) {
  const char* t = text ? text : "";
  const char* c = caption ? caption : "";
  TraceEvent("message").Str("caption", c).Str("text", t);
  std::string line = std::string(c) + ": " + t;
  for (char& ch : line) {
    if (ch == '\n' || ch == '\r') ch = ' ';
  }
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  B().ShowMessageBox(c, t);
}

void Present(const std::uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return;
  State& s = S();
  // Only shots and tests read the kept frame; a run without them does not pay for a
  // copy every frame.
  if (s.options.keepFrames || s.pass <= s.lastShotPass) {
    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    s.lastFrame.assign(pixels, pixels + count);
    s.frameWidth = width;
    s.frameHeight = height;
  }
  B().Present(pixels, width, height);
}

void PlayWave(int index, const std::uint8_t* image, std::size_t size) {
  if (index >= 0) TraceEvent("sound").Int("index", index);
  B().PlayWave(index, image, size);
}

RecordState ReadRecord(std::int32_t& value) {
  State& s = S();
  value = 0;
  RecordState state = RecordState::Absent;
  if (s.replaying) {
    state = s.replayRecord;
    value = s.replayHighScore;
  } else {
    state = B().ReadRecord(value);
  }
  if (s.recorder) s.recorder->HighScore(state, value);
  return state;
}

int EndingSignal() { return QuitSignal(); }

// A demo (the built-in player) keeps its score to itself. Otherwise the store merges
// (a game that runs at the same time may have saved more meanwhile, and a record that
// has become unreadable is left alone). A replay writes nothing but answers as the
// recorded run's store did, so that its trace is the same.
RecordSave SaveRecord(std::int32_t value) {
  State& s = S();
  if (s.options.autoplay || s.replayDemo) return RecordSave::AlreadyHeld;
  if (!s.replaying) return B().WriteRecord(value);
  if (s.replayRecord == RecordState::Unreadable) return RecordSave::Failed;
  if (s.replayRecord == RecordState::Read && s.replayHighScore >= value) {
    return RecordSave::AlreadyHeld;
  }
  s.replayRecord = RecordState::Read;
  s.replayHighScore = value;
  return RecordSave::Written;
}

void Music(MusicCommand command, const char* path) {
  {
    TraceEvent event("music");
    event.Str("command", MusicCommandName(command));
    if (command == MusicCommand::Open) event.Str("path", path ? path : "");
  }
  B().Music(command, path ? path : "");
}

long long CurrentPass() { return S().pass; }

std::string RecordedReplay() {
  State& s = S();
  return s.recorder ? s.recorder->SoFar(s.pass) : std::string();
}

void KeepRecordedReplay(bool keep) { S().keepReplay = keep; }

PassTiming TimedPasses() { return S().timing; }

bool Tracing() { return S().trace != nullptr; }

// --- the trace ---

TraceEvent::TraceEvent(const char* name) : on_(Tracing()) {
  if (!on_) return;
  char head[64];
  std::snprintf(head, sizeof(head), "{\"pass\":%lld,\"tick\":%u,\"event\":", CurrentPass(),
                static_cast<unsigned>(GetTickCount()));
  line_ = head;
  AppendJsonString(line_, name ? name : "");
}

TraceEvent::~TraceEvent() {
  if (!on_) return;
  State& s = S();
  if (!s.trace) return;
  line_ += "}\n";
  std::fwrite(line_.data(), 1, line_.size(), s.trace);
}

TraceEvent& TraceEvent::Int(const char* key, long long value) {
  if (on_) {
    AppendKey(line_, key);
    line_ += std::to_string(value);
  }
  return *this;
}

TraceEvent& TraceEvent::Num(const char* key, double value) {
  if (on_) {
    AppendKey(line_, key);
    if (std::isfinite(value)) {
      char buf[32];
      std::snprintf(buf, sizeof(buf), "%.9g", value);
      line_ += buf;
    } else {
      line_ += "null";
    }
  }
  return *this;
}

TraceEvent& TraceEvent::Str(const char* key, const std::string& value) {
  if (on_) {
    AppendKey(line_, key);
    AppendJsonString(line_, value.c_str());
  }
  return *this;
}

TraceEvent& TraceEvent::Bool(const char* key, bool value) {
  if (on_) {
    AppendKey(line_, key);
    line_ += value ? "true" : "false";
  }
  return *this;
}

TraceEvent& TraceEvent::Ints(const char* key, const int* values, int count) {
  if (on_) {
    AppendKey(line_, key);
    line_.push_back('[');
    for (int i = 0; i < count; ++i) {
      if (i) line_.push_back(',');
      line_ += std::to_string(values[i]);
    }
    line_.push_back(']');
  }
  return *this;
}

}  // namespace platform
