// Only the game thread calls in here; the one exception is the music-finished hook,
// which SDL_mixer runs on its audio thread and which does nothing but push an event for
// the game thread to find.
#include "platform/sdl/sdl_audio.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>

namespace platform {

namespace {

constexpr int kEffectChannel = 0;

// Set by the game thread around each halt it asks for: SDL_mixer's finished hook fires
// for those too (on the calling thread), and they must not restart the track.
std::atomic<bool> haltRequested{false};
// Bumped by every music command, so a notice raised just before a command is dropped.
std::atomic<Sint32> musicGeneration{0};
std::atomic<Uint32> musicFinishedEvent{0};

void OnMusicFinished() {
  if (haltRequested || musicFinishedEvent == 0) return;
  SDL_Event event;
  SDL_zero(event);
  event.type = musicFinishedEvent.load();
  event.user.code = musicGeneration.load();
  SDL_PushEvent(&event);
}

extern "C" void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// alsa-lib prints its whole search for a card on standard error when there is none.
// Its error handler is process-wide, so it is set before SDL looks for a device; the
// library stays loaded (and the handler in place) for the life of the process.
void QuietenAlsa() {
  void* alsa = dlopen("libasound.so.2", RTLD_NOW);
  if (!alsa) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  const auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
  if (set) set(IgnoreAlsaError);
}

}  // namespace

SdlAudio::~SdlAudio() {
  if (!open_) return;
  Mix_HaltChannel(-1);
  Mix_FreeChunk(effect_.chunk);
  effect_ = {};
  HaltMusicQuietly();
  Mix_HookMusicFinished(nullptr);
  FreeMusic();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  musicFinishedEvent = 0;
}

void SdlAudio::Open(const Options& options) {
  SetVolume(options.volume);
  musicOn_ = options.music;
  if (!options.sound) {
    Verbose("no audio (--no-sound)");
    return;
  }
  if (!options.verbose) QuietenAlsa();
  // SDL_AUDIODRIVER, when set, picks the driver.
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    Verbose("no audio (%s)", SDL_GetError());
    return;
  }
  Mix_Init(MIX_INIT_MP3);
  if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
    Verbose("no audio (%s)", Mix_GetError());
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  Mix_AllocateChannels(1);
  musicFinishedEvent = SDL_RegisterEvents(1);
  Mix_HookMusicFinished(OnMusicFinished);
  open_ = true;
  ApplyVolumes();
  Verbose("audio: %s", SDL_GetCurrentAudioDriver());
}

std::uint32_t SdlAudio::FinishedEvent() const { return open_ ? musicFinishedEvent.load() : 0; }

std::int32_t SdlAudio::CurrentGeneration() { return musicGeneration.load(); }

void SdlAudio::ApplyVolumes() {
  Mix_Volume(kEffectChannel, effectsOn_ ? volume_ : 0);
  Mix_VolumeMusic(musicOn_ ? volume_ : 0);
}

void SdlAudio::SetPaused(bool paused) {
  if (!open_) return;
  if (paused) {
    Mix_Pause(-1);
    Mix_PauseMusic();
  } else {
    Mix_Resume(-1);
    Mix_ResumeMusic();
  }
}

// Muting, not stopping: the track keeps its place and still loops at its end.
void SdlAudio::ToggleMusic() {
  musicOn_ = !musicOn_;
  if (open_) ApplyVolumes();
}

void SdlAudio::ToggleEffects() { SetEffects(!effectsOn_); }

void SdlAudio::SetEffects(bool on) {
  effectsOn_ = on;
  if (open_) ApplyVolumes();
}

void SdlAudio::SetVolume(int percent) {
  percent_ = std::clamp(percent, 0, 100);
  volume_ = percent_ * MIX_MAX_VOLUME / 100;
  if (open_) ApplyVolumes();
}

// One channel for effects: each play halts it first, so the chunk replaced below is
// never one that is still sounding.
void SdlAudio::PlayWave(int index, const std::uint8_t* image, std::size_t size) {
  if (!open_) return;
  Mix_HaltChannel(kEffectChannel);
  if (index < 0 || !image || size == 0) return;
  if (!effect_.chunk || effect_.image != image || effect_.size != size) {
    Mix_FreeChunk(effect_.chunk);
    effect_.chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(image, static_cast<int>(size)), 1);
    effect_.image = image;
    effect_.size = size;
  }
  if (effect_.chunk) Mix_PlayChannel(kEffectChannel, effect_.chunk, 0);
}

void SdlAudio::HaltMusicQuietly() {
  haltRequested = true;
  Mix_HaltMusic();
  haltRequested = false;
}

void SdlAudio::FreeMusic() {
  if (music_) Mix_FreeMusic(music_);
  music_ = nullptr;
}

// A missing or broken track leaves music_ null: play then does nothing.
bool SdlAudio::Music(MusicCommand command, const std::string& path, std::string& problem) {
  if (!open_) return true;
  ++musicGeneration;
  // Whatever comes next, the track playing now stops first, without its end notice.
  HaltMusicQuietly();
  const bool loads = command == MusicCommand::Open || command == MusicCommand::Replay;
  switch (command) {
    case MusicCommand::Stop:
      break;
    case MusicCommand::Open:
      FreeMusic();
      musicPath_ = path;
      music_ = Mix_LoadMUS(path.c_str());
      break;
    case MusicCommand::Play:
      if (music_) Mix_PlayMusic(music_, 0);
      break;
    case MusicCommand::Replay:
      FreeMusic();
      if (!path.empty()) musicPath_ = path;
      music_ = Mix_LoadMUS(musicPath_.c_str());
      if (music_) Mix_PlayMusic(music_, 0);
      break;
    case MusicCommand::Close:
      FreeMusic();
      break;
  }
  if (!loads || music_ || !missing_.insert(musicPath_).second) return true;
  problem = "cannot play the music '" + musicPath_ + "': " + Mix_GetError();
  return false;
}

}  // namespace platform
