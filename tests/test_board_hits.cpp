// Clicks against the board: hit boxes, effects, misses and their sounds, the explosion
// queue and the hammer swing.
#include <vector>

#include "test_board_support.h"

using boardtest::BoardTest;
using boardtest::NoPress;
using boardtest::PressAt;

namespace {

::testing::Environment* const kEnv =
    ::testing::AddGlobalTestEnvironment(new boardtest::HeadlessEnvironment);

using Sounds = std::vector<int>;

}  // namespace

class BoardHitTest : public BoardTest {
 protected:
  // A fresh item in hole (row, col), then one click pass at (x, y); true when it was hit.
  bool Probe(int row, int col, float height, int x, int y) {
    BoardTestAccess::Place(*board, row, col, HOLE_RISING, ITEM_2POINT, height);
    const int hitsBefore = board->GetHitCount();
    ClickPass(x, y);
    const bool hit = board->GetHitCount() == hitsBefore + 1;
    EXPECT_EQ(hit, board->GetHole(row, col).state == HOLE_GONE);
    Pass();  // empties the hole again
    return hit;
  }
};

TEST_F(BoardHitTest, HitBoxEdgesCountAndLieWhereStated) {
  // Hole (2, 3) at height 40: item box x 249..281, top 190, depth 32; the hammer box
  // hangs 30 pixels from the click and reaches 15 to either side.
  EXPECT_TRUE(Probe(2, 3, 40.0f, 234, 190));
  EXPECT_FALSE(Probe(2, 3, 40.0f, 233, 190));
  EXPECT_TRUE(Probe(2, 3, 40.0f, 296, 190));
  EXPECT_FALSE(Probe(2, 3, 40.0f, 297, 190));
  EXPECT_TRUE(Probe(2, 3, 40.0f, 260, 160));
  EXPECT_FALSE(Probe(2, 3, 40.0f, 260, 159));
  EXPECT_TRUE(Probe(2, 3, 40.0f, 260, 222));
  EXPECT_FALSE(Probe(2, 3, 40.0f, 260, 223));
  EXPECT_TRUE(Probe(2, 3, 40.0f, 234, 160));
  EXPECT_TRUE(Probe(2, 3, 40.0f, 296, 222));
  // Depth stops at 32 however high the item stands: fully risen, top 180, bottom 212.
  EXPECT_TRUE(Probe(2, 3, 50.4f, 260, 212));
  EXPECT_FALSE(Probe(2, 3, 50.4f, 260, 213));
  EXPECT_TRUE(Probe(2, 3, 50.4f, 260, 150));
  EXPECT_FALSE(Probe(2, 3, 50.4f, 260, 149));
  // The top-left hole against a cursor left of and above the window.
  EXPECT_TRUE(Probe(0, 0, 50.4f, 24, 10));
  EXPECT_FALSE(Probe(0, 0, 50.4f, -5, 10));
  EXPECT_FALSE(Probe(0, 0, 50.4f, 30, -40));
}

TEST_F(BoardHitTest, ABarelyRisenItemHasNoDepthButCanBeHit) {
  // Height below 1: the box is the line y = 230 of hole (2, 3).
  EXPECT_TRUE(Probe(2, 3, 0.5f, 234, 200));
  EXPECT_TRUE(Probe(2, 3, 0.5f, 296, 230));
  EXPECT_TRUE(Probe(2, 3, 0.0f, 265, 215));
  EXPECT_FALSE(Probe(2, 3, 0.5f, 265, 231));
  EXPECT_FALSE(Probe(2, 3, 0.5f, 265, 199));
  EXPECT_FALSE(Probe(2, 3, 0.5f, 297, 230));
}

