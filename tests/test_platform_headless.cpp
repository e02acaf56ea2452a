// The platform outside the raster layer: the command line, the headless clock and its
// passes, input scripts, the trace, shots, and what the headless backend records.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/headless/control.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace {

using testsupport::MakeTempDir;
using testsupport::ReadFile;
using testsupport::WriteFile;

// --- the command line ---

struct Parsed {
  bool ok = false;
  platform::Options options;
  std::string error;
};

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tonkalo");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  Parsed p;
  p.ok = platform::ParseOptions(static_cast<int>(argv.size()), argv.data(), p.options, p.error);
  return p;
}

TEST(OptionsTest, DefaultsWithNoArguments) {
  Parsed p = Parse({});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_FALSE(p.options.headless);
  EXPECT_FALSE(p.options.help);
  EXPECT_EQ(p.options.tickMs, 15.625);
  EXPECT_EQ(p.options.scale, 0);
  EXPECT_FALSE(p.options.fullscreen);
  EXPECT_EQ(p.options.startTick, 0u);
  EXPECT_EQ(p.options.frames, -1);
  EXPECT_TRUE(p.options.script.empty());
  EXPECT_TRUE(p.options.trace.empty());
  EXPECT_TRUE(p.options.shots.empty());
  EXPECT_TRUE(p.options.dataDir.empty());
}

