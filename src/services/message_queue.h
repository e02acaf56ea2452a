// The life of the one window and the thread's message queue: the machinery under the
// entry, kept apart from it so that the entry reads as its steps and tests can drive
// each piece alone.
#pragma once

#include <cstdint>

#include "platform/core/platform.h"
#include "services/window.h"

constexpr unsigned WM_CREATE = 0x0001;
constexpr unsigned WM_DESTROY = 0x0002;
constexpr unsigned WM_QUIT = 0x0012;

using WNDPROC = std::intptr_t (*)(HWND hWnd, unsigned message, std::uintptr_t wParam,
                                  std::intptr_t lParam);

// Creates the one window; `proc` gets WM_CREATE and then WM_SIZE for the 640 x 480
// client before this returns. Null when the window already exists.
HWND CreateMainWindow(WNDPROC proc, void* hInstance);
// The instance handle the window was created with.
void* GetWindowInstance(HWND hWnd);
// Sends WM_DESTROY to the window's procedure; from then on messages to it are dropped
// and its surface is freed.
void DestroyWindow(HWND hWnd);
// What happens to a message a procedure leaves alone: WM_CLOSE destroys the window,
// everything else is ignored. Returns 0.
std::intptr_t DefWindowProc(HWND hWnd, unsigned message, std::uintptr_t wParam,
                            std::intptr_t lParam);

struct MSG {
  HWND hwnd = nullptr;
  unsigned message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};
// The next PeekMessage returns WM_QUIT with wParam = exitCode.
void PostQuitMessage(int exitCode);
// Takes the next message (WM_QUIT first once posted, then what the platform delivers,
// addressed to the window); false when none is waiting.
bool PeekMessage(MSG& msg);
// Runs the procedure of the message's window; 0 when that window is gone.
std::intptr_t DispatchMessage(const MSG& msg);
