// The board's deck, spawns, movement and difficulty ramp, driven with the headless clock.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "test_board_support.h"

using boardtest::BoardTest;

namespace {

::testing::Environment* const kEnv =
    ::testing::AddGlobalTestEnvironment(new boardtest::HeadlessEnvironment);

std::vector<int> SlotsOf(const CBoard& b, int kind) {
  std::vector<int> slots;
  for (int s = 0; s < CBoard::kDeckSize; ++s)
    if (b.GetDeck()[s] == kind) slots.push_back(s);
  return slots;
}

std::vector<int> Deck(const CBoard& b) {
  return std::vector<int>(b.GetDeck(), b.GetDeck() + CBoard::kDeckSize);
}

}  // namespace

TEST(CRand, FollowsTheGeneratorFromItsSeed) {
  crt::srand(100);
  // state = 100 * 214013 + 2531011 = 23932311 -> (23932311 >> 16) & 0x7FFF = 365.
  EXPECT_EQ(crt::rand(), 365);
  crt::srand(0);
  EXPECT_EQ(crt::rand(), 38);  // 2531011 >> 16
  // The state wraps at 2^32 and the result never leaves 0..32767.
  crt::srand(0xFFFFFFFFu);
  const int r = crt::rand();
  EXPECT_EQ(r, static_cast<int>((((0xFFFFFFFFu * 214013u) + 2531011u) >> 16) & 0x7FFF));
  const std::uint64_t before = crt::RandCallCount();
  for (int i = 0; i < 1000; ++i) {
    const int v = crt::rand();
    ASSERT_GE(v, 0);
    ASSERT_LE(v, 32767);
  }
  EXPECT_EQ(crt::RandCallCount() - before, 1000u);
}

TEST_F(BoardTest, DeckAfterSeed100HasItsKnownSlotsAndUses331Numbers) {
  crt::srand(100);
  const std::uint64_t before = crt::RandCallCount();
  board->Reset();
  EXPECT_EQ(crt::RandCallCount() - before, 331u);

  EXPECT_EQ(SlotsOf(*board, ITEM_PLUS_TIMER), (std::vector<int>{51}));
  EXPECT_EQ(SlotsOf(*board, ITEM_MINUS_TIMER), (std::vector<int>{43, 49}));
  EXPECT_EQ(SlotsOf(*board, ITEM_10POINT), (std::vector<int>{56}));
  EXPECT_EQ(SlotsOf(*board, ITEM_5POINT), (std::vector<int>{28, 42, 53}));
  EXPECT_EQ(SlotsOf(*board, ITEM_1POINT),
            (std::vector<int>{7, 8, 13, 23, 30, 33, 39, 48, 50, 54}));
  EXPECT_EQ(SlotsOf(*board, ITEM_2POINT).size(), 40u);
  EXPECT_TRUE(SlotsOf(*board, -1).empty());
}

TEST_F(BoardTest, EveryShuffleKeepsTheCompositionAndTheRareItemsLate) {
  for (unsigned seed : {1u, 7u, 12345u, 0xDEADBEEFu}) {
    crt::srand(seed);
    board->ShuffleDeck();
    EXPECT_EQ(SlotsOf(*board, ITEM_PLUS_TIMER).size(), 1u);
    EXPECT_EQ(SlotsOf(*board, ITEM_MINUS_TIMER).size(), 2u);
    EXPECT_EQ(SlotsOf(*board, ITEM_10POINT).size(), 1u);
    EXPECT_EQ(SlotsOf(*board, ITEM_5POINT).size(), 3u);
    EXPECT_EQ(SlotsOf(*board, ITEM_2POINT).size(), 40u);
    EXPECT_EQ(SlotsOf(*board, ITEM_1POINT).size(), 10u);
    for (int s : SlotsOf(*board, ITEM_PLUS_TIMER)) EXPECT_GE(s, 45);
    for (int s : SlotsOf(*board, ITEM_10POINT)) EXPECT_GE(s, 45);
    for (int s : SlotsOf(*board, ITEM_MINUS_TIMER)) EXPECT_GE(s, 39);
  }
}

