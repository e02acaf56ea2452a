// The process entry of the game: start-up, the frame loop and the window procedure.
// The window's plumbing (creation, the message queue) is in window.cpp; this file only
// decides what the game does with each message and in which order a pass runs.
#include "app/autoplay.h"
#include "app/frame_loop.h"
#include "game/program.h"
#include "platform/core/platform.h"
#include "services/debug.h"
#include "services/message_queue.h"
#include "services/mouse.h"
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

// Every pending message is handled before a frame runs; true once WM_QUIT arrives.
bool HandlePendingMessages(MSG& msg) {
  while (PeekMessage(msg)) {
    if (msg.message == WM_QUIT) return true;
    DispatchMessage(msg);
  }
  return false;
}

// Inside the play bounds the board draws a hammer in place of the system cursor.
void ShowSystemCursorOutside(int inside) {
  if (inside) {
    while (platform::ShowCursor(false) >= 0) {
    }
  } else {
    while (platform::ShowCursor(true) < 0) {
    }
  }
}

int RunFrameLoop(HWND hWnd) {
  CGame& game = Program().game;
  MSG msg;
  for (;;) {
    // The built-in player's hand moves first, as a script line takes effect.
    AutoplayPass(game);
    if (HandlePendingMessages(msg)) break;
    int x = 0;
    int y = 0;
    GetClientCursorPos(hWnd, x, y);
    const int inside = CursorInside(x, y);
    game.Frame(hWnd);
    // Sampled after the frame, so the next frame sees this pass's button: one pass late.
    UpdateMouse(inside);
    ShowSystemCursorOutside(inside);
    platform::Sleep(1);
  }
  platform::ShowCursor(true);
  return static_cast<int>(msg.wParam);
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
