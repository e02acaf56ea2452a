// The board's lines in the event trace (shuffle, spawn, hit, miss, ramp), which the
// end-to-end runs read to follow a game.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "test_board_support.h"

TEST(BoardTrace, TheBoardReportsItsDealsHitsMissesAndRamps) {
  const std::string dir = testsupport::MakeTempDir("board-trace");
  const std::string tracePath = dir + "/trace.jsonl";
  platform::Options options;
  options.headless = true;
  options.trace = tracePath;
  std::string error;
  ASSERT_TRUE(platform::Init(options, error)) << error;
  headless::SetTick(5000);
  {
    CBoard board;
    crt::srand(100);
    board.Reset();
    board.Spawn();  // a 2-point item into hole (0, 1) from slot 0

    // Hole (0, 1) at height 0: its box is the line y = 90 from x = 109 to 141.
    boardtest::Counters c;
    gdi::HDC dc = gdi::CreateCompatibleDC(0);
    boardtest::PressAt(125, 80);
    board.DrawAndHit(dc, 1, c.score, c.time, c.stars, c.misses, c.flags);
    boardtest::NoPress();
    boardtest::PressAt(125, 80);  // the hole is empty now: a miss
    board.DrawAndHit(dc, 1, c.score, c.time, c.stars, c.misses, c.flags);
    gdi::DeleteDC(dc);
    ASSERT_EQ(board.GetHitCount(), 1);
    ASSERT_EQ(c.misses, 1);

    BoardTestAccess::SetHitCount(board, 5);
    board.Update();
  }
  platform::Shutdown();

  const auto trace = testsupport::ReadTrace(tracePath);
  const auto shuffles = testsupport::Events(trace, "shuffle");
  ASSERT_GE(shuffles.size(), 1u);
  // The deck of every game: 2-point items except in the slots listed.
  std::vector<int> deck(57, ITEM_2POINT);
  for (int s : {7, 8, 13, 23, 30, 33, 39, 48, 50, 54}) deck[s] = ITEM_1POINT;
  for (int s : {28, 42, 53}) deck[s] = ITEM_5POINT;
  for (int s : {43, 49}) deck[s] = ITEM_MINUS_TIMER;
  deck[51] = ITEM_PLUS_TIMER;
  deck[56] = ITEM_10POINT;
  std::string expected = "[";
  for (int s = 0; s < 57; ++s) expected += (s ? "," : "") + std::to_string(deck[s]);
  expected += "]";
  EXPECT_EQ(shuffles[0].at("deck"), expected);

  const auto spawns = testsupport::Events(trace, "spawn");
  ASSERT_GE(spawns.size(), 1u);
  EXPECT_EQ(spawns[0].at("row"), "0");
  EXPECT_EQ(spawns[0].at("col"), "1");
  EXPECT_EQ(spawns[0].at("kind"), "1");
  EXPECT_EQ(spawns[0].at("slot"), "0");
  EXPECT_EQ(spawns[0].at("tick"), "5000");

  const auto hits = testsupport::Events(trace, "hit");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].at("row"), "0");
  EXPECT_EQ(hits[0].at("col"), "1");
  EXPECT_EQ(hits[0].at("kind"), "1");

  const auto missLines = testsupport::Events(trace, "miss");
  ASSERT_EQ(missLines.size(), 1u);
  EXPECT_EQ(missLines[0].at("misses"), "1");

  const auto ramps = testsupport::Events(trace, "ramp");
  ASSERT_EQ(ramps.size(), 1u);
  EXPECT_EQ(ramps[0].at("hits"), "5");
  EXPECT_NEAR(std::stod(ramps[0].at("speed")), 0.8, 1e-6);
  EXPECT_EQ(ramps[0].at("waitTime"), "1000");
  EXPECT_EQ(ramps[0].at("spawnInterval"), "1079");

  // The click sound comes before the hit's own sound and the miss's.
  const auto sounds = testsupport::Events(trace, "sound");
  std::vector<std::string> order;
  for (const auto& line : sounds) order.push_back(line.at("index"));
  EXPECT_EQ(order, (std::vector<std::string>{"3", "0", "3", "4"}));
}
