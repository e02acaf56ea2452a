// Folder platform/files/: the program's own files, read and written with the standard
// library and POSIX only: whole files for the loaders, the high-score record, input
// scripts, and the pictures that shots write. May include nothing else of the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The whole of a plain file of at most `maxBytes`; false (`out` empty, the reason in
// `why` when given) when it is missing, not a plain file, larger, or cannot be read.
bool ReadWholeFile(const char* path, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                   std::string* why = nullptr);
// Why the open file `fd` is no plain file to read (fstat's error, a folder, a device or
// pipe); empty when it is one, with its `size` in bytes.
std::string PlainFileProblem(int fd, std::uint64_t& size);
// Up to `size` bytes from `fd`, riding over interrupted calls; how many (fewer at the
// end of the file), or -1 on an error (errno set).
long ReadUpTo(int fd, std::uint8_t* data, std::size_t size);

// The stored high score: four bytes, a signed little-endian 32-bit value.
enum class RecordState { Absent, Read, Unreadable };
// Reads the record in `file` into `value`; Absent (value 0) when none is kept or it
// holds fewer than four bytes; Unreadable, with the line to say in `problem`, when one
// is there that cannot be read, which the run must then leave alone.
RecordState ReadRecordFile(const std::string& file, std::int32_t& value, std::string& problem);
// Replaces the record in `file` so that a crash at any moment leaves the old or the new
// value; false, with the line to say in `problem`, when it could not be kept.
bool WriteRecordFile(const std::string& file, std::int32_t value, std::string& problem);

// Replaces `path` with `bytes` so that a crash at any moment leaves the old file or the
// new one: a private temporary file beside it (never opened through a link or a FIFO),
// flushed, then renamed over it; the temporary file is removed on every failure. False
// with the reason in `problem`.
bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         std::string& problem);

// One command of an input script.
struct ScriptCommand {
  enum Kind { Move, Down, Up, Close } kind;
  long long pass;
  int x = 0;
  int y = 0;
};
// Reads a script file; false with "FILE:LINE: reason" on the first malformed line, or
// the file and why it cannot be read.
bool ReadScript(const std::string& path, std::vector<ScriptCommand>& out,
                std::string& error);
// The same for a script's text; `path` only names it in the messages.
bool ParseScript(const std::string& text, const std::string& path,
                 std::vector<ScriptCommand>& out, std::string& error);

// Picture files for shots: 24-bit BMP or 8-bit RGB PNG from 0x00RRGGBB rows.
bool WriteBmp24(const std::string& path, const std::uint32_t* pixels, int width,
                int height);
bool WritePng(const std::string& path, const std::uint32_t* pixels, int width,
              int height);

}  // namespace platform
