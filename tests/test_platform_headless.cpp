// The platform outside the raster layer: the command line, the headless clock and its
// passes, input scripts, the trace, shots, and what the headless backend records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/headless/control.h"
#include "support/test_support.h"

namespace {

using testsupport::DecodedPixels;
using testsupport::MakeTempDir;
using testsupport::StartHeadless;

struct Parsed { bool ok = false; platform::Options options; std::string error; };

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tonkalo");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  Parsed p;
  p.ok = platform::ParseOptions(static_cast<int>(argv.size()), argv.data(), p.options, p.error);
  return p;
}

// Values at the edges of their ranges are taken, in both spellings.
TEST(Options, EdgeValuesAreTaken) {
  const Parsed p = Parse({"--headless", "--tick=0.1", "--volume", "100", "--scale=16", "--start-tick",
                          "4294967295", "--frames=0", "--shot", "0:a.bmp", "--shot=5:B.PNG"});
  ASSERT_TRUE(p.ok) << p.error;
  const platform::Options& o = p.options;
  EXPECT_TRUE(o.headless && o.tickMs == 0.1 && o.volume == 100 && o.scale == 16 &&
              o.startTick == 4294967295u && o.frames == 0 && o.shots.size() == 2);
  const Parsed low = Parse({"--tick", "1000", "--volume=0", "--scale", "1"});
  EXPECT_TRUE(low.options.volume == 0 && low.options.tickMs == 1000.0 && low.options.scale == 1);
  const Parsed dashes = Parse({"--frames", "2", "--volume=007", "--"});  // "--" ends them
  EXPECT_TRUE(dashes.ok && dashes.options.volume == 7) << dashes.error;
}

TEST(Options, BadOptionsAreOneLineNamingTheProblem) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bogus"}, "--bogus"},           {{"stray"}, "stray"},
      {{"--tick", "0.099"}, "--tick"},    {{"--tick", "fast"}, "fast"},
      {{"--tick", "1000.5"}, "--tick"},   {{"--tick", "inf"}, "--tick"},
      {{"--scale", "17"}, "--scale"},     {{"--frames", "-5"}, "--frames"},
      {{"--start-tick", "4294967296"}, "--start-tick"}, {{"--shot", "3:a.jpg"}, "a.jpg"},
      {{"--shot=x:a.png"}, "--shot"},     {{"--headless=yes"}, "--headless"},
      {{"--data-dir="}, "--data-dir"},    {{"--script", "/no/such/in.txt"}, "/no/such/in.txt"},
      {{"--volume", "-1"}, "--volume"},   {{"--frames"}, "--frames"},
      {{"--autoplay", "--script", TONKALO_SOURCE_DIR "/bench/busy_game.txt"}, "choose one"},
      {{"--", "--frames", "1"}, "cannot read replay '--frames'"},
      {{"--frames", "1", "--", "--"}, "cannot read replay '--'"},
      // Numbers are plain decimal, however plain another spelling looks.
      {{"--tick", "0x10"}, "--tick wants a number of ms from 0.1 to 1000, not '0x10'"},
      {{"--tick", "1e1"}, "--tick wants"},       {{"--frames", "0x10"}, "--frames wants"},
      {{"--volume", " 5"}, "--volume wants a whole number from 0 to 100, not ' 5'"},
      {{"--volume", "+5"}, "--volume wants"},
      {{"--start-tick", "99999999999999999999"}, "--start-tick wants"}};
  for (const auto& [args, mention] : cases) {
    const Parsed p = Parse(args);
    EXPECT_FALSE(p.ok) << mention;
    EXPECT_NE(p.error.find(mention), std::string::npos) << p.error;
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
  }
}

