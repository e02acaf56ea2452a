// The application shell's own services: the interval timer, the play-bounds test,
// mouse sampling, the debug box, the window with its message queue, and where the data
// and the high score are found. (The window surface's frames, FrameIdentity checks.)
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/data_places.h"
#include "app/frame_loop.h"
#include "platform/headless/control.h"
#include "services/debug.h"
#include "services/message_queue.h"
#include "services/mouse.h"
#include "services/timer.h"
#include "services/window.h"
#include "support/test_support.h"

namespace {

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::StartHeadless();
    ResetMouseState();
  }
  void TearDown() override { platform::Shutdown(); }
};

// Expired() at each tick in turn, as a string of 0s and 1s.
std::string Checks(CTimer& timer, const std::vector<std::uint32_t>& ticks) {
  std::string out;
  for (std::uint32_t tick : ticks) {
    headless::SetTick(tick);
    out += static_cast<char>('0' + timer.Expired());
  }
  return out;
}

TEST_F(AppTest, TimerFiresAtTheFirstCheckMoreThanTheIntervalOnAndRestartsFromIt) {
  headless::SetTick(1000);
  CTimer timer;
  timer.Start(50);
  EXPECT_EQ(Checks(timer, {1000, 1025, 1050, 1051, 1101, 1102}), "000101");
  // A late check restarts from its own reading, not from start + interval.
  EXPECT_EQ(Checks(timer, {1300, 1350, 1351, 1400}), "1010");
  timer.SetInterval(200);  // start unchanged: 1351
  EXPECT_EQ(Checks(timer, {1551, 1552}), "01");
  timer.Restart();
  EXPECT_EQ(Checks(timer, {1752, 1753}), "01");

  headless::SetTick(4294967290u);
  timer.Start(10);
  EXPECT_EQ(Checks(timer, {4, 5}), "01");  // elapsed 10, then 11 across the wrap
  timer.Start(0);
  EXPECT_EQ(Checks(timer, {5, 6, 6, 10}), "0101");  // at most once a millisecond
}

TEST(CursorInside, BoundsAreFourFromTheTopAndInclusiveAtRightAndBottom) {
  const std::vector<std::pair<int, int>> in = {{640, 480}, {0, 4}, {320, 240}},
                                          out = {{0, 3}, {-1, 100}, {641, 100}, {100, 481}};
  for (const auto& [x, y] : in) EXPECT_EQ(CursorInside(x, y), 1) << x << "," << y;
  for (const auto& [x, y] : out) EXPECT_EQ(CursorInside(x, y), 0) << x << "," << y;
}

TEST_F(AppTest, AHeldButtonIsOnePressAndLeavingTheBoundsReleasesIt) {
  // Each letter a sample: i inside, o outside; then the press reported for it.
  const auto samples = [](const std::string& where) {
    std::string pressed;
    for (char c : where) {
      UpdateMouse(c == 'i');
      pressed += static_cast<char>('0' + MousePressed());
    }
    return pressed;
  };
  headless::SetButton(true);
  EXPECT_EQ(samples("iiii"), "1000");
  EXPECT_EQ(samples("oiioi"), "01001");
  headless::SetButton(false);
  EXPECT_EQ(samples("i"), "0");
  headless::SetButton(true);
  EXPECT_EQ(samples("i"), "1");
  headless::SetButton(false);  // a press and release between two samples is not seen
  headless::SetButton(true);
  headless::SetButton(false);
  EXPECT_EQ(samples("i"), "0");
}

TEST_F(AppTest, DebugBoxIsCaptionedAndCutTo255BytesNeverInHalfACharacter) {
  const std::string fits = std::string(252, 'a') + "初";  // exactly 255 bytes
  DebugMessageBox("File : %s is NULL", "BMP/x.bmp");
  DebugMessageBox("%s", std::string(300, 'a').c_str());
  DebugMessageBox("%s", (std::string(254, 'a') + "初期化").c_str());
  DebugMessageBox("%sx", fits.c_str());
  DebugMessageBox("初期化に失敗しました。");
  const std::vector<std::string> want = {"File : BMP/x.bmp is NULL", std::string(255, 'a'),
                                         std::string(254, 'a'), fits, "初期化に失敗しました。"};
  ASSERT_EQ(headless::MessageBoxes().size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(headless::MessageBoxes()[i].caption, "DEBUG");
    EXPECT_EQ(headless::MessageBoxes()[i].text, want[i]);
  }
}

std::vector<unsigned> received;

