// The board: deck and spawns, movement and difficulty ramp, clicks and their effects,
// explosions and the hammer, and its trace lines, on the headless clock with the
// generated pictures when the data folder is there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "platform/core/backend.h"
#include "platform/headless/control.h"
#include "platform/core/platform.h"
#include "services/crand.h"
#include "services/mouse.h"
#include "support/test_support.h"

struct BoardTestAccess {
  static void Place(CBoard& b, int row, int col, std::int32_t state, int kind, float height) {
    b.holes[row][col].state = state;
    b.holes[row][col].kind = static_cast<std::int8_t>(kind);
    b.holes[row][col].height = height;
  }
  static void SetHitCount(CBoard& b, std::int32_t hits) { b.hitCount = hits; }
  static void SetSpeed(CBoard& b, float speed) { b.speed = speed; }
};

namespace {

using Ints = std::vector<int>;

std::string traceDir;
bool havePictures = false;

// The deck every game deals from after srand(100): 2-point items but in these slots.
Ints DeckOfSeed100() {
  Ints deck(CBoard::kDeckSize, ITEM_2POINT);
  for (int s : {7, 8, 13, 23, 30, 33, 39, 48, 50, 54}) deck[s] = ITEM_1POINT;
  for (int s : {28, 42, 53}) deck[s] = ITEM_5POINT;
  deck[43] = deck[49] = ITEM_MINUS_TIMER;
  deck[51] = ITEM_PLUS_TIMER;
  deck[56] = ITEM_10POINT;
  return deck;
}

Ints Deck(const CBoard& b) { return Ints(b.GetDeck(), b.GetDeck() + CBoard::kDeckSize); }

void LetGo() {
  headless::SetButton(false);
  UpdateMouse(1);
}

// Makes the next MousePressed() report a press with the cursor at (x, y).
void PressAt(int x, int y) {
  LetGo();
  headless::SetCursor(x, y);
  headless::SetButton(true);
  UpdateMouse(1);
}

// A board straight after the game's start: module state fresh, seeded with 100, reset.
// The data folder is the working directory when there is one, so the pictures load.
class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    [[maybe_unused]] static const bool started = [] {
      traceDir = testsupport::MakeTempDir("board-trace");
      testsupport::StartHeadless();
      return havePictures = chdir(TONKALO_DATA_DIR) == 0;
    }();
    ResetBoardModuleState();
    ResetMouseState();
    headless::SetTick(1000);
    board = std::make_unique<CBoard>();
    crt::srand(100);
    board->Init(back.dc, MainWindow());
    headless::ClearRecords();
  }
  const CHole& Hole(int row, int col) const { return board->GetHole(row, col); }
  void Place(int row, int col, std::int32_t state, int kind, float height) {
    BoardTestAccess::Place(*board, row, col, state, kind, height);
  }
  void Ramp(int hits) {
    BoardTestAccess::SetHitCount(*board, hits);
    board->Update();
  }
  int Count(std::int32_t state, int kind) const {
    int n = 0;
    for (int i = 0; i < 25; ++i) {
      const CHole& h = Hole(i / 5, i % 5);
      n += h.state == state && h.kind == kind;
    }
    return n;
  }
  // One pass of the play layout, canvas first; the button is sampled up after it.
  void Pass() {
    board->DrawCanvas(back.dc, 20, 20);
    board->DrawAndHit(back.dc, 1, score, time, stars, misses, flags);
    LetGo();
  }
  void ClickPass(int x, int y) {
    PressAt(x, y);
    Pass();
  }
  // A pass at `tick` into a cleared buffer without the canvas: only what it drew shows.
  void BarePassAt(std::uint32_t tick) {
    headless::SetTick(tick);
    back.Clear();
    board->DrawAndHit(back.dc, 1, score, time, stars, misses, flags);
    LetGo();
  }
  bool CellIsCanvas(int row, int col) const {
    const gdi::HBITMAP canvas = gdi::CurrentBitmap(board->GetCanvas().GetMemDC());
    for (int y = 70 * row; y < 70 * row + 70; ++y)
      for (int x = 70 * col; x < 70 * col + 70; ++x)
        if (back.At(20 + x, 20 + y) != gdi::PixelAt(canvas, x, y)) return false;
    return true;
  }

  testsupport::Screen back;
  std::unique_ptr<CBoard> board;
  int score = 0, time = 0, stars = 0, misses = 0;
  int flags[4] = {0, 0, 0, 0};
};

