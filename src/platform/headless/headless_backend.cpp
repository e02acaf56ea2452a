// The headless backend: a virtual clock that only moves when the game sleeps (or a test
// moves it), no window, no audio; what would have been heard or shown is recorded for
// the tests (control.h).
#include <utility>

#include "platform/core/backend.h"
#include "platform/core/virtual_clock.h"
#include "platform/headless/control.h"

namespace platform {

namespace {

// The records are for tests that read a few of them; a long run (a soak of the built-in
// player) keeps only the latest, so that its memory stays flat.
template <typename T>
void Record(std::vector<T>& records, T entry) {
  constexpr std::size_t kMaxRecords = 1 << 12;
  if (records.size() >= kMaxRecords) records.erase(records.begin(), records.begin() + kMaxRecords / 2);
  records.push_back(std::move(entry));
}

}  // namespace

class HeadlessBackend : public Backend {
 public:
  explicit HeadlessBackend(const Options& options) : clock(options.tickMs, options.startTick) {}

  std::uint32_t Tick() override { return clock.Tick(); }
  void SleepToBoundary(std::uint32_t ms) override { clock.SleepToBoundary(ms); }
  void Pump(std::deque<Message>&) override {}
  // The input is always scripted here: the core never asks for a real pointer.
  void Pointer(int&, int&) override {}
  bool PointerButton() override { return false; }
  void SetCursorVisible(bool) override {}
  void ShowMessageBox(const char* caption, const char* text) override {
    Record(boxes, headless::BoxRecord{caption, text});
  }
  void Present(const std::uint32_t* pixels, int width, int height) override {
    const long long pass = CurrentPass();
    if (hashEvery <= 0 || pass % hashEvery != 0) return;
    std::uint64_t hash = 0xcbf29ce484222325u;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i) hash = (hash ^ pixels[i]) * 0x100000001b3u;
    if (!frameHashes.empty() && frameHashes.back().pass == pass) frameHashes.pop_back();
    frameHashes.push_back({pass, hash});
  }
  void PlayWave(int index, const std::uint8_t* image, std::size_t size) override {
    if (index < 0) return;
    Record(sounds, index);
    Record(soundSizes, image ? size : 0);
  }
  void Music(MusicCommand command, const std::string& path) override {
    static const char* const kNames[] = {"stop", "open", "play", "replay", "close"};
    if (command == MusicCommand::Open || (command == MusicCommand::Replay && !path.empty())) {
      openedPath = path;
    }
    const bool named = command == MusicCommand::Open || command == MusicCommand::Replay;
    Record(music, headless::MusicRecord{kNames[static_cast<int>(command)], named ? openedPath : ""});
  }

  VirtualClock clock;
  std::string openedPath;
  std::vector<int> sounds;
  std::vector<std::size_t> soundSizes;  // 0 where no image came with the effect
  std::vector<headless::MusicRecord> music;
  std::vector<headless::BoxRecord> boxes;
  int hashEvery = 0;
  std::vector<headless::FrameHash> frameHashes;
};

std::unique_ptr<Backend> MakeHeadlessBackend(const Options& options) {
  return std::make_unique<HeadlessBackend>(options);
}

}  // namespace platform

namespace headless {

namespace {

// The headless backend (the default one when no Init has run yet); null while the
// window backend runs, when every record reads empty.
platform::HeadlessBackend* H() {
  return dynamic_cast<platform::HeadlessBackend*>(&platform::CurrentBackend());
}

template <typename T>
const std::vector<T>& Records(std::vector<T> platform::HeadlessBackend::*records) {
  static const std::vector<T> none;
  return H() ? H()->*records : none;
}

}  // namespace

void SetTick(std::uint32_t tick) {
  if (H()) H()->clock.Set(tick);
}

void AdvanceTick(std::uint32_t ms) {
  if (H()) H()->clock.Advance(ms);
}

void SetCursor(int x, int y) {
  platform::ScriptedInput().x = x;
  platform::ScriptedInput().y = y;
}

void SetButton(bool down) { platform::ScriptedInput().down = down; }

void PostLeftButtonDown() {
  const platform::VirtualInput& at = platform::ScriptedInput();
  platform::QueueMessage({platform::WM_LBUTTONDOWN, 1, platform::PackPoint(at.x, at.y)});
}

void PostClose() { platform::QueueMessage({platform::WM_CLOSE, 0, 0}); }

void FinishMusicTrack() {
  platform::QueueMessage({platform::MCIWNDM_NOTIFYMODE, 0, platform::MCI_MODE_STOP});
}

const std::vector<int>& PlayedSounds() { return Records(&platform::HeadlessBackend::sounds); }

const std::vector<std::size_t>& PlayedSoundSizes() {
  return Records(&platform::HeadlessBackend::soundSizes);
}

const std::vector<MusicRecord>& MusicCommands() { return Records(&platform::HeadlessBackend::music); }

const std::vector<BoxRecord>& MessageBoxes() { return Records(&platform::HeadlessBackend::boxes); }

const std::vector<FrameHash>& FrameHashes() {
  return Records(&platform::HeadlessBackend::frameHashes);
}

const std::vector<std::uint32_t>& LastFrame() { return platform::LastFrame(); }

void ClearRecords() {
  if (platform::HeadlessBackend* h = H()) {
    h->sounds.clear();
    h->soundSizes.clear();
    h->music.clear();
    h->boxes.clear();
    h->frameHashes.clear();
  }
  platform::LastFrame(true);
}

void HashFrames(int every) {
  if (H()) H()->hashEvery = every;
}

}  // namespace headless
