#include "app/frame_loop.h"

int CursorInside(int x, int y) {
  if (x < 0 || y < 4 || x > 640 || y > 480) return 0;
  return 1;
}
