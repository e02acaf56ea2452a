// The high score as a file: four bytes, signed little-endian on every machine.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/files/files.h"

namespace platform {

namespace {

bool WriteAll(int fd, const unsigned char* bytes, size_t size) {
  size_t put = 0;
  while (put < size) {
    const ssize_t n = write(fd, bytes + put, size - put);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    put += static_cast<size_t>(n);
  }
  return true;
}

// A renamed file only keeps its new name across a power cut once the folder that
// holds it has been flushed too. Some file systems cannot flush a folder; the record
// is in place all the same, so that is not a failure.
void FlushFolder(const std::filesystem::path& folder) {
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The temporary file's bytes, flushed to the disk; false with errno set.
bool WriteTemp(const std::string& temp, std::int32_t value) {
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const std::uint32_t v = static_cast<std::uint32_t>(value);
  const unsigned char bytes[4] = {static_cast<unsigned char>(v & 0xFF),
                                  static_cast<unsigned char>((v >> 8) & 0xFF),
                                  static_cast<unsigned char>((v >> 16) & 0xFF),
                                  static_cast<unsigned char>((v >> 24) & 0xFF)};
  if (!WriteAll(fd, bytes, sizeof bytes) || fsync(fd) != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return false;
  }
  return close(fd) == 0;
}

RecordState Unreadable(const std::string& file, const char* reason, std::string& problem) {
  problem = "cannot read the high score in '" + file + "' (" + reason +
            "): this run leaves it as it is and keeps no new record";
  return RecordState::Unreadable;
}

}  // namespace

// Only a file that is not there (or too short to hold a record) means "no record". One
// that is there but cannot be read is reported, and the run leaves it alone.
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
  long got = -1;
  if (reason.empty()) {
    got = ReadUpTo(fd, bytes, sizeof bytes);
    if (got < 0) reason = std::strerror(errno);
  }
  close(fd);
  if (got < 0) return Unreadable(file, reason.c_str(), problem);
  if (got < 4) return RecordState::Absent;
  const std::uint32_t v = static_cast<std::uint32_t>(bytes[0]) |
                          (static_cast<std::uint32_t>(bytes[1]) << 8) |
                          (static_cast<std::uint32_t>(bytes[2]) << 16) |
                          (static_cast<std::uint32_t>(bytes[3]) << 24);
  value = static_cast<std::int32_t>(v);
  return RecordState::Read;
}

// Written beside the real file and renamed over it, so a crash at any moment leaves
// either the old record or the new one, never a torn file. A record that cannot be
// kept is told in `problem`, and no temporary file stays behind.
bool WriteRecordFile(const std::string& file, std::int32_t value, std::string& problem) {
  const std::filesystem::path folder = std::filesystem::path(file).parent_path();
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
  const std::string temp = file + ".tmp";
  errno = 0;
  if (!WriteTemp(temp, value) || std::rename(temp.c_str(), file.c_str()) != 0) {
    const int saved = errno;
    unlink(temp.c_str());
    problem = "cannot save the high score in '" + file + "' (" + std::strerror(saved) + ")";
    return false;
  }
  FlushFolder(folder);
  return true;
}

}  // namespace platform
