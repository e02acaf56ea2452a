// The real window and mouse on SDL2, and what the platform does around the game there:
// pause, the keys of its own (quit, fullscreen, music, effects, volume) with a label
// that answers each, message boxes drawn in the window, a resizable window that the
// picture fills as the page's canvas fills its box. None of it reaches the game as
// anything but the window messages it always had; a pause simply stops the passes and
// the clock together.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/core/backend.h"
#include "platform/core/press_latch.h"
#include "platform/files/settings.h"
#include "platform/sdl/panels.h"
#include "platform/sdl/present.h"
#include "platform/sdl/sdl_audio.h"

namespace platform {

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
// Written by the asset generator into the data folder, which is the working directory.
constexpr const char* kIconFile = "icons/tonkalo.bmp";
// Where the cursor reads while the pointer is away from the window, as on the page.
constexpr int kOutside = -10000;
// How long a key's label stays over the frame.
constexpr Uint32 kLabelMs = 1500;
constexpr int kVolumeStep = 10;

enum class PauseRequest { None, Begin, End };

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
  int DefaultScale() const;
  void ToggleFullscreen();
  PauseRequest Handle(const SDL_Event& event, std::deque<Message>& queue);
  PauseRequest HandleKey(const SDL_KeyboardEvent& key, std::deque<Message>& queue);
  void PauseUntilResumed(std::deque<Message>& queue);
  void ShowPausedPicture();
  // Presents `pixels` with the key label over them while one is due.
  void Show(const std::uint32_t* pixels, int width, int height);
  // The last frame (black before the first) copied into still_, for a panel over it.
  Canvas StillPicture();
  void ShowLabel(const std::string& text);
  // What went wrong stays longer than a key's answer: it may come before the first frame.
  void Notify(const std::string& text) override {
    ShowLabel(text);
    labelUntil_ += 2 * kLabelMs;
  }
  bool LabelDue() const;
  void LoadSettings();
  void KeepSettings();
  void ChangeVolume(int direction);
  Lettering& Letters();

  Options options_;
  bool realMouse_;
  // Start of the game's clock; moved on by each pause, so the game sees no time pass.
  std::chrono::steady_clock::time_point start_;
  SDL_Window* window_ = nullptr;
  Presenter presenter_;
  std::unique_ptr<SdlAudio> audio_;
  bool fullscreen_ = false;
  bool cursorVisible_ = true;
  // The last frame presented. It is the game's back buffer, which nothing draws into
  // between one pass's present and the next pass's frame, when a pause can begin.
  const std::uint32_t* lastPixels_ = nullptr;
  int lastWidth_ = kWidth;
  int lastHeight_ = kHeight;
  bool paused_ = false;
  bool resumeOnRelease_ = false;
  // The last frame with the pause panel or a message box over it; kept for the next.
  std::vector<std::uint32_t> still_;
  bool stillShown_ = false;  // the pause shows still_
  PressLatch latch_;
  // The pointer in window coordinates as SDL's events last placed it. After the window
  // moved, changed size or went fullscreen they hold its place in the window as it
  // was, until the mouse moves: meanwhile the server is asked, at most once a pass.
  int mouseX_ = kOutside;
  int mouseY_ = kOutside;
  bool mouseOutside_ = true;
  bool pointerStale_ = false;
  bool pointerAsked_ = false;  // this pass
  // The pointer came in from outside: a press made out there and held while it came
  // in is down, which only the server knows; asked until that button is let go.
  bool askButton_ = false;
  bool heldFromOutside_ = false;
  // The window was closed while a message box was up: later boxes do not wait.
  bool closing_ = false;
  // Opened at the first label, pause or box: fontconfig's cache is megabytes.
  std::unique_ptr<Lettering> lettering_;
  std::string label_;
  Uint32 labelUntil_ = 0;
  bool labelShown_ = false;  // the picture last presented carried the label
  std::vector<std::uint32_t> overlay_;
  // The switches as the settings file keeps them; a key changes one, and all are
  // written when the game pauses or ends, not at the key: the write waits for the disk,
  // and the game's clock would run on meanwhile.
  Settings settings_;
  std::string settingsFile_;
  bool settingsChanged_ = false;
};

