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

#include "platform/platform.h"

namespace platform {

bool ReadWholeFile(const char* path, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                   std::string* why) {
  out = std::vector<std::uint8_t>();
  std::string reason;
  const int fd = path ? open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
  struct stat info;
  if (fd < 0 || fstat(fd, &info) != 0) {
    reason = std::strerror(path ? errno : EINVAL);
  } else if (S_ISDIR(info.st_mode)) {
    reason = std::strerror(EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    reason = "not a plain file";
  } else if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
    reason = "larger than " + std::to_string(maxBytes) + " bytes";
  } else {
    try {
      out.assign(static_cast<std::size_t>(info.st_size), 0);
    } catch (const std::bad_alloc&) {
      reason = std::strerror(ENOMEM);
    }
  }
  // The size is taken up front: a file that shrinks meanwhile leaves the rest zero.
  for (std::size_t got = 0; reason.empty() && got < out.size();) {
    const ssize_t n = read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) reason = std::strerror(errno);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (fd >= 0) close(fd);
  if (reason.empty()) return true;
  out = std::vector<std::uint8_t>();
  if (why) *why = reason;
  return false;
}

}  // namespace platform