TEST_F(BoardHitTest, OneClickHitsTwoItemsInOneColumn) {
  // Upper item at height 32 (box 128..160), lower at 40 (box 190..222); a click at
  // y = 160 spans 160..190 and meets both.
  BoardTestAccess::Place(*board, 1, 2, HOLE_WAITING, ITEM_2POINT, 32.0f);
  BoardTestAccess::Place(*board, 2, 2, HOLE_SINKING, ITEM_5POINT, 40.0f);
  ClickPass(195, 160);
  EXPECT_EQ(board->GetHitCount(), 2);
  EXPECT_EQ(c.score, 7);
  EXPECT_EQ(c.misses, 0);
  EXPECT_EQ(c.flags[1], 1);
  EXPECT_EQ(c.flags[2], 1);
  EXPECT_EQ(c.flags[0], 0);
  EXPECT_EQ(c.flags[3], 0);
  EXPECT_EQ(headless::PlayedSounds(), (Sounds{3, 0, 0}));
  EXPECT_EQ(board->GetExplosionCount(), 2);
  EXPECT_EQ(board->GetExplosionCell(0).x, 2);
  EXPECT_EQ(board->GetExplosionCell(0).y, 1);
  EXPECT_EQ(board->GetExplosionCell(1).x, 2);
  EXPECT_EQ(board->GetExplosionCell(1).y, 2);
  for (int r : {1, 2}) {
    EXPECT_EQ(board->GetHole(r, 2).state, HOLE_GONE);
    EXPECT_EQ(board->GetHole(r, 2).kind, ITEM_NONE);
    EXPECT_EQ(board->GetHole(r, 2).height, 0.0f);
  }
}

TEST_F(BoardHitTest, TwoHitsOfOneKindRaiseTheirGaugeFlagOnce) {
  BoardTestAccess::Place(*board, 1, 2, HOLE_RISING, ITEM_1POINT, 32.0f);
  BoardTestAccess::Place(*board, 2, 2, HOLE_RISING, ITEM_1POINT, 45.0f);
  ClickPass(195, 160);
  EXPECT_EQ(board->GetHitCount(), 2);
  EXPECT_EQ(c.flags[3], 1);
  EXPECT_EQ(c.score, 2);
  EXPECT_EQ(c.stars, 2);
}

TEST_F(BoardHitTest, ItemsInNeighbouringColumnsAreNeverHitTogether) {
  for (int x = 140; x <= 330; ++x) {
    BoardTestAccess::Place(*board, 2, 2, HOLE_WAITING, ITEM_2POINT, 50.4f);
    BoardTestAccess::Place(*board, 2, 3, HOLE_WAITING, ITEM_2POINT, 50.4f);
    const int before = board->GetHitCount();
    ClickPass(x, 190);
    EXPECT_LE(board->GetHitCount() - before, 1) << "x = " << x;
    Pass();
  }
}

TEST_F(BoardHitTest, GoneAndEmptyHolesCannotBeHit) {
  // Hit earlier in this frame's update cycle: gone with no item.
  BoardTestAccess::Place(*board, 2, 3, HOLE_GONE, ITEM_NONE, 0.0f);
  // Sunk: gone but still holding its kind, height at or below 0.
  BoardTestAccess::Place(*board, 2, 2, HOLE_GONE, ITEM_10POINT, -0.4f);
  ClickPass(265, 225);
  ClickPass(195, 225);
  ClickPass(125, 225);  // hole (2, 1) is empty
  EXPECT_EQ(board->GetHitCount(), 0);
  EXPECT_EQ(c.misses, 3);
  EXPECT_EQ(c.score, 0);
  EXPECT_EQ(board->GetHole(2, 3).state, HOLE_EMPTY);
  EXPECT_EQ(board->GetHole(2, 2).state, HOLE_EMPTY);
  EXPECT_EQ(board->GetHole(2, 2).kind, ITEM_NONE);
  EXPECT_EQ(board->GetHole(2, 2).height, 0.0f);
}

TEST_F(BoardHitTest, MissesPlayFourUntilTheTenthWhichPlaysNine) {
  for (int i = 1; i <= 9; ++i) {
    headless::ClearRecords();
    ClickPass(200 + i, 200);
    EXPECT_EQ(c.misses, i);
    EXPECT_EQ(headless::PlayedSounds(), (Sounds{3, 4})) << "miss " << i;
  }
  headless::ClearRecords();
  ClickPass(500, 300);  // on the side panel: a miss as well
  EXPECT_EQ(c.misses, 10);
  EXPECT_EQ(headless::PlayedSounds(), (Sounds{3, 9}));
  headless::ClearRecords();
  ClickPass(600, 20);
  EXPECT_EQ(c.misses, 11);
  EXPECT_EQ(headless::PlayedSounds(), (Sounds{3, 9}));
}

