// The left button as the game samples it, once a pass, for every backend with a real
// pointer: a press is latched until a pass has sampled it, so a press and release that
// both fall between two samples (a touchpad tap) read as down once; and such a quick
// flick carries the place it was pressed, which the cursor reads in the pass that
// samples it and in the next, in which the game strikes. A press that spans a sample
// reads as the button and the pointer are.
#pragma once

namespace platform {

class PressLatch {
 public:
  // A left press on the game's picture, at (x, y) in frame pixels.
  void Pressed(int x, int y);
  void Released();
  // The button as this pass samples it, given whether it is held now.
  bool Sample(bool held);
  // Where the cursor reads while a flick holds it; false when it reads where it is.
  bool FlickAt(int& x, int& y) const;
  // The pass is over (or the game stood still): a press it did not sample is dropped,
  // as is the place of a flick that was not struck.
  void PassEnded();

 private:
  bool latched_ = false;
  int x_ = 0;
  int y_ = 0;
  int flickPasses_ = 0;
};

}  // namespace platform