bool LeftButtonHeld() {
  return (SDL_GetGlobalMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0;
}

SdlBackend::~SdlBackend() {
  KeepSettings();
  audio_.reset();
  if (window_) SDL_DestroyWindow(window_);
  SDL_Quit();
}

bool SdlBackend::Open(std::string& error) {
  // A click that activates the window is a click in the game, as it was on Windows.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  // The platform's own handlers turn SIGINT and SIGTERM into a close; SDL's would not
  // reach a message box or SIGHUP.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
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
  Uint32 flags = SDL_WINDOW_SHOWN | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE;
  if (options_.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  window_ = SDL_CreateWindow("Tonkalo", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             kWidth * scale, kHeight * scale, flags);
  if (!window_) {
    error = std::string("cannot open the window (") + SDL_GetError() +
            "); use --headless to run without a window";
    return false;
  }
  SDL_SetWindowMinimumSize(window_, kWidth, kHeight);
  if (SDL_Surface* icon = SDL_LoadBMP(kIconFile)) {
    SDL_SetWindowIcon(window_, icon);
    SDL_FreeSurface(icon);
  }
  fullscreen_ = options_.fullscreen;
  Verbose("video: %s, window %d x %d%s", SDL_GetCurrentVideoDriver(), kWidth * scale,
          kHeight * scale, fullscreen_ ? ", fullscreen" : "");
  if (!presenter_.Open(window_, error)) return false;
  LoadSettings();
  audio_ = std::make_unique<SdlAudio>();
  audio_->Open(options_);
  audio_->SetEffects(settings_.sound);
  return true;
}

// The settings file sets the switches and the volume; an option given on the command
// line (--no-music, a --volume other than the full one) wins for this run and leaves
// the file as it is.
void SdlBackend::LoadSettings() {
  settingsFile_ = SettingsFileFor(options_.recordFile);
  std::string problem;
  if (!ReadSettingsFile(settingsFile_, settings_, problem)) {
    if (!problem.empty()) SayOnce(problem);
    if (settings_.leaveFile) Notify("SETTINGS NOT READ");
    return;
  }
  options_.music = options_.music && settings_.music;
  if (options_.volume == Options().volume) options_.volume = settings_.volume;
  Verbose("settings from %s: music %s, sound %s, volume %d", Printable(settingsFile_).c_str(),
          settings_.music ? "on" : "off", settings_.sound ? "on" : "off", settings_.volume);
}

void SdlBackend::KeepSettings() {
  if (!settingsChanged_) return;
  settingsChanged_ = false;
  std::string problem;
  if (!WriteSettingsFile(settingsFile_, settings_, MakesRecordFolder(options_.recordFile), problem)) {
    SayOnce(problem);
  }
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

std::uint32_t SdlBackend::Tick() {
  const auto elapsed = std::chrono::steady_clock::now() - start_;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  return options_.startTick + static_cast<std::uint32_t>(ms);
}

// Wakes at the first multiple of the tick, counted from start-up, that lies at least
// `ms` ahead: the port's stand-in for a Sleep that rounds up to the system tick.
void SdlBackend::SleepToBoundary(std::uint32_t ms) {
  latch_.PassEnded();
  pointerAsked_ = false;
  using namespace std::chrono;
  const double elapsedMs = duration<double, std::milli>(steady_clock::now() - start_).count();
  const double wakeMs = TickBoundaryAfter(elapsedMs, ms, options_.tickMs) * options_.tickMs;
  std::this_thread::sleep_until(start_ + nanoseconds(static_cast<long long>(wakeMs * 1e6)));
}

void SdlBackend::Pump(std::deque<Message>& queue) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (Handle(event, queue) == PauseRequest::Begin) PauseUntilResumed(queue);
  }
}

PauseRequest SdlBackend::Handle(const SDL_Event& event, std::deque<Message>& queue) {
  switch (event.type) {
    // Closing the one window arrives here, as do SIGINT and SIGTERM: all take the
    // normal exit path.
    case SDL_QUIT:
      queue.push_back({WM_CLOSE, 0, 0});
      return paused_ ? PauseRequest::End : PauseRequest::None;
    case SDL_WINDOWEVENT:
      switch (event.window.event) {
        case SDL_WINDOWEVENT_MOVED:
          pointerStale_ = true;
          break;
        case SDL_WINDOWEVENT_ENTER:
          askButton_ = true;
          break;
        case SDL_WINDOWEVENT_LEAVE:
          mouseOutside_ = true;
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          pointerStale_ = true;
          queue.push_back({WM_SIZE, 0, static_cast<std::intptr_t>(kWidth | (kHeight << 16))});
          [[fallthrough]];
        case SDL_WINDOWEVENT_EXPOSED:
          presenter_.Invalidate();
          if (paused_) ShowPausedPicture();
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          if (options_.pauseOnFocusLoss && !paused_) return PauseRequest::Begin;
          break;
        case SDL_WINDOWEVENT_MINIMIZED:
          if (!paused_) return PauseRequest::Begin;
          break;
        default:
          break;
      }
      return PauseRequest::None;
    case SDL_MOUSEBUTTONDOWN:
      if (event.button.button != SDL_BUTTON_LEFT) return PauseRequest::None;
      if (paused_) {
        // The click that resumes is not the game's: it ends the pause on its release.
        resumeOnRelease_ = true;
      } else if (realMouse_) {
        int x = 0;
        int y = 0;
        presenter_.WindowToFrame(event.button.x, event.button.y, x, y);
        latch_.Pressed(x, y);
        const unsigned message = event.button.clicks % 2 == 0 ? WM_LBUTTONDBLCLK
                                                               : WM_LBUTTONDOWN;
        queue.push_back({message, 1, PackPoint(x, y)});
      }
      return PauseRequest::None;
    case SDL_MOUSEBUTTONUP:
      if (event.button.button != SDL_BUTTON_LEFT) return PauseRequest::None;
      heldFromOutside_ = false;
      if (!paused_) latch_.Released();
      return paused_ && resumeOnRelease_ ? PauseRequest::End : PauseRequest::None;
    case SDL_MOUSEMOTION:
      mouseX_ = event.motion.x;
      mouseY_ = event.motion.y;
      mouseOutside_ = false;
      // Only a real move: after a change of the window SDL repeats the old place.
      if (event.motion.xrel != 0 || event.motion.yrel != 0) pointerStale_ = false;
      return PauseRequest::None;
    case SDL_KEYDOWN:
      return HandleKey(event.key, queue);
    default:
      if (event.type == audio_->FinishedEvent() &&
          event.user.code == SdlAudio::CurrentGeneration()) {
        queue.push_back({MCIWNDM_NOTIFYMODE, 0, MCI_MODE_STOP});
      }
      return PauseRequest::None;
  }
}

// Escape and Ctrl+Q close the window; F11 and Alt+Enter toggle fullscreen; M and S
// switch music and effects; - and = (or +) turn the volume down and up; P and Space
// pause and resume.
PauseRequest SdlBackend::HandleKey(const SDL_KeyboardEvent& key, std::deque<Message>& queue) {
  if (key.repeat) return PauseRequest::None;
  const SDL_Keycode sym = key.keysym.sym;
  const bool ctrl = (key.keysym.mod & KMOD_CTRL) != 0;
  const bool alt = (key.keysym.mod & KMOD_ALT) != 0;
  const PauseRequest toggle = paused_ ? PauseRequest::End : PauseRequest::Begin;
  if (sym == SDLK_ESCAPE || (ctrl && sym == SDLK_q)) {
    queue.push_back({WM_CLOSE, 0, 0});
    return paused_ ? PauseRequest::End : PauseRequest::None;
  }
  if (sym == SDLK_F11 || (alt && (sym == SDLK_RETURN || sym == SDLK_KP_ENTER))) {
    ToggleFullscreen();
    return PauseRequest::None;
  }
  if (ctrl || alt || (key.keysym.mod & KMOD_GUI) != 0) return PauseRequest::None;
  switch (sym) {
    case SDLK_m:
      audio_->ToggleMusic();
      settings_.music = audio_->MusicOn();
      settingsChanged_ = true;
      ShowLabel(settings_.music ? "MUSIC ON" : "MUSIC OFF");
      return PauseRequest::None;
    case SDLK_s:
      audio_->ToggleEffects();
      settings_.sound = audio_->EffectsOn();
      settingsChanged_ = true;
      ShowLabel(settings_.sound ? "SOUND ON" : "SOUND OFF");
      return PauseRequest::None;
    case SDLK_MINUS:
    case SDLK_KP_MINUS:
      ChangeVolume(-1);
      return PauseRequest::None;
    case SDLK_EQUALS:
    case SDLK_PLUS:
    case SDLK_KP_PLUS:
      ChangeVolume(1);
      return PauseRequest::None;
    case SDLK_p:
    case SDLK_SPACE:
      return toggle;
    default:
      return PauseRequest::None;
  }
}

// To the next whole step down or up, within 0 to 100.
void SdlBackend::ChangeVolume(int direction) {
  const int now = audio_->Volume();
  const int next = direction > 0
                       ? (now + kVolumeStep) / kVolumeStep * kVolumeStep
                       : (now + kVolumeStep - 1) / kVolumeStep * kVolumeStep - kVolumeStep;
  audio_->SetVolume(next);
  settings_.volume = audio_->Volume();
  settingsChanged_ = true;
  ShowLabel("VOLUME " + std::to_string(settings_.volume) + " %");
}

void SdlBackend::ShowLabel(const std::string& text) {
  label_ = text;
  labelUntil_ = SDL_GetTicks() + kLabelMs;
  if (paused_) ShowPausedPicture();
}

bool SdlBackend::LabelDue() const {
  return !label_.empty() && !SDL_TICKS_PASSED(SDL_GetTicks(), labelUntil_);
}

// The label is drawn over a copy of the frame: the game's own frame stays as it drew it.
void SdlBackend::Show(const std::uint32_t* pixels, int width, int height) {
  labelShown_ = LabelDue();
  if (!labelShown_) {
    presenter_.Present(pixels, width, height);
    return;
  }
  overlay_.assign(pixels, pixels + static_cast<size_t>(width) * height);
  Canvas canvas{overlay_.data(), width, height};
  DrawKeyLabel(canvas, Letters().bold, label_);
  presenter_.Present(overlay_.data(), width, height);
}

Lettering& SdlBackend::Letters() {
  if (!lettering_) lettering_ = std::make_unique<Lettering>();
  return *lettering_;
}

Canvas SdlBackend::StillPicture() {
  still_.resize(static_cast<size_t>(lastWidth_) * lastHeight_);
  if (lastPixels_) {
    std::copy(lastPixels_, lastPixels_ + still_.size(), still_.begin());
  } else {
    std::fill(still_.begin(), still_.end(), 0);
  }
  return Canvas{still_.data(), lastWidth_, lastHeight_};
}

// Runs inside the pass's message pump: no pass runs until it returns. The clock's start
// moves on by the time spent here, so the game's tick count resumes where it stopped.
void SdlBackend::PauseUntilResumed(std::deque<Message>& queue) {
  const auto began = std::chrono::steady_clock::now();
  KeepSettings();
  paused_ = true;
  resumeOnRelease_ = false;
  audio_->SetPaused(true);
  SDL_ShowCursor(SDL_ENABLE);
  Canvas canvas = StillPicture();
  DrawPausedPicture(canvas, Letters().bold);
  stillShown_ = true;
  ShowPausedPicture();

  while (paused_) {
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, 100) && Handle(event, queue) == PauseRequest::End) {
      paused_ = false;
    }
    if (labelShown_ && !LabelDue()) ShowPausedPicture();
    // A release outside the window (or one SDL did not report) still ends the click.
    if (paused_ && resumeOnRelease_ && !LeftButtonHeld()) paused_ = false;
    // SIGTERM and the like end the pause; the queue then closes the game.
    if (QuitSignal() != 0) paused_ = false;
  }

  stillShown_ = false;
  start_ += std::chrono::steady_clock::now() - began;
  audio_->SetPaused(false);
  SDL_ShowCursor(cursorVisible_ ? SDL_ENABLE : SDL_DISABLE);
  latch_.PassEnded();  // no press of the pause's is the game's
  if (lastPixels_) Show(lastPixels_, lastWidth_, lastHeight_);
}

