// The real window, mouse and audio, on SDL2 and SDL2_mixer. Only the game thread calls
// in here; the one exception is the music-finished hook, which SDL_mixer runs on its
// audio thread and which does nothing but push an event for the game thread to find.
#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <thread>

#include "platform/backend.h"
#include "platform/sdl/present.h"

namespace platform {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kEffectChannel = 0;

// Set by the game thread around each halt it asks for: SDL_mixer's finished hook fires
// for those too (on the calling thread), and they must not restart the track.
std::atomic<bool> haltRequested{false};
// Bumped by every music command, so a notice raised just before a command is dropped.
std::atomic<Sint32> musicGeneration{0};
std::atomic<Uint32> musicFinishedEvent{static_cast<Uint32>(-1)};

void OnMusicFinished() {
  if (haltRequested || musicFinishedEvent == static_cast<Uint32>(-1)) return;
  SDL_Event event;
  SDL_zero(event);
  event.type = musicFinishedEvent.load();
  event.user.code = musicGeneration.load();
  SDL_PushEvent(&event);
}

class SdlBackend : public Backend {
 public:
  SdlBackend(const Options& options, bool realMouse)
      : options_(options), realMouse_(realMouse), start_(std::chrono::steady_clock::now()) {}
  ~SdlBackend() override;

  bool Open(std::string& error);

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

 private:
  struct CachedEffect {
    const std::uint8_t* image = nullptr;
    std::size_t size = 0;
    Mix_Chunk* chunk = nullptr;
  };

  int DefaultScale() const;
  void ToggleFullscreen();
  void OpenAudio();
  void HaltMusicQuietly();
  void FreeMusic();

  Options options_;
  bool realMouse_;
  std::chrono::steady_clock::time_point start_;
  SDL_Window* window_ = nullptr;
  std::unique_ptr<Presenter> presenter_;
  bool fullscreen_ = false;
  bool audio_ = false;
  std::map<int, CachedEffect> effects_;
  Mix_Music* music_ = nullptr;
  std::string musicPath_;
};

SdlBackend::~SdlBackend() {
  if (audio_) {
    Mix_HaltChannel(-1);
    for (auto& entry : effects_) Mix_FreeChunk(entry.second.chunk);
    effects_.clear();
    HaltMusicQuietly();
    Mix_HookMusicFinished(nullptr);
    FreeMusic();
    Mix_CloseAudio();
    Mix_Quit();
  }
  musicFinishedEvent = static_cast<Uint32>(-1);
  presenter_.reset();
  if (window_) SDL_DestroyWindow(window_);
  SDL_Quit();
}

bool SdlBackend::Open(std::string& error) {
  // A click that activates the window is a click in the game, as it was on Windows.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // Left to itself SDL would probe Wayland even where there is none (which prints its
  // own complaint) and then settle for an invisible off-screen window. Unless the user
  // picked a driver, only real displays are tried.
  const char* chosenDriver = SDL_getenv("SDL_VIDEODRIVER");
  const bool driverChosen = chosenDriver && *chosenDriver;
  if (!driverChosen) {
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    SDL_SetHint(SDL_HINT_VIDEODRIVER, wayland && *wayland ? "x11,wayland,KMSDRM" : "x11,KMSDRM");
  }
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    error = std::string("no display available (") + SDL_GetError() +
            "); use --headless to run without a window";
    return false;
  }

  const int scale = options_.scale > 0 ? options_.scale : DefaultScale();
  Uint32 flags = SDL_WINDOW_SHOWN | SDL_WINDOW_ALLOW_HIGHDPI;
  if (options_.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  window_ = SDL_CreateWindow("Tonkalo", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             kWidth * scale, kHeight * scale, flags);
  if (!window_) {
    error = std::string("cannot open the window (") + SDL_GetError() +
            "); use --headless to run without a window";
    return false;
  }
  fullscreen_ = options_.fullscreen;
  presenter_ = MakePresenter(window_, options_.present, error);
  if (!presenter_) return false;
  Verbose("present: %s", presenter_->Description().c_str());

  musicFinishedEvent = SDL_RegisterEvents(1);
  OpenAudio();
  return true;
}

int SdlBackend::DefaultScale() const {
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return 1;
    usable.w = mode.w;
    usable.h = mode.h;
  }
  int scale = 1;
  while (kWidth * (scale + 1) <= usable.w * 9 / 10 && kHeight * (scale + 1) <= usable.h * 9 / 10) {
    ++scale;
  }
  return scale;
}

// A machine without a sound device plays silently; SDL_AUDIODRIVER picks the driver.
void SdlBackend::OpenAudio() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
  Mix_Init(MIX_INIT_MP3);
  if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return;
  }
  Mix_AllocateChannels(1);
  Mix_HookMusicFinished(OnMusicFinished);
  audio_ = true;
}

std::uint32_t SdlBackend::Tick() {
  const auto elapsed = std::chrono::steady_clock::now() - start_;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  return options_.startTick + static_cast<std::uint32_t>(ms);
}