TEST_F(BoardHitTest, EachKindHasItsEffectAndSound) {
  struct Case {
    int kind;
    int score, time, stars, flag;
    int sound;
  };
  const Case cases[] = {
      {ITEM_1POINT, 1, 0, 1, 3, 0},       {ITEM_2POINT, 2, 0, 0, 1, 0},
      {ITEM_5POINT, 5, 0, 0, 2, 0},       {ITEM_10POINT, 10, 0, 0, 0, 0},
      {ITEM_MINUS_TIMER, 0, -30, 0, -1, 4}, {ITEM_PLUS_TIMER, 0, 30, 0, -1, 7},
  };
  for (const Case& k : cases) {
    c = boardtest::Counters();
    headless::ClearRecords();
    const int hits = board->GetHitCount();
    BoardTestAccess::Place(*board, 3, 1, HOLE_WAITING, k.kind, 50.4f);
    ClickPass(125, 260);
    EXPECT_EQ(board->GetHitCount(), hits + 1) << "kind " << k.kind;
    EXPECT_EQ(c.score, k.score) << "kind " << k.kind;
    EXPECT_EQ(c.time, k.time) << "kind " << k.kind;
    EXPECT_EQ(c.stars, k.stars) << "kind " << k.kind;
    EXPECT_EQ(c.misses, 0) << "kind " << k.kind;
    for (int g = 0; g < 4; ++g) EXPECT_EQ(c.flags[g], g == k.flag ? 1 : 0) << k.kind;
    EXPECT_EQ(headless::PlayedSounds(), (Sounds{3, k.sound})) << "kind " << k.kind;
    Pass();
  }
}

TEST_F(BoardHitTest, ApplyHitIgnoresUnknownKinds) {
  board->ApplyHit(ITEM_NONE, c.score, c.time, c.stars, c.flags);
  board->ApplyHit(6, c.score, c.time, c.stars, c.flags);
  EXPECT_EQ(c.score + c.time + c.stars + c.flags[0] + c.flags[1] + c.flags[2] + c.flags[3],
            0);
  EXPECT_TRUE(headless::PlayedSounds().empty());
}

TEST_F(BoardHitTest, ClicksOutsidePlayRegisterNothing) {
  BoardTestAccess::Place(*board, 2, 3, HOLE_WAITING, ITEM_2POINT, 50.4f);
  ClickPass(265, 200, /*playing=*/0);
  EXPECT_EQ(board->GetHitCount(), 0);
  EXPECT_EQ(c.misses, 0);
  EXPECT_EQ(board->IsSwinging(), 0);
  EXPECT_EQ(board->GetClickPoint().x, -1);
  EXPECT_TRUE(headless::PlayedSounds().empty());
  EXPECT_EQ(board->GetHole(2, 3).state, HOLE_WAITING);
}

TEST_F(BoardHitTest, AClickIsTakenOnceAndItsPointKept) {
  PressAt(265, 200);
  Pass();
  EXPECT_EQ(board->IsClicked(), 0) << "cleared before the explosions";
  EXPECT_EQ(board->IsSwinging(), 1);
  EXPECT_EQ(board->GetClickPoint().x, 265);
  EXPECT_EQ(board->GetClickPoint().y, 200);
  // Button still held: no new press, no second miss.
  UpdateMouse(1);
  Pass();
  EXPECT_EQ(c.misses, 1);
}

// Explosion timeline: explosions of 5 frames of 80 ms; a draw more than 80 ms after the
// frame began moves on, and the draw of frame 4 that finds its time over ends it.
class BoardExplosionTest : public BoardTest {
 protected:
  void PassAt(std::uint32_t tick) {
    headless::SetTick(tick);
    back.Clear();
    board->DrawAndHit(back.dc, 1, c.score, c.time, c.stars, c.misses, c.flags);
  }
  void ClickPassAt(std::uint32_t tick, int x, int y) {
    PressAt(x, y);
    PassAt(tick);
    NoPress();
  }
  std::uint32_t CanvasAt(int x, int y) {
    return static_cast<std::uint32_t>(
        gdi::PixelAt(gdi::CurrentBitmap(board->GetCanvas().GetMemDC()), x, y));
  }
  // The cell (row, col) of the window holds exactly the canvas.
  bool CellIsCanvas(int row, int col) {
    for (int y = 0; y < 70; ++y)
      for (int x = 0; x < 70; ++x)
        if (back.At(20 + 70 * col + x, 20 + 70 * row + y) != CanvasAt(70 * col + x, 70 * row + y))
          return false;
    return true;
  }
};

