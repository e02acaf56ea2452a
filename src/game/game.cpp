// The game object: screen states, their steps, and presenting the back buffer.
// Loading and shutdown live in game_load.cpp, the screen layouts in screen.cpp.
#include "game/game.h"

#include "audio/sound.h"
#include "game/program.h"
#include "hud/popups.h"
#include "platform/core/platform.h"
#include "services/crand.h"
#include "services/mouse.h"

namespace {

const char* const kTitleTrack = "MP3/tw014b.mp3";
const char* const kPlayTrack = "MP3/tw065.mp3";

// Frames spent in STATE_FINISH; cleared only when the pause is over, so every game
// ended by misses waits the full pause.
int finishFrames = 0;
constexpr int kFinishPauseFrames = 900;

// The 50 ms tick that rolls pending time and points into the boxes. Started on the
// first play frame of the run and afterwards only restarted when it fires, across games.
CTimer counterTimer;
bool counterTimerStarted = false;

const char* StateName(int state) {
  switch (state) {
    case STATE_TITLE: return "title";
    case STATE_COUNTDOWN: return "countdown";
    case STATE_PLAY: return "play";
    case STATE_FINISH: return "finish";
    case STATE_RESULT: return "result";
  }
  return "unknown";
}

void ChangeTrack(const char* path) {
  CMp3Player& music = Program().musicPlayer;
  music.Stop();
  music.Open(path);
  music.Play();
}

}  // namespace

CGame::CGame()
    : state(STATE_TITLE),
      highScore(0),
      backDC(0),
      backBitmap(0),
      clientWidth(0),
      clientHeight(0),
      highScoreRead(false),
      recordToSave(false),
      shutDown(false) {}

CGame::~CGame() { Shutdown(); }

void CGame::SetState(int newState) {
  state = newState;
  platform::TraceEvent("state").Str("state", StateName(newState));
}

void CGame::EnterTitle() {
  SetState(STATE_TITLE);
  secondTimer.SetInterval(1000);
  ChangeTrack(kTitleTrack);
  countdown.Reset();
  results.Reset(0);
}

void CGame::StartCountdown(void* /*hInstance*/, HWND /*hWnd*/) {
  SetState(STATE_COUNTDOWN);
  countdown.Reset();
  crt::srand(100);
  ResetPopups();
  gauges.Reset();
  board.Reset();
  timeBox.Reset(60);
  secondTimer.Restart();
  scoreBox.Reset(0);
  starsBox.Reset(6, 10);
  missBox.Reset(10, 10);
}

void CGame::EnterResults() {
  Program().musicPlayer.Stop();
  SetState(STATE_RESULT);
  const int score = scoreBox.GetValue();
  // Measured against the record as it is stored now: a game running beside this one
  // may have raised it since start-up. Alone, the stored record is this run's own.
  std::int32_t stored = 0;
  if (highScoreRead && platform::ReadRecord(stored) == platform::RecordState::Read &&
      stored > highScore) {
    highScore = stored;
  }
  const bool newRecord = highScore < score;
  results.Reset(newRecord ? 1 : 0);
  if (score >= highScore) highScore = score;
  platform::TraceEvent("results")
      .Int("score", score)
      .Bool("newRecord", newRecord)
      .Int("highScore", highScore);
  // A record is saved the moment it is made, so a killed process does not lose it.
  if (newRecord) {
    recordToSave = true;
    WriteHighScore();
  }
}

void CGame::Frame(HWND hWnd) {
  gdi::HDC windowDC = GetDC(hWnd);
  bool compose = true;
  switch (state) {
    case STATE_TITLE: StepTitle(hWnd); break;
    case STATE_COUNTDOWN: StepCountdown(hWnd); break;
    case STATE_PLAY: compose = StepPlay(hWnd); break;
    case STATE_FINISH: StepFinish(hWnd); break;
    case STATE_RESULT: StepResult(hWnd); break;
  }
  if (compose) gdi::BitBlt(windowDC, 0, 0, 640, 480, backDC, 0, 0, gdi::SRCCOPY);
  ReleaseDC(hWnd, windowDC);
}

void CGame::StepTitle(HWND hWnd) { DrawScreen(hWnd); }

void CGame::StepCountdown(HWND hWnd) {
  if (countdown.Step()) {
    SetState(STATE_PLAY);
    ChangeTrack(kPlayTrack);
  }
  DrawScreen(hWnd);
  countdown.Draw(backDC);
}

bool CGame::StepPlay(HWND hWnd) {
  if (timeBox.GetValue() <= 0) {
    EnterResults();
    Program().musicPlayer.Stop();
    return false;
  }
  if (secondTimer.Expired()) timeBox.AddValue(-1);
  board.Update();
  if (starsBox.TakeTrigger()) {
    timeBox.AddPending(20);
    AddPopup(POPUP_STARS);
    platform::TraceEvent("bonus").Int("popup", POPUP_STARS).Int("amount", 20);
    PlaySoundEffect(7);
  }
  if (missBox.TakeTrigger()) SetState(STATE_FINISH);
  StepCounters();
  StepPopups();
  DrawScreen(hWnd);
  countdown.DrawStartBanner(backDC);
  return true;
}

void CGame::StepCounters() {
  if (!counterTimerStarted) {
    counterTimer.Start(50);
    counterTimerStarted = true;
  }
  if (counterTimer.Expired()) {
    timeBox.Step();
    scoreBox.Step();
    counterTimer.Restart();
  }
}

void CGame::StepFinish(HWND hWnd) {
  finishFrames += 1;
  if (finishFrames >= kFinishPauseFrames) {
    finishFrames = 0;
    EnterResults();
  }
  DrawScreen(hWnd);
}

void CGame::StepResult(HWND hWnd) {
  if (results.Step(scoreBox.GetValue()) && MousePressed()) EnterTitle();
  DrawScreen(hWnd);
  results.Draw(backDC);
}
