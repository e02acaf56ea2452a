// Small files replaced whole: the high score, the settings. A private temporary file
// beside the target, flushed, renamed over it, and the folder flushed, so that a crash
// at any moment leaves the old file or the new one, never a torn one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/files/files.h"

namespace platform {

namespace {

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t put = 0;
  while (put < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + put, bytes.size() - put);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = EIO;
      return false;
    }
    put += static_cast<std::size_t>(n);
  }
  return true;
}

// The mode the file at `path` has, or the one a file made with open(..., 0666) would
// get: mkstemp gives 0600, which would hide a record shared by a family's players.
mode_t ModeFor(const std::string& path) {
  struct stat old {};
  if (stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) return old.st_mode & 0777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// mkstemp opens with O_CREAT | O_EXCL under a name nobody else chose: it never goes
// through a link, a FIFO or a device that lies in wait, and two writers never share a
// temporary file, so neither can rename the other's away.
bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         std::string& problem) {
  const std::string folder = FolderOf(path);
  const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) {
    problem = std::strerror(errno);
    return false;
  }
  std::string temp = folder + "/." + NameOf(path) + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    problem = std::strerror(errno);
    close(folderFd);
    return false;
  }
  bool kept = fchmod(fd, ModeFor(path)) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
  int error = kept ? 0 : errno;
  if (close(fd) != 0 && kept) {
    kept = false;
    error = errno;
  }
  if (kept && rename(temp.c_str(), path.c_str()) != 0) {
    kept = false;
    error = errno;
  }
  if (!kept) {
    unlink(temp.c_str());
    problem = std::strerror(error);
  } else {
    // A renamed file keeps its new name across a power cut only once its folder is
    // flushed too. Some file systems cannot flush a folder; the file is in place all
    // the same, so that is no failure.
    fsync(folderFd);
  }
  close(folderFd);
  return kept;
}

}  // namespace platform
