// What only the executable's entry (app/), its tests and benchmarks ask of the platform:
// bringing it up with the command line's options and taking it down again.
#pragma once

#include <string>

#include "platform/cli/options.h"
#include "platform/core/platform.h"

namespace platform {

// Opens the window (or the headless session) for the chosen backend; false with a
// one-line reason when it cannot (no display, a trace that cannot be written).
bool Init(Options options, std::string& error);
// Closes the window and audio, writes out the trace; false (each said on standard
// error) when a shot or the trace asked for could not be written.
bool Shutdown();
// The signal (SIGTERM, SIGINT, SIGHUP) that asked the run to end, or 0: the queue then
// yields WM_CLOSE once, whatever waits on the player (a message box) gives up, and the
// exit status is 128 + its number, as shells report a signal.
int QuitSignal();

// The built-in player's hand: the virtual cursor at (x, y), the button down or up, as
// a script line does it (going down also posts WM_LBUTTONDOWN).
void SetVirtualInput(int x, int y, bool down);

// With Options::timedemo: the passes run from Options::timedemoFrom on, and the CPU
// and wall-clock time they took. Reported on standard error by Shutdown.
struct PassTiming {
  long long passes = 0;
  double cpuSeconds = 0.0;
  double wallSeconds = 0.0;
};
PassTiming TimedPasses();

}  // namespace platform