TEST_F(BoardTest, ResetEmptiesTheBoardAndRestoresTheStartingValues) {
  BoardTestAccess::Place(*board, 2, 3, HOLE_WAITING, ITEM_5POINT, 50.4f);
  BoardTestAccess::SetHitCount(*board, 12);
  BoardTestAccess::SetSpeed(*board, 1.5f);
  deckPos = 17;
  crt::srand(100);
  board->Reset();
  for (int r = 0; r < 5; ++r) {
    for (int col = 0; col < 5; ++col) {
      EXPECT_EQ(board->GetHole(r, col).state, HOLE_EMPTY);
      EXPECT_EQ(board->GetHole(r, col).kind, ITEM_NONE);
      EXPECT_EQ(board->GetHole(r, col).height, 0.0f);
    }
  }
  EXPECT_EQ(board->GetSpeed(), 0.8f);
  EXPECT_EQ(board->GetWaitTime(), 1000);
  EXPECT_EQ(board->GetSpawnInterval(), 1200u);
  EXPECT_EQ(board->GetHitCount(), 0);
  EXPECT_EQ(board->GetRampedAt(), 0);
  EXPECT_EQ(board->GetClickPoint().x, -1);
  EXPECT_EQ(board->GetClickPoint().y, -1);
  EXPECT_EQ(board->GetExplosionCount(), 0);
  EXPECT_EQ(board->GetSpawnTimer().GetInterval(), 1200u);
  EXPECT_EQ(board->GetSpawnTimer().GetStart(), 1000u);
  EXPECT_EQ(deckPos, 17);  // the deck position outlives games
}

TEST_F(BoardTest, FirstFourSpawnsOfTheFirstGameLandInTheirKnownHoles) {
  crt::srand(100);
  board->Reset();
  const int expected[4][2] = {{0, 1}, {1, 2}, {1, 0}, {1, 4}};
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t before = crt::RandCallCount();
    board->Spawn();
    EXPECT_EQ(crt::RandCallCount() - before, 2u) << "spawn " << i << " took one attempt";
    const CHole& hole = board->GetHole(expected[i][0], expected[i][1]);
    EXPECT_EQ(hole.state, HOLE_RISING) << "spawn " << i;
    EXPECT_EQ(hole.kind, ITEM_2POINT) << "spawn " << i;
    EXPECT_EQ(hole.height, 0.0f);
    EXPECT_EQ(deckPos, i + 1);
  }
}

TEST_F(BoardTest, AFullBoardSpawnUses60002NumbersAndChangesNothing) {
  for (int r = 0; r < 5; ++r)
    for (int col = 0; col < 5; ++col)
      BoardTestAccess::Place(*board, r, col, HOLE_RISING, ITEM_2POINT, 12.0f);
  // A hole that was hit is gone with no item; it still takes nothing before a draw.
  BoardTestAccess::Place(*board, 3, 3, HOLE_GONE, ITEM_NONE, 0.0f);
  // A sunk item keeps its kind in the gone hole.
  BoardTestAccess::Place(*board, 4, 0, HOLE_GONE, ITEM_5POINT, -0.4f);
  deckPos = 20;
  const std::vector<int> deckBefore = Deck(*board);
  const std::uint64_t before = crt::RandCallCount();
  board->Spawn();
  EXPECT_EQ(crt::RandCallCount() - before, 60002u);
  EXPECT_EQ(deckPos, 20);
  EXPECT_EQ(Deck(*board), deckBefore);
  for (int r = 0; r < 5; ++r) {
    for (int col = 0; col < 5; ++col) {
      if ((r == 3 && col == 3) || (r == 4 && col == 0)) continue;
      EXPECT_EQ(board->GetHole(r, col).state, HOLE_RISING);
      EXPECT_EQ(board->GetHole(r, col).height, 12.0f);
    }
  }
  EXPECT_EQ(board->GetHole(3, 3).state, HOLE_GONE);
  EXPECT_EQ(board->GetHole(3, 3).kind, ITEM_NONE);
  EXPECT_EQ(board->GetHole(4, 0).state, HOLE_GONE);
  EXPECT_EQ(board->GetHole(4, 0).kind, ITEM_5POINT);
}