void SdlBackend::ShowPausedPicture() {
  if (stillShown_) Show(still_.data(), lastWidth_, lastHeight_);
}

void SdlBackend::ToggleFullscreen() {
  fullscreen_ = !fullscreen_;
  pointerStale_ = true;
  SDL_SetWindowFullscreen(window_, fullscreen_ ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
}

// In back-buffer pixels whatever the scale, HiDPI factor or bars; far outside while the
// pointer is away from the window. A flick reads where it was pressed.
void SdlBackend::Pointer(int& x, int& y) {
  if (latch_.FlickAt(x, y)) return;
  if (pointerStale_ && !pointerAsked_) {
    pointerAsked_ = true;
    int left = 0;
    int top = 0;
    SDL_GetGlobalMouseState(&mouseX_, &mouseY_);
    SDL_GetWindowPosition(window_, &left, &top);
    mouseX_ -= left;
    mouseY_ -= top;
  }
  if (mouseOutside_ && !pointerStale_) {
    x = kOutside;
    y = kOutside;
    return;
  }
  presenter_.WindowToFrame(mouseX_, mouseY_, x, y);
}

// The desktop's button, not only this window's: a press that began outside and was
// dragged in while held is down. A press and release that both fell between two
// samples were latched by the pump and read as down once.
bool SdlBackend::PointerButton() {
  if (askButton_ || heldFromOutside_) heldFromOutside_ = LeftButtonHeld();
  askButton_ = false;
  return latch_.Sample(heldFromOutside_ || (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_LMASK) != 0);
}

void SdlBackend::SetCursorVisible(bool visible) {
  cursorVisible_ = visible;
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

// Drawn in the window over the dimmed frame, with the desktop's fonts: SDL's own box
// falls back on X to core fonts without Japanese glyphs, and waits in a loop of its
// own that no signal ends. This one polls for a signal, and the window's close ends it
// as it ends the game.
void SdlBackend::ShowMessageBox(const char* caption, const char* text) {
  if (closing_ || QuitSignal() != 0) return;
  Canvas canvas = StillPicture();
  const Button ok = DrawMessageBox(canvas, Letters(), caption, text);
  if (!Letters().text.Covers(text)) {
    SayOnce("no font here has every letter of the message boxes (install fonts-vlgothic)");
  }
  SDL_ShowCursor(SDL_ENABLE);
  presenter_.Present(still_.data(), lastWidth_, lastHeight_);

  bool pressedOk = false;
  for (bool waiting = true; waiting && QuitSignal() == 0;) {
    SDL_Event event;
    if (!SDL_WaitEventTimeout(&event, 100)) continue;
    int x = 0;
    int y = 0;
    switch (event.type) {
      case SDL_QUIT:
        closing_ = true;
        QueueMessage({WM_CLOSE, 0, 0});
        waiting = false;
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
            event.window.event == SDL_WINDOWEVENT_EXPOSED) {
          pointerStale_ = true;
          presenter_.Invalidate();
          presenter_.Present(still_.data(), lastWidth_, lastHeight_);
        }
        break;
      case SDL_KEYDOWN:
        waiting = !(event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER ||
                    event.key.keysym.sym == SDLK_SPACE || event.key.keysym.sym == SDLK_ESCAPE);
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (event.button.button != SDL_BUTTON_LEFT) break;
        presenter_.WindowToFrame(event.button.x, event.button.y, x, y);
        if (event.type == SDL_MOUSEBUTTONDOWN) {
          pressedOk = ok.Holds(x, y);
        } else {
          waiting = !(pressedOk && ok.Holds(x, y));
          pressedOk = false;
        }
        break;
      default:
        if (event.type == audio_->FinishedEvent() &&
            event.user.code == SdlAudio::CurrentGeneration()) {
          QueueMessage({MCIWNDM_NOTIFYMODE, 0, MCI_MODE_STOP});
        }
        break;
    }
  }
  SDL_ShowCursor(cursorVisible_ ? SDL_ENABLE : SDL_DISABLE);
  latch_.PassEnded();
  if (!lastPixels_) std::fill(still_.begin(), still_.end(), 0);
  Show(lastPixels_ ? lastPixels_ : still_.data(), lastWidth_, lastHeight_);
}

void SdlBackend::Present(const std::uint32_t* pixels, int width, int height) {
  lastPixels_ = pixels;
  lastWidth_ = width;
  lastHeight_ = height;
  Show(pixels, width, height);
}

void SdlBackend::PlayWave(int index, const std::uint8_t* image, std::size_t size) {
  audio_->PlayWave(index, image, size);
}

void SdlBackend::Music(MusicCommand command, const std::string& path) {
  std::string problem;
  if (!audio_->Music(command, path, problem)) {
    SayOnce(problem);
    Notify("MUSIC MISSING");
  }
}

}  // namespace

std::unique_ptr<Backend> MakeWindowBackend(const Options& options, bool realMouse,
                                           std::string& error) {
  auto backend = std::make_unique<SdlBackend>(options, realMouse);
  if (!backend->Open(error)) return nullptr;
  return backend;
}

}  // namespace platform
