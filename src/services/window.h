// The game window as the game code sees it: a handle, its device context (whose
// surface is what the player sees), and the cursor in client pixels.
#pragma once

#include "platform/raster/gdi.h"

struct CWindow;
using HWND = CWindow*;

// The window created by the entry, or null before it exists.
HWND MainWindow();
// The window's device context; its bitmap is the 640 x 480 window surface.
gdi::HDC GetDC(HWND hWnd);
// Lets go of the window's device context and shows the window surface.
void ReleaseDC(HWND hWnd, gdi::HDC dc);
// The cursor in client pixels of hWnd (the port's screen and client coincide).
void GetClientCursorPos(HWND hWnd, int& x, int& y);
