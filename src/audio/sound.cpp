#include "audio/sound.h"

#include "platform/core/platform.h"

const char* const kSoundEffectFiles[10] = {
    "WAV/tm2_bom003.wav",   "WAV/cursor09.wav",     "WAV/bell07.wav",
    "WAV/push04.wav",       "WAV/shoot16_b.wav",    "WAV/tm2_laser002.wav",
    "WAV/tm2_put001.wav",   "WAV/tm2_power000.wav", "WAV/pi02.wav",
    "WAV/beep15.wav",
};

namespace {

constexpr int kEffectCount = 10;
// The effects are a second or two long; a file of more than this is refused rather
// than held in memory (and it would not fit the mixer's size type either).
constexpr std::size_t kMaxSoundFileBytes = 64u << 20;

// Loaded once at start-up and kept until shutdown: the player reads a block while its
// effect sounds, so a block is never replaced while the program runs.
WaveBlock effects[kEffectCount];

}  // namespace

WaveBlock LoadWholeFile(const char* path) {
  WaveBlock block;
  block.loaded = platform::ReadWholeFile(path, kMaxSoundFileBytes, block.bytes);
  return block;
}

int LoadSoundEffects() {
  int all = 1;
  for (int i = 0; i < kEffectCount; ++i) {
    effects[i] = LoadWholeFile(kSoundEffectFiles[i]);
    if (!effects[i].loaded) {
      all = 0;
      platform::SayOnce(std::string("cannot read the sound '") + kSoundEffectFiles[i] + "'");
    }
  }
  return all;
}

void PlaySoundEffect(int index) {
  if (index < 0 || index >= kEffectCount) return;
  const WaveBlock& effect = effects[index];
  if (effect.loaded) {
    platform::PlayWave(index, effect.bytes.data(), effect.bytes.size());
  } else {
    platform::PlayWave(index, nullptr, 0);
  }
}

void ReleaseSoundEffects() {
  // The channel may still be reading a block: silence it before anything is freed.
  platform::PlayWave(-1, nullptr, 0);
  for (WaveBlock& effect : effects) effect = WaveBlock();
}
