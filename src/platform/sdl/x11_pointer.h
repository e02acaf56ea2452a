// The pointer asked of the X server, relative to the window as it is at that moment.
// SDL's own report is the place of the last motion event, relative to the window as it
// was then, and stays wrong after fullscreen, a resize or a move until the mouse moves.
// Apart from sdl_backend.cpp because Xlib's macros (None, Bool, Status) clash with the
// program's names.
#pragma once

#include <SDL.h>

namespace platform {

// False when `window` is not on X or the pointer is on another screen.
bool AskX11Pointer(SDL_Window* window, int& wx, int& wy);

}  // namespace platform
