// Replays: a recorded run played back headless gives its trace again, event for event,
// whatever its clock did, and leaves the record alone; a damaged replay is refused.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/test_support.h"

using namespace testsupport;

namespace {

const std::string kBusyGame = std::string(TONKALO_SOURCE_DIR) + "/tests/e2e/busy_game.txt";

std::string Lines(int count, const std::string& line) {
  std::string text;
  while (count-- > 0) text += line;
  return text;
}

std::vector<std::string> With(std::vector<std::string> args, const std::string& option,
                              const std::string& file) {
  args.insert(args.end(), {option, file});
  return args;
}

// A scripted game; a whole one of the built-in player (to its results and a new record);
// and the scripted game on the clock of a real window (each pass wakes a little late, now
// and then much later, and a pause moves the grid). Each recorded, then replayed over a
// higher record that it must not touch, gives its trace again, every event with its tick.
TEST(Replay, ARecordedGameReplaysItsTraceAndLeavesTheRecordAlone) {
  const std::string dir = MakeGameDir("replay-games");
  std::string script = ReadFile(kBusyGame);
  std::mt19937 dice(7);
  std::uniform_real_distribution<double> late(0.0, 0.3);
  double shift = 1000.0;
  constexpr int kPasses = 2500;
  for (int pass = 0; pass < kPasses; ++pass) {
    if (pass == 700) shift += 12345.678;
    if (dice() % 50 == 0) shift += 15.625;  // a slow pass misses a tick
    const double wake = pass * 15.625 + shift + (dice() % 30 == 0 ? 3 * late(dice) : late(dice));
    script += std::to_string(pass) + " tick " + std::to_string(static_cast<long long>(wake)) + "\n";
  }
  WriteFile(dir + "/clock.txt", script + std::to_string(kPasses) + " close\n");
  for (const std::vector<std::string>& game :
       {std::vector<std::string>{"--headless", "--script", kBusyGame},
        {"--headless", "--autoplay", "--frames", "10400", "--start-tick", "4294960000"},
        {"--headless", "--script", "clock.txt"}}) {
    WriteFile(dir + "/highscore.dat", RecordBytes(120));
    const RunResult recorded =
        RunProgram(dir, With(With(game, "--trace", "rec.jsonl"), "--record", "game.replay"));
    ASSERT_EQ(recorded.exitStatus, 0) << recorded.stderrText;
    const std::string replay = ReadFile(dir + "/game.replay");
    const std::string demo = game[1] == "--autoplay" ? " demo" : "";
    EXPECT_EQ(replay.rfind("tonkalo-replay 1 tick-ms 15.625 highscore 120" + demo + "\n", 0), 0u);

    WriteFile(dir + "/highscore.dat", RecordBytes(99999));
    const RunResult replayed = RunProgram(
        dir, {"--headless", "--replay", "game.replay", "--trace", "replay.jsonl"});
    ASSERT_EQ(replayed.exitStatus, 0) << replayed.stderrText;
    EXPECT_GT(ReadFile(dir + "/rec.jsonl").size(), 1000u);
    EXPECT_EQ(ReadFile(dir + "/replay.jsonl"), ReadFile(dir + "/rec.jsonl")) << game[2];
    EXPECT_EQ(ReadFile(dir + "/highscore.dat"), RecordBytes(99999));
    if (game[1] == "--autoplay") {
      const auto results = Events(ReadTrace(dir + "/replay.jsonl"), "results");
      ASSERT_EQ(results.size(), 1u);
      EXPECT_EQ(results[0].at("newRecord"), "true");
    }
  }
  // The irregular clock's replay holds far fewer readings than passes.
  const std::string replay = ReadFile(dir + "/game.replay");
  long readings = 0;
  for (size_t at = replay.find(" tick "); at != std::string::npos; at = replay.find(" tick ", at + 1)) ++readings;
  std::printf("%ld clock readings kept for %d passes\n", readings, kPasses);
  EXPECT_LT(readings, kPasses / 4);
}

TEST(Replay, ADamagedReplayIsOneLineAndStatusTwo) {
  const std::string dir = MakeGameDir("replay-bad");
  const std::string head = "tonkalo-replay 1 tick-ms 15.625 highscore 0\n";
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"", "bad.replay:1: not a replay of this game"},
      {"10 move 3 4\n20 close\n", "bad.replay:1: not a replay of this game"},
      {"tonkalo-replay 2 tick-ms 15.625 highscore 0\n0 tick 0\n1 close\n", "bad.replay:1: not"},
      {"tonkalo-replay 1 tick-ms 0 highscore 0\n0 tick 0\n1 close\n", "bad.replay:1: not"},
      {"tonkalo-replay 1 tick-ms 15.625 highscore 9e9\n0 tick 0\n1 close\n", "bad.replay:1: not"},
      {head + "0 tick 0\n5 mo",
       "bad.replay:3: unknown command 'mo' (move, down, up, close, button, click, double-click, "
       "size, music-end or tick)"},
      {head + "0 tick 0\n5 button 2\n9 close\n", "bad.replay:3: 'button' wants 1"},
      {head + "0 tick 4294967296\n9 close\n", "bad.replay:2: 'tick' wants"},
      {head + "0 tick 0\n5 click 1\n9 close\n", "bad.replay:3: 'click' wants two"},
      {head + "0 tick 0\n5 music-end now\n", "bad.replay:3: 'music-end' takes nothing"},
      {head + "0 tick 0\n5 move 1 2\n", "bad.replay: the replay does not end with 'close'"},
      {head + "5 close\n", "bad.replay: no '0 tick T' line"},
      {head + "0 tick 0\n100000001 close\n", "bad.replay:3: a line starts with its pass, a "
                                              "whole number from 0 to 100000000, not"},
      {head + "0 tick 0\n" + Lines(1001, "1 music-end\n") + "9 close\n",
       "bad.replay:1003: pass 1 holds more than 1000 commands, the most a pass may hold"},
      {head + "0 tick 0\n" + Lines(1001, "1 up\n2 up\n") + "3 close\n",
       "bad.replay: pass 1 holds more than 1000 commands"},
  };
  WriteFile(dir + "/highscore.dat", RecordBytes(5));
  for (const auto& [text, line] : bad) {
    WriteFile(dir + "/bad.replay", text);
    const RunResult run = RunProgram(dir, {"--headless", "--replay", "bad.replay"}, {false, 30});
    EXPECT_EQ(run.exitStatus, 2) << text;
    ASSERT_EQ(run.stderrText.find('\n'), run.stderrText.size() - 1) << run.stderrText;
    EXPECT_NE(run.stderrText.find(line), std::string::npos) << run.stderrText;
  }
  const RunResult missing = RunProgram(dir, {"--headless", "--replay", "none.replay"}, {false, 30});
  EXPECT_EQ(missing.exitStatus, 2);
  ExpectSaidOnce(missing, "cannot read replay '");
  WriteFile(dir + "/good.replay", head + "0 tick 0\n3 close\n");
  WriteFile(dir + "/good.txt", "3 close\n");
  for (const char* other : {"--autoplay", "--script=good.txt"}) {
    const RunResult both = RunProgram(dir, {"--headless", "--replay", "good.replay", other}, {false, 30});
    EXPECT_EQ(both.exitStatus, 2) << other;
    ExpectSaidOnce(both, "--replay drives the input itself");
  }
  EXPECT_EQ(ReadFile(dir + "/highscore.dat"), RecordBytes(5));
}

}  // namespace
