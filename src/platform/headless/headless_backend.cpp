#include "platform/headless/headless_backend.h"

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
    : tickMs_(options.tickMs > 0.0 ? options.tickMs : 15.625), origin_(options.startTick) {
  active = this;
}

HeadlessBackend::~HeadlessBackend() {
  if (active == this) active = nullptr;
}

std::uint64_t HeadlessBackend::Boundary(std::uint64_t k) const {
  return static_cast<std::uint64_t>(std::floor(static_cast<double>(k) * tickMs_));
}

std::uint32_t HeadlessBackend::Tick() {
  return origin_ + static_cast<std::uint32_t>(elapsed_);
}

void HeadlessBackend::SleepToBoundary(std::uint32_t ms) {
  const std::uint64_t need = elapsed_ + ms;
  std::uint64_t k = static_cast<std::uint64_t>(std::ceil(static_cast<double>(need) / tickMs_));
  if (k <= boundary_) k = boundary_ + 1;
  while (Boundary(k) < need) ++k;
  while (k > boundary_ + 1 && Boundary(k - 1) >= need) --k;
  boundary_ = k;
  elapsed_ = Boundary(k);
}

void HeadlessBackend::SetTick(std::uint32_t tick) {
  origin_ = tick;
  elapsed_ = 0;
  boundary_ = 0;
}

void HeadlessBackend::AdvanceTick(std::uint32_t ms) { elapsed_ += ms; }

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

void HeadlessBackend::Present(const std::uint32_t*, int, int) {}

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
