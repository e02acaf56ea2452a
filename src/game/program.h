// The three program-lifetime objects. main constructs them, in member order, after the
// platform is up and before the entry runs, and destroys them in reverse order (the
// music player first, the game object last) before the platform goes down, so that
// the high-score write and the last sound commands still reach a live platform.
#pragma once

#include "audio/music.h"
#include "game/game.h"
#include "gfx/mask_bmp.h"

struct ProgramObjects {
  ProgramObjects();   // makes itself the one Program()
  ~ProgramObjects();

  CGame game;
  CDrawMaskBMP popupSprite;  // "BMP/MSG.bmp", drawn by the bonus pop-ups
  CMp3Player musicPlayer;
};

// The live set; only valid between its construction and destruction in main.
ProgramObjects& Program();