TEST_F(BoardTest, Seed100DealsItsKnownDeckAndSpawnsAndALaterGameDealsOn) {
  crt::srand(100);
  std::uint64_t before = crt::RandCallCount();
  board->Reset();
  EXPECT_EQ(crt::RandCallCount() - before, 331u);
  EXPECT_EQ(Deck(*board), DeckOfSeed100());
  for (const auto& hole : {Ints{0, 1}, Ints{1, 2}, Ints{1, 0}, Ints{1, 4}}) {
    before = crt::RandCallCount();
    board->Spawn();
    EXPECT_EQ(crt::RandCallCount() - before, 2u) << "one attempt each";
    EXPECT_EQ(Hole(hole[0], hole[1]).state, HOLE_RISING) << hole[0] << "," << hole[1];
  }
  EXPECT_EQ(Count(HOLE_RISING, ITEM_2POINT), 4);
  for (int i = 0; i < 3; ++i) board->Spawn();
  // The next game has the same deck but deals on from slot 7, a 1-point item.
  crt::srand(100);
  board->Reset();
  board->Spawn();
  EXPECT_EQ(deckPos, 8);
  EXPECT_EQ(Count(HOLE_RISING, ITEM_1POINT), 1);
}

TEST_F(BoardTest, AFullBoardSpawnUses60002NumbersAndChangesNothing) {
  for (int r = 0; r < 25; ++r) Place(r / 5, r % 5, HOLE_RISING, ITEM_2POINT, 12.0f);
  // Gone holes, one hit and one sunk with its kind, are not empty before a draw.
  Place(3, 3, HOLE_GONE, ITEM_NONE, 0.0f);
  Place(4, 0, HOLE_GONE, ITEM_5POINT, -0.4f);
  deckPos = 20;
  const std::uint64_t before = crt::RandCallCount();
  board->Spawn();
  EXPECT_EQ(crt::RandCallCount() - before, 60002u);
  EXPECT_EQ(deckPos, 20);
  EXPECT_EQ(Deck(*board), DeckOfSeed100());
  EXPECT_EQ(Count(HOLE_RISING, ITEM_2POINT), 23);
  EXPECT_EQ(Count(HOLE_GONE, ITEM_NONE) + Count(HOLE_GONE, ITEM_5POINT), 2);
}

TEST_F(BoardTest, DealingSlot56ReshufflesInTheSameSpawn) {
  deckPos = 56;
  crt::srand(4242);
  board->Spawn();
  EXPECT_EQ(deckPos, 0);
  EXPECT_EQ(Count(HOLE_RISING, ITEM_10POINT), 1) << "the old slot 56 was dealt";
  // The new deck is what a shuffle right after the spawn's two draws deals.
  CBoard reference;
  crt::srand(4242);
  crt::rand();
  crt::rand();
  reference.ShuffleDeck();
  EXPECT_EQ(Deck(*board), Deck(reference));
}

TEST_F(BoardTest, RampFollowsItsTableOnEveryFifthHitAndHoldsItsFloors) {
  // Speed, wait and spawn interval after 5, 10, ... 100 hits.
  const float speed[20] = {0.8f, 0.9f, 0.9f, 1.0f, 1.0f, 1.1f, 1.1f, 1.2f, 1.2f, 1.3f,
                           1.3f, 1.4f, 1.4f, 1.5f, 1.5f, 1.6f, 1.6f, 1.7f, 1.7f, 1.8f};
  const int wait[20] = {1000, 949, 949, 901, 901, 855, 855, 812, 812, 771,
                        771,  732, 732, 695, 695, 660, 660, 626, 626, 600};
  const std::uint32_t spawn[20] = {1079, 971, 873, 785, 706, 635, 571, 513, 461, 414};
  for (int i = 0; i < 20; ++i) {
    Ramp(5 * i + 5);
    EXPECT_NEAR(board->GetSpeed(), speed[i], 0.001f) << 5 * i + 5 << " hits";
    EXPECT_EQ(board->GetWaitTime(), wait[i]) << 5 * i + 5 << " hits";
    EXPECT_EQ(board->GetSpawnInterval(), i < 10 ? spawn[i] : 400u) << 5 * i + 5 << " hits";
  }
  for (int hits = 105; hits <= 600; hits += 5) Ramp(hits);
  EXPECT_EQ(board->GetWaitTime(), 600);
  EXPECT_EQ(board->GetSpawnInterval(), 400u);
  EXPECT_NEAR(board->GetSpeed(), 0.8f + 60 * 0.1f, 0.01f) << "speed has no bound";
  // A jump from 9 hits to 11 skips the ramp of 10.
  SetUp();
  for (int hits : {5, 9, 11}) Ramp(hits);
  EXPECT_EQ(board->GetRampedAt(), 5);
  EXPECT_EQ(board->GetWaitTime(), 1000);
}

