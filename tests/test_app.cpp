// The application shell's own services: the interval timer, the play-bounds test,
// mouse sampling, the debug box, and the window with its message queue.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/debug.h"
#include "app/frame_loop.h"
#include "app/mouse.h"
#include "app/timer.h"
#include "app/window.h"
#include "platform/gdi.h"
#include "platform/headless/control.h"
#include "platform/platform.h"

namespace {

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Options options;
    options.headless = true;
    std::string error;
    ASSERT_TRUE(platform::Init(options, error)) << error;
    headless::ClearRecords();
    ResetMouseState();
  }
  void TearDown() override { platform::Shutdown(); }
};

// --- CTimer ---

TEST_F(AppTest, TimerFiresAtTheFirstCheckPastTheIntervalAndCountsFromThatReading) {
  headless::SetTick(1000);
  CTimer timer;
  timer.Start(50);
  for (std::uint32_t tick = 1000; tick <= 1050; ++tick) {
    headless::SetTick(tick);
    EXPECT_EQ(timer.Expired(), 0) << "tick " << tick;
  }
  headless::SetTick(1051);
  EXPECT_EQ(timer.Expired(), 1);
  EXPECT_EQ(timer.GetStart(), 1051u);
  headless::SetTick(1101);
  EXPECT_EQ(timer.Expired(), 0);
  headless::SetTick(1102);
  EXPECT_EQ(timer.Expired(), 1);
}

TEST_F(AppTest, TimerDropsTheLatenessOfALateCheck) {
  headless::SetTick(0);
  CTimer timer;
  timer.Start(100);
  headless::SetTick(180);
  EXPECT_EQ(timer.Expired(), 1);
  EXPECT_EQ(timer.GetStart(), 180u);  // not 100
  headless::SetTick(280);
  EXPECT_EQ(timer.Expired(), 0);
  headless::SetTick(281);
  EXPECT_EQ(timer.Expired(), 1);
}

TEST_F(AppTest, TimerSurvivesTheWrapOfTheTickCounter) {
  headless::SetTick(4294967290u);
  CTimer timer;
  timer.Start(10);
  headless::SetTick(4);  // elapsed 10
  EXPECT_EQ(timer.Expired(), 0);
  headless::SetTick(5);  // elapsed 11
  EXPECT_EQ(timer.Expired(), 1);
  EXPECT_EQ(timer.GetStart(), 5u);
}

TEST_F(AppTest, TimerWithIntervalZeroFiresOnceAMillisecond) {
  headless::SetTick(7000);
  CTimer timer;
  timer.Start(0);
  EXPECT_EQ(timer.Expired(), 0);
  headless::SetTick(7001);
  EXPECT_EQ(timer.Expired(), 1);
  EXPECT_EQ(timer.Expired(), 0);  // same millisecond
  headless::SetTick(7005);
  EXPECT_EQ(timer.Expired(), 1);
}

TEST_F(AppTest, TimerConstructionSetIntervalAndRestart) {
  headless::SetTick(500);
  CTimer timer;
  EXPECT_EQ(timer.GetStart(), 500u);
  EXPECT_EQ(timer.GetInterval(), 1000u);

  headless::SetTick(900);
  timer.SetInterval(200);
  EXPECT_EQ(timer.GetStart(), 500u);
  EXPECT_EQ(timer.GetInterval(), 200u);
  EXPECT_EQ(timer.Expired(), 1);  // 400 > 200

  headless::SetTick(2000);
  timer.Restart();
  EXPECT_EQ(timer.GetStart(), 2000u);
  EXPECT_EQ(timer.GetInterval(), 200u);
}

// --- the play bounds ---

TEST(CursorInsideTest, BoundsAreFourFromTheTopAndInclusiveAtRightAndBottom) {
  EXPECT_EQ(CursorInside(640, 480), 1);
  EXPECT_EQ(CursorInside(0, 4), 1);
  EXPECT_EQ(CursorInside(320, 240), 1);
  EXPECT_EQ(CursorInside(0, 3), 0);
  EXPECT_EQ(CursorInside(-1, 100), 0);
  EXPECT_EQ(CursorInside(641, 100), 0);
  EXPECT_EQ(CursorInside(100, 481), 0);
  EXPECT_EQ(CursorInside(-100000, -100000), 0);
}

