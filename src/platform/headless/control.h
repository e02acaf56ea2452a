// Direct control of the headless backend, for tests that run game code in-process: set
// the virtual clock, the cursor and the button, and read back what was played and
// shown. The records read empty while another backend runs.
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

// Everything recorded since Init or the last ClearRecords (in a long run, the latest
// 2,048 at least of each kind).
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

}  // namespace headless
