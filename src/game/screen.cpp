// Screen composition: the whole frame is drawn into the back buffer every frame, back
// to front, over a freshly tiled wall.
#include "audio/sound.h"
#include "game/game.h"
#include "hud/popups.h"
#include "platform/core/platform.h"
#include "services/window.h"

namespace {

// The START pulse on the title: a step of 4, clamped at 255 and 0, keeping its phase
// from one visit of the title to the next.
int startAlpha = 0;
int startAlphaRising = 1;

void StepStartPulse() {
  startAlpha += startAlphaRising == 1 ? 4 : -4;
  if (startAlpha >= 255) {
    startAlphaRising = 0;
    startAlpha = 255;
  }
  if (startAlpha <= 0) {
    startAlphaRising = 1;
    startAlpha = 0;
  }
}

}  // namespace

int StartPulseAlpha() { return startAlpha; }

void CGame::DrawScreen(HWND /*hWnd*/) {
  if (state == STATE_TITLE) {
    DrawTitleLayout();
  } else {
    DrawPlayLayout();
  }
}

void CGame::DrawTitleLayout() {
  wall.Tile(backDC, CRect(0, 0, clientWidth, clientHeight));
  titleImage.Draw(backDC, 0, 0);
  highScoreLabel.Draw(backDC, 400, 350);
  highScoreDigits.DrawNumberCentred(backDC, 477, 390, highScore, 30, 40);
  StepStartPulse();
  startImage.DrawAlpha(backDC, 150, 200, startImage.GetWidth(), startImage.GetHeight(),
                       startAlpha);
  board.DrawHammer(backDC);
}

void CGame::DrawPlayLayout() {
  const int playing = state == STATE_PLAY ? 1 : 0;
  wall.Tile(backDC, CRect(0, 0, clientWidth, clientHeight));
  board.DrawCanvas(backDC, 20, 20);

  int hitReport[4] = {0, 0, 0, 0};
  board.DrawAndHit(backDC, playing, scoreBox.Pending(), timeBox.Pending(),
                   starsBox.IconCount(), missBox.IconCount(), hitReport);
  StepGauges(hitReport);

  timeBox.DrawBox(backDC, 400, 160);
  timeBox.DrawTime(backDC, 408, 183, 1);
  scoreBox.DrawBox(backDC, 400, 240);
  scoreBox.DrawScore(backDC, 408, 270, 1);
  starsBox.DrawBox(backDC, 400, 10);
  starsBox.Draw(backDC, 408, 33, 1);
  missBox.DrawBox(backDC, 400, 90);
  missBox.Draw(backDC, 407, 112, 1);
  gauges.DrawFrames(backDC);
  gauges.DrawFills(backDC);
  board.DrawHammer(backDC);
  DrawPopups(backDC);
}

// Each gauge hit this frame rises one step; every full gauge pays a tenth of the score
// shown (pending points excluded), all worked out from the same value.
void CGame::StepGauges(const int hitReport[4]) {
  static const int kAddOrder[4] = {0, 2, 1, 3};
  for (int k : kAddOrder) {
    if (hitReport[k] == 1) gauges.AddPoint(k);
  }
  const int collected = gauges.CollectFull();
  for (int i = 0; i < collected; ++i) {
    const int bonus = static_cast<int>(static_cast<double>(scoreBox.GetValue()) * 0.1f);
    scoreBox.AddPending(bonus);
    AddPopup(POPUP_GAUGE);
    platform::TraceEvent("bonus").Int("popup", POPUP_GAUGE).Int("amount", bonus);
    PlaySoundEffect(5);
  }
}