// Wakes at the first multiple of the tick, counted from start-up, that lies at least
// `ms` ahead: the port's stand-in for a Sleep that rounds up to the system tick.
void SdlBackend::SleepToBoundary(std::uint32_t ms) {
  using namespace std::chrono;
  const double tickNs = options_.tickMs * 1e6;
  const double elapsedNs =
      static_cast<double>(duration_cast<nanoseconds>(steady_clock::now() - start_).count());
  const double boundary = std::ceil((elapsedNs + ms * 1e6) / tickNs);
  const auto wake = start_ + nanoseconds(static_cast<long long>(boundary * tickNs));
  std::this_thread::sleep_until(wake);
}

void SdlBackend::Pump(std::deque<Message>& queue) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      // Closing the one window arrives here, as do SIGINT and SIGTERM: all take the
      // normal exit path.
      case SDL_QUIT:
        queue.push_back({WM_CLOSE, 0, 0});
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          queue.push_back({WM_SIZE, 0, static_cast<std::intptr_t>(kWidth | (kHeight << 16))});
        }
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (realMouse_ && event.button.button == SDL_BUTTON_LEFT) {
          const unsigned message = event.button.clicks % 2 == 0 ? WM_LBUTTONDBLCLK
                                                                 : WM_LBUTTONDOWN;
          int x = 0;
          int y = 0;
          presenter_->EventToFrame(event.button.x, event.button.y, x, y);
          queue.push_back({message, 1, PackPoint(x, y)});
        }
        break;
      case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_RETURN && (event.key.keysym.mod & KMOD_ALT) &&
            !event.key.repeat) {
          ToggleFullscreen();
        }
        break;
      default:
        if (event.type == musicFinishedEvent && event.user.code == musicGeneration.load()) {
          queue.push_back({MCIWNDM_NOTIFYMODE, 0, MCI_MODE_STOP});
        }
        break;
    }
  }
}

void SdlBackend::ToggleFullscreen() {
  fullscreen_ = !fullscreen_;
  SDL_SetWindowFullscreen(window_, fullscreen_ ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

// In back-buffer pixels whatever the scale, HiDPI factor or letterbox. While the window
// has the mouse its own report is used; otherwise the desktop pointer relative to the
// window, so that a cursor beyond the edge reads as outside.
void SdlBackend::Pointer(int& x, int& y) {
  int wx = 0;
  int wy = 0;
  if (SDL_GetMouseFocus() == window_) {
    SDL_GetMouseState(&wx, &wy);
  } else {
    int gx = 0;
    int gy = 0;
    int left = 0;
    int top = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(window_, &left, &top);
    wx = gx - left;
    wy = gy - top;
  }
  presenter_->WindowToFrame(wx, wy, x, y);
}

bool SdlBackend::PointerButton() {
  return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON(SDL_BUTTON_LEFT)) != 0;
}

void SdlBackend::SetCursorVisible(bool visible) {
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void SdlBackend::ShowMessageBox(const char* caption, const char* text) {
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, window_);
}

void SdlBackend::Present(const std::uint32_t* pixels, int width, int height) {
  presenter_->Present(pixels, width, height);
}

// One channel for effects: each play halts it first, so the chunk replaced in the cache
// below is never one that is still sounding.
void SdlBackend::PlayWave(int index, const std::uint8_t* image, std::size_t size) {
  if (!audio_) return;
  Mix_HaltChannel(kEffectChannel);
  if (index < 0 || !image || size == 0) return;
  CachedEffect& cached = effects_[index];
  if (!cached.chunk || cached.image != image || cached.size != size) {
    Mix_FreeChunk(cached.chunk);
    cached.chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(image, static_cast<int>(size)), 1);
    cached.image = image;
    cached.size = size;
  }
  if (cached.chunk) Mix_PlayChannel(kEffectChannel, cached.chunk, 0);
}

void SdlBackend::HaltMusicQuietly() {
  haltRequested = true;
  Mix_HaltMusic();
  haltRequested = false;
}

void SdlBackend::FreeMusic() {
  if (music_) Mix_FreeMusic(music_);
  music_ = nullptr;
}

// A missing or broken track leaves music_ null: play then does nothing, says nothing.
void SdlBackend::Music(MusicCommand command, const std::string& path) {
  if (!audio_) return;
  ++musicGeneration;
  switch (command) {
    case MusicCommand::Stop:
      HaltMusicQuietly();
      break;
    case MusicCommand::Open:
      HaltMusicQuietly();
      FreeMusic();
      musicPath_ = path;
      music_ = Mix_LoadMUS(path.c_str());
      break;
    case MusicCommand::Play:
      HaltMusicQuietly();
      if (music_) Mix_PlayMusic(music_, 0);
      break;
    case MusicCommand::Replay:
      HaltMusicQuietly();
      FreeMusic();
      if (!path.empty()) musicPath_ = path;
      music_ = Mix_LoadMUS(musicPath_.c_str());
      if (music_) Mix_PlayMusic(music_, 0);
      break;
    case MusicCommand::Close:
      HaltMusicQuietly();
      FreeMusic();
      break;
  }
}

}  // namespace

std::unique_ptr<Backend> MakeSdlBackend(const Options& options, bool realMouse,
                                        std::string& error) {
  auto backend = std::make_unique<SdlBackend>(options, realMouse);
  if (!backend->Open(error)) return nullptr;
  return backend;
}

}  // namespace platform