TEST(Script, MalformedLinesNameTheFileAndLine) {
  const std::string dir = MakeTempDir("script-bad");
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"0 move 10\n", ":1:"},   {"# fine\n\n3 jump\n", ":3:"}, {"x down\n", ":1:"},
      {"-1 down\n", ":1:"},     {"1 down now\n", ":1:"},       {"1 move 1 2 3\n", ":1:"},
      {"1 move a b\n", ":1:"},  {"2 close\n1\n", ":2:"}};
  for (const auto& [text, where] : bad) {
    const std::string file = dir + "/bad.txt";
    testsupport::WriteFile(file, text);
    const Parsed p = Parse({"--headless", "--script", file});
    EXPECT_FALSE(p.ok) << text;
    EXPECT_NE(p.error.find(file + where), std::string::npos) << text << "-> " << p.error;
  }
}

class Headless : public ::testing::Test {
 protected:
  void TearDown() override { platform::Shutdown(); }
};

TEST_F(Headless, PassPRunsAtTickFloorOfStartPlusPTimesTheTickAndSleepsRoundUp) {
  platform::Options options;
  options.startTick = 4294967000u;  // the tick wraps on the way
  StartHeadless(options);
  for (long long p = 0; p <= 3000; platform::Sleep(1), ++p) {
    ASSERT_EQ(platform::CurrentPass(), p);
    ASSERT_EQ(platform::GetTickCount(),
              options.startTick + static_cast<std::uint32_t>(std::floor(p * 15.625)));
  }

  StartHeadless();
  platform::Sleep(20);  // boundaries 15, 31: the first at least 20 ms on
  EXPECT_EQ(platform::GetTickCount(), 31u);
  platform::Sleep(0);  // still the next boundary
  EXPECT_EQ(platform::GetTickCount(), 46u);
  headless::AdvanceTick(40);  // work that took 40 ms: now 86, and the next boundary 6 x 15.625
  platform::Sleep(1);
  EXPECT_EQ(platform::GetTickCount(), 93u);
}

TEST_F(Headless, ScriptCommandsAndFramesTakeEffectAtTheStartOfTheirPass) {
  platform::Options options;
  options.scriptFile = MakeTempDir("script-good") + "/in.txt";
  options.frames = 8;
  testsupport::WriteFile(options.scriptFile, "# a click, then away\n0 move 100 200\n\n"
                                             "2 down   # press\n4 up\n3 move -5 500\n6 close");
  std::string error;
  ASSERT_TRUE(platform::ReadScript(options.scriptFile, options.script, error)) << error;
  StartHeadless(options);
  // Each pass: the cursor, the button, and the messages queued.
  std::vector<std::string> passes;
  for (int pass = 0; pass <= 8; platform::Sleep(1), ++pass) {
    int x = 0, y = 0;
    platform::GetCursorPos(x, y);
    passes.push_back(std::to_string(x) + "," + std::to_string(y) +
                     (platform::LeftButtonDown() ? " down" : " up"));
    for (platform::Message m; platform::PeekMessage(m);) {
      passes.back() += m.message == platform::WM_CLOSE ? std::string(" close")
                                                       : " click " + std::to_string(m.lParam);
    }
  }
  const std::string click = " click " + std::to_string(100 | 200 << 16), close = " close";
  EXPECT_EQ(passes, (std::vector<std::string>{"100,200 up", "100,200 up", "100,200 down" + click,
                                              "-5,500 down", "-5,500 up", "-5,500 up",
                                              "-5,500 up" + close, "-5,500 up",
                                              "-5,500 up" + close}));
  EXPECT_EQ(platform::ShowCursor(false), -1);  // a counter, as the game expects
  EXPECT_EQ(platform::ShowCursor(true), 0);
}