// Updates 11 ms apart; the program's first update only starts the step timer. Spawns
// into other holes leave the watched hole (2, 2) alone.
int StepsWhile(CBoard& board, std::int32_t state) {
  int steps = 0;
  for (; board.GetHole(2, 2).state == state && steps < 1000; ++steps) {
    headless::AdvanceTick(11);
    board.Update();
  }
  return steps;
}

TEST_F(BoardTest, ItemsRiseWaitAndSinkInTheirStepCountsOneStepPerUpdate) {
  board->Update();
  Place(2, 2, HOLE_RISING, ITEM_2POINT, 0.0f);
  EXPECT_EQ(StepsWhile(*board, HOLE_RISING), 63) << "speed 0.8";
  EXPECT_EQ(StepsWhile(*board, HOLE_WAITING), 91) << "more than 1000 ms";
  EXPECT_EQ(StepsWhile(*board, HOLE_SINKING), 64);
  EXPECT_EQ(Hole(2, 2).state, HOLE_GONE);
  EXPECT_EQ(Hole(2, 2).kind, ITEM_2POINT) << "the kind stays until a draw";
  BoardTestAccess::SetHitCount(*board, 10);
  Place(2, 2, HOLE_RISING, ITEM_5POINT, 0.0f);
  EXPECT_EQ(StepsWhile(*board, HOLE_RISING), 56) << "speed 0.9";
  Place(2, 2, HOLE_SINKING, ITEM_5POINT, Hole(2, 2).height);
  EXPECT_EQ(StepsWhile(*board, HOLE_SINKING), 56);
  // Exactly 50 starts the wait; exactly 0 is gone.
  BoardTestAccess::SetSpeed(*board, 0.5f);
  Place(2, 2, HOLE_RISING, ITEM_1POINT, 49.0f);
  EXPECT_EQ(StepsWhile(*board, HOLE_RISING), 2);
  EXPECT_EQ(Hole(2, 2).height, 50.0f);
  Place(2, 2, HOLE_SINKING, ITEM_1POINT, 1.0f);
  EXPECT_EQ(StepsWhile(*board, HOLE_SINKING), 2);
  EXPECT_EQ(Hole(2, 2).height, 0.0f);
  // Updates 100 ms apart make one step each; one in the same millisecond makes none.
  Place(2, 2, HOLE_RISING, ITEM_1POINT, 0.0f);
  for (std::uint32_t ms : {100u, 100u, 0u}) {
    headless::AdvanceTick(ms);
    board->Update();
  }
  EXPECT_EQ(Hole(2, 2).height, 1.0f);
}

TEST_F(BoardTest, HitBoxEdgesAreInclusiveAndSigned) {
  // Hole (2, 3) at height 40: item box x 249..281, top 190, 32 deep; the hammer box
  // hangs 30 pixels from the click and reaches 15 to either side. Below height 1 the
  // item is the line y = 230.
  struct Probe { int row, col; float height; int x, y; bool hit; };
  const Probe probes[] = {
      {2, 3, 40.0f, 234, 190, true},  {2, 3, 40.0f, 233, 190, false},
      {2, 3, 40.0f, 296, 190, true},  {2, 3, 40.0f, 297, 190, false},
      {2, 3, 40.0f, 260, 160, true},  {2, 3, 40.0f, 260, 159, false},
      {2, 3, 40.0f, 260, 222, true},  {2, 3, 40.0f, 260, 223, false},
      {2, 3, 50.4f, 260, 212, true},  {2, 3, 50.4f, 260, 213, false},
      {2, 3, 0.5f, 234, 200, true},   {2, 3, 0.5f, 296, 230, true},
      {2, 3, 0.0f, 265, 215, true},   {2, 3, 0.5f, 265, 231, false},
      {2, 3, 0.5f, 265, 199, false},  {0, 0, 50.4f, 24, 10, true},
      {0, 0, 50.4f, -5, 10, false},   {0, 0, 50.4f, 30, -40, false},
  };
  for (const Probe& p : probes) {
    Place(p.row, p.col, HOLE_RISING, ITEM_2POINT, p.height);
    const int hits = board->GetHitCount();
    ClickPass(p.x, p.y);
    EXPECT_EQ(board->GetHitCount() - hits, p.hit ? 1 : 0)
        << "height " << p.height << " click " << p.x << "," << p.y;
    Pass();  // empties the hole again
  }
}