TEST(OptionsTest, EveryOptionInBothSpellings) {
  const std::string dir = MakeTempDir("options-every");
  const std::string script = dir + "/in.txt";
  WriteFile(script, "0 move 1 2\n");
  Parsed p = Parse({"--headless", "--tick", "1", "--scale=3", "--fullscreen",
                    "--start-tick", "4294967295", "--frames=120", "--script", script,
                    "--trace", "t.jsonl", "--shot", "5:a.bmp", "--shot=0:B.PNG",
                    "--data-dir", "data"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.options.headless);
  EXPECT_EQ(p.options.tickMs, 1.0);
  EXPECT_EQ(p.options.scale, 3);
  EXPECT_TRUE(p.options.fullscreen);
  EXPECT_EQ(p.options.startTick, 4294967295u);
  EXPECT_EQ(p.options.frames, 120);
  EXPECT_EQ(p.options.script, script);
  EXPECT_EQ(p.options.trace, "t.jsonl");
  ASSERT_EQ(p.options.shots.size(), 2u);
  EXPECT_EQ(p.options.shots[0].pass, 5);
  EXPECT_EQ(p.options.shots[0].file, "a.bmp");
  EXPECT_EQ(p.options.shots[1].pass, 0);
  EXPECT_EQ(p.options.shots[1].file, "B.PNG");
  EXPECT_EQ(p.options.dataDir, "data");

  Parsed fractional = Parse({"--tick", "15.625"});
  ASSERT_TRUE(fractional.ok);
  EXPECT_EQ(fractional.options.tickMs, 15.625);
}

TEST(OptionsTest, HelpWinsAndTheUsageListsEveryOption) {
  Parsed p = Parse({"--headless", "--help", "--no-such-option"});
  ASSERT_TRUE(p.ok);
  EXPECT_TRUE(p.options.help);
  const std::string usage = platform::UsageText();
  for (const char* option : {"--headless", "--tick", "--scale", "--fullscreen", "--start-tick",
                             "--frames", "--script", "--trace", "--shot", "--data-dir",
                             "--help"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

TEST(OptionsTest, BadOptionsAreOneLineNamingTheProblem) {
  struct Case {
    std::vector<std::string> args;
    const char* mention;
  };
  const std::vector<Case> cases = {
      {{"--bogus"}, "--bogus"},
      {{"stray"}, "stray"},
      {{"--tick"}, "--tick"},
      {{"--tick", "0"}, "--tick"},
      {{"--tick", "-1"}, "--tick"},
      {{"--tick", "fast"}, "fast"},
      {{"--tick", "nan"}, "--tick"},
      {{"--scale", "0"}, "--scale"},
      {{"--scale", "17"}, "--scale"},
      {{"--scale", "2x"}, "2x"},
      {{"--start-tick", "-1"}, "--start-tick"},
      {{"--start-tick", "4294967296"}, "--start-tick"},
      {{"--frames", "-5"}, "--frames"},
      {{"--frames", ""}, "--frames"},
      {{"--shot", "a.bmp"}, "--shot"},
      {{"--shot", "-1:a.bmp"}, "--shot"},
      {{"--shot", "3:a.jpg"}, "a.jpg"},
      {{"--shot=x:a.png"}, "--shot"},
      {{"--headless=yes"}, "--headless"},
      {{"--trace"}, "--trace"},
      {{"--script", "/no/such/script.txt"}, "/no/such/script.txt"},
      {{"--data-dir="}, "--data-dir"},
  };
  for (const Case& c : cases) {
    Parsed p = Parse(c.args);
    std::string joined;
    for (const std::string& a : c.args) joined += a + " ";
    EXPECT_FALSE(p.ok) << joined;
    EXPECT_NE(p.error.find(c.mention), std::string::npos) << joined << "-> " << p.error;
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << p.error;
  }
}

// --- scripts ---

TEST(ScriptTest, MalformedLinesNameTheFileAndLine) {
  const std::string dir = MakeTempDir("script-bad");
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"0 move 10\n", ":1:"},
      {"# fine\n\n3 jump\n", ":3:"},
      {"x down\n", ":1:"},
      {"-1 down\n", ":1:"},
      {"1 down now\n", ":1:"},
      {"1 move 1 2 3\n", ":1:"},
      {"1 move a b\n", ":1:"},
      {"2 close\n1\n", ":2:"},
  };
  int n = 0;
  for (const auto& [text, where] : bad) {
    const std::string file = dir + "/bad" + std::to_string(n++) + ".txt";
    WriteFile(file, text);
    Parsed p = Parse({"--headless", "--script", file});
    EXPECT_FALSE(p.ok) << text;
    EXPECT_NE(p.error.find(file + where), std::string::npos) << text << "-> " << p.error;

    platform::Options options;
    options.headless = true;
    options.script = file;
    std::string error;
    EXPECT_FALSE(platform::Init(options, error)) << text;
    EXPECT_NE(error.find(file + where), std::string::npos) << error;
  }
}

// --- the headless backend ---

class HeadlessTest : public ::testing::Test {
 protected:
  void Start(platform::Options options) {
    options.headless = true;
    std::string error;
    ASSERT_TRUE(platform::Init(options, error)) << error;
  }
  void TearDown() override { platform::Shutdown(); }

  static std::vector<platform::Message> Drain() {
    std::vector<platform::Message> out;
    platform::Message m;
    while (platform::PeekMessage(m)) out.push_back(m);
    return out;
  }
};

TEST_F(HeadlessTest, PassPRunsAtTickFloorOfStartPlusPTimesTheTick) {
  platform::Options options;
  options.startTick = 1000;
  Start(options);
  for (long long p = 0; p <= 3000; ++p) {
    ASSERT_EQ(platform::CurrentPass(), p);
    ASSERT_EQ(platform::GetTickCount(), 1000u + static_cast<std::uint32_t>(std::floor(p * 15.625)))
        << "pass " << p;
    platform::Sleep(1);
  }
}

TEST_F(HeadlessTest, SixtyFourPassesASecondByDefaultAndOneAMillisecondWithTickOne) {
  platform::Options options;
  Start(options);
  for (int p = 0; p < 64; ++p) platform::Sleep(1);
  EXPECT_EQ(platform::GetTickCount(), 1000u);
  EXPECT_EQ(platform::CurrentPass(), 64);

  options.tickMs = 1;
  options.startTick = 77;
  Start(options);
  EXPECT_EQ(platform::CurrentPass(), 0);
  for (int p = 0; p < 500; ++p) platform::Sleep(1);
  EXPECT_EQ(platform::GetTickCount(), 577u);
}

TEST_F(HeadlessTest, TheClockWrapsAt32Bits) {
  platform::Options options;
  options.startTick = 4294967290u;
  Start(options);
  platform::Sleep(1);
  EXPECT_EQ(platform::GetTickCount(), 9u);  // 4294967290 + 15, wrapped
  platform::Sleep(1);
  EXPECT_EQ(platform::GetTickCount(), 25u);  // + floor(31.25)
}

TEST_F(HeadlessTest, ALongerSleepRoundsUpToATickBoundary) {
  platform::Options options;
  Start(options);
  platform::Sleep(20);  // boundaries 15, 31: the first at least 20 ms on
  EXPECT_EQ(platform::GetTickCount(), 31u);
  EXPECT_EQ(platform::CurrentPass(), 1);
  platform::Sleep(0);  // still the next boundary
  EXPECT_EQ(platform::GetTickCount(), 46u);
  headless::AdvanceTick(40);  // work that took 40 ms: now 86
  platform::Sleep(1);
  EXPECT_EQ(platform::GetTickCount(), 93u);  // floor(6 x 15.625)
  headless::SetTick(5000);
  EXPECT_EQ(platform::GetTickCount(), 5000u);
  platform::Sleep(1);
  EXPECT_EQ(platform::GetTickCount(), 5015u);
}

TEST_F(HeadlessTest, ScriptCommandsTakeEffectAtTheStartOfTheirPass) {
  const std::string dir = MakeTempDir("script-good");
  const std::string script = dir + "/in.txt";
  WriteFile(script,
            "# a click on the title, then away\n"
            "0 move 100 200\n"
            "\n"
            "2 down   # press\n"
            "4 up\n"
            "3 move -5 500\n"
            "6 close\n");
  platform::Options options;
  options.script = script;
  Start(options);

  int x = 0;
  int y = 0;
  platform::GetCursorPos(x, y);
  EXPECT_EQ(x, 100);  // pass 0 commands apply at Init
  EXPECT_EQ(y, 200);
  EXPECT_TRUE(Drain().empty());
  platform::Sleep(1);  // pass 1
  EXPECT_FALSE(platform::LeftButtonDown());
  EXPECT_TRUE(Drain().empty());
  platform::Sleep(1);  // pass 2
  EXPECT_TRUE(platform::LeftButtonDown());
  auto messages = Drain();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, platform::WM_LBUTTONDOWN);
  EXPECT_EQ(messages[0].lParam, 100 | (200 << 16));
  platform::Sleep(1);  // pass 3
  platform::GetCursorPos(x, y);
  EXPECT_EQ(x, -5);
  EXPECT_EQ(y, 500);
  EXPECT_TRUE(platform::LeftButtonDown());
  platform::Sleep(1);  // pass 4
  EXPECT_FALSE(platform::LeftButtonDown());
  platform::Sleep(1);  // pass 5
  EXPECT_TRUE(Drain().empty());
  platform::Sleep(1);  // pass 6
  messages = Drain();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, platform::WM_CLOSE);
}