// --- mouse sampling ---

TEST_F(AppTest, AHeldButtonIsOnePress) {
  EXPECT_EQ(MousePressed(1), 0);
  headless::SetButton(true);
  UpdateMouse(1);
  EXPECT_EQ(MousePressed(1), 1);
  EXPECT_EQ(MousePressed(0), 0);  // the mask is ANDed in
  for (int frame = 0; frame < 20; ++frame) {
    UpdateMouse(1);
    EXPECT_EQ(MousePressed(1), 0) << "frame " << frame;
  }
  headless::SetButton(false);
  UpdateMouse(1);
  EXPECT_EQ(MousePressed(1), 0);
  headless::SetButton(true);
  UpdateMouse(1);
  EXPECT_EQ(MousePressed(1), 1);
}

TEST_F(AppTest, OutsideTheBoundsTheButtonReadsUpAndComingBackInIsANewPress) {
  headless::SetButton(true);
  UpdateMouse(0);
  EXPECT_EQ(MousePressed(1), 0);
  UpdateMouse(1);
  EXPECT_EQ(MousePressed(1), 1);
  UpdateMouse(1);
  EXPECT_EQ(MousePressed(1), 0);
  UpdateMouse(0);  // still held, but outside: a release
  EXPECT_EQ(MousePressed(1), 0);
  UpdateMouse(1);
  EXPECT_EQ(MousePressed(1), 1);
}

TEST_F(AppTest, APressAndReleaseBetweenTwoSamplesIsNotSeen) {
  headless::SetButton(true);
  headless::SetButton(false);
  UpdateMouse(1);
  EXPECT_EQ(MousePressed(1), 0);
}

// --- the debug box ---

TEST_F(AppTest, DebugBoxFormatsIntoACaptionedBox) {
  DebugMessageBox("File : %s is NULL", "BMP/x.bmp");
  const auto& boxes = headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "DEBUG");
  EXPECT_EQ(boxes[0].text, "File : BMP/x.bmp is NULL");
}

TEST_F(AppTest, DebugBoxCutsLongTextAt255Characters) {
  const std::string longText(300, 'a');
  DebugMessageBox("%s", longText.c_str());
  const auto& boxes = headless::MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "DEBUG");
  EXPECT_EQ(boxes[0].text, std::string(255, 'a'));
}

TEST_F(AppTest, DebugBoxNeverEndsInHalfACharacter) {
  // 254 bytes, then a three-byte character of which only the first byte fits.
  const std::string text = std::string(254, 'a') + "初期化";
  DebugMessageBox("%s", text.c_str());
  ASSERT_EQ(headless::MessageBoxes().size(), 1u);
  EXPECT_EQ(headless::MessageBoxes()[0].text, std::string(254, 'a'));

  headless::ClearRecords();
  const std::string fits = std::string(252, 'a') + "初";  // exactly 255 bytes
  DebugMessageBox("%s", (fits + "x").c_str());
  ASSERT_EQ(headless::MessageBoxes().size(), 1u);
  EXPECT_EQ(headless::MessageBoxes()[0].text, fits);
}

TEST_F(AppTest, TheJapaneseStartUpMessageGoesThroughUnchanged) {
  DebugMessageBox("初期化に失敗しました。");
  ASSERT_EQ(headless::MessageBoxes().size(), 1u);
  EXPECT_EQ(headless::MessageBoxes()[0].text, "初期化に失敗しました。");
}

// --- the window ---

std::vector<MSG> received;
bool quitOnDestroy = true;

std::intptr_t RecordingProc(HWND hWnd, unsigned message, std::uintptr_t wParam,
                            std::intptr_t lParam) {
  MSG m;
  m.hwnd = hWnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  received.push_back(m);
  if (message == WM_DESTROY && quitOnDestroy) PostQuitMessage(0);
  return DefWindowProc(hWnd, message, wParam, lParam);
}

