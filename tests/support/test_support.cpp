#include "support/test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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
    for (const std::string& dir : dirs) {
      std::error_code ignored;
      fs::remove_all(dir, ignored);
    }
  }
};

TempDirs& Temps() {
  static TempDirs temps;
  return temps;
}

std::uint32_t Le(const std::string& b, size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) {
    v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
  }
  return v;
}

// A channel of a BI_BITFIELDS pixel scaled to 0..255.
std::uint32_t Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const std::uint32_t max = mask >> shift;
  return ((pixel & mask) >> shift) * 255 / max;
}

// The JSON of one trace line: a flat object whose values are strings, numbers,
// literals or arrays (kept as their text).
class LineParser {
 public:
  explicit LineParser(const std::string& text) : s_(text) {}

  bool Parse(TraceLine& out) {
    Skip();
    if (!Eat('{')) return false;
    Skip();
    if (Eat('}')) return true;
    for (;;) {
      std::string key;
      Skip();
      if (!String(key)) return false;
      Skip();
      if (!Eat(':')) return false;
      Skip();
      std::string value;
      if (Peek() == '"') {
        if (!String(value)) return false;
      } else if (!Raw(value)) {
        return false;
      }
      out[key] = value;
      Skip();
      if (Eat(',')) continue;
      return Eat('}');
    }
  }

 private:
  char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
  bool Eat(char c) {
    if (Peek() != c) return false;
    ++i_;
    return true;
  }
  void Skip() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r')) ++i_;
  }
  static void PutUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  bool Hex4(std::uint32_t& v) {
    if (i_ + 4 > s_.size()) return false;
    v = static_cast<std::uint32_t>(std::strtoul(s_.substr(i_, 4).c_str(), nullptr, 16));
    i_ += 4;
    return true;
  }
  bool String(std::string& out) {
    if (!Eat('"')) return false;
    while (i_ < s_.size()) {
      char c = s_[i_++];
      if (c == '"') return true;
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (i_ >= s_.size()) return false;
      char e = s_[i_++];
      switch (e) {
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'u': {
          std::uint32_t cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(i_, 2, "\\u") == 0) {
            i_ += 2;
            std::uint32_t low = 0;
            if (!Hex4(low)) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          PutUtf8(out, cp);
          break;
        }
        default: out.push_back(e); break;
      }
    }
    return false;
  }
  // A number, literal, array or object, as written.
  bool Raw(std::string& out) {
    const size_t begin = i_;
    int depth = 0;
    bool inString = false;
    for (; i_ < s_.size(); ++i_) {
      const char c = s_[i_];
      if (inString) {
        if (c == '\\') {
          ++i_;
        } else if (c == '"') {
          inString = false;
        }
        continue;
      }
      if (c == '"') {
        inString = true;
      } else if (c == '[' || c == '{') {
        ++depth;
      } else if (c == ']' || c == '}') {
        if (depth == 0) break;
        --depth;
      } else if (c == ',' && depth == 0) {
        break;
      }
    }
    out = s_.substr(begin, i_ - begin);
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
    return !out.empty() && depth == 0;
  }

  const std::string& s_;
  size_t i_ = 0;
};

}  // namespace

std::string MakeTempDir(const std::string& name) {
  std::string safe;
  for (char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    safe.push_back(plain ? c : '_');
  }
  const fs::path dir = fs::current_path() / ("tmp-" + safe + "-" + std::to_string(getpid()));
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  fs::create_directories(dir);
  const std::string path = dir.string();
  bool known = false;
  for (const std::string& d : Temps().dirs) known = known || d == path;
  if (!known) Temps().dirs.push_back(path);
  return path;
}

void CopyData(const std::string& dir) {
  for (const char* sub : {"BMP", "WAV", "MP3"}) {
    const fs::path from = fs::path(TONKALO_DATA_DIR) / sub;
    if (!fs::exists(from)) continue;
    fs::copy(from, fs::path(dir) / sub,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

RunResult RunProgram(const std::string& dir, const std::vector<std::string>& args) {
  RunResult result;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return result;
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return result;
  }
  if (pid == 0) {
    close(pipeFds[0]);
    dup2(pipeFds[1], STDERR_FILENO);
    close(pipeFds[1]);
    const int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
      dup2(devNull, STDIN_FILENO);
      dup2(devNull, STDOUT_FILENO);
      close(devNull);
    }
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(TONKALO_BIN));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(TONKALO_BIN, argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  char buf[4096];
  for (;;) {
    const ssize_t n = read(pipeFds[0], buf, sizeof(buf));
    if (n > 0) {
      result.stderrText.append(buf, static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    result.exitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.exitStatus = 128 + WTERMSIG(status);
  }
  return result;
}

std::vector<TraceLine> ReadTrace(const std::string& path) {
  std::vector<TraceLine> lines;
  std::ifstream in(path);
  std::string text;
  while (std::getline(in, text)) {
    if (text.empty()) continue;
    TraceLine line;
    if (LineParser(text).Parse(line)) lines.push_back(line);
  }
  return lines;
}

std::vector<TraceLine> Events(const std::vector<TraceLine>& trace, const std::string& event) {
  std::vector<TraceLine> out;
  for (const TraceLine& line : trace) {
    auto it = line.find("event");
    if (it != line.end() && it->second == event) out.push_back(line);
  }
  return out;
}

Image ReadBmp(const std::string& path) {
  const std::string b = ReadFile(path);
  Image image;
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return image;
  const std::uint32_t offset = Le(b, 10, 4);
  const std::uint32_t headerSize = Le(b, 14, 4);
  const std::int32_t width = static_cast<std::int32_t>(Le(b, 18, 4));
  const std::int32_t rawHeight = static_cast<std::int32_t>(Le(b, 22, 4));
  const std::uint32_t bits = Le(b, 28, 2);
  const std::uint32_t compression = Le(b, 30, 4);
  if (headerSize < 40 || width <= 0 || rawHeight == 0 || width > 16384 ||
      rawHeight > 16384 || rawHeight < -16384) {
    return image;
  }
  if (!(bits == 24 && compression == 0) && !(bits == 32 && (compression == 0 || compression == 3))) {
    return image;
  }
  std::uint32_t redMask = 0xFF0000, greenMask = 0xFF00, blueMask = 0xFF;
  if (compression == 3) {
    const size_t at = 14 + 40;  // masks follow a 40-byte header, or sit inside V4/V5
    if (b.size() < at + 12) return image;
    redMask = Le(b, at, 4);
    greenMask = Le(b, at + 4, 4);
    blueMask = Le(b, at + 8, 4);
  }
  const bool topDown = rawHeight < 0;
  const int height = topDown ? -rawHeight : rawHeight;
  const size_t rowBytes = (static_cast<size_t>(width) * bits / 8 + 3) & ~static_cast<size_t>(3);
  if (offset > b.size() || b.size() - offset < rowBytes * static_cast<size_t>(height)) return image;

  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const size_t row = offset + rowBytes * static_cast<size_t>(topDown ? y : height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::uint32_t value = 0;
      if (bits == 24) {
        value = Le(b, row + static_cast<size_t>(x) * 3, 3);
      } else {
        const std::uint32_t p = Le(b, row + static_cast<size_t>(x) * 4, 4);
        value = (Channel(p, redMask) << 16) | (Channel(p, greenMask) << 8) | Channel(p, blueMask);
      }
      image.pixels[static_cast<size_t>(y) * width + x] = value & 0xFFFFFF;
    }
  }
  return image;
}

}  // namespace testsupport
