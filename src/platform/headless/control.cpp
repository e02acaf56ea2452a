#include "platform/headless/control.h"

#include "platform/core/backend.h"
#include "platform/headless/headless_backend.h"
#include "platform/core/platform.h"

namespace headless {

namespace {

// The headless backend, created on first use when no Init has run yet; null while the
// window backend runs.
platform::HeadlessBackend* H() {
  platform::CurrentBackend();
  return platform::ActiveHeadless();
}

}  // namespace

void SetTick(std::uint32_t tick) {
  if (platform::HeadlessBackend* h = H()) h->SetTick(tick);
}

void AdvanceTick(std::uint32_t ms) {
  if (platform::HeadlessBackend* h = H()) h->AdvanceTick(ms);
}

void SetCursor(int x, int y) {
  platform::ScriptedInput().x = x;
  platform::ScriptedInput().y = y;
}

void SetButton(bool down) { platform::ScriptedInput().down = down; }

void PostLeftButtonDown() { platform::QueueLeftButtonDown(); }

void PostClose() { platform::QueueMessage({platform::WM_CLOSE, 0, 0}); }

void FinishMusicTrack() {
  platform::QueueMessage({platform::MCIWNDM_NOTIFYMODE, 0, platform::MCI_MODE_STOP});
}

const std::vector<int>& PlayedSounds() {
  static const std::vector<int> none;
  platform::HeadlessBackend* h = H();
  return h ? h->sounds : none;
}

const std::vector<std::size_t>& PlayedSoundSizes() {
  static const std::vector<std::size_t> none;
  platform::HeadlessBackend* h = H();
  return h ? h->soundSizes : none;
}

const std::vector<MusicRecord>& MusicCommands() {
  static const std::vector<MusicRecord> none;
  platform::HeadlessBackend* h = H();
  return h ? h->music : none;
}

const std::vector<BoxRecord>& MessageBoxes() {
  static const std::vector<BoxRecord> none;
  platform::HeadlessBackend* h = H();
  return h ? h->boxes : none;
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
  platform::ForgetLastFrame();
}

void HashFrames(int every) {
  if (platform::HeadlessBackend* h = H()) h->hashEvery = every;
}

const std::vector<FrameHash>& FrameHashes() {
  static const std::vector<FrameHash> none;
  platform::HeadlessBackend* h = H();
  return h ? h->frameHashes : none;
}

}  // namespace headless