TEST_F(HeadlessTest, FramesClosesTheWindowWhenPassNBegins) {
  platform::Options options;
  options.frames = 3;
  Start(options);
  for (int p = 0; p < 3; ++p) {
    EXPECT_TRUE(Drain().empty()) << "pass " << p;
    platform::Sleep(1);
  }
  auto messages = Drain();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, platform::WM_CLOSE);

  options.frames = 0;
  Start(options);
  messages = Drain();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, platform::WM_CLOSE);
}

TEST_F(HeadlessTest, RecordsSoundsMusicAndBoxesWithoutBlocking) {
  Start(platform::Options());
  const std::uint8_t wave[4] = {1, 2, 3, 4};
  platform::PlayWave(3, wave, sizeof(wave));
  platform::PlayWave(9, nullptr, 0);  // a missing effect: still the event, silence
  platform::PlayWave(-1, nullptr, 0);  // a plain halt: nothing to record
  EXPECT_EQ(headless::PlayedSounds(), (std::vector<int>{3, 9}));
  EXPECT_EQ(headless::PlayedSoundSizes(), (std::vector<std::size_t>{4, 0}));

  platform::Music(platform::MusicCommand::Stop);
  platform::Music(platform::MusicCommand::Open, "MP3/tw014b.mp3");
  platform::Music(platform::MusicCommand::Play);
  platform::Music(platform::MusicCommand::Replay);
  platform::Music(platform::MusicCommand::Close);
  const auto& music = headless::MusicCommands();
  ASSERT_EQ(music.size(), 5u);
  EXPECT_EQ(music[0].command, "stop");
  EXPECT_EQ(music[1].command, "open");
  EXPECT_EQ(music[1].path, "MP3/tw014b.mp3");
  EXPECT_EQ(music[2].command, "play");
  EXPECT_EQ(music[3].command, "replay");
  EXPECT_EQ(music[3].path, "MP3/tw014b.mp3");
  EXPECT_EQ(music[4].command, "close");

  platform::MessageBox("MP3プレイヤーの作成に失敗", "ERROR");
  ASSERT_EQ(headless::MessageBoxes().size(), 1u);
  EXPECT_EQ(headless::MessageBoxes()[0].caption, "ERROR");
  EXPECT_EQ(headless::MessageBoxes()[0].text, "MP3プレイヤーの作成に失敗");

  headless::FinishMusicTrack();
  auto messages = Drain();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].message, platform::MCIWNDM_NOTIFYMODE);
  EXPECT_EQ(messages[0].lParam, platform::MCI_MODE_STOP);

  std::vector<std::uint32_t> frame(640 * 480, 0x123456);
  platform::Present(frame.data(), 640, 480);
  EXPECT_EQ(headless::LastFrame(), frame);

  headless::ClearRecords();
  EXPECT_TRUE(headless::PlayedSounds().empty());
  EXPECT_TRUE(headless::PlayedSoundSizes().empty());
  EXPECT_TRUE(headless::MusicCommands().empty());
  EXPECT_TRUE(headless::MessageBoxes().empty());
  EXPECT_TRUE(headless::LastFrame().empty());
}

