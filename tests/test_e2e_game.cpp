// End-to-end runs of `tonkalo --headless`: scripted clicks in, trace and files out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"

using testsupport::Events;
using testsupport::ReadTrace;
using testsupport::RunProgram;
using testsupport::TraceLine;

namespace {

struct GameRun {
  std::string dir;
  testsupport::RunResult result;
  std::vector<TraceLine> trace;
};

// Runs the program headless in a fresh copy of the game data, first changed by `prepare`,
// with the given script.
GameRun RunGame(const std::string& name, const std::string& script, long long frames,
                const std::vector<std::string>& extra = {},
                const std::function<void(const std::string& dir)>& prepare = nullptr) {
  GameRun run;
  run.dir = testsupport::MakeGameDir(name);
  testsupport::WriteFile(run.dir + "/script.txt", script);
  if (prepare) prepare(run.dir);
  std::vector<std::string> args = {"--headless", "--script", "script.txt", "--trace",
                                   "trace.jsonl", "--frames", std::to_string(frames)};
  args.insert(args.end(), extra.begin(), extra.end());
  run.result = RunProgram(run.dir, args);
  run.trace = ReadTrace(run.dir + "/trace.jsonl");
  return run;
}

long long Pass(const TraceLine& line) { return std::stoll(line.at("pass")); }

// The passes at which `event` happened with field == value (any value when field is "").
std::vector<long long> PassesOf(const std::vector<TraceLine>& trace, const std::string& event,
                                const std::string& field = "", const std::string& value = "") {
  std::vector<long long> out;
  for (const TraceLine& line : Events(trace, event)) {
    if (field.empty() || (line.count(field) && line.at(field) == value)) out.push_back(Pass(line));
  }
  return out;
}

long long FirstPass(const std::vector<TraceLine>& trace, const std::string& event,
                    const std::string& field, const std::string& value) {
  const std::vector<long long> passes = PassesOf(trace, event, field, value);
  return passes.empty() ? -1 : passes.front();
}

// A click: the button goes down at `pass` and comes up two passes later.
std::string Click(long long pass, int x, int y) {
  return std::to_string(pass) + " move " + std::to_string(x) + " " + std::to_string(y) + "\n" +
         std::to_string(pass) + " down\n" + std::to_string(pass + 2) + " up\n";
}

constexpr long long kTitleClick = 10;
constexpr long long kCountdownSteps = 1080;
// The pass whose countdown step ends the count: the click's pass runs the first step.
constexpr long long kPlayStart = kTitleClick + kCountdownSteps - 1;

std::vector<std::string> MessageTexts(const std::vector<TraceLine>& trace) {
  std::vector<std::string> out;
  for (const TraceLine& line : Events(trace, "message")) {
    EXPECT_EQ(line.at("caption"), "DEBUG");
    out.push_back(line.at("text"));
  }
  return out;
}

}  // namespace

