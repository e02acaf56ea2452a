// The board: deck and spawns, movement and difficulty ramp, clicks and their effects,
// explosions and the hammer, and its trace lines, on the headless clock. What the board
// draws is pinned by the frame fingerprints (FrameIdentity).
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
    b.holes[row][col].state = state, b.holes[row][col].height = height;
    b.holes[row][col].kind = static_cast<std::int8_t>(kind);
  }
  static void SetHitCount(CBoard& b, std::int32_t hits) { b.hitCount = hits; }
  static void SetSpeed(CBoard& b, float speed) { b.speed = speed; }
};

namespace {

using Ints = std::vector<int>;

std::string traceDir;

Ints Deck(const CBoard& b) { return Ints(b.GetDeck(), b.GetDeck() + CBoard::kDeckSize); }

// The button sampled up, or down with the cursor at (x, y) for the next MousePressed().
void LetGo() {
  headless::SetButton(false);
  UpdateMouse(1);
}
void PressAt(int x, int y) {
  LetGo();
  headless::SetCursor(x, y);
  headless::SetButton(true);
  UpdateMouse(1);
}

// A board straight after the game's start: module state fresh, seeded with 100, reset.
class BoardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    [[maybe_unused]] static const bool started = [] {
      traceDir = testsupport::MakeTempDir("board-trace");
      testsupport::StartHeadless();
      return chdir(TONKALO_DATA_DIR) == 0;
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
  void Place(int r, int c, int state, int kind, float h) { BoardTestAccess::Place(*board, r, c, state, kind, h); }
  void Ramp(int hits) { BoardTestAccess::SetHitCount(*board, hits), board->Update(); }
  int Count(std::int32_t state, int kind) const {
    int n = 0;
    for (int i = 0; i < 25; ++i) n += Hole(i / 5, i % 5).state == state && Hole(i / 5, i % 5).kind == kind;
    return n;
  }
  // One pass of the play layout at `tick` (0: the clock as it is); the button is
  // sampled up after it.
  void Pass(std::uint32_t tick = 0) {
    if (tick != 0) headless::SetTick(tick);
    board->DrawCanvas(back.dc, 20, 20);
    board->DrawAndHit(back.dc, 1, score, time, stars, misses, flags);
    LetGo();
  }
  void ClickPass(int x, int y, std::uint32_t tick = 0) {
    PressAt(x, y);
    Pass(tick);
  }