TEST_F(BoardTest, GoneAndEmptyHolesAreNotHitAndMissesSoundFourUntilTheTenth) {
  for (int i = 1; i <= 11; ++i) {
    Place(2, 2, HOLE_GONE, ITEM_10POINT, -0.4f);  // sunk, still holding its kind
    Place(2, 3, HOLE_GONE, ITEM_NONE, 0.0f);      // hit earlier in the frame
    headless::ClearRecords();
    ClickPass(i <= 3 ? 55 + 70 * i : 500, 225);  // holes (2, 1) to (2, 3), then the panel
    EXPECT_EQ(misses, i);
    EXPECT_EQ(headless::PlayedSounds(), (Ints{3, i < 10 ? 4 : 9})) << "miss " << i;
  }
  EXPECT_EQ(board->GetHitCount(), 0);
  EXPECT_EQ(Hole(2, 2).state, HOLE_EMPTY);
}

TEST_F(BoardTest, EachKindHasItsEffectAndSound) {
  // Kind, then score, time, stars, the gauge flag raised (-1 none) and the sound.
  const Ints cases[] = {{ITEM_1POINT, 1, 0, 1, 3, 0},         {ITEM_2POINT, 2, 0, 0, 1, 0},
                        {ITEM_5POINT, 5, 0, 0, 2, 0},         {ITEM_10POINT, 10, 0, 0, 0, 0},
                        {ITEM_MINUS_TIMER, 0, -30, 0, -1, 4}, {ITEM_PLUS_TIMER, 0, 30, 0, -1, 7}};
  for (const Ints& k : cases) {
    score = time = stars = misses = 0;
    std::fill(flags, flags + 4, 0);
    headless::ClearRecords();
    const int hits = board->GetHitCount();
    Place(3, 1, HOLE_WAITING, k[0], 50.4f);
    ClickPass(125, 260);
    EXPECT_EQ(board->GetHitCount(), hits + 1) << "kind " << k[0];
    EXPECT_EQ((Ints{score, time, stars, misses}), (Ints{k[1], k[2], k[3], 0})) << "kind " << k[0];
    for (int g = 0; g < 4; ++g) EXPECT_EQ(flags[g], g == k[4] ? 1 : 0) << "kind " << k[0];
    EXPECT_EQ(headless::PlayedSounds(), (Ints{3, k[5]})) << "kind " << k[0];
    Pass();
  }
  // Two items of one kind hit by one click raise their gauge's flag once.
  Place(1, 2, HOLE_RISING, ITEM_1POINT, 32.0f);
  Place(2, 2, HOLE_RISING, ITEM_1POINT, 45.0f);
  ClickPass(195, 160);
  EXPECT_EQ(stars, 2);
  EXPECT_EQ(flags[3], 1);
}

// Explosions of 5 frames of 80 ms: a draw more than 80 ms after the frame began moves
// on, and the draw of frame 4 that finds its time over ends it.
TEST_F(BoardTest, OneClickHitsTwoInAColumnEndedExplosionsLeaveTheQueueInOrderAndAResetEmptiesIt) {
  // Upper item A at height 32 (box 128..160), lower B at 40 (box 190..222): a click at
  // y = 160 reaches 160..190 and meets both; their explosions start at 1000.
  Place(1, 2, HOLE_WAITING, ITEM_2POINT, 32.0f);
  Place(2, 2, HOLE_SINKING, ITEM_5POINT, 40.0f);
  PressAt(195, 160);
  BarePassAt(1000);
  EXPECT_EQ(board->GetHitCount(), 2);
  EXPECT_EQ(score, 7);
  EXPECT_EQ(Ints(flags, flags + 4), (Ints{0, 1, 1, 0}));
  EXPECT_EQ(headless::PlayedSounds(), (Ints{3, 0, 0}));
  BarePassAt(1081);
  // C (hole 0, 4) starts at 1100.
  Place(0, 4, HOLE_WAITING, ITEM_2POINT, 40.0f);
  PressAt(335, 50);
  BarePassAt(1100);
  ASSERT_EQ(board->GetExplosionCount(), 3);
  for (std::uint32_t t : {1162u, 1243u, 1324u}) BarePassAt(t);
  // A new item already rises where A burst; A's end covers it for this one frame.
  Place(1, 2, HOLE_RISING, ITEM_10POINT, 45.0f);
  BarePassAt(1405);
  // A ends; B, moved into slot 0, is drawn in the same pass and ends too; C, now in
  // slot 0, is drawn and moves on to frame 3.
  ASSERT_EQ(board->GetExplosionCount(), 1);
  EXPECT_EQ(board->GetExplosionCell(0).x, 4);
  EXPECT_EQ(board->GetExplosion(0).GetCurrent(), 3);
  if (!havePictures) GTEST_SKIP() << "no generated pictures to look at";
  EXPECT_TRUE(CellIsCanvas(1, 2));
  EXPECT_TRUE(CellIsCanvas(2, 2));
  EXPECT_GT(back.Painted(300, 20, 370, 90), 100) << "C's frame 2";
  crt::srand(100);
  board->Reset();
  EXPECT_EQ(board->GetExplosionCount(), 0);
  BarePassAt(1500);
  EXPECT_EQ(back.Painted(0, 0, 640, 480), 0) << "a reset leaves no explosion to draw";
}