// A title click counts down into play; the clock runs out; the results panel bounces in;
// clicks take the player back to the title and into the next game.
TEST(EndToEnd, GameEndedByTimeBouncesToResultsAndClicksBackToTitle) {
  // Against a record of -5 its 0 is a new record, saved as the results appear.
  const long long frames = kPlayStart + 64 * 70;
  GameRun probe = RunGame("time_probe", Click(kTitleClick, 320, 240), frames, {},
                          [](const std::string& dir) {
                            testsupport::WriteFile(dir + "/highscore.dat",
                                                   testsupport::RecordBytes(-5));
                          });
  ASSERT_EQ(probe.result.exitStatus, 0) << probe.result.stderrText;
  EXPECT_EQ(FirstPass(probe.trace, "state", "state", "title"), 0);
  EXPECT_EQ(FirstPass(probe.trace, "state", "state", "countdown"), kTitleClick);
  EXPECT_EQ(FirstPass(probe.trace, "state", "state", "play"), kPlayStart);

  // The countdown tick at the 120th step of each digit; the bell once the banner settles
  // in the 61st play frame.
  EXPECT_EQ(PassesOf(probe.trace, "sound", "index", "1"),
            (std::vector<long long>{kTitleClick + 119, kTitleClick + 479, kTitleClick + 839}));
  EXPECT_EQ(PassesOf(probe.trace, "sound", "index", "2"),
            (std::vector<long long>{kPlayStart + 61}));
  std::vector<std::string> music;
  for (const TraceLine& line : Events(probe.trace, "music")) {
    music.push_back(std::to_string(Pass(line)) + " " + line.at("command") +
                    (line.count("path") ? " " + line.at("path") : ""));
  }
  const std::string play = std::to_string(kPlayStart);
  const std::vector<std::string> expected = {
      "0 stop", "0 open MP3/tw014b.mp3", "0 play", std::to_string(kTitleClick) + " stop",
      play + " stop", play + " open MP3/tw065.mp3", play + " play"};
  ASSERT_GE(music.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(music.begin(), music.begin() + expected.size()), expected);
  // Play deals its first item at once: a 2-point item from deck slot 0 into (0, 1).
  const std::vector<TraceLine> spawns = Events(probe.trace, "spawn");
  ASSERT_FALSE(spawns.empty());
  EXPECT_EQ(Pass(spawns[0]), kPlayStart + 1);
  EXPECT_EQ(spawns[0].at("row") + spawns[0].at("col") + spawns[0].at("kind"), "011");

  const long long results = FirstPass(probe.trace, "state", "state", "result");
  ASSERT_GT(results, kPlayStart + 64 * 59);
  const std::vector<long long> newRecord = PassesOf(probe.trace, "results", "newRecord", "true");
  ASSERT_EQ(newRecord.size(), 1u);
  EXPECT_EQ(PassesOf(probe.trace, "highscore-write"), newRecord);
  EXPECT_EQ(testsupport::ReadFile(probe.dir + "/highscore.dat"), testsupport::RecordBytes(0));
  // Results come on the play step after the time box reached 0: no play frame was drawn
  // with 0 seconds showing twice, and nothing else ended the game.
  EXPECT_EQ(FirstPass(probe.trace, "state", "state", "finish"), -1);

  // The box first hits bottom in step 40 and bounces with sound 6 in the worked steps.
  std::vector<long long> thuds;
  for (long long p : PassesOf(probe.trace, "sound", "index", "6")) thuds.push_back(p - results);
  EXPECT_EQ(thuds, (std::vector<long long>{40, 88, 116, 132, 142, 148, 151, 153}));

  // A click while the panel is still falling does nothing; the first click after it has
  // finished returns to the title, and only a second click starts the next game.
  const long long early = results + 100;
  const long long late = results + 200;
  const long long again = results + 260;
  const std::string script = Click(kTitleClick, 320, 240) + Click(early, 320, 240) +
                             Click(late, 320, 240) + Click(again, 320, 240);
  GameRun run = RunGame("time_clicks", script, again + 20);
  ASSERT_EQ(run.result.exitStatus, 0) << run.result.stderrText;
  EXPECT_EQ(PassesOf(run.trace, "state", "state", "title"), (std::vector<long long>{0, late + 1}));
  EXPECT_EQ(PassesOf(run.trace, "state", "state", "countdown"),
            (std::vector<long long>{kTitleClick, again}));
  const std::vector<TraceLine> res = Events(run.trace, "results");
  ASSERT_EQ(res.size(), 1u);
  EXPECT_EQ(res[0].at("score"), "0");
  EXPECT_EQ(res[0].at("newRecord"), "false");
}

TEST(EndToEnd, TenMissesFinishFor900FramesThenResultsAndAMissingSoundIsSaidOnce) {
  std::string script = Click(kTitleClick, 320, 240);
  // Clicks on the side panel, far from every item: each is a miss.
  const long long firstMiss = kPlayStart + 100;
  for (int i = 0; i < 10; ++i) script += Click(firstMiss + 10 * i, 600, 470);
  GameRun run = RunGame("ten_misses", script, firstMiss + 100 + 1000, {},
                        [](const std::string& d) { std::remove((d + "/WAV/bell07.wav").c_str()); });
  ASSERT_EQ(run.result.exitStatus, 0) << run.result.stderrText;
  // Without the bell's sound the game says so once and plays on.
  EXPECT_EQ(MessageTexts(run.trace), (std::vector<std::string>{"WAVファイル読み込み失敗"}));
  EXPECT_NE(run.result.stderrText.find("tonkalo: cannot read the sound 'WAV/bell07.wav'\n"),
            std::string::npos) << run.result.stderrText;

  const std::vector<TraceLine> misses = Events(run.trace, "miss");
  ASSERT_EQ(misses.size(), 10u);
  EXPECT_EQ(misses.back().at("misses"), "10");
  // Every click plays the knock first, then the zap, and the tenth miss the buzzer.
  EXPECT_EQ(PassesOf(run.trace, "sound", "index", "9").size(), 1u);
  EXPECT_EQ(PassesOf(run.trace, "sound", "index", "4").size(), 9u);
  EXPECT_TRUE(Events(run.trace, "hit").empty());

  const long long tenth = Pass(misses.back());
  const long long finish = FirstPass(run.trace, "state", "state", "finish");
  EXPECT_EQ(finish, tenth + 1);
  EXPECT_EQ(FirstPass(run.trace, "state", "state", "result"), finish + 900);
}

