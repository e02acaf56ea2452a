// The ten sound effects: whole WAV files held in memory from start-up to shutdown and
// played by index on one channel, each play cutting off the one before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A whole file read into memory; empty (no block) when it cannot be read or is far too
// big for a sound effect.
struct WaveBlock {
  std::vector<std::uint8_t> bytes;
  bool loaded = false;
};

WaveBlock LoadWholeFile(const char* path);
// 1 when all ten files loaded, else 0; every file is attempted.
int LoadSoundEffects();
// Plays effect `index` (0 to 9); a missing effect halts the channel instead.
void PlaySoundEffect(int index);
// Halts the channel, then frees every block.
void ReleaseSoundEffects();
// The file of each effect, in index order.
extern const char* const kSoundEffectFiles[10];
