// The backend-independent half of the platform: it owns the pass counter, the message
// queue, scripted input, the cursor display counter, the trace and the shots, and hands
// the machine-facing work to the backend chosen at Init. Until Init runs, a default
// headless backend answers, so objects built before main (timers) read a sane clock.
#include <fcntl.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/core/backend.h"
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

// SIGTERM, SIGINT and SIGHUP ask the program to end as the window's close button does:
// the handler only notes the signal, and the queue turns it into WM_CLOSE at its next
// look, so that the normal exit path runs (the record saved, the trace whole).
volatile std::sig_atomic_t caughtSignal = 0;

void QueueLeftButtonDown() {
  State& s = S();
  s.queue.push_back({WM_LBUTTONDOWN, 1, PackPoint(s.input.x, s.input.y)});
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
    const std::intptr_t at = PackPoint(c.x, c.y);
    switch (c.kind) {
      case ScriptCommand::Move: s.input.x = c.x, s.input.y = c.y; break;
      case ScriptCommand::Down: s.input.down = true, QueueLeftButtonDown(); break;
      case ScriptCommand::Up: s.input.down = false; break;
      case ScriptCommand::Button: s.input.down = c.x != 0; break;
      case ScriptCommand::Close: s.queue.push_back({WM_CLOSE, 0, 0}); break;
      case ScriptCommand::Click: s.queue.push_back({WM_LBUTTONDOWN, 1, at}); break;
      case ScriptCommand::DoubleClick: s.queue.push_back({WM_LBUTTONDBLCLK, 1, at}); break;
      case ScriptCommand::Size: s.queue.push_back({WM_SIZE, 0, at}); break;
      case ScriptCommand::MusicEnd: s.queue.push_back({MCIWNDM_NOTIFYMODE, 0, MCI_MODE_STOP}); break;
      case ScriptCommand::Tick: tickGiven = true, givenTick = c.tick; break;
    }
  }
  if (s.pass == s.options.frames) s.queue.push_back({WM_CLOSE, 0, 0});
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

// Called as each pass begins (--timedemo): starts the clocks at the first timed pass
// and brings the figures up to the pass that just ended.
void TimePass() {
  State& s = S();
  if (!s.options.timedemo || s.pass < s.options.timedemoFrom) return;
  const auto seconds = [](clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  };
  const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID);
  const double wall = seconds(CLOCK_MONOTONIC);
  if (s.pass == s.options.timedemoFrom) s.cpuStart = cpu, s.wallStart = wall;
  s.timing = {s.pass - s.options.timedemoFrom, cpu - s.cpuStart, wall - s.wallStart};
}

// Says on standard error why an output asked for is missing, and fails the run.
void Lost(const std::string& line) {
  std::fprintf(stderr, "tonkalo: %s\n", line.c_str());
  S().outputLost = true;
}

void TakeShots(long long pass) {
  State& s = S();
  for (const Options::Shot& shot : s.options.shots) {
    if (shot.pass != pass) continue;
    const std::string name = Printable(shot.file);
    if (s.lastFrame.empty()) {
      Lost("no shot " + name + " for pass " + std::to_string(pass) + ": nothing was presented yet");
      continue;
    }
#ifndef __EMSCRIPTEN__  // the page takes no shots (Init refuses them): it has no libpng
    errno = 0;
    const std::uint32_t* pixels = s.lastFrame.data();
    const bool png = shot.file.size() >= 4 && strcasecmp(&*(shot.file.end() - 4), ".png") == 0;
    if (!(png ? WritePng : WriteBmp24)(shot.file, pixels, s.frameWidth, s.frameHeight)) {
      Lost("cannot write shot " + name + ": " + (errno ? std::strerror(errno) : "write failed"));
    }
#endif
  }
}

// `text` as a JSON string, the control characters escaped.
void AppendJson(std::string& out, const std::string& text) {
  static const char kPlain[] = "\"\\\n\r\t\b\f";
  static const char kEscaped[] = "\"\\nrtbf";
  out.push_back('"');
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (const char* special = c ? std::strchr(kPlain, c) : nullptr) {
      out += '\\';
      out += kEscaped[special - kPlain];
    } else if (c < 0x20 || c == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "\\u%04x", c);
      out += code;
    } else {
      out += ch;
    }
  }
  out.push_back('"');
}

}  // namespace

// --- the internal interface (backend.h) ---

VirtualInput& ScriptedInput() { return S().input; }

std::intptr_t PackPoint(int x, int y) {
  return static_cast<std::intptr_t>((static_cast<std::uint32_t>(x) & 0xFFFF) |
                                    ((static_cast<std::uint32_t>(y) & 0xFFFF) << 16));
}

void QueueMessage(const Message& message) { S().queue.push_back(message); }

const std::vector<std::uint32_t>& LastFrame(bool forget) {
  if (forget) S().lastFrame.clear();
  return S().lastFrame;
}

Backend& CurrentBackend() { return B(); }

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

// --- the entry's interface (startup.h) ---