// The player's switches work around the game, never in it: a scripted game with a hit,
// a miss and both sounds leaves the same trace with or without them.
TEST(EndToEnd, PlayerOptionsChangeNothingInAScriptedGame) {
  const std::string script = Click(kTitleClick, 320, 240) + Click(kPlayStart + 25, 125, 58) +
                             Click(kPlayStart + 60, 600, 470);
  const long long frames = kPlayStart + 120;
  GameRun plain = RunGame("options_plain", script, frames);
  GameRun switched = RunGame("options_switched", script, frames,
                             {"--no-sound", "--no-music", "--volume", "30",
                              "--no-pause-on-focus-loss", "--scale", "2",
                              "--fullscreen"});
  ASSERT_EQ(plain.result.exitStatus, 0) << plain.result.stderrText;
  ASSERT_EQ(switched.result.exitStatus, 0) << switched.result.stderrText;
  EXPECT_EQ(Events(plain.trace, "hit").size(), 1u);
  EXPECT_EQ(Events(plain.trace, "miss").size(), 1u);
  EXPECT_EQ(testsupport::ReadFile(plain.dir + "/trace.jsonl"),
            testsupport::ReadFile(switched.dir + "/trace.jsonl"));
}

TEST(EndToEnd, MissingTestedPictureStopsStartUpWithItsMessagesAndStatusOne) {
  // The box's check names the wrong file, as it always did. (That each of the six
  // stops start-up, the damaged-asset games show.)
  const std::pair<std::string, std::string> cases[] = {
      {"TITLE.bmp", "TITLE.bmpが見つかりません"},
      {"BoxTimer.bmp", "HIGHSCORE_NUM.bmpが見つかりません"},
  };
  for (const auto& [file, message] : cases) {
    SCOPED_TRACE(file);
    // Named with --data-dir: without its title picture the folder is not found by itself.
    const GameRun run = RunGame("missing_" + file, "", 50, {"--data-dir", "."},
                                [&file](const std::string& dir) {
                                  std::remove((dir + "/BMP/" + file).c_str());
                                });
    EXPECT_EQ(run.result.exitStatus, 1);
    const std::string path = "BMP/" + file;
    EXPECT_EQ(MessageTexts(run.trace),
              (std::vector<std::string>{"File : " + path + " is NULL", "width or height is 0",
                                        "hForeBMP or hMaskBMP is NULL:File=" + path, message,
                                        "初期化に失敗しました。"}));
    EXPECT_NE(run.result.stderrText.find("初期化に失敗しました。"), std::string::npos);
  }
}

// The built-in player clicks the title, strikes, clicks through the results and starts
// again, the same way every time (a tick of a second keeps each game short).
TEST(EndToEnd, AutoplayPlaysGameAfterGameTheSameWayEveryTime) {
  std::vector<TraceLine> traces[2];
  for (std::vector<TraceLine>& trace : traces) {
    const std::string dir = testsupport::MakeGameDir("autoplay");
    const testsupport::RunResult run = RunProgram(
        dir, {"--headless", "--autoplay", "--tick", "1000", "--frames", "1400", "--trace", "t"});
    EXPECT_EQ(run.exitStatus + run.stderrText.size(), 0u) << run.stderrText;
    trace = ReadTrace(dir + "/t");
  }
  EXPECT_EQ(traces[0], traces[1]);
  EXPECT_EQ(PassesOf(traces[0], "state", "state", "countdown").size(), 2u);
  EXPECT_EQ(PassesOf(traces[0], "state", "state", "title").size(), 2u);
  EXPECT_FALSE(Events(traces[0], "hit").empty());
  const std::vector<TraceLine> results = Events(traces[0], "results");
  ASSERT_EQ(results.size(), 1u);
  EXPECT_NE(results[0].at("score"), "0");
  EXPECT_EQ(results[0].at("newRecord"), "true");
}