TEST_F(BoardTest, DealingSlot56ReshufflesInTheSameSpawn) {
  deckPos = 56;
  const int dealt = board->GetDeck()[56];
  crt::srand(4242);
  board->Spawn();
  EXPECT_EQ(deckPos, 0);

  // The hole got the old slot 56, and the new deck is what a shuffle right after the
  // spawn's two draws deals.
  int placed = 0;
  for (int r = 0; r < 5; ++r)
    for (int col = 0; col < 5; ++col)
      if (board->GetHole(r, col).state == HOLE_RISING) {
        ++placed;
        EXPECT_EQ(board->GetHole(r, col).kind, dealt);
      }
  EXPECT_EQ(placed, 1);

  CBoard reference;
  crt::srand(4242);
  crt::rand();
  crt::rand();
  reference.ShuffleDeck();
  EXPECT_EQ(Deck(*board), Deck(reference));
}

TEST_F(BoardTest, ALaterGameDealsOnFromThePreviousDeckPosition) {
  crt::srand(100);
  board->Reset();
  for (int i = 0; i < 7; ++i) board->Spawn();
  ASSERT_EQ(deckPos, 7);

  // Next game: same seed, same deck, but the deal goes on at slot 7 (a 1-point item).
  crt::srand(100);
  board->Reset();
  ASSERT_EQ(board->GetDeck()[7], ITEM_1POINT);
  board->Spawn();
  EXPECT_EQ(deckPos, 8);
  int found = 0;
  for (int r = 0; r < 5; ++r)
    for (int col = 0; col < 5; ++col)
      if (board->GetHole(r, col).state == HOLE_RISING) {
        ++found;
        EXPECT_EQ(board->GetHole(r, col).kind, ITEM_1POINT);
      }
  EXPECT_EQ(found, 1);
}

TEST_F(BoardTest, UpdateSpawnsWhenTheSpawnTimerFires) {
  board->Update();  // the program's first update: starts the step timer
  EXPECT_EQ(deckPos, 0);
  headless::SetTick(1000 + 1200);
  board->Update();
  EXPECT_EQ(deckPos, 0) << "not more than the interval yet";
  headless::SetTick(1000 + 1201);
  board->Update();
  EXPECT_EQ(deckPos, 1);
  EXPECT_EQ(board->GetHole(0, 1).state, HOLE_RISING);
  board->Update();
  EXPECT_EQ(deckPos, 1) << "one spawn per interval";
}

// Drives the ramp by setting the hit count and running one update each time.
TEST_F(BoardTest, RampFollowsTheTableOfValues) {
  struct Row {
    int hits;
    float speed;
    std::int32_t wait;
    std::uint32_t spawn;
  };
  const Row table[] = {
      {5, 0.8f, 1000, 1079}, {10, 0.9f, 949, 971},  {15, 0.9f, 949, 873},
      {20, 1.0f, 901, 785},  {25, 1.0f, 901, 706},  {30, 1.1f, 855, 635},
      {35, 1.1f, 855, 571},  {40, 1.2f, 812, 513},  {45, 1.2f, 812, 461},
      {50, 1.3f, 771, 414},  {55, 1.3f, 771, 400},  {60, 1.4f, 732, 400},
      {65, 1.4f, 732, 400},  {70, 1.5f, 695, 400},  {75, 1.5f, 695, 400},
      {80, 1.6f, 660, 400},  {85, 1.6f, 660, 400},  {90, 1.7f, 626, 400},
      {95, 1.7f, 626, 400},  {100, 1.8f, 600, 400}, {105, 1.8f, 600, 400},
      {110, 1.9f, 600, 400}, {120, 2.0f, 600, 400},
  };
  BoardTestAccess::SetHitCount(*board, 3);
  board->Update();
  EXPECT_EQ(board->GetRampedAt(), 0);
  EXPECT_EQ(board->GetSpawnInterval(), 1200u);

  for (const Row& row : table) {
    BoardTestAccess::SetHitCount(*board, row.hits);
    headless::AdvanceTick(3);
    board->Update();
    EXPECT_NEAR(board->GetSpeed(), row.speed, 0.001f) << row.hits << " hits";
    EXPECT_EQ(board->GetWaitTime(), row.wait) << row.hits << " hits";
    EXPECT_EQ(board->GetSpawnInterval(), row.spawn) << row.hits << " hits";
    EXPECT_EQ(board->GetRampedAt(), row.hits);
    EXPECT_EQ(board->GetSpawnTimer().GetInterval(), row.spawn);
    EXPECT_EQ(board->GetSpawnTimer().GetStart(), platform::GetTickCount());
  }
}

