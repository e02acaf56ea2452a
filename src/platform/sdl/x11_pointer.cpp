#include "platform/sdl/x11_pointer.h"

#include <SDL_syswm.h>

namespace platform {

// The X window is looked up each time: SDL makes a new one when a renderer needs it.
bool AskX11Pointer(SDL_Window* window, int& wx, int& wy) {
  SDL_SysWMinfo wm;
  SDL_VERSION(&wm.version);
  if (!window || !SDL_GetWindowWMInfo(window, &wm) || wm.subsystem != SDL_SYSWM_X11) return false;
  ::Window root = 0;
  ::Window child = 0;
  int rootX = 0;
  int rootY = 0;
  unsigned buttons = 0;
  return XQueryPointer(wm.info.x11.display, wm.info.x11.window, &root, &child, &rootX, &rootY, &wx,
                       &wy, &buttons) != 0;
}

}  // namespace platform