TEST_F(BoardTest, ATwentySixthExplosionIsDroppedButItsHitCounts) {
  for (int i = 0; i < 26; ++i) {
    Place(3, 3, HOLE_WAITING, ITEM_2POINT, 50.4f);
    PressAt(265, 250);
    BarePassAt(i < 25 ? 1000 : 1040);
    BarePassAt(1040);
  }
  EXPECT_EQ(board->GetHitCount(), 26);
  EXPECT_EQ(board->GetExplosionCount(), 25);
  for (std::uint32_t t = 1081; t <= 1405; t += 81) BarePassAt(t);
  EXPECT_EQ(board->GetExplosionCount(), 0) << "all 25 began at 1000 and ended together";
}

TEST_F(BoardTest, ASwingShowsSixFramesThenSevenEmptyOnesAndIgnoresClicks) {
  ClickPass(320, 240);
  // The first draw starts the frame timer; each later draw 26 ms on shows the frame
  // reached and moves on; the 14th shows frame 12 and ends the swing.
  std::uint32_t tick = 1000;
  for (int draw = 0; draw < 14; ++draw, tick += 26) {
    if (draw == 5) ClickPass(330, 250);  // taken as a miss, the swing goes on
    const int frame = board->GetHammer().GetCurrent();
    EXPECT_EQ(frame, draw == 0 ? 0 : draw - 1) << "draw " << draw;
    headless::SetTick(tick);
    back.Clear();
    board->DrawHammer(back.dc);
    EXPECT_TRUE(!havePictures || (back.Painted(255, 185, 420, 340) > 0) == (frame <= 5)) << frame;
    EXPECT_EQ(board->IsSwinging(), draw < 13 ? 1 : 0) << "draw " << draw;
  }
  EXPECT_EQ(misses, 2);
}

TEST_F(BoardTest, TheTraceReportsDealsHitsMissesAndRamps) {
  platform::Options options;
  options.trace = traceDir + "/trace.jsonl";
  testsupport::StartHeadless(options);
  headless::SetTick(5000);
  crt::srand(100);
  board->Reset();
  board->Spawn();  // a 2-point item into hole (0, 1) from slot 0
  // Hole (0, 1) at height 0 is the line y = 90: a hit, then a miss in the emptied hole.
  ClickPass(125, 80);
  ClickPass(125, 80);
  Ramp(5);
  testsupport::StartHeadless();  // writes the trace out
  const auto trace = testsupport::ReadTrace(options.trace);
  // The named fields of the first line of `event`, joined by spaces.
  const auto fields = [&trace](const char* event, std::initializer_list<const char*> names) {
    const auto lines = testsupport::Events(trace, event);
    std::string out;
    for (const char* name : names) out += " " + (lines.empty() ? "-" : lines[0].at(name));
    return out.substr(1);
  };
  std::string deck;
  for (int kind : DeckOfSeed100()) deck += (deck.empty() ? "[" : ",") + std::to_string(kind);
  EXPECT_EQ(fields("shuffle", {"deck"}), deck + "]");
  EXPECT_EQ(fields("spawn", {"row", "col", "kind", "slot", "tick"}), "0 1 1 0 5000");
  EXPECT_EQ(fields("hit", {"row", "col", "kind"}), "0 1 1");
  EXPECT_EQ(fields("miss", {"misses"}), "1");
  EXPECT_EQ(fields("ramp", {"hits", "waitTime", "spawnInterval"}), "5 1000 1079");
  EXPECT_NEAR(std::stod(fields("ramp", {"speed"})), 0.8, 1e-6);
}

}  // namespace
