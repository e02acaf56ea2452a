// The frame loop: one pass handles every pending window message, runs one game frame,
// samples the mouse and sleeps to the next tick of the system clock.
#pragma once

#include "services/window.h"

// Runs passes until WM_QUIT arrives; returns its exit code.
int RunFrameLoop(HWND hWnd);

// 1 when a cursor at client (x, y) counts as inside the play bounds, else 0: outside
// when x < 0, y < 4, x > 640 or y > 480. The top bound is 4, the right and bottom
// bounds are inclusive and fixed whatever the client size.
int CursorInside(int x, int y);
