#include "app/frame_loop.h"

#include "app/autoplay.h"
#include "game/program.h"
#include "platform/core/platform.h"
#include "services/message_queue.h"
#include "services/mouse.h"

namespace {

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

}  // namespace

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

int CursorInside(int x, int y) {
  if (x < 0 || y < 4 || x > 640 || y > 480) return 0;
  return 1;
}