TEST_F(BoardExplosionTest, EndedExplosionsLeaveTheQueueAndTheRestAreStillDrawn) {
  // A (hole 1,2) and B (hole 2,2) start together at 1000, C (hole 0,4) at 1100.
  BoardTestAccess::Place(*board, 1, 2, HOLE_WAITING, ITEM_2POINT, 32.0f);
  BoardTestAccess::Place(*board, 2, 2, HOLE_WAITING, ITEM_2POINT, 40.0f);
  ClickPassAt(1000, 195, 160);
  ASSERT_EQ(board->GetExplosionCount(), 2);
  PassAt(1081);
  BoardTestAccess::Place(*board, 0, 4, HOLE_WAITING, ITEM_2POINT, 40.0f);
  ClickPassAt(1100, 335, 50);
  ASSERT_EQ(board->GetExplosionCount(), 3);
  PassAt(1162);
  PassAt(1243);
  PassAt(1324);
  EXPECT_EQ(board->GetExplosion(0).GetCurrent(), 4);
  EXPECT_EQ(board->GetExplosion(1).GetCurrent(), 4);
  EXPECT_EQ(board->GetExplosion(2).GetCurrent(), 2);

  // A new item already rises where A burst; A's end covers it for this one frame.
  BoardTestAccess::Place(*board, 1, 2, HOLE_RISING, ITEM_10POINT, 45.0f);
  PassAt(1405);
  // A ends; B, moved into slot 0, is drawn in the same pass and ends too; C, now in
  // slot 0, is drawn and moves on to frame 3.
  ASSERT_EQ(board->GetExplosionCount(), 1);
  EXPECT_EQ(board->GetExplosionCell(0).x, 4);
  EXPECT_EQ(board->GetExplosionCell(0).y, 0);
  EXPECT_EQ(board->GetExplosion(0).GetCurrent(), 3);

  if (!boardtest::DataDirExists()) GTEST_SKIP() << "no generated pictures to look at";
  EXPECT_TRUE(CellIsCanvas(1, 2)) << "the rising item is covered by the repaint";
  EXPECT_TRUE(CellIsCanvas(2, 2));
  // C's frame 2 was drawn at the cell + (5, 5).
  EXPECT_GT(back.Painted(20 + 70 * 4, 20, 20 + 70 * 5, 90), 100);
}

TEST_F(BoardExplosionTest, AnEndedExplosionRepaintsItsHoleFromTheCanvas) {
  if (!boardtest::DataDirExists()) GTEST_SKIP() << "no generated pictures to look at";
  BoardTestAccess::Place(*board, 3, 3, HOLE_WAITING, ITEM_5POINT, 50.4f);
  ClickPassAt(1000, 265, 250);
  ASSERT_EQ(board->GetExplosionCount(), 1);
  EXPECT_GT(back.Painted(230, 230, 300, 300), 100) << "item and burst drawn";
  PassAt(1081);  // the gone hole is emptied: canvas, with the burst over it
  EXPECT_FALSE(CellIsCanvas(3, 3));
  for (std::uint32_t t : {1162u, 1243u, 1324u}) {
    PassAt(t);
    EXPECT_GT(back.Painted(230, 230, 300, 300), 100) << "burst frame drawn at " << t;
  }
  PassAt(1405);
  EXPECT_EQ(board->GetExplosionCount(), 0);
  EXPECT_TRUE(CellIsCanvas(3, 3));
  PassAt(1500);
  EXPECT_EQ(back.Painted(230, 230, 300, 300), 0) << "nothing left to draw";
}

TEST_F(BoardExplosionTest, AResetEmptiesTheQueue) {
  BoardTestAccess::Place(*board, 3, 3, HOLE_WAITING, ITEM_5POINT, 50.4f);
  ClickPassAt(1000, 265, 250);
  ASSERT_EQ(board->GetExplosionCount(), 1);
  crt::srand(100);
  board->Reset();
  EXPECT_EQ(board->GetExplosionCount(), 0);
  PassAt(1010);
  EXPECT_EQ(back.Painted(0, 0, 640, 480), 0) << "no old explosion is drawn";
}

