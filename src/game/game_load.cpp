// Start-up loading in its fixed order, shutdown, and the high-score file.
#include <cstdio>
#include <string>

#include <unistd.h>

#include "audio/sound.h"
#include "game/game.h"
#include "game/program.h"
#include "hud/popups.h"
#include "platform/platform.h"
#include "services/debug.h"

namespace {

const char* const kHighScoreFile = "highscore.dat";

constexpr gdi::COLORREF kWhite = gdi::RGB(255, 255, 255);
constexpr gdi::COLORREF kBlack = gdi::RGB(0, 0, 0);
constexpr gdi::COLORREF kGreen = gdi::RGB(0, 255, 0);
constexpr gdi::COLORREF kStartKey = gdi::RGB(100, 60, 0);
constexpr gdi::COLORREF kMessageKey = gdi::RGB(127, 127, 127);

// The record as four little-endian bytes on every machine. A file shorter than four
// bytes counts as no record at all.
std::int32_t ReadHighScoreFile() {
  std::FILE* f = std::fopen(kHighScoreFile, "rb");
  if (!f) return 0;
  unsigned char bytes[4];
  const size_t got = std::fread(bytes, 1, 4, f);
  std::fclose(f);
  if (got != 4) return 0;
  const std::uint32_t v = static_cast<std::uint32_t>(bytes[0]) |
                          (static_cast<std::uint32_t>(bytes[1]) << 8) |
                          (static_cast<std::uint32_t>(bytes[2]) << 16) |
                          (static_cast<std::uint32_t>(bytes[3]) << 24);
  return static_cast<std::int32_t>(v);
}

// Written beside the real file and renamed over it, so a crash at any moment leaves
// either the old record or the new one, never a torn file.
bool WriteHighScoreFile(std::int32_t value) {
  const std::string temp = std::string(kHighScoreFile) + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  const std::uint32_t v = static_cast<std::uint32_t>(value);
  const unsigned char bytes[4] = {static_cast<unsigned char>(v & 0xFF),
                                  static_cast<unsigned char>((v >> 8) & 0xFF),
                                  static_cast<unsigned char>((v >> 16) & 0xFF),
                                  static_cast<unsigned char>((v >> 24) & 0xFF)};
  bool ok = std::fwrite(bytes, 1, 4, f) == 4;
  ok = std::fflush(f) == 0 && ok;
  ok = fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), kHighScoreFile) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

// A tested load that fails stops start-up with its own message.
bool Tested(int loaded, const char* message) {
  if (!loaded) DebugMessageBox("%s", message);
  return loaded != 0;
}

}  // namespace

void CGame::WriteHighScore() {
  if (!highScoreRead) return;
  if (WriteHighScoreFile(highScore)) {
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
  highScore = ReadHighScoreFile();
  highScoreRead = true;

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