TEST_F(HeadlessTest, CursorCounterAndDefaultInput) {
  Start(platform::Options());
  int x = 0;
  int y = 0;
  platform::GetCursorPos(x, y);
  EXPECT_EQ(x, 320);
  EXPECT_EQ(y, 240);
  EXPECT_FALSE(platform::LeftButtonDown());
  EXPECT_EQ(platform::ShowCursor(false), -1);
  EXPECT_EQ(platform::ShowCursor(false), -2);
  EXPECT_EQ(platform::ShowCursor(true), -1);
  EXPECT_EQ(platform::ShowCursor(true), 0);
  headless::SetCursor(700, -3);
  headless::SetButton(true);
  platform::GetCursorPos(x, y);
  EXPECT_EQ(x, 700);
  EXPECT_EQ(y, -3);
  EXPECT_TRUE(platform::LeftButtonDown());
}

// --- the trace ---

TEST_F(HeadlessTest, TraceLinesAreJsonInTheOrderEventsHappen) {
  const std::string dir = MakeTempDir("trace-format");
  const std::string trace = dir + "/trace.jsonl";
  platform::Options options;
  options.startTick = 1000;
  options.trace = trace;
  Start(options);
  ASSERT_TRUE(platform::Tracing());

  const int deck[3] = {5, 0, -1};
  platform::TraceEvent("sample")
      .Int("neg", -5)
      .Int("big", 4294967296LL)
      .Num("f", 0.1f)
      .Num("whole", 2.0)
      .Num("inf", INFINITY)
      .Str("s", "a\"b\\c\n\x01日本")
      .Bool("yes", true)
      .Bool("no", false)
      .Ints("deck", deck, 3)
      .Ints("none", deck, 0);
  platform::Sleep(1);
  platform::Sleep(1);
  platform::MessageBox("TITLE.bmpが見つかりません", "DEBUG");
  platform::PlayWave(4, nullptr, 0);
  platform::Music(platform::MusicCommand::Open, "MP3/tw065.mp3");
  platform::Music(platform::MusicCommand::Replay, "MP3/tw065.mp3");
  platform::Shutdown();

  std::vector<std::string> lines;
  std::string text = ReadFile(trace);
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    ASSERT_NE(end, std::string::npos) << "every line ends in a newline";
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0],
            "{\"pass\":0,\"tick\":1000,\"event\":\"sample\",\"neg\":-5,\"big\":4294967296,"
            "\"f\":0.100000001,\"whole\":2,\"inf\":null,\"s\":\"a\\\"b\\\\c\\n\\u0001日本\","
            "\"yes\":true,\"no\":false,\"deck\":[5,0,-1],\"none\":[]}");
  EXPECT_EQ(lines[1],
            "{\"pass\":2,\"tick\":1031,\"event\":\"message\",\"caption\":\"DEBUG\","
            "\"text\":\"TITLE.bmpが見つかりません\"}");
  EXPECT_EQ(lines[2], "{\"pass\":2,\"tick\":1031,\"event\":\"sound\",\"index\":4}");
  EXPECT_EQ(lines[3],
            "{\"pass\":2,\"tick\":1031,\"event\":\"music\",\"command\":\"open\","
            "\"path\":\"MP3/tw065.mp3\"}");
  EXPECT_EQ(lines[4], "{\"pass\":2,\"tick\":1031,\"event\":\"music\",\"command\":\"replay\"}");

  // The shared reader turns the same lines back into fields.
  auto parsed = testsupport::ReadTrace(trace);
  ASSERT_EQ(parsed.size(), 5u);
  EXPECT_EQ(parsed[0]["s"], "a\"b\\c\n\x01日本");
  EXPECT_EQ(parsed[0]["deck"], "[5,0,-1]");
  EXPECT_EQ(parsed[0]["f"], "0.100000001");
  EXPECT_EQ(testsupport::Events(parsed, "music").size(), 2u);
  EXPECT_EQ(testsupport::Events(parsed, "message")[0]["text"], "TITLE.bmpが見つかりません");
}

