// libFuzzer entry for the sound effects as far as the game's own code goes: a WAV file
// of any content is loaded whole at start-up and its bytes, unchanged, are what the
// mixer is handed when the effect plays. (The music tracks are handed to the mixer by
// path; the game reads no byte of them.)
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/sound.h"
#include "platform/headless/control.h"
#include "platform/core/startup.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/tonkalo-sound-fuzz-XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0 || mkdir("WAV", 0755) != 0) std::abort();
  platform::Options options;
  options.headless = true;
  std::string error;
  if (!platform::Init(options, error)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(kSoundEffectFiles[0], "wb");
  if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
  const WaveBlock block = LoadWholeFile(kSoundEffectFiles[0]);
  if (!block.loaded || block.bytes.size() != size ||
      (size > 0 && std::memcmp(block.bytes.data(), data, size) != 0)) {
    std::abort();
  }
  headless::ClearRecords();
  LoadSoundEffects();
  PlaySoundEffect(0);
  ReleaseSoundEffects();
  if (headless::PlayedSoundSizes().size() != 1 || headless::PlayedSoundSizes()[0] != size) {
    std::abort();
  }
  return 0;
}