TEST_F(BoardExplosionTest, ATwentySixthExplosionIsDroppedButTheHitCounts) {
  for (int i = 0; i < 26; ++i) {
    BoardTestAccess::Place(*board, 3, 3, HOLE_WAITING, ITEM_2POINT, 50.4f);
    ClickPassAt(1000, 265, 250);
    PassAt(1000);
  }
  EXPECT_EQ(board->GetHitCount(), 26);
  EXPECT_EQ(c.score, 52);
  EXPECT_EQ(c.misses, 0);
  EXPECT_EQ(board->GetExplosionCount(), 25);
  // All 25 run out together and leave the queue in one pass.
  for (std::uint32_t t = 1081; t <= 1405; t += 81) PassAt(t);
  EXPECT_EQ(board->GetExplosionCount(), 0);
}

class BoardHammerTest : public BoardExplosionTest {
 protected:
  // Draws the hammer into a cleared buffer; the frame it showed and whether any pixel
  // of it landed around the cursor (320, 240).
  struct Shown {
    int frame;
    int painted;
  };
  Shown DrawHammerAt(std::uint32_t tick) {
    headless::SetTick(tick);
    back.Clear();
    const int frame = board->GetHammer().GetCurrent();
    board->DrawHammer(back.dc);
    return {frame, back.Painted(320 - 25 - 40, 240 - 15 - 40, 320 + 100, 240 + 100)};
  }
};

TEST_F(BoardHammerTest, ASwingRunsThirteenFramesOfWhichTheLastSevenAreEmpty) {
  headless::SetCursor(320, 240);
  const bool pictures = boardtest::DataDirExists();
  Shown idle = DrawHammerAt(1000);
  EXPECT_EQ(idle.frame, 0);
  if (pictures) {
    EXPECT_GT(idle.painted, 0);
  }

  ClickPassAt(1000, 320, 240);
  ASSERT_EQ(board->IsSwinging(), 1);
  // The first draw starts the frame timer; each later draw 26 ms on shows the frame
  // reached and moves on. Draw 14 shows frame 12 and ends the swing.
  std::uint32_t tick = 1000;
  for (int draw = 0; draw < 14; ++draw) {
    Shown s = DrawHammerAt(tick);
    const int expectedFrame = draw == 0 ? 0 : draw - 1;
    EXPECT_EQ(s.frame, expectedFrame) << "draw " << draw;
    if (pictures) {
      if (expectedFrame <= 5) {
        EXPECT_GT(s.painted, 0) << "frame " << expectedFrame;
      }
      if (expectedFrame >= 6) {
        EXPECT_EQ(s.painted, 0) << "frame " << expectedFrame;
      }
    }
    EXPECT_EQ(board->IsSwinging(), draw < 13 ? 1 : 0) << "draw " << draw;
    tick += 26;
  }
  Shown after = DrawHammerAt(tick);
  EXPECT_EQ(after.frame, 0);
  EXPECT_EQ(board->GetHammer().GetCurrent(), 0) << "idle: no frame step";
  if (pictures) {
    EXPECT_GT(after.painted, 0);
  }
}

TEST_F(BoardHammerTest, AClickDuringASwingNeitherRestartsNorLengthensIt) {
  headless::SetCursor(320, 240);
  ClickPassAt(1000, 320, 240);
  std::uint32_t tick = 1000;
  int draws = 0;
  while (board->IsSwinging() && draws < 100) {
    if (draws == 5) {
      const int frame = board->GetHammer().GetCurrent();
      ClickPassAt(tick, 330, 250);
      EXPECT_EQ(board->GetHammer().GetCurrent(), frame);
      EXPECT_EQ(board->IsSwinging(), 1);
    }
    DrawHammerAt(tick);
    ++draws;
    tick += 26;
  }
  EXPECT_EQ(draws, 14);
  EXPECT_EQ(c.misses, 2) << "both clicks were taken";
}

TEST_F(BoardHammerTest, ASwingCanEndOutsidePlay) {
  headless::SetCursor(320, 240);
  ClickPassAt(1000, 320, 240);
  std::uint32_t tick = 1000;
  for (int draw = 0; draw < 14; ++draw) {
    headless::SetTick(tick);
    board->DrawAndHit(back.dc, 0, c.score, c.time, c.stars, c.misses, c.flags);
    board->DrawHammer(back.dc);
    tick += 26;
  }
  EXPECT_EQ(board->IsSwinging(), 0);
}
