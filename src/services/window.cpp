#include "services/window.h"

#include "platform/raster/gdi.h"
#include "platform/core/platform.h"
#include "services/message_queue.h"

struct CWindow {
  WNDPROC proc = nullptr;
  void* instance = nullptr;
  bool alive = false;
};

namespace {

constexpr int kSurfaceWidth = 640;
constexpr int kSurfaceHeight = 480;

CWindow theWindow;
// The window surface: what the player sees. It exists apart from the window so that
// drawing code can be tested with a null window.
gdi::HDC surfaceDC = 0;
gdi::HBITMAP surfaceBitmap = 0;
bool quitPosted = false;
int quitCode = 0;

void ReleaseSurface() {
  if (surfaceDC) gdi::DeleteDC(surfaceDC);
  if (surfaceBitmap) gdi::DeleteObject(surfaceBitmap);
  surfaceDC = 0;
  surfaceBitmap = 0;
}

bool IsLive(HWND hWnd) { return hWnd == &theWindow && theWindow.alive; }

}  // namespace

HWND MainWindow() { return theWindow.alive ? &theWindow : nullptr; }

gdi::HDC GetDC(HWND) {
  if (!surfaceDC) {
    surfaceDC = gdi::CreateCompatibleDC(0);
    surfaceBitmap = gdi::CreateCompatibleBitmap(0, kSurfaceWidth, kSurfaceHeight);
    gdi::SelectObject(surfaceDC, surfaceBitmap);
  }
  return surfaceDC;
}

void ReleaseDC(HWND, gdi::HDC dc) {
  if (!dc || dc != surfaceDC) return;
  int width = 0;
  int height = 0;
  const std::uint32_t* pixels = gdi::ColourBits(surfaceBitmap, &width, &height);
  if (pixels) platform::Present(pixels, width, height);
}

void GetClientCursorPos(HWND, int& x, int& y) { platform::GetCursorPos(x, y); }

HWND CreateMainWindow(WNDPROC proc, void* hInstance) {
  if (theWindow.alive || !proc) return nullptr;
  theWindow.proc = proc;
  theWindow.instance = hInstance;
  theWindow.alive = true;
  quitPosted = false;
  proc(&theWindow, WM_CREATE, 0, 0);
  proc(&theWindow, platform::WM_SIZE, 0,
       static_cast<std::intptr_t>(kSurfaceWidth | (kSurfaceHeight << 16)));
  return &theWindow;
}

void* GetWindowInstance(HWND hWnd) { return hWnd ? hWnd->instance : nullptr; }

void DestroyWindow(HWND hWnd) {
  if (!IsLive(hWnd)) return;
  hWnd->proc(hWnd, WM_DESTROY, 0, 0);
  hWnd->alive = false;
  ReleaseSurface();
}

std::intptr_t DefWindowProc(HWND hWnd, unsigned message, std::uintptr_t, std::intptr_t) {
  if (message == platform::WM_CLOSE) DestroyWindow(hWnd);
  return 0;
}

void PostQuitMessage(int exitCode) {
  quitPosted = true;
  quitCode = exitCode;
}

bool PeekMessage(MSG& msg) {
  if (quitPosted) {
    quitPosted = false;
    msg = MSG();
    msg.message = WM_QUIT;
    msg.wParam = static_cast<std::uintptr_t>(quitCode);
    return true;
  }
  platform::Message m;
  if (!platform::PeekMessage(m)) return false;
  msg.hwnd = &theWindow;
  msg.message = m.message;
  msg.wParam = m.wParam;
  msg.lParam = m.lParam;
  return true;
}

std::intptr_t DispatchMessage(const MSG& msg) {
  if (!IsLive(msg.hwnd)) return 0;
  return msg.hwnd->proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}