TEST_F(HeadlessTest, NoTraceMeansNoTracing) {
  Start(platform::Options());
  EXPECT_FALSE(platform::Tracing());
  platform::TraceEvent("ignored").Int("a", 1).Str("b", "c");
}

TEST(TraceFileTest, AnUnwritableTraceStopsStartUp) {
  platform::Options options;
  options.headless = true;
  options.trace = "/no/such/folder/trace.jsonl";
  std::string error;
  EXPECT_FALSE(platform::Init(options, error));
  EXPECT_NE(error.find("/no/such/folder/trace.jsonl"), std::string::npos) << error;
}

// --- shots ---

// A PNG as the shot writer makes it (8-bit RGB, filter 0 on every row), back to pixels;
// empty when it is not one.
testsupport::Image ReadPng(const std::string& path) {
  testsupport::Image image;
  const std::string b = ReadFile(path);
  if (b.size() < 8 || b.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0) return image;
  auto be32 = [&](size_t at) {
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3]));
  };
  std::string idat;
  int width = 0;
  int height = 0;
  for (size_t at = 8; at + 12 <= b.size();) {
    const std::uint32_t length = be32(at);
    const std::string type = b.substr(at + 4, 4);
    if (at + 12 + length > b.size()) return image;
    const std::string data = b.substr(at + 8, length);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(b.data() + at + 4), length + 4);
    if (crc != be32(at + 8 + length)) return image;
    if (type == "IHDR") {
      width = static_cast<int>(be32(at + 8));
      height = static_cast<int>(be32(at + 12));
      if (data[8] != 8 || data[9] != 2 || data[12] != 0) return image;
    } else if (type == "IDAT") {
      idat += data;
    } else if (type == "IEND") {
      break;
    }
    at += 12 + length;
  }
  if (width <= 0 || height <= 0) return image;
  const size_t stride = 1 + static_cast<size_t>(width) * 3;
  std::vector<Bytef> raw(stride * height);
  uLongf rawSize = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(idat.data()),
                 static_cast<uLong>(idat.size())) != Z_OK ||
      rawSize != raw.size()) {
    return image;
  }
  image.width = width;
  image.height = height;
  for (int y = 0; y < height; ++y) {
    const Bytef* row = raw.data() + stride * y;
    if (row[0] != 0) return testsupport::Image();
    for (int x = 0; x < width; ++x) {
      const Bytef* p = row + 1 + 3 * x;
      image.pixels.push_back((static_cast<std::uint32_t>(p[0]) << 16) |
                             (static_cast<std::uint32_t>(p[1]) << 8) | p[2]);
    }
  }
  return image;
}

