// Direct control of the headless backend, for tests that run game code in-process:
// set the virtual clock, the cursor and the button, and read back what was played and
// shown. Only meaningful after platform::Init with options.headless = true.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace headless {

struct MusicRecord {
  std::string command;  // "stop", "open", "play", "replay" or "close"
  std::string path;     // with "open" (and "replay": the path reopened)
};

struct BoxRecord {
  std::string caption;
  std::string text;
};

void SetTick(std::uint32_t tick);
void AdvanceTick(std::uint32_t ms);
void SetCursor(int x, int y);
void SetButton(bool down);
// Queues a window message as the script's "down" and "close" do.
void PostLeftButtonDown();
void PostClose();
// The stopped notice a real player sends when a track plays to its end.
void FinishMusicTrack();

// Everything recorded since Init or the last Clear (in a long run, the latest 2,048 at
// least of each kind).
const std::vector<int>& PlayedSounds();
// The size of the WAV image each of PlayedSounds came with; 0 for an effect played
// without an image, which only halts the channel.
const std::vector<std::size_t>& PlayedSoundSizes();
const std::vector<MusicRecord>& MusicCommands();
const std::vector<BoxRecord>& MessageBoxes();
// The last presented frame (640 x 480, 0x00RRGGBB), empty before the first present.
const std::vector<std::uint32_t>& LastFrame();
void ClearRecords();

// A fingerprint of each frame presented in a pass that is a multiple of `every` (0:
// none), from now on: for checks that a whole game looks the same, pixel for pixel.
void HashFrames(int every);
struct FrameHash {
  long long pass;
  std::uint64_t hash;  // 64-bit FNV-1a over the pixels, a 32-bit word at a time
};
// In pass order; a pass that presented twice counts with its last frame.
const std::vector<FrameHash>& FrameHashes();

// From now on each presented frame is checked against the one before it: a pixel that
// changed outside the areas the frame came with is `missed`. For the window's present,
// which looks only inside those areas.
void CheckFrameChanges();
struct FrameChangeCount {
  long long frames = 0;        // presented with the frame before them known
  long long pixels = 0;        // in those frames
  long long inAreas = 0;       // of those, inside their areas (a pixel in two counts twice)
  long long changed = 0;       // of those, different from the frame before
  long long missed = 0;        // changed, but outside the areas
};
const FrameChangeCount& FrameChangeCounts();

}  // namespace headless