bool Init(Options options, std::string& error) {
  Shutdown();
  State& s = S();
  s = State();
  s.script = std::move(options.script);
  s.options = std::move(options);
  const Options& o = s.options;
  s.makeRecordFolder = MakesRecordFolder(o.recordFile);
#ifdef __EMSCRIPTEN__
  if (!o.shots.empty()) {
    error = "this build takes no shots (--shot)";
    return false;
  }
#else
  struct sigaction action {};
  action.sa_handler = [](int signal) { caughtSignal = signal; };
  // No SA_RESTART: a sleep or a wait that the signal interrupts returns at once.
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
#endif
  for (const Options::Shot& shot : o.shots) s.lastShotPass = std::max(s.lastShotPass, shot.pass);

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
  }
  if (s.backend && !o.trace.empty()) {
    // Opened without waiting: a FIFO nobody reads would hold start-up before any window.
    const int fd = open(o.trace.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd >= 0 && fcntl(fd, F_SETFL, 0) == 0) s.trace = fdopen(fd, "w");
    const int why = errno;
    if (!s.trace && fd >= 0) close(fd);
    if (!s.trace) {
      error = "cannot write trace '" + o.trace + "': " +
              (why == ENXIO ? "a FIFO that nothing reads" : std::strerror(why));
    }
    // A trace to a terminal (the browser's console is one) is read as it happens.
    if (s.trace) std::setvbuf(s.trace, nullptr, isatty(fileno(s.trace)) ? _IOLBF : _IOFBF, 1 << 20);
  }
  if (!s.backend || (!o.trace.empty() && !s.trace)) {
    s = State();
    return false;
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
      Lost("no shot " + Printable(shot.file) + " for pass " + std::to_string(shot.pass) +
           ": the run ended in pass " + std::to_string(s.pass));
    }
  }
  const PassTiming& t = s.timing;
  if (s.options.timedemo && (t.passes == 0 || t.cpuSeconds <= 0.0 || t.wallSeconds <= 0.0)) {
    std::fprintf(stderr, "tonkalo: timedemo: no pass was timed\n");
  } else if (s.options.timedemo) {
    std::fprintf(stderr, "tonkalo: timedemo: %lld passes, %.0f passes a second, %.1f µs CPU a pass\n",
                 t.passes, static_cast<double>(t.passes) / t.wallSeconds,
                 t.cpuSeconds * 1e6 / static_cast<double>(t.passes));
  }
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
    if (error) Lost("cannot write trace '" + Printable(s.options.trace) + "': " + std::strerror(error));
    s.trace = nullptr;
  }
  const bool complete = !s.outputLost;
  s = State();
  return complete;
}

int QuitSignal() { return caughtSignal; }

void SetVirtualInput(int x, int y, bool down) {
  State& s = S();
  s.input.x = x;
  s.input.y = y;
  if (down && !s.input.down) QueueLeftButtonDown();
  s.input.down = down;
}

PassTiming TimedPasses() { return S().timing; }

// --- the door (platform.h) ---

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
  if (caughtSignal != 0 && !s.signalClosed) {
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
  x = s.input.x;
  y = s.input.y;
  if (!s.scripted) B().Pointer(x, y);
  if (s.recorder) {
    s.pointerPass = s.pass;
    s.pointerX = x;
    s.pointerY = y;
    s.recorder->Pointer(s.pass, x, y);
  }
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
  s.cursorCounter += show ? 1 : -1;
  // The counter just crossed from -1 to 0 or back.
  if (s.cursorCounter == (show ? 0 : -1)) B().SetCursorVisible(show);
  return s.cursorCounter;
}

void MessageBox(const char* text, const char* caption) {
  std::string t = text ? text : "";
  const char* c = caption ? caption : "";
  std::size_t cut = 0;
  for (std::size_t at = 0; at < t.size() && (NextCodePoint(t, at), at <= 255);) cut = at;
  t.resize(std::min(cut, t.size()));
  TraceEvent("message").Str("caption", c).Str("text", t);
  std::string line = std::string(c) + ": " + t;
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::replace(line.begin(), line.end(), '\r', ' ');
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  B().ShowMessageBox(c, t.c_str());
}

void Present(const std::uint32_t* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return;
  State& s = S();
  // Only shots and tests read the kept frame; a run without them does not pay for a
  // copy every frame.
  if (s.options.keepFrames || s.pass <= s.lastShotPass) {
    s.lastFrame.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
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
  static const char* const kNames[] = {"stop", "open", "play", "replay", "close"};
  {
    TraceEvent event("music");
    event.Str("command", kNames[static_cast<int>(command)]);
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

// --- the trace ---

TraceEvent::TraceEvent(const char* name) : on_(S().trace != nullptr) {
  if (!on_) return;
  line_ = "{\"pass\":" + std::to_string(CurrentPass()) + ",\"tick\":" +
          std::to_string(GetTickCount()) + ",\"event\":";
  AppendJson(line_, name ? name : "");
}

TraceEvent::~TraceEvent() {
  if (on_ && S().trace) std::fputs((line_ + "}\n").c_str(), S().trace);
}

TraceEvent& TraceEvent::Field(const char* key, const std::string& json) {
  line_ += ',';
  AppendJson(line_, key);
  line_ += ':' + json;
  return *this;
}

TraceEvent& TraceEvent::Int(const char* key, long long value) {
  return on_ ? Field(key, std::to_string(value)) : *this;
}

TraceEvent& TraceEvent::Num(const char* key, double value) {
  char text[32] = "null";
  if (std::isfinite(value)) std::snprintf(text, sizeof text, "%.9g", value);
  return on_ ? Field(key, text) : *this;
}

TraceEvent& TraceEvent::Str(const char* key, const std::string& value) {
  if (!on_) return *this;
  std::string quoted;
  AppendJson(quoted, value);
  return Field(key, quoted);
}

TraceEvent& TraceEvent::Bool(const char* key, bool value) {
  return on_ ? Field(key, value ? "true" : "false") : *this;
}

TraceEvent& TraceEvent::Ints(const char* key, const int* values, int count) {
  if (!on_) return *this;
  std::string list = "[";
  for (int i = 0; i < count; ++i) list += (i ? "," : "") + std::to_string(values[i]);
  return Field(key, list + "]");
}

}  // namespace platform
