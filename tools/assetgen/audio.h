// The ten sound effects and the two music loops.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "synth.h"

namespace assetgen {

struct SoundEffect {
  std::string name;  // file name under WAV/
  Signal samples;    // mono, kSampleRate
};

// In the order of the game's effect indices 0 to 9.
std::vector<SoundEffect> MakeSoundEffects();

struct MusicTrack {
  std::string name;  // file name under MP3/
  std::vector<std::uint8_t> mp3;
  double seconds = 0;  // length of one loop
};

// The calm title loop and the lively play loop, encoded with LAME; false with a message
// if the encoder fails.
bool MakeMusic(std::vector<MusicTrack>& out);

}  // namespace assetgen
