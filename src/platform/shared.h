// The few words the door (core/platform.h) and the files room below it both speak: the
// record's states and the whole-file reader the game's loaders use. Nothing else
// belongs here: the game reaches everything else through the door alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The stored high score, four bytes, a signed little-endian 32-bit value: none kept (or
// fewer than four bytes), read, or there but unreadable, which the run must leave alone.
enum class RecordState { Absent, Read, Unreadable };
// What became of a record to save: written, not needed because the store already holds
// it or a larger one (or the run keeps no record), lost, or not tried yet because
// another game holds the store.
enum class RecordSave { Written, AlreadyHeld, Failed, Busy };

// The whole of a plain file of at most `maxBytes`; false (`out` empty, the reason in
// `why` when given) when it is missing, not a plain file, larger, or cannot be read.
bool ReadWholeFile(const char* path, std::size_t maxBytes, std::vector<std::uint8_t>& out,
                   std::string* why = nullptr);

}  // namespace platform
