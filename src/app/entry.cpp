// The game's entry: start-up and the window procedure, which decides what the game does
// with each message. The window's plumbing (creation, the message queue) is in
// services/window.cpp, the order in which a pass runs in frame_loop.cpp.
#include "app/entry.h"

#include "app/frame_loop.h"
#include "game/program.h"
#include "platform/core/platform.h"
#include "services/debug.h"
#include "services/message_queue.h"
#include "services/window.h"

namespace {

std::intptr_t WindowProc(HWND hWnd, unsigned message, std::uintptr_t wParam,
                         std::intptr_t lParam) {
  ProgramObjects& program = Program();
  switch (message) {
    case WM_CREATE:
      // On failure the player has shown its own box; the game runs without music.
      program.musicPlayer.Create(hWnd);
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case platform::WM_SIZE:
      program.game.SetClientSize(static_cast<int>(lParam & 0xFFFF),
                                 static_cast<int>((lParam >> 16) & 0xFFFF));
      return 0;
    case platform::WM_LBUTTONDOWN:
      // Only the title reacts to the message; every other screen samples the button.
      if (program.game.GetState() == STATE_TITLE) {
        program.game.StartCountdown(GetWindowInstance(hWnd), hWnd);
        program.musicPlayer.Stop();
      }
      return 0;
    case platform::MCIWNDM_NOTIFYMODE:
      if (lParam == platform::MCI_MODE_STOP) program.musicPlayer.Replay();
      break;
    default:
      break;
  }
  return DefWindowProc(hWnd, message, wParam, lParam);
}

}  // namespace

// A start-up that fails ends the process with status 1 after its messages, so that
// whoever started the game can tell.
int TonkaloMain(void* hInstance) {
  HWND hWnd = CreateMainWindow(WindowProc, hInstance);
  if (!hWnd) return 1;
  platform::ShowCursor(false);
  CGame& game = Program().game;
  if (!game.Init(hInstance, hWnd)) {
    DebugMessageBox("初期化に失敗しました。");
    return 1;
  }
  game.EnterTitle();
  return RunFrameLoop(hWnd);
}
