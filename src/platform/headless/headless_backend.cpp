#include "platform/headless/headless_backend.h"

namespace platform {

namespace {
HeadlessBackend* active = nullptr;
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
  boxes.push_back({caption, text});
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
  sounds.push_back(index);
  soundSizes.push_back(image ? size : 0);
}

void HeadlessBackend::Music(MusicCommand command, const std::string& path) {
  switch (command) {
    case MusicCommand::Stop:
      music.push_back({"stop", ""});
      break;
    case MusicCommand::Open:
      openedPath_ = path;
      music.push_back({"open", path});
      break;
    case MusicCommand::Play:
      music.push_back({"play", ""});
      break;
    case MusicCommand::Replay:
      if (!path.empty()) openedPath_ = path;
      music.push_back({"replay", openedPath_});
      break;
    case MusicCommand::Close:
      music.push_back({"close", ""});
      break;
  }
}

}  // namespace platform
