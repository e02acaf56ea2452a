// Whole small files replaced in one step (the player's settings).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/files.h"

namespace platform {

namespace {

bool WriteAll(int fd, const std::string& bytes) {
  size_t put = 0;
  while (put < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + put, bytes.size() - put);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    put += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& problem) {
  const std::filesystem::path target(path);
  const std::filesystem::path folder = target.parent_path();
  // mkstemp makes the name with O_EXCL: it never follows a link or opens a FIFO that
  // someone placed there.
  std::string pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    problem = std::strerror(errno);
    return false;
  }
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  // mkstemp's file is private to the owner; the kept file is as readable as any other.
  fchmod(fd, 0644);
  const bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  const int error = errno;
  if (close(fd) != 0 || !written || std::rename(name.data(), path.c_str()) != 0) {
    problem = std::strerror(written ? errno : error);
    unlink(name.data());
    return false;
  }
  const int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

}  // namespace platform
