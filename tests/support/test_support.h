// Helpers shared by the test files: temporary folders, running the headless program,
// reading its trace, and reading pictures back.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/raster/gdi.h"
#include "platform/core/startup.h"

namespace testsupport {

// A fresh empty folder under the test's working directory, removed at exit.
std::string MakeTempDir(const std::string& name);
// Copies the generated data folder (BMP, WAV, MP3) into dir.
void CopyData(const std::string& dir);
// MakeTempDir(name) holding a copy of the data.
std::string MakeGameDir(const std::string& name);
// Works in dir for its lifetime, then returns to the folder it was in.
struct InFolder {
  explicit InFolder(const std::string& dir);
  ~InFolder();
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;
  std::string old;
};
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// The four bytes highscore.dat holds for a record: signed, little-endian.
std::string RecordBytes(std::int32_t value);

struct RunResult {
  int exitStatus = -1;  // 128 + N when killed by signal N; 124 when it ran out of time
  std::string stderrText;
};
struct RunHow {
  bool asOtherUser = false;  // as the unprivileged user `nobody` (see OtherUserWhyNot)
  int timeoutSeconds = 600;  // nothing may hang: a run that takes longer is stopped
};
// Runs the program (TONKALO_BIN) with args in dir; standard error is captured.
RunResult RunProgram(const std::string& dir, const std::vector<std::string>& args,
                     const RunHow& how = {});
// Standard error holds exactly one line, and it starts with "tonkalo: " + line.
void ExpectSaidOnce(const RunResult& run, const std::string& line);
// Empty when runs can be made as `nobody` (this process is root and may switch), else why not.
std::string OtherUserWhyNot();

// The program started in dir without waiting, standard error into errFile. Wait() gives
// its exit status as RunResult does, and its peak resident memory in kB.
int Spawn(const std::string& dir, const std::vector<std::string>& args,
          const std::string& errFile);
int Wait(int pid, long* maxResidentKb = nullptr);

// One trace line, flattened: "pass", "tick", "event" and the event's own fields as
// their JSON text (strings without quotes, arrays as "[1,2]").
using TraceLine = std::map<std::string, std::string>;
std::vector<TraceLine> ReadTrace(const std::string& path);
// The lines whose "event" is `event`.
std::vector<TraceLine> Events(const std::vector<TraceLine>& trace, const std::string& event);

// Any picture file as ImageMagick decodes it, 0x00RRGGBB rows top to bottom: a reader
// independent of the program's writers.
std::vector<std::uint32_t> DecodedPixels(const std::string& path);

// A 640 x 480 colour bitmap selected into its own memory context, black to start with.
struct Screen {
  gdi::HDC dc = gdi::CreateCompatibleDC(0);
  gdi::HBITMAP bmp = gdi::CreateCompatibleBitmap(0, 640, 480);
  Screen() { gdi::SelectObject(dc, bmp); }
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;
  ~Screen() { gdi::DeleteDC(dc), gdi::DeleteObject(bmp); }
  std::uint32_t At(int x, int y) const { return gdi::ColourBits(bmp, nullptr, nullptr)[y * 640 + x]; }
  void Clear();
  // Pixels in [x0, x1) x [y0, y1) that are not black.
  int Painted(int x0, int y0, int x1, int y1) const;
  // Left, top, right, bottom (inclusive) of the pixels of `colour`; all -1 for none.
  std::array<int, 4> Bounds(std::uint32_t colour) const;
};

// Starts the headless backend in this test program (options.headless forced on); a
// failed start fails the current test.
void StartHeadless(platform::Options options = {});

}  // namespace testsupport
