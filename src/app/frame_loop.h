// Folder app/: the top of the program (the executable's entry and the frame loop). May
// include every other folder.
// The frame loop's play-bounds test, kept apart from the entry so that tests can drive it.
#pragma once

// 1 when a cursor at client (x, y) counts as inside the play bounds, else 0: outside
// when x < 0, y < 4, x > 640 or y > 480. The top bound is 4, the right and bottom
// bounds are inclusive and fixed whatever the client size.
int CursorInside(int x, int y);
