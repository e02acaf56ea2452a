// Whole files for the loaders of pictures and sounds. Whatever lies at a path, the
// game neither blocks on it (a pipe) nor reads without end (a device) nor takes
// gigabytes for it (a huge or sparse file).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "platform/files/files.h"

namespace platform {

std::string PlainFileProblem(int fd, std::uint64_t& size) {
  struct stat info;
  if (fstat(fd, &info) != 0) return std::strerror(errno);
  if (S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
  if (!S_ISREG(info.st_mode)) return "not a plain file";
  size = static_cast<std::uint64_t>(info.st_size);
  return "";
}

long ReadUpTo(int fd, std::uint8_t* data, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = read(fd, data + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<long>(got);
}

bool ReadWholeFile(const char* path, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                   std::string* why) {
  out = std::vector<std::uint8_t>();
  const int fd = path ? open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
  std::uint64_t size = 0;
  std::string reason = fd < 0 ? std::strerror(path ? errno : EINVAL) : PlainFileProblem(fd, size);
  if (reason.empty() && size > maxBytes) {
    reason = "larger than " + std::to_string(maxBytes) + " bytes";
  } else if (reason.empty()) {
    try {
      out.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
      reason = std::strerror(ENOMEM);
    }
  }
  // The size is taken up front: a file that shrinks meanwhile leaves the rest zero.
  if (reason.empty() && ReadUpTo(fd, out.data(), out.size()) < 0) reason = std::strerror(errno);
  if (fd >= 0) close(fd);
  if (reason.empty()) return true;
  out = std::vector<std::uint8_t>();
  if (why) *why = reason;
  return false;
}

}  // namespace platform
