// Start-up loading in its fixed order, shutdown, and the high-score file.
#include <string>

#include "audio/sound.h"
#include "game/game.h"
#include "game/program.h"
#include "hud/popups.h"
#include "platform/core/platform.h"
#include "services/debug.h"

namespace {

constexpr gdi::COLORREF kWhite = gdi::RGB(255, 255, 255);
constexpr gdi::COLORREF kBlack = gdi::RGB(0, 0, 0);
constexpr gdi::COLORREF kGreen = gdi::RGB(0, 255, 0);
constexpr gdi::COLORREF kStartKey = gdi::RGB(100, 60, 0);
constexpr gdi::COLORREF kMessageKey = gdi::RGB(127, 127, 127);

// A tested load that fails stops start-up with its own message.
bool Tested(int loaded, const char* message) {
  if (!loaded) DebugMessageBox("%s", message);
  return loaded != 0;
}

}  // namespace

// Saved at the results and tried again at exit (when the first save failed, or the
// record was lost meanwhile); the store keeps the larger of its own and this one.
void CGame::WriteHighScore() {
  if (!highScoreRead || !recordToSave) return;
  if (platform::SaveRecord(highScore) == platform::RecordSave::Written) {
    platform::TraceEvent("highscore-write").Int("value", highScore);
  }
}

int CGame::Init(void* /*hInstance*/, HWND hWnd) {
  gdi::HDC windowDC = GetDC(hWnd);
  const int ok = LoadAssets(windowDC, hWnd);
  ReleaseDC(hWnd, windowDC);
  return ok;
}

int CGame::LoadAssets(gdi::HDC windowDC, HWND hWnd) {
  highScoreRead = platform::ReadRecord(highScore) != platform::RecordState::Unreadable;

  backDC = gdi::CreateCompatibleDC(windowDC);
  backBitmap = gdi::CreateCompatibleBitmap(windowDC, 640, 480);
  gdi::SelectObject(backDC, backBitmap);

  if (!Tested(titleImage.Load("BMP/TITLE.bmp", kWhite), "TITLE.bmpが見つかりません") ||
      !Tested(highScoreLabel.Load("BMP/HIGHSCORE.bmp", kWhite),
              "HIGHSCORE.bmpが見つかりません") ||
      !Tested(startImage.Load("BMP/START.bmp", kStartKey), "START.bmpが見つかりません") ||
      !Tested(highScoreDigits.Load("BMP/HIGHSCORE_NUM.bmp", kGreen),
              "HIGHSCORE_NUM.bmpが見つかりません")) {
    return 0;
  }

  wall.Load("BMP/wall.bmp");
  board.Init(windowDC, hWnd);

  timeBox.SetValue(60);
  // The time box's failure has always been reported with the digit strip's text.
  if (!Tested(timeBox.LoadBox("BMP/BoxTimer.bmp"), "HIGHSCORE_NUM.bmpが見つかりません")) {
    return 0;
  }
  timeBox.LoadDigits("BMP/moji_aka.bmp", kBlack, 24);
  timeBox.CreateCanvas(windowDC);

  scoreBox.SetValue(0);
  scoreBox.LoadBox("BMP/BoxScore.bmp");
  scoreBox.LoadDigits("BMP/moji_shiro.bmp", kBlack, 20);
  scoreBox.CreateCanvas(windowDC);

  starsBox.Reset(6, 10);
  starsBox.LoadBox("BMP/BoxStars.bmp");
  starsBox.LoadIcons("BMP/hosi0.bmp", kWhite, "BMP/hosi_mono.bmp", kWhite, 5, 2);
  starsBox.LoadAnimation(12, 20, 5, 2);
  for (int i = 0; i < 12; ++i) {
    const std::string path = "BMP/hosi" + std::to_string(i) + ".bmp";
    starsBox.LoadFrame(i, path.c_str(), kWhite);
  }

  missBox.Reset(10, 10);
  missBox.LoadBox("BMP/BoxMiss.bmp");
  missBox.LoadIcons("BMP/miss.bmp", kBlack, nullptr, 0, 5, 2);
  missBox.LoadAnimation(2, 100, 5, 2);
  missBox.LoadFrame(0, "BMP/miss.bmp", kBlack);

  gauges.Init(windowDC, wall.GetMemDC());

  CDrawMaskBMP& popupSprite = Program().popupSprite;
  if (!Tested(popupSprite.Load("BMP/MSG.bmp", kMessageKey), "MSG.bmpが見つかりません")) {
    return 0;
  }
  BindPopupSprite(&popupSprite);

  countdown.Load("BMP/321start.bmp");
  results.Load();

  if (!LoadSoundEffects()) DebugMessageBox("%s", "WAVファイル読み込み失敗");
  return 1;
}

void CGame::Shutdown() {
  if (shutDown) return;
  shutDown = true;
  WriteHighScore();
  if (backDC) gdi::DeleteDC(backDC);
  if (backBitmap) gdi::DeleteObject(backBitmap);
  backDC = 0;
  backBitmap = 0;
  titleImage.Release();
  highScoreLabel.Release();
  startImage.Release();
  highScoreDigits.Release();
  wall.Release();
  board.Release();
  timeBox.ReleaseCanvas();
  scoreBox.ReleaseCanvas();
  starsBox.Release();
  missBox.Release();
  gauges.Release();
  // The pop-up sprite is a program-lifetime object of its own and has already been
  // destroyed (and so released) by now; the list only lets go of it.
  BindPopupSprite(nullptr);
  countdown.Release();
  results.Release();
  ReleaseSoundEffects();
}
