// The game's entry, called by main between the construction and destruction of the
// program-lifetime objects (game/program.h).
#pragma once

// Start-up, the frame loop and the exit path; returns the exit status (1 when start-up
// failed).
int TonkaloMain(void* hInstance);
