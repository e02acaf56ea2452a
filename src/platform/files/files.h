// The program's own files: whole files for the loaders, the high-score record, input
// scripts and the plain numbers they hold, and the pictures that shots write (the
// platform's rooms: HACKING.md).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/shared.h"

namespace platform {

// Why the open file `fd` is no plain file to read (fstat's error, a folder, a device or
// pipe); empty when it is one, with its `size` in bytes.
std::string PlainFileProblem(int fd, std::uint64_t& size);
// Up to `size` bytes from `fd`, riding over interrupted calls; how many (fewer at the
// end of the file), or -1 on an error (errno set).
long ReadUpTo(int fd, std::uint8_t* data, std::size_t size);

// Text from outside (a path, a name the user typed) fit for one line of a message on a
// terminal: control characters and bytes that are not UTF-8 shown as \xNN.
std::string Printable(const std::string& text);
// The one walker of UTF-8: the code point at text[at], `at` moved past it. A byte that
// starts no well-formed sequence (shortest form, no surrogates, at most U+10FFFF) gives
// U+FFFD and moves `at` by one.
char32_t NextCodePoint(const std::string& text, std::size_t& at);

// Replaces the file at `path` with `bytes` so that a crash at any moment leaves the old
// or the new file: a private temporary file in the same folder (never opened through a
// link, FIFO or device), flushed, renamed over `path`, the folder flushed. False, with
// a one-line reason in `problem` and no temporary file left, when it could not be done.
bool WriteFileAtomically(const std::string& path, const std::string& bytes,
                         std::string& problem);

// Reads the record in `file` into `value`; Absent (value 0) when none is kept or it
// holds fewer than four bytes; Unreadable, with the line to say in `problem`, when one
// is there that cannot be read or holds more than four bytes, which the run must then
// leave alone.
RecordState ReadRecordFile(const std::string& file, std::int32_t& value, std::string& problem);
// Saves `value` in `file` unless the file, read once under a lock on its folder, holds
// as much or more (another game's record is never lowered) or cannot be read. Busy
// (nothing said) when another program holds the lock and there is no `wait`; with it,
// the save waits for the lock at most 10 s, for as long as `wait()` says true. The
// folder is made first only when `makeFolder` (the player's own data folder); a missing
// data folder is not made again. Failed with the line to say in `problem`.
RecordSave SaveRecordFile(const std::string& file, std::int32_t value, bool makeFolder,
                          const std::function<bool()>& wait, std::string& problem);
// Whether the folder of `recordFile` is one a save makes when it is missing: the
// player's own data folder, which no file is in until the first one is kept.
bool MakesRecordFolder(const std::string& recordFile);

// A whole number from `low` to `high` written plainly in decimal: an optional minus sign
// and digits, nothing before or after them (no spaces, no plus sign, no other base).
// The command line and the input scripts both read their numbers with it.
bool ParseWholeNumber(const std::string& text, long long low, long long high, long long& out);

// One command of an input script. Besides what a player's hand does (Move, Down, Up,
// Close), a script can hold everything else a window delivers, which is what a recorded
// game needs to replay exactly: the button as a pass samples it without a message
// (Button, x: 1 down, 0 up), a press or double click at a point (Click, DoubleClick),
// a resize (Size, x by y), the music's end notice (MusicEnd), and the clock's reading
// at a pass (Tick, `tick`).
struct ScriptCommand {
  enum Kind { Move, Down, Up, Close, Button, Click, DoubleClick, Size, MusicEnd, Tick } kind;
  long long pass;
  int x = 0;
  int y = 0;
  std::uint32_t tick = 0;
};
// What a file's first line is when it is no command (a replay's header): "" when it is
// right, or why not.
using FirstLine = std::function<std::string(const std::string& line)>;
// Reads a script file as a stream, in pass order (lines of one pass keep their order);
// false with "FILE:LINE: reason" on the first malformed line, or the file and why it
// cannot be read. Memory follows the commands, not the size of the file. A pass past
// the last of any game, or one with more commands than a pass may hold, is refused.
// With `first`, the first line is its to judge (at most 200 bytes of it).
bool ReadScript(const std::string& path, std::vector<ScriptCommand>& out, std::string& error,
                const FirstLine& first = nullptr);

// Picture files for shots: 24-bit BMP or 8-bit RGB PNG from 0x00RRGGBB rows.
bool WriteBmp24(const std::string& path, const std::uint32_t* pixels, int width,
                int height);
bool WritePng(const std::string& path, const std::uint32_t* pixels, int width,
              int height);

}  // namespace platform