  testsupport::Screen back;
  std::unique_ptr<CBoard> board;
  int score = 0, time = 0, stars = 0, misses = 0;
  int flags[4] = {0, 0, 0, 0};
};

// The first game's deals are pinned by the frame fingerprints; the next game has the
// same deck but deals on from where the last stopped (slot 7, a 1-point item).
TEST_F(BoardTest, ALaterGameDealsOnFromTheSameDeck) {
  const Ints first = Deck(*board);
  for (int i = 0; i < 7; ++i) board->Spawn();
  crt::srand(100);
  board->Reset();
  EXPECT_EQ(Deck(*board), first);
  board->Spawn();
  EXPECT_EQ(deckPos, 8);
  EXPECT_EQ(Count(HOLE_RISING, ITEM_1POINT), 1);
}

TEST_F(BoardTest, AFullBoardSpawnUses60002NumbersAndDealingSlot56Reshuffles) {
  for (int r = 0; r < 25; ++r) Place(r / 5, r % 5, HOLE_RISING, ITEM_2POINT, 12.0f);
  // Gone holes, one hit and one sunk with its kind, are not empty before a draw.
  Place(3, 3, HOLE_GONE, ITEM_NONE, 0.0f);
  Place(4, 0, HOLE_GONE, ITEM_5POINT, -0.4f);
  deckPos = 20;
  const std::uint64_t before = crt::RandCallCount();
  board->Spawn();
  EXPECT_EQ(crt::RandCallCount() - before, 60002u);
  EXPECT_EQ(deckPos, 20);
  EXPECT_EQ(Count(HOLE_RISING, ITEM_2POINT), 23);
  // Slot 56 is dealt, and the new deck is what a shuffle right after the spawn's two
  // draws deals.
  SetUp();
  deckPos = 56;
  crt::srand(4242);
  board->Spawn();
  EXPECT_EQ(deckPos, 0);
  EXPECT_EQ(Count(HOLE_RISING, ITEM_10POINT), 1);
  CBoard reference;
  crt::srand(4242);
  crt::rand();
  crt::rand();
  reference.ShuffleDeck();
  EXPECT_EQ(Deck(*board), Deck(reference));
}

TEST_F(BoardTest, RampFollowsItsTableOnEveryFifthHitAndHoldsItsFloors) {
  // Speed (tenths above 0.8), wait and spawn interval after 5, 10, ... 100 hits.
  const int wait[20] = {1000, 949, 949, 901, 901, 855, 855, 812, 812, 771,
                        771,  732, 732, 695, 695, 660, 660, 626, 626, 600};
  const std::uint32_t spawn[10] = {1079, 971, 873, 785, 706, 635, 571, 513, 461, 414};
  for (int i = 0; i < 20; ++i) {
    Ramp(5 * i + 5);
    EXPECT_NEAR(board->GetSpeed(), 0.8f + 0.1f * ((i + 1) / 2), 0.001f) << 5 * i + 5;
    EXPECT_EQ(board->GetWaitTime(), wait[i]) << 5 * i + 5 << " hits";
    EXPECT_EQ(board->GetSpawnInterval(), i < 10 ? spawn[i] : 400u) << 5 * i + 5 << " hits";
  }
  for (int hits = 105; hits <= 600; hits += 5) Ramp(hits);
  EXPECT_EQ(board->GetWaitTime(), 600);
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

TEST_F(BoardTest, ItemsRiseWaitTheRampedTimeAndSinkOneStepPerUpdate) {
  board->Update();
  // Hits, the item's rise, wait (more than waitTime ms: 1000, 949, 901) and sink.
  const Ints cases[] = {{0, 63, 91, 64}, {10, 56, 87, 56}, {20, 50, 82, 50}};
  for (const Ints& c : cases) {
    Ramp(c[0]);
    Place(2, 2, HOLE_RISING, ITEM_2POINT, 0.0f);
    EXPECT_EQ(StepsWhile(*board, HOLE_RISING), c[1]) << c[0] << " hits";
    EXPECT_EQ(StepsWhile(*board, HOLE_WAITING), c[2]) << c[0] << " hits";
    EXPECT_EQ(StepsWhile(*board, HOLE_SINKING), c[3]) << c[0] << " hits";
    EXPECT_EQ(Hole(2, 2).kind, ITEM_2POINT) << "the kind stays until a draw";
  }
  // Exactly 50 starts the wait; exactly 0 is gone.
  BoardTestAccess::SetSpeed(*board, 0.5f);
  for (const auto& [state, height] : {std::pair(HOLE_RISING, 49.0f), std::pair(HOLE_SINKING, 1.0f)}) {
    Place(2, 2, state, ITEM_1POINT, height);
    EXPECT_EQ(StepsWhile(*board, state), 2) << state;
  }
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
  struct Probe { int row, col; float height; int x, y, hit; };
  const Probe probes[] = {{2, 3, 40, 234, 190, 1}, {2, 3, 40, 233, 190, 0}, {2, 3, 40, 296, 190, 1},
      {2, 3, 40, 297, 190, 0}, {2, 3, 40, 260, 160, 1}, {2, 3, 40, 260, 159, 0},
      {2, 3, 40, 260, 222, 1}, {2, 3, 40, 260, 223, 0}, {2, 3, 50.4f, 260, 212, 1},
      {2, 3, 50.4f, 260, 213, 0}, {2, 3, 0.5f, 234, 200, 1}, {2, 3, 0.5f, 296, 230, 1},
      {2, 3, 0, 265, 215, 1}, {2, 3, 0.5f, 265, 231, 0}, {2, 3, 0.5f, 265, 199, 0},
      {0, 0, 50.4f, 24, 10, 1}, {0, 0, 50.4f, -5, 10, 0}, {0, 0, 50.4f, 30, -40, 0}};
  for (const Probe& p : probes) {
    Place(p.row, p.col, HOLE_RISING, ITEM_2POINT, p.height);
    const int hits = board->GetHitCount();
    ClickPass(p.x, p.y);
    EXPECT_EQ(board->GetHitCount() - hits, p.hit) << p.height << " click " << p.x << "," << p.y;
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
    Place(3, 1, HOLE_WAITING, k[0], 50.4f);
    ClickPass(125, 260);
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
TEST_F(BoardTest, OneClickHitsTwoInAColumnAndEndedExplosionsLeaveTheQueueInOrder) {
  // Upper item A at height 32 (box 128..160), lower B at 40 (box 190..222): a click at
  // y = 160 reaches 160..190 and meets both; their explosions start at 1000.
  Place(1, 2, HOLE_WAITING, ITEM_2POINT, 32.0f);
  Place(2, 2, HOLE_SINKING, ITEM_5POINT, 40.0f);
  ClickPass(195, 160, 1000);
  EXPECT_EQ(score, 7);
  EXPECT_EQ(Ints(flags, flags + 4), (Ints{0, 1, 1, 0}));
  EXPECT_EQ(headless::PlayedSounds(), (Ints{3, 0, 0}));
  Pass(1081);
  Place(0, 4, HOLE_WAITING, ITEM_2POINT, 40.0f);  // C starts at 1100
  ClickPass(335, 50, 1100);
  ASSERT_EQ(board->GetExplosionCount(), 3);
  for (std::uint32_t t : {1162u, 1243u, 1324u, 1405u}) Pass(t);
  // A ends; B, moved into slot 0, is drawn in the same pass and ends too; C, now in
  // slot 0, is drawn and moves on to frame 3.
  ASSERT_EQ(board->GetExplosionCount(), 1);
  EXPECT_EQ(board->GetExplosionCell(0).x, 4);
  EXPECT_EQ(board->GetExplosion(0).GetCurrent(), 3);
  crt::srand(100);
  board->Reset();
  EXPECT_EQ(board->GetExplosionCount(), 0);
  // A 26th explosion is dropped but its hit counts.
  for (int i = 0; i < 26; ++i) {
    Place(3, 3, HOLE_WAITING, ITEM_2POINT, 50.4f);
    ClickPass(265, 250, i < 25 ? 2000 : 2040);
    Pass(2040);
  }
  EXPECT_EQ(board->GetHitCount(), 26);
  EXPECT_EQ(board->GetExplosionCount(), 25);
  for (std::uint32_t t = 2081; t <= 2405; t += 81) Pass(t);
  EXPECT_EQ(board->GetExplosionCount(), 0) << "all 25 began at 2000 and ended together";
}

TEST_F(BoardTest, ASwingShowsThirteenFramesAndTakesALaterClickAsAMiss) {
  ClickPass(320, 240);
  // The first draw starts the frame timer; each later draw 26 ms on shows the frame
  // reached and moves on; the 14th shows frame 12 and ends the swing.
  std::uint32_t tick = 1000;
  for (int draw = 0; draw < 14; ++draw, tick += 26) {
    if (draw == 5) ClickPass(330, 250);
    EXPECT_EQ(board->GetHammer().GetCurrent(), draw == 0 ? 0 : draw - 1) << "draw " << draw;
    headless::SetTick(tick);
    board->DrawHammer(back.dc);
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
  // The named fields of the first line of each event, joined by spaces.
  std::string deck = "[", seen;
  for (int kind : Deck(*board)) deck += std::to_string(kind) + ",";
  deck.back() = ']';
  const std::vector<std::vector<const char*>> events = {{"shuffle", "deck"},
      {"spawn", "row", "col", "kind", "slot", "tick"}, {"hit", "row", "col", "kind"},
      {"miss", "misses"}, {"ramp", "hits", "waitTime", "spawnInterval", "speed"}};
  for (const auto& names : events) {
    const auto lines = testsupport::Events(trace, names[0]);
    for (size_t k = 1; k < names.size(); ++k) seen += " " + (lines.empty() ? "-" : lines[0].at(names[k]));
  }
  EXPECT_EQ(seen, " " + deck + " 0 1 1 0 5000 0 1 1 1 5 1000 1079 0.800000012");
}

}  // namespace
