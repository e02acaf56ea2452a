#include "services/mouse.h"

#include "platform/core/platform.h"

namespace {
// Program-wide, written only by UpdateMouse once per frame-loop pass.
int mouseDown = 0;
int mousePressed = 0;
int mousePrevious = 0;
}  // namespace

void UpdateMouse(int inside) {
  mouseDown = 0;
  if (inside) mouseDown = platform::LeftButtonDown() ? 1 : 0;
  mousePressed = (mouseDown ^ mousePrevious) & mouseDown;
  mousePrevious = mouseDown;
}

int MousePressed() { return mousePressed; }

void ResetMouseState() {
  mouseDown = 0;
  mousePressed = 0;
  mousePrevious = 0;
}