TEST_F(BoardTest, AJumpOverTenSkipsItsRamp) {
  BoardTestAccess::SetHitCount(*board, 5);
  board->Update();
  BoardTestAccess::SetHitCount(*board, 9);
  board->Update();
  EXPECT_EQ(board->GetRampedAt(), 5) << "a count off the multiples of 5 changes nothing";
  BoardTestAccess::SetHitCount(*board, 11);  // two hits in one draw pass
  board->Update();
  EXPECT_EQ(board->GetRampedAt(), 5);
  EXPECT_EQ(board->GetSpeed(), 0.8f);
  EXPECT_EQ(board->GetWaitTime(), 1000);
  EXPECT_EQ(board->GetSpawnInterval(), 1079u);
  BoardTestAccess::SetHitCount(*board, 15);
  board->Update();
  EXPECT_EQ(board->GetRampedAt(), 15);
  EXPECT_EQ(board->GetSpeed(), 0.8f) << "15 lowers only the spawn interval";
  EXPECT_EQ(board->GetWaitTime(), 1000);
  EXPECT_EQ(board->GetSpawnInterval(), 971u);
}

TEST_F(BoardTest, RampRunsOncePerMultipleOfFive) {
  BoardTestAccess::SetHitCount(*board, 10);
  board->Update();
  const float speed = board->GetSpeed();
  board->Update();
  board->Update();
  EXPECT_EQ(board->GetSpeed(), speed);
  EXPECT_EQ(board->GetWaitTime(), 949);
  EXPECT_EQ(board->GetSpawnInterval(), 1079u);
}

TEST_F(BoardTest, FloorsHoldAt400And600AndSpeedHasNoBound) {
  for (int hits = 5; hits <= 600; hits += 5) {
    BoardTestAccess::SetHitCount(*board, hits);
    board->Update();
    if (hits < 55) {
      EXPECT_GT(board->GetSpawnInterval(), 400u) << hits;
    }
    if (hits >= 55) {
      EXPECT_EQ(board->GetSpawnInterval(), 400u) << hits;
    }
    if (hits < 100) {
      EXPECT_GT(board->GetWaitTime(), 600) << hits;
    }
    if (hits >= 100) {
      EXPECT_EQ(board->GetWaitTime(), 600) << hits;
    }
  }
  EXPECT_NEAR(board->GetSpeed(), 0.8f + 60 * 0.1f, 0.01f);
}

// Movement: one step per update once more than 10 ms have passed since the last step.
class BoardMoveTest : public BoardTest {
 protected:
  void SetUp() override {
    BoardTest::SetUp();
    board->Update();  // the program's first update starts the step timer, no step
  }
  // Steps with 11 ms between updates. Spawns into other holes leave the watched hole
  // (2, 2) alone, which is busy from the start of each test.
  void Step(int n = 1) {
    for (int i = 0; i < n; ++i) {
      headless::AdvanceTick(11);
      board->Update();
    }
  }
  int StepsUntilStateLeaves(std::int32_t state, int limit = 1000) {
    int steps = 0;
    while (board->GetHole(2, 2).state == state && steps < limit) {
      Step();
      ++steps;
    }
    return steps;
  }
};

TEST_F(BoardMoveTest, FirstUpdateOfTheRunMakesNoStep) {
  ResetBoardModuleState();
  BoardTestAccess::Place(*board, 2, 2, HOLE_RISING, ITEM_2POINT, 0.0f);
  headless::AdvanceTick(500);
  board->Update();
  EXPECT_EQ(board->GetHole(2, 2).height, 0.0f);
  ASSERT_TRUE(stepTimer.has_value());
  EXPECT_EQ(stepTimer->GetInterval(), 10u);
  headless::AdvanceTick(10);
  board->Update();
  EXPECT_EQ(board->GetHole(2, 2).height, 0.0f) << "10 ms is not more than 10 ms";
  headless::AdvanceTick(1);
  board->Update();
  EXPECT_EQ(board->GetHole(2, 2).height, 0.8f);
}

