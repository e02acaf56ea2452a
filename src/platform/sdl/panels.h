// What the window backend draws over the game's frame, never into it: the pause panel,
// the short labels that answer the player's keys, and the message boxes.
#pragma once

#include <string>

#include "platform/sdl/text.h"

namespace platform {

// The two faces the panels letter with, opened on first use: a bold one like the game's
// lettering, and one for messages that holds Japanese glyphs where the desktop has any.
struct Lettering {
  Lettering();
  Typeface bold;
  Typeface text;
};

// The frame at half brightness under a panel that says the game is paused.
void DrawPausedPicture(Canvas& canvas, Typeface& bold);
// A small label ("MUSIC OFF", "VOLUME 60 %") at the top of the frame.
void DrawKeyLabel(Canvas& canvas, Typeface& bold, const std::string& text);

struct Button {
  int left = 0;
  int top = 0;
  int w = 0;
  int h = 0;
  bool Holds(int x, int y) const { return x >= left && y >= top && x < left + w && y < top + h; }
};
// A message box over the dimmed frame: the caption, the text wrapped to fit, an OK
// button, whose place it returns.
Button DrawMessageBox(Canvas& canvas, Lettering& lettering, const std::string& caption,
                      const std::string& text);

}  // namespace platform
