// The built-in player (--autoplay), for demos and soaks. It plays as a person would,
// through the virtual cursor and button only: it clicks the title, moves the hammer to
// the most valuable token it can reach in time and strikes it, swings at thin air now
// and then, clicks through the results, and plays game after game. It reads the game
// and never changes it; everything it decides follows from the game's state and the
// tick count, so a headless run is the same every time.
#pragma once

#include <cstdint>

class CGame;
class CBoard;

class Autoplayer {
 public:
  // The first step of every pass of the frame loop: where the hand is and whether the
  // button is down for this pass.
  void Step(const CGame& game);

 private:
  void Play(const CBoard& board, std::uint32_t now);
  // Moves the hand toward (x, y), easing in, no faster than a hand moves.
  void MoveToward(float x, float y);
  bool At(float x, float y) const;
  void Press(std::uint32_t now);
  // 1 in `n` (deterministic).
  bool OneIn(std::uint32_t n);

  float x_ = 320.0f;
  float y_ = 240.0f;
  bool down_ = false;
  int heldPasses_ = 0;
  std::uint32_t lastTick_ = 0;
  float passMs_ = 15.625f;  // how long a pass has been lasting
  bool started_ = false;
  int state_ = -1;
  std::uint32_t stateSince_ = 0;
  std::uint32_t lastPress_ = 0;
  int games_ = 0;
  bool sloppy_ = false;  // now and then a whole game is played carelessly
  int targetRow_ = -1;
  int targetCol_ = -1;
  bool fumble_ = false;  // this approach ends in a swing at nothing
  std::uint32_t random_ = 2463534242u;
};

// main switches the player on for --autoplay before the entry runs.
void EnableAutoplay();
// The frame loop's first step: with the player on, it moves the hand for this pass.
void AutoplayPass(const CGame& game);
