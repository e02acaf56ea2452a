// Sound effects and music on SDL2_mixer for the window backend, with the player's
// switches around them (volume, music and effects on or off, pause). A machine without
// a sound device plays silently; the game never learns the difference.
#pragma once

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "platform/core/backend.h"

namespace platform {

class SdlAudio {
 public:
  SdlAudio() = default;
  ~SdlAudio();
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;

  // Opens the device unless options.sound is off; says which on the verbose line.
  void Open(const Options& options);
  // The SDL event type that a track playing to its end posts (0 without audio); its
  // user.code must equal CurrentGeneration() for the notice to count.
  std::uint32_t FinishedEvent() const;
  static std::int32_t CurrentGeneration();

  void PlayWave(int index, const std::uint8_t* image, std::size_t size);
  // False, with the line to say in `problem`, the first time a track cannot be loaded.
  bool Music(MusicCommand command, const std::string& path, std::string& problem);

  // While paused nothing sounds; both resume where they were.
  void SetPaused(bool paused);
  void ToggleMusic();
  void ToggleEffects();
  void SetEffects(bool on);
  // 0 to 100, for effects and music alike.
  void SetVolume(int percent);
  int Volume() const { return percent_; }
  bool MusicOn() const { return musicOn_; }
  bool EffectsOn() const { return effectsOn_; }

 private:
  struct CachedEffect {
    const std::uint8_t* image = nullptr;
    std::size_t size = 0;
    Mix_Chunk* chunk = nullptr;
  };
  void ApplyVolumes();
  void HaltMusicQuietly();
  void FreeMusic();

  bool open_ = false;
  int percent_ = 100;
  int volume_ = MIX_MAX_VOLUME;  // percent_ of the mixer's full scale
  bool musicOn_ = true;
  bool effectsOn_ = true;
  // The effect played last, converted for the mixer. Only one effect ever sounds (see
  // PlayWave); keeping all of them converted would hold over a megabyte, and converting
  // one again takes a fraction of a millisecond.
  CachedEffect effect_;
  Mix_Music* music_ = nullptr;
  std::string musicPath_;
  std::set<std::string> missing_;  // tracks already said to be missing
};

}  // namespace platform
