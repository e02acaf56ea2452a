// Small files replaced whole (the high score, the settings, replays): a private
// temporary file beside the target, flushed, renamed over it, and the folder flushed,
// so that a crash at any moment leaves the old file or the new one, never a torn one.
// And the high score as such a file: four bytes, signed little-endian on every machine.
// Every game the player runs shares it, so each save reads it once under a lock and
// never lowers what another game wrote.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <thread>

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


namespace {

RecordState Unreadable(const std::string& file, const std::string& reason,
                       std::string& problem) {
  problem = "cannot read the high score in '" + Printable(file) + "' (" + reason +
            "): this run leaves it as it is and keeps no new record";
  return RecordState::Unreadable;
}

std::string SaveProblem(const std::string& file, const std::string& reason) {
  return "cannot save the high score in '" + Printable(file) + "' (" + reason + ")";
}

// Another game holds the lock only while it reads and replaces four bytes; one that
// holds it for this long is stuck, and the save gives up rather than hang the exit.
constexpr auto kLockPatience = std::chrono::seconds(10);

// An exclusive lock on the record's folder (open at `fd`) for as long as it stays open.
// Folders and not a lock file: nothing more is left beside the record, and there is no
// file that a link or a FIFO could stand in for. Where the file system has no such locks
// (some network mounts) the save goes on without one, as it did before there were two
// games. Without `wait` a held lock is Busy at once; with it, the wait ends when `wait`
// says so.
RecordSave LockFolder(int fd, const std::function<bool()>& wait, std::string& reason) {
  const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return RecordSave::Written;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return RecordSave::Written;
    if (!wait) return RecordSave::Busy;
    if (!wait()) {
      reason = "the game was closed while another program held its folder locked";
      return RecordSave::Failed;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      reason = "another program has held its folder locked for " +
               std::to_string(kLockPatience.count()) + " s";
      return RecordSave::Failed;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string RecordBytes(std::int32_t value) {
  const std::uint32_t v = static_cast<std::uint32_t>(value);
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

}  // namespace

// Only a file that is not there (or too short to hold a record) means "no record". One
// that is there but cannot be read, or is longer than any record this game writes (some
// other program's file), is reported, and the run leaves it alone.
RecordState ReadRecordFile(const std::string& file, std::int32_t& value, std::string& problem) {
  value = 0;
  // Non-blocking, so that a pipe in its place cannot stall start-up.
  const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return RecordState::Absent;
    return Unreadable(file, std::strerror(errno), problem);
  }
  std::uint8_t bytes[4];
  std::uint64_t size = 0;
  std::string reason = PlainFileProblem(fd, size);
  if (reason.empty() && size > sizeof bytes) {
    reason = std::to_string(size) + " bytes, not the four of a record";
  }
  long got = -1;
  if (reason.empty()) {
    got = ReadUpTo(fd, bytes, sizeof bytes);
    if (got < 0) reason = std::strerror(errno);
  }
  close(fd);
  if (!reason.empty()) return Unreadable(file, reason, problem);
  if (got < 4) return RecordState::Absent;
  const std::uint32_t v = static_cast<std::uint32_t>(bytes[0]) |
                          (static_cast<std::uint32_t>(bytes[1]) << 8) |
                          (static_cast<std::uint32_t>(bytes[2]) << 16) |
                          (static_cast<std::uint32_t>(bytes[3]) << 24);
  value = static_cast<std::int32_t>(v);
  return RecordState::Read;
}

bool MakesRecordFolder(const std::string& recordFile) {
  std::error_code notThere;
  const std::filesystem::path folder = std::filesystem::path(recordFile).parent_path();
  return !folder.empty() && !std::filesystem::equivalent(folder, ".", notThere);
}

RecordSave SaveRecordFile(const std::string& file, std::int32_t value, bool makeFolder,
                          const std::function<bool()>& wait, std::string& problem) {
  std::filesystem::path folder = std::filesystem::path(file).parent_path();
  if (folder.empty()) folder = ".";
  if (makeFolder) {
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
      problem = SaveProblem(file, made.message());
      return RecordSave::Failed;
    }
  }
  const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) {
    problem = SaveProblem(file, std::strerror(errno));
    return RecordSave::Failed;
  }
  std::string reason;
  RecordSave result = LockFolder(folderFd, wait, reason);
  std::int32_t onDisk = 0;
  if (result == RecordSave::Written) {
    const RecordState state = ReadRecordFile(file, onDisk, problem);
    if (state == RecordState::Unreadable) {
      result = RecordSave::Failed;
    } else if (state == RecordState::Read && onDisk >= value) {
      result = RecordSave::AlreadyHeld;
    } else if (!WriteFileAtomically(file, RecordBytes(value), reason)) {
      result = RecordSave::Failed;
    }
  }
  if (!reason.empty()) problem = SaveProblem(file, reason);
  close(folderFd);  // and with it the lock
  return result;
}

}  // namespace platform