std::vector<std::uint32_t> Pattern(std::uint32_t seed) {
  std::vector<std::uint32_t> frame(640 * 480);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      frame[y * 640 + x] = ((x * 7 + seed) & 0xFF) << 16 | ((y * 3 + seed) & 0xFF) << 8 |
                           ((x ^ y ^ seed) & 0xFF);
    }
  }
  return frame;
}

TEST_F(HeadlessTest, ShotsSaveTheLastFramePresentedInTheirPass) {
  const std::string dir = MakeTempDir("shots");
  platform::Options options;
  options.shots = {{0, dir + "/p0.bmp"},  {1, dir + "/p1.png"}, {2, dir + "/p2.bmp"},
                   {3, dir + "/p3.PNG"},  {9, dir + "/never.bmp"}};
  Start(options);
  const auto a = Pattern(1);
  const auto b = Pattern(2);
  const auto c = Pattern(3);
  platform::Present(a.data(), 640, 480);
  platform::Sleep(1);  // end of pass 0
  platform::Present(b.data(), 640, 480);
  platform::Present(c.data(), 640, 480);
  platform::Sleep(1);  // end of pass 1: the last present counts
  platform::Sleep(1);  // pass 2 presented nothing: the frame before
  platform::Shutdown();  // the run ends in pass 3

  const auto p0 = testsupport::ReadBmp(dir + "/p0.bmp");
  ASSERT_EQ(p0.width, 640);
  ASSERT_EQ(p0.height, 480);
  EXPECT_EQ(p0.pixels, a);
  const auto p1 = ReadPng(dir + "/p1.png");
  ASSERT_EQ(p1.width, 640);
  ASSERT_EQ(p1.height, 480);
  EXPECT_EQ(p1.pixels, c);
  EXPECT_EQ(testsupport::ReadBmp(dir + "/p2.bmp").pixels, c);
  EXPECT_EQ(ReadPng(dir + "/p3.PNG").pixels, c);
  EXPECT_FALSE(testsupport::FileExists(dir + "/never.bmp"));
}

TEST_F(HeadlessTest, ShotsOfOddSizesKeepTheirRowsApart) {
  const std::string dir = MakeTempDir("shots-odd");
  platform::Options options;
  options.shots = {{0, dir + "/odd.bmp"}, {0, dir + "/odd.png"}};
  Start(options);
  // Width 3: 9 bytes a row, padded to 12 in the BMP.
  const std::vector<std::uint32_t> frame = {0xFF0000, 0x00FF00, 0x0000FF,
                                            0x010203, 0xFFFFFF, 0x000000};
  platform::Present(frame.data(), 3, 2);
  platform::Shutdown();
  const auto bmp = testsupport::ReadBmp(dir + "/odd.bmp");
  ASSERT_EQ(bmp.width, 3);
  ASSERT_EQ(bmp.height, 2);
  EXPECT_EQ(bmp.pixels, frame);
  EXPECT_EQ(ReadFile(dir + "/odd.bmp").size(), 54u + 12u * 2u);
  EXPECT_EQ(ReadPng(dir + "/odd.png").pixels, frame);
}

}  // namespace
