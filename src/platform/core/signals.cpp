// SIGTERM, SIGINT and SIGHUP ask the program to end as the window's close button does.
// The handler only notes the signal; the message queue turns it into WM_CLOSE at its
// next look, so the normal exit path runs: the record is saved, the trace ends on a
// whole line, the window and audio close.
#include <csignal>

#include "platform/core/backend.h"

namespace platform {

namespace {

volatile std::sig_atomic_t caught = 0;

void Note(int signal) { caught = signal; }

}  // namespace

void CatchQuitSignals() {
#ifndef __EMSCRIPTEN__
  struct sigaction action {};
  action.sa_handler = Note;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a sleep or a wait that the signal interrupts returns at once.
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
#endif
}

int QuitSignal() { return caught; }

}  // namespace platform