TEST_F(AppTest, WindowSurfaceIs640By480AndReleasingItPresents) {
  gdi::HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, 0u);
  EXPECT_EQ(GetDC(nullptr), dc);
  int width = 0;
  int height = 0;
  ASSERT_NE(gdi::ColourBits(gdi::CurrentBitmap(dc), &width, &height), nullptr);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);

  gdi::HPEN pen = gdi::CreatePen(gdi::PS_SOLID, 1, gdi::RGB(255, 0, 0));
  gdi::HGDIOBJ oldPen = gdi::SelectObject(dc, pen);
  gdi::HGDIOBJ oldBrush = gdi::SelectObject(dc, gdi::GetStockObject(gdi::NULL_BRUSH));
  gdi::Rectangle(dc, 10, 20, 30, 40);
  gdi::SelectObject(dc, oldPen);
  gdi::SelectObject(dc, oldBrush);
  gdi::DeleteObject(pen);

  EXPECT_TRUE(headless::LastFrame().empty());
  ReleaseDC(nullptr, dc);
  const auto& frame = headless::LastFrame();
  ASSERT_EQ(frame.size(), 640u * 480u);
  EXPECT_EQ(frame[20 * 640 + 10], 0xFF0000u);
  EXPECT_EQ(frame[21 * 640 + 11], 0u);
}

TEST_F(AppTest, ClientCursorIsThePlatformCursor) {
  int x = -1;
  int y = -1;
  GetClientCursorPos(nullptr, x, y);
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);
  headless::SetCursor(-7, 600);
  GetClientCursorPos(MainWindow(), x, y);
  EXPECT_EQ(x, -7);
  EXPECT_EQ(y, 600);
}

TEST_F(AppTest, WindowLifeFromCreationToQuit) {
  received.clear();
  quitOnDestroy = true;
  static int instance;
  HWND hWnd = CreateMainWindow(RecordingProc, &instance);
  ASSERT_NE(hWnd, nullptr);
  EXPECT_EQ(MainWindow(), hWnd);
  EXPECT_EQ(GetWindowInstance(hWnd), &instance);
  EXPECT_EQ(CreateMainWindow(RecordingProc, &instance), nullptr);  // only one window
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].message, WM_CREATE);
  EXPECT_EQ(received[1].message, platform::WM_SIZE);
  EXPECT_EQ(received[1].lParam & 0xFFFF, 640);
  EXPECT_EQ((received[1].lParam >> 16) & 0xFFFF, 480);

  MSG msg;
  EXPECT_FALSE(PeekMessage(msg));
  received.clear();
  headless::PostLeftButtonDown();
  headless::PostClose();
  headless::PostLeftButtonDown();  // arrives after the window is gone

  ASSERT_TRUE(PeekMessage(msg));
  EXPECT_EQ(msg.message, platform::WM_LBUTTONDOWN);
  EXPECT_EQ(msg.lParam, 320 | (240 << 16));
  DispatchMessage(msg);
  ASSERT_TRUE(PeekMessage(msg));
  EXPECT_EQ(msg.message, platform::WM_CLOSE);
  DispatchMessage(msg);  // default handling destroys the window
  EXPECT_EQ(MainWindow(), nullptr);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].message, platform::WM_LBUTTONDOWN);
  EXPECT_EQ(received[1].message, platform::WM_CLOSE);
  EXPECT_EQ(received[2].message, WM_DESTROY);

  // WM_DESTROY posted the quit: it comes next, ahead of what is still queued.
  ASSERT_TRUE(PeekMessage(msg));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 0u);
  ASSERT_TRUE(PeekMessage(msg));
  EXPECT_EQ(msg.message, platform::WM_LBUTTONDOWN);
  EXPECT_EQ(DispatchMessage(msg), 0);
  EXPECT_EQ(received.size(), 3u);  // dropped: the window is gone
  EXPECT_FALSE(PeekMessage(msg));
}

TEST_F(AppTest, DoubleClicksAndUnknownMessagesGoToTheDefaultAndDoNothing) {
  received.clear();
  quitOnDestroy = false;
  HWND hWnd = CreateMainWindow(RecordingProc, nullptr);
  ASSERT_NE(hWnd, nullptr);
  EXPECT_EQ(DefWindowProc(hWnd, platform::WM_LBUTTONDBLCLK, 0, 0), 0);
  EXPECT_EQ(DefWindowProc(hWnd, 0x0006, 0, 0), 0);
  EXPECT_EQ(MainWindow(), hWnd);
  DestroyWindow(hWnd);
  EXPECT_EQ(MainWindow(), nullptr);
  MSG msg;
  EXPECT_FALSE(PeekMessage(msg));  // no quit without PostQuitMessage
}

}  // namespace