std::intptr_t RecordingProc(HWND hWnd, unsigned message, std::uintptr_t wParam,
                            std::intptr_t lParam) {
  received.push_back(message);
  EXPECT_TRUE(message != platform::WM_SIZE || lParam == (640 | (480 << 16))) << lParam;
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProc(hWnd, message, wParam, lParam);
}

// WM_CLOSE's default destroys the window; the quit that WM_DESTROY posts comes ahead of
// what was still queued, which then reaches no window.
TEST_F(AppTest, WindowLifeFromCreationToQuit) {
  static int instance;
  received.clear();
  HWND hWnd = CreateMainWindow(RecordingProc, &instance);
  ASSERT_NE(hWnd, nullptr);
  EXPECT_EQ(GetWindowInstance(hWnd), &instance);
  EXPECT_EQ(CreateMainWindow(RecordingProc, &instance), nullptr);  // only one window
  headless::PostLeftButtonDown();
  headless::PostClose();
  headless::PostLeftButtonDown();
  std::vector<unsigned> taken;
  for (MSG msg; PeekMessage(msg);) {
    taken.push_back(msg.message);
    DispatchMessage(msg);
  }
  using platform::WM_CLOSE, platform::WM_LBUTTONDOWN;
  EXPECT_EQ(taken, (std::vector<unsigned>{WM_LBUTTONDOWN, WM_CLOSE, WM_QUIT, WM_LBUTTONDOWN}));
  EXPECT_EQ(received, (std::vector<unsigned>{WM_CREATE, platform::WM_SIZE, WM_LBUTTONDOWN,
                                             WM_CLOSE, WM_DESTROY}));
  EXPECT_EQ(MainWindow(), nullptr);
}

// Folders: work/ holds the data (BMP/TITLE.bmp), photos/ only a BMP/ folder, empty/
// nothing, other/ is named by --data-dir, and prefix/bin/tonkalo has its installed data
// beside it.
TEST(DataPlaces, DataDirThenWorkingFolderThenInstalledDataAndTheRecordOutOfTheInstall) {
  namespace fs = std::filesystem;
  const std::string root = testsupport::MakeTempDir("data-places");
  const std::string exe = root + "/prefix/bin/tonkalo";
  const std::string installed = InstalledDataFolder(exe);
  ASSERT_EQ(installed.rfind(root + "/prefix/", 0), 0u) << installed;
  for (const std::string& d : {root + "/work/BMP", root + "/other/BMP", installed + "/BMP",
                               root + "/empty", root + "/photos/BMP"}) {
    fs::create_directories(d);
  }
  testsupport::WriteFile(root + "/work/BMP/TITLE.bmp", "title");
  testsupport::WriteFile(installed + "/BMP/TITLE.bmp", "title");
  const std::string userRecord = "/home/u/.local/share/tonkalo/highscore.dat";
  struct Case {
    std::string dataDir, working, dataHome, home;
    std::string folder, record;  // empty folder: not found
  };
  const Case cases[] = {
      {"../other", "work", "", "/home/u", "other", root + "/other/highscore.dat"},
      {"", "work", "", "/home/u", "work", root + "/work/highscore.dat"},
      {"", "empty", "", "/home/u", installed, userRecord},
      {"", "photos", "", "/home/u", installed, userRecord},
      {"", "empty", "/xdg", "/home/u", installed, "/xdg/tonkalo/highscore.dat"},
      {"", "empty", "relative/xdg", "/home/u", installed, userRecord},
      {installed, "work", "", "/home/u", installed, userRecord},
      {"", "empty", "", "", "", ""},
      {"", "empty", "", "/home/u", "", ""},  // with the installed data gone
  };
  for (const Case& c : cases) {
    DataSearch search{c.dataDir, root + "/" + c.working, exe, c.dataHome, c.home};
    DataPlaces places;
    std::string error;
    const bool nowhere = &c == &cases[std::size(cases) - 1];
    if (nowhere) fs::remove_all(installed);
    const bool found = FindDataPlaces(search, places, error);
    const std::string want = c.folder.empty() || c.folder[0] == '/' ? c.folder : root + "/" + c.folder;
    EXPECT_EQ(found ? places.folder : "", want) << c.dataDir << " " << c.working << " " << error;
    EXPECT_EQ(found ? places.recordFile : "", c.record) << c.dataDir << " " << c.working;
    EXPECT_EQ(places.installed, found && want == installed);
    for (const std::string& named : {root + "/empty", installed, std::string("--data-dir")}) {
      EXPECT_TRUE(!nowhere || error.find(named) != std::string::npos) << error;  // where it looked
    }
  }
}

}  // namespace
