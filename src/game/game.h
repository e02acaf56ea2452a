// The one game object: owns the back buffer and every screen element, holds the screen
// state and the high score, and runs one frame at a time for the frame loop.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "gfx/dc_bmp.h"
#include "gfx/mask_bmp.h"
#include "hud/countdown.h"
#include "hud/counter_box.h"
#include "hud/gauges.h"
#include "hud/results.h"
#include "services/timer.h"
#include "services/window.h"

enum ScreenState {
  STATE_TITLE = 0,
  STATE_COUNTDOWN = 1,
  STATE_PLAY = 2,
  STATE_FINISH = 3,
  STATE_RESULT = 4,
};

// The START picture's current alpha on the title (0 to 255); program-wide.
int StartPulseAlpha();

class CGame {
 public:
  CGame();
  ~CGame();  // runs Shutdown
  CGame(const CGame&) = delete;
  CGame& operator=(const CGame&) = delete;

  // Start-up loading in its fixed order; 0 when a tested picture is missing.
  int Init(void* hInstance, HWND hWnd);
  // Writes the high score (only when Init read it) and releases everything; idempotent.
  void Shutdown();
  void EnterTitle();
  void StartCountdown(void* hInstance, HWND hWnd);
  void EnterResults();
  void Frame(HWND hWnd);
  void DrawScreen(HWND hWnd);

  int GetState() const { return state; }
  // Read-only views for tests of the flow.
  const CNumberBox& TimeBox() const { return timeBox; }
  const CNumberBox& ScoreBox() const { return scoreBox; }
  const CBoard& Board() const { return board; }
  void SetClientSize(int width, int height) {
    clientWidth = width;
    clientHeight = height;
  }

 private:
  int LoadAssets(gdi::HDC windowDC, HWND hWnd);
  void StepTitle(HWND hWnd);
  void StepCountdown(HWND hWnd);
  // False when the time ran out: the frame ends without composing or presenting.
  bool StepPlay(HWND hWnd);
  void StepCounters();
  void StepGauges(const int hitReport[4]);
  void StepFinish(HWND hWnd);
  void StepResult(HWND hWnd);
  void DrawTitleLayout();
  void DrawPlayLayout();
  void SetState(int newState);
  void WriteHighScore();

  int state;
  std::int32_t highScore;
  gdi::HDC backDC;
  gdi::HBITMAP backBitmap;
  CDrawMaskBMP titleImage;
  CDrawMaskBMP highScoreLabel;
  CDrawMaskBMP startImage;
  CDrawMaskBMP highScoreDigits;
  CWallBMP wall;
  CBoard board;
  CNumberBox timeBox;
  CNumberBox scoreBox;
  CIconBox starsBox;
  CIconBox missBox;
  CGaugeSet gauges;
  CCountdown countdown;
  CResultPanel results;
  CTimer secondTimer;
  int clientWidth;
  int clientHeight;
  // Set once highscore.dat has been read, so a run that never read it never writes it.
  bool highScoreRead;
  // Set when a game of this run beat the record: a run that set none saves nothing.
  bool recordToSave;
  bool shutDown;
};
