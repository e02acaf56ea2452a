// The ten sound effects and the two music loops.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "synth.h"

namespace assetgen {

// Levels of the mix. The game plays one effect at a time over the music, both at full
// volume, and the mixer adds them: an effect's peak meeting the music's peak gives
// -4 and -10.5 dBFS together, 0.93 of full scale (-0.6 dBFS), so no game clips, with
// room for the MP3 decoder's small overshoot. The music sits well under the effects.
constexpr double kEffectPeakDb = -4.0;
constexpr double kMusicPeakDb = -10.5;

struct SoundEffect {
  std::string name;  // file name under WAV/
  Signal samples;    // mono, kSampleRate
};

// In the order of the game's effect indices 0 to 9.
std::vector<SoundEffect> MakeSoundEffects();

struct MusicTrack {
  std::string name;  // file name under MP3/
  std::vector<std::uint8_t> mp3;     // 160 kbit/s, the game's own
  std::vector<std::uint8_t> webMp3;  // 96 kbit/s, under web/MP3/ for the browser page
  double seconds = 0;  // length of one loop
};

// The calm title loop and the lively play loop, encoded with LAME; false with a message
// if the encoder fails.
bool MakeMusic(std::vector<MusicTrack>& out);

}  // namespace assetgen