TEST_F(BoardMoveTest, AtSpeed08ItemsRiseIn63StepsAndSinkIn64) {
  BoardTestAccess::Place(*board, 2, 2, HOLE_RISING, ITEM_2POINT, 0.0f);
  EXPECT_EQ(StepsUntilStateLeaves(HOLE_RISING), 63);
  EXPECT_EQ(board->GetHole(2, 2).state, HOLE_WAITING);
  EXPECT_NEAR(board->GetHole(2, 2).height, 50.39997f, 1e-4f);
  // More than waitTime (1000 ms) after the wait began: 91 steps of 11 ms.
  EXPECT_EQ(StepsUntilStateLeaves(HOLE_WAITING), 91);
  EXPECT_EQ(board->GetHole(2, 2).state, HOLE_SINKING);
  EXPECT_EQ(StepsUntilStateLeaves(HOLE_SINKING), 64);
  EXPECT_EQ(board->GetHole(2, 2).state, HOLE_GONE);
  EXPECT_NEAR(board->GetHole(2, 2).height, -0.8f, 1e-4f);
  EXPECT_EQ(board->GetHole(2, 2).kind, ITEM_2POINT) << "the kind stays until a draw";
}

TEST_F(BoardMoveTest, AtTheRampedSpeed09ItemsTake56StepsEachWay) {
  BoardTestAccess::SetHitCount(*board, 10);
  board->Update();
  ASSERT_NEAR(board->GetSpeed(), 0.9f, 1e-6f);
  BoardTestAccess::Place(*board, 2, 2, HOLE_RISING, ITEM_5POINT, 0.0f);
  EXPECT_EQ(StepsUntilStateLeaves(HOLE_RISING), 56);
  BoardTestAccess::Hole(*board, 2, 2).state = HOLE_SINKING;
  EXPECT_EQ(StepsUntilStateLeaves(HOLE_SINKING), 56);
  EXPECT_EQ(board->GetHole(2, 2).state, HOLE_GONE);
}

TEST_F(BoardMoveTest, ExactlyFiftyStartsWaitingAndExactlyZeroIsGone) {
  BoardTestAccess::SetSpeed(*board, 0.5f);
  BoardTestAccess::Place(*board, 2, 2, HOLE_RISING, ITEM_1POINT, 49.0f);
  Step();
  EXPECT_EQ(board->GetHole(2, 2).height, 49.5f);
  EXPECT_EQ(board->GetHole(2, 2).state, HOLE_RISING);
  Step();
  EXPECT_EQ(board->GetHole(2, 2).height, 50.0f);
  EXPECT_EQ(board->GetHole(2, 2).state, HOLE_WAITING);
  EXPECT_EQ(board->GetHole(2, 2).waitTimer.GetInterval(), 1000u);
  EXPECT_EQ(board->GetHole(2, 2).waitTimer.GetStart(), platform::GetTickCount());

  BoardTestAccess::Place(*board, 2, 2, HOLE_SINKING, ITEM_1POINT, 1.0f);
  Step();
  EXPECT_EQ(board->GetHole(2, 2).height, 0.5f);
  EXPECT_EQ(board->GetHole(2, 2).state, HOLE_SINKING);
  Step();
  EXPECT_EQ(board->GetHole(2, 2).height, 0.0f);
  EXPECT_EQ(board->GetHole(2, 2).state, HOLE_GONE);
}

TEST_F(BoardMoveTest, SlowFramesMakeOneStepPerUpdate) {
  BoardTestAccess::Place(*board, 2, 2, HOLE_RISING, ITEM_2POINT, 0.0f);
  float expected = 0.0f;
  for (int i = 0; i < 3; ++i) {
    headless::AdvanceTick(100);
    board->Update();
    expected += 0.8f;
    EXPECT_EQ(board->GetHole(2, 2).height, expected);
  }
  board->Update();  // same millisecond: no step
  EXPECT_EQ(board->GetHole(2, 2).height, expected);
}

TEST_F(BoardMoveTest, TheWaitUsesTheWaitTimeOfTheMomentItBegan) {
  BoardTestAccess::SetWaitTime(*board, 100);
  BoardTestAccess::Place(*board, 2, 2, HOLE_RISING, ITEM_2POINT, 49.9f);
  Step();
  ASSERT_EQ(board->GetHole(2, 2).state, HOLE_WAITING);
  BoardTestAccess::SetWaitTime(*board, 5000);
  // 100 ms: nine steps of 11 ms reach 99, the tenth 110.
  EXPECT_EQ(StepsUntilStateLeaves(HOLE_WAITING), 10);
}