TEST_F(Headless, TraceLinesAreJsonInTheOrderEventsHappen) {
  platform::Options options;
  options.startTick = 1000;
  options.trace = MakeTempDir("trace-format") + "/trace.jsonl";
  StartHeadless(options);
  const int deck[3] = {5, 0, -1};
  platform::TraceEvent("sample").Int("neg", -5).Int("big", 4294967296LL).Num("f", 0.1f)
      .Num("whole", 2.0).Num("inf", INFINITY).Str("s", "a\"b\\c\n\x01日本").Bool("yes", true)
      .Bool("no", false).Ints("deck", deck, 3).Ints("none", deck, 0);
  platform::Sleep(1);
  platform::Sleep(1);
  platform::MessageBox("TITLE.bmpが見つかりません", "DEBUG");
  platform::PlayWave(4, nullptr, 0);
  platform::Music(platform::MusicCommand::Open, "MP3/tw065.mp3");
  platform::Music(platform::MusicCommand::Replay, "MP3/tw065.mp3");
  platform::Shutdown();
  EXPECT_EQ(testsupport::ReadFile(options.trace),
            "{\"pass\":0,\"tick\":1000,\"event\":\"sample\",\"neg\":-5,\"big\":4294967296,"
            "\"f\":0.100000001,\"whole\":2,\"inf\":null,\"s\":\"a\\\"b\\\\c\\n\\u0001日本\","
            "\"yes\":true,\"no\":false,\"deck\":[5,0,-1],\"none\":[]}\n"
            "{\"pass\":2,\"tick\":1031,\"event\":\"message\",\"caption\":\"DEBUG\","
            "\"text\":\"TITLE.bmpが見つかりません\"}\n"
            "{\"pass\":2,\"tick\":1031,\"event\":\"sound\",\"index\":4}\n"
            "{\"pass\":2,\"tick\":1031,\"event\":\"music\",\"command\":\"open\","
            "\"path\":\"MP3/tw065.mp3\"}\n"
            "{\"pass\":2,\"tick\":1031,\"event\":\"music\",\"command\":\"replay\"}\n");

  // The shared reader turns the same lines back into fields.
  auto parsed = testsupport::ReadTrace(options.trace);
  ASSERT_EQ(parsed.size(), 5u);
  EXPECT_EQ(parsed[0]["s"], "a\"b\\c\n\x01日本");
  EXPECT_EQ(parsed[0]["deck"] + parsed[0]["none"] + parsed[0]["inf"] + parsed[0]["yes"],
            "[5,0,-1][]nulltrue");
  EXPECT_EQ(testsupport::Events(parsed, "music")[1]["command"], "replay");
}

TEST_F(Headless, ShotsSaveTheLastFramePresentedInTheirPass) {
  const std::string dir = MakeTempDir("shots");
  platform::Options options;
  options.shots = {{0, dir + "/p0.bmp"}, {1, dir + "/p1.png"}, {2, dir + "/p2.bmp"},
                   {3, dir + "/p3.PNG"}, {9, dir + "/never.bmp"}};
  StartHeadless(options);
  const std::vector<std::uint32_t> a(640 * 480, 0x102030), b(640 * 480, 0x405060),
      c(640 * 480, 0x708090);
  // Pass 1's last present counts; pass 2 presents nothing; the run ends in pass 3.
  for (const auto* frame : {&a, &b, &c}) {
    platform::Present(frame->data(), 640, 480);
    if (frame != &b) platform::Sleep(1);
  }
  platform::Sleep(1);
  platform::Shutdown();
  EXPECT_EQ(DecodedPixels(dir + "/p0.bmp"), a);
  for (const char* later : {"/p1.png", "/p2.bmp", "/p3.PNG"}) EXPECT_EQ(DecodedPixels(dir + later), c) << later;
  EXPECT_FALSE(testsupport::FileExists(dir + "/never.bmp"));

  // Width 3: 9 bytes a row, padded to 12 in the BMP; every pixel distinct.
  options.shots = {{0, dir + "/odd.bmp"}, {0, dir + "/odd.png"}};
  StartHeadless(options);
  const std::vector<std::uint32_t> odd = {0xFF0000, 0x00FF00, 0x0000FF, 0x010203, 0xFFFFFF, 0};
  platform::Present(odd.data(), 3, 2);
  platform::Shutdown();
  EXPECT_EQ(testsupport::ReadFile(dir + "/odd.bmp").size(), 54u + 12u * 2u);
  EXPECT_EQ(DecodedPixels(dir + "/odd.bmp"), odd);
  EXPECT_EQ(DecodedPixels(dir + "/odd.png"), odd);
}

}  // namespace
