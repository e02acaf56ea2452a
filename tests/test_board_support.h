// What the board tests share: the headless platform, reach into the board's holes and
// counters, clicks through the sampled mouse, and a 640 x 480 back buffer.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "app/crand.h"
#include "app/mouse.h"
#include "app/window.h"
#include "board/board.h"
#include "platform/gdi.h"
#include "platform/headless/control.h"
#include "platform/platform.h"

struct BoardTestAccess {
  static CHole& Hole(CBoard& b, int row, int col) { return b.holes[row][col]; }
  static void Place(CBoard& b, int row, int col, std::int32_t state, int kind, float height) {
    CHole& hole = b.holes[row][col];
    hole.state = state;
    hole.kind = static_cast<std::int8_t>(kind);
    hole.height = height;
  }
  static void SetHitCount(CBoard& b, std::int32_t hits) { b.hitCount = hits; }
  static void SetSpeed(CBoard& b, float speed) { b.speed = speed; }
  static void SetWaitTime(CBoard& b, std::int32_t ms) { b.waitTime = ms; }
};

namespace boardtest {

inline bool DataDirExists() {
  struct stat info;
  return stat(TONKALO_DATA_DIR, &info) == 0 && S_ISDIR(info.st_mode);
}

// Brings the headless platform up once per test program and works inside the generated
// data folder when there is one, so that the board's pictures load.
class HeadlessEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    platform::Options options;
    options.headless = true;
    std::string error;
    ASSERT_TRUE(platform::Init(options, error)) << error;
    if (DataDirExists()) {
      ASSERT_EQ(chdir(TONKALO_DATA_DIR), 0);
    }
  }
  void TearDown() override { platform::Shutdown(); }
};

// The counters CGame hands to DrawAndHit.
struct Counters {
  int score = 0;
  int time = 0;
  int stars = 0;
  int misses = 0;
  int flags[4] = {0, 0, 0, 0};
};

// Makes the next MousePressed(1) report a press with the cursor at (x, y).
inline void PressAt(int x, int y) {
  headless::SetCursor(x, y);
  headless::SetButton(false);
  UpdateMouse(1);
  headless::SetButton(true);
  UpdateMouse(1);
}

// A sample with the button up: no press in the next pass.
inline void NoPress() {
  headless::SetButton(false);
  UpdateMouse(1);
}

// A 640 x 480 colour bitmap in its own context, black to start with.
class BackBuffer {
 public:
  BackBuffer() {
    dc = gdi::CreateCompatibleDC(0);
    blank = gdi::CreateCompatibleDC(0);
    bmp = gdi::CreateCompatibleBitmap(0, 640, 480);
    blankBmp = gdi::CreateCompatibleBitmap(0, 640, 480);
    gdi::SelectObject(dc, bmp);
    gdi::SelectObject(blank, blankBmp);
  }
  ~BackBuffer() {
    gdi::DeleteDC(dc);
    gdi::DeleteObject(bmp);
    gdi::DeleteDC(blank);
    gdi::DeleteObject(blankBmp);
  }
  BackBuffer(const BackBuffer&) = delete;
  BackBuffer& operator=(const BackBuffer&) = delete;

  void Clear() { gdi::BitBlt(dc, 0, 0, 640, 480, blank, 0, 0, gdi::SRCCOPY); }
  std::uint32_t At(int x, int y) const {
    return static_cast<std::uint32_t>(gdi::PixelAt(bmp, x, y));
  }
  // Pixels in [x0, x1) x [y0, y1) that are not black.
  int Painted(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (At(x, y) != 0) ++n;
    return n;
  }

  gdi::HDC dc = 0;
  gdi::HBITMAP bmp = 0;

 private:
  gdi::HDC blank = 0;
  gdi::HBITMAP blankBmp = 0;
};

// A board straight after the game's start: module state fresh, seeded with 100, reset.
// Init builds the canvas and loads the sprites when the data folder is there.
class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetBoardModuleState();
    ResetMouseState();
    headless::SetTick(1000);
    headless::SetCursor(0, 0);
    headless::SetButton(false);
    board = std::make_unique<CBoard>();
    crt::srand(100);
    board->Init(back.dc, MainWindow());
    headless::ClearRecords();
  }

  // One composition step of the play layout: canvas, then the pass.
  void Pass(int playing = 1) {
    board->DrawCanvas(back.dc, 20, 20);
    board->DrawAndHit(back.dc, playing, c.score, c.time, c.stars, c.misses, c.flags);
  }
  // A pass that takes a click at (x, y).
  void ClickPass(int x, int y, int playing = 1) {
    PressAt(x, y);
    Pass(playing);
    NoPress();
  }

  BackBuffer back;
  std::unique_ptr<CBoard> board;
  Counters c;
};

}  // namespace boardtest
