#include "support/test_support.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// Folders handed out by MakeTempDir, removed when the test program ends. Each name
// carries the process id: ctest runs several cases of one program side by side.
struct TempDirs {
  std::vector<std::string> dirs;
  ~TempDirs() {
    std::error_code ignored;
    for (const std::string& dir : dirs) fs::remove_all(dir, ignored);
  }
};

std::string Quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// One trace line as the platform writes it: a flat object whose values are strings,
// numbers, literals or arrays of integers. The writer escapes only control characters,
// so every \u escape is a single byte.
bool ParseLine(const std::string& s, TraceLine& out) {
  size_t i = 0;
  const auto text = [&](std::string& v) {
    if (s[i++] != '"') return false;
    while (i < s.size() && s[i] != '"') {
      char c = s[i++];
      if (c == '\\' && i < s.size()) {
        c = s[i++];
        if (c == 'u') {
          c = static_cast<char>(std::strtoul(s.substr(i, 4).c_str(), nullptr, 16));
          i += 4;
        } else if (const char* e = c ? std::strchr("n\nr\rt\tb\bf\f", c) : nullptr) c = e[1];
      }
      v.push_back(c);
    }
    return i++ < s.size();
  };
  if (s.empty() || s[i++] != '{') return false;
  while (i < s.size() && s[i] != '}') {
    std::string key, value;
    if (!text(key) || i >= s.size() || s[i++] != ':' || i >= s.size()) return false;
    if (s[i] == '"') {
      if (!text(value)) return false;
    } else {
      const size_t end = s[i] == '[' ? s.find(']', i) + 1 : s.find_first_of(",}", i);
      if (end == 0 || end == std::string::npos) return false;
      value = s.substr(i, end - i);
      i = end;
    }
    out[key] = value;
    if (i < s.size() && s[i] == ',') ++i;
  }
  return i < s.size();
}

const char* const kAsNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

int Status(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

std::string MakeTempDir(const std::string& name) {
  static TempDirs temps;
  std::string safe = name;
  for (char& c : safe) c = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' ? c : '_';
  const std::string dir =
      (fs::current_path() / ("tmp-" + safe + "-" + std::to_string(getpid()))).string();
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  fs::create_directories(dir);
  if (std::count(temps.dirs.begin(), temps.dirs.end(), dir) == 0) temps.dirs.push_back(dir);
  return dir;
}

void CopyData(const std::string& dir) {
  for (const char* sub : {"BMP", "WAV", "MP3"}) {
    const fs::path from = fs::path(TONKALO_DATA_DIR) / sub;
    if (fs::exists(from))
      fs::copy(from, fs::path(dir) / sub, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
}

std::string MakeGameDir(const std::string& name) {
  const std::string dir = MakeTempDir(name);
  CopyData(dir);
  return dir;
}

InFolder::InFolder(const std::string& dir) : old(fs::current_path().string()) {
  EXPECT_EQ(chdir(dir.c_str()), 0) << dir;
}
InFolder::~InFolder() { EXPECT_EQ(chdir(old.c_str()), 0) << old; }

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

std::string RecordBytes(std::int32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i));
  return bytes;
}

RunResult RunProgram(const std::string& dir, const std::vector<std::string>& args,
                     const RunHow& how) {
  std::string command = "cd " + Quoted(dir) + " && exec timeout -k 5 " +
                        std::to_string(how.timeoutSeconds) + " " +
                        (how.asOtherUser ? kAsNobody : "") + Quoted(TONKALO_BIN);
  for (const std::string& a : args) command += " " + Quoted(a);
  command += " 2>&1 >/dev/null </dev/null";
  RunResult result;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof(buf), pipe)) > 0;) result.stderrText.append(buf, n);
  result.exitStatus = Status(pclose(pipe));
  return result;
}

void ExpectSaidOnce(const RunResult& run, const std::string& line) {
  EXPECT_EQ(std::count(run.stderrText.begin(), run.stderrText.end(), '\n'), 1)
      << run.stderrText;
  EXPECT_EQ(run.stderrText.rfind("tonkalo: " + line, 0), 0u) << run.stderrText;
}

std::string OtherUserWhyNot() {
  if (getuid() != 0) return "the tests do not run as root, so they cannot switch users";
  if (std::system((std::string(kAsNobody) + "true >/dev/null 2>&1").c_str()) != 0) {
    return "this machine does not let root switch to the user nobody (setpriv failed)";
  }
  // A checkout under a private folder (say /root) is closed to other users.
  const std::string reach = "cd " + Quoted(fs::current_path().string()) + " && test -x " +
                            Quoted(TONKALO_BIN);
  const std::string run = std::string(kAsNobody) + "sh -c " + Quoted(reach) + " >/dev/null 2>&1";
  return std::system(run.c_str()) == 0
             ? ""
             : "the user nobody cannot reach the program (a folder above it is closed to others)";
}

int Spawn(const std::string& dir, const std::vector<std::string>& args,
          const std::string& errFile) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int null = open("/dev/null", O_RDWR);
  if (err < 0 || null < 0 || chdir(dir.c_str()) != 0) _exit(126);
  dup2(null, 0);
  dup2(null, 1);
  dup2(err, 2);
  std::vector<char*> argv = {const_cast<char*>(TONKALO_BIN)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(TONKALO_BIN, argv.data());
  _exit(127);
}

int Wait(int pid, long* maxResidentKb) {
  int status = 0;
  struct rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid) return -1;
  if (maxResidentKb) *maxResidentKb = usage.ru_maxrss;
  return Status(status);
}

std::vector<TraceLine> ReadTrace(const std::string& path) {
  std::vector<TraceLine> lines;
  std::ifstream in(path);
  for (std::string text; std::getline(in, text);) {
    TraceLine line;
    if (ParseLine(text, line)) lines.push_back(line);
  }
  return lines;
}

std::vector<TraceLine> Events(const std::vector<TraceLine>& trace, const std::string& event) {
  std::vector<TraceLine> out;
  for (const TraceLine& line : trace) {
    if (auto it = line.find("event"); it != line.end() && it->second == event) out.push_back(line);
  }
  return out;
}

std::vector<std::uint32_t> DecodedPixels(const std::string& path) {
  std::vector<std::uint32_t> out;
  std::FILE* p = popen(("convert '" + path + "' -depth 8 rgb:- 2>/dev/null").c_str(), "r");
  unsigned char rgb[3];
  while (p && std::fread(rgb, 1, 3, p) == 3) out.push_back(rgb[0] << 16 | rgb[1] << 8 | rgb[2]);
  if (p) pclose(p);
  return out;
}

void Screen::Clear() {
  static const Screen blank;
  gdi::BitBlt(dc, 0, 0, 640, 480, blank.dc, 0, 0, gdi::SRCCOPY);
}

int Screen::Painted(int x0, int y0, int x1, int y1) const {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += At(x, y) != 0;
  return n;
}

std::array<int, 4> Screen::Bounds(std::uint32_t colour) const {
  std::array<int, 4> b{-1, -1, -1, -1};
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (At(x, y) == colour) b = {b[0] < 0 ? x : std::min(b[0], x), b[1] < 0 ? y : b[1], std::max(b[2], x), y};
  return b;
}

void StartHeadless(platform::Options options) {
  options.headless = true;
  std::string error;
  ASSERT_TRUE(platform::Init(options, error)) << error;
}

}  // namespace testsupport
