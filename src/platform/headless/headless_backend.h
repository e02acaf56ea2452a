// The headless backend: a virtual clock that only moves when the game sleeps (or a test
// moves it), no window, no audio; what would have been heard or shown is recorded for
// headless/control.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/backend.h"
#include "platform/headless/control.h"
#include "platform/core/virtual_clock.h"

namespace platform {

class HeadlessBackend : public Backend {
 public:
  explicit HeadlessBackend(const Options& options);
  ~HeadlessBackend() override;

  std::uint32_t Tick() override;
  void SleepToBoundary(std::uint32_t ms) override;
  void Pump(std::deque<Message>& queue) override;
  void Pointer(int& x, int& y) override;
  bool PointerButton() override;
  void SetCursorVisible(bool visible) override;
  void ShowMessageBox(const char* caption, const char* text) override;
  void Present(const std::uint32_t* pixels, int width, int height) override;
  void PlayWave(int index, const std::uint8_t* image, std::size_t size) override;
  void Music(MusicCommand command, const std::string& path) override;

  // The clock reads `tick` now; later sleeps step from here on the tick grid.
  void SetTick(std::uint32_t tick);
  void AdvanceTick(std::uint32_t ms);

  std::vector<int> sounds;
  std::vector<std::size_t> soundSizes;  // 0 where no image came with the effect
  std::vector<headless::MusicRecord> music;
  std::vector<headless::BoxRecord> boxes;
  int hashEvery = 0;
  std::vector<headless::FrameHash> frameHashes;

 private:
  VirtualClock clock_;
  std::string openedPath_;
};

}  // namespace platform
