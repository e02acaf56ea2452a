#include "platform/headless/headless_backend.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace platform {

namespace {

HeadlessBackend* active = nullptr;

// The records are for tests that read a few of them; a long run (a soak of the built-in
// player) keeps only the latest, so that its memory stays flat.
constexpr std::size_t kMaxRecords = 1 << 12;

template <typename T>
void Record(std::vector<T>& records, T entry) {
  if (records.size() >= kMaxRecords) {
    records.erase(records.begin(), records.begin() + kMaxRecords / 2);
  }
  records.push_back(std::move(entry));
}

}  // namespace

HeadlessBackend* ActiveHeadless() { return active; }

std::unique_ptr<Backend> MakeHeadlessBackend(const Options& options) {
  return std::make_unique<HeadlessBackend>(options);
}

HeadlessBackend::HeadlessBackend(const Options& options)
    : clock_(options.tickMs, options.startTick) {
  active = this;
}

HeadlessBackend::~HeadlessBackend() {
  if (active == this) active = nullptr;
}

std::uint32_t HeadlessBackend::Tick() { return clock_.Tick(); }

void HeadlessBackend::SleepToBoundary(std::uint32_t ms) { clock_.SleepToBoundary(ms); }

void HeadlessBackend::SetTick(std::uint32_t tick) { clock_.Set(tick); }

void HeadlessBackend::AdvanceTick(std::uint32_t ms) { clock_.Advance(ms); }

void HeadlessBackend::Pump(std::deque<Message>&) {}

void HeadlessBackend::Pointer(int& x, int& y) {
  x = ScriptedInput().x;
  y = ScriptedInput().y;
}

bool HeadlessBackend::PointerButton() { return ScriptedInput().down; }

void HeadlessBackend::SetCursorVisible(bool) {}

void HeadlessBackend::ShowMessageBox(const char* caption, const char* text) {
  Record(boxes, headless::BoxRecord{caption, text});
}

void HeadlessBackend::Present(const std::uint32_t* pixels, int width, int height) {
  const long long pass = CurrentPass();
  if (hashEvery <= 0 || pass % hashEvery != 0) return;
  std::uint64_t hash = 0xcbf29ce484222325u;
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (std::size_t i = 0; i < count; ++i) hash = (hash ^ pixels[i]) * 0x100000001b3u;
  if (!frameHashes.empty() && frameHashes.back().pass == pass) frameHashes.pop_back();
  frameHashes.push_back({pass, hash});
}

void HeadlessBackend::PlayWave(int index, const std::uint8_t* image, std::size_t size) {
  if (index < 0) return;
  Record(sounds, index);
  Record(soundSizes, image ? size : 0);
}

void HeadlessBackend::Music(MusicCommand command, const std::string& path) {
  switch (command) {
    case MusicCommand::Stop:
      Record(music, headless::MusicRecord{"stop", ""});
      break;
    case MusicCommand::Open:
      openedPath_ = path;
      Record(music, headless::MusicRecord{"open", path});
      break;
    case MusicCommand::Play:
      Record(music, headless::MusicRecord{"play", ""});
      break;
    case MusicCommand::Replay:
      if (!path.empty()) openedPath_ = path;
      Record(music, headless::MusicRecord{"replay", openedPath_});
      break;
    case MusicCommand::Close:
      Record(music, headless::MusicRecord{"close", ""});
      break;
  }
}

}  // namespace platform
