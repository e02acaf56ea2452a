// The game's own random generator, kept apart from the C library's so that every
// game, on every machine, deals the same deck: 32-bit state, each call
// state = state * 214013 + 2531011 (mod 2^32), result (state >> 16) & 0x7FFF.
// The board is its only user; CGame seeds it with 100 at each game start.
#pragma once

#include <cstdint>

namespace crt {

void srand(unsigned seed);
// 0 to 32767.
int rand();
// How many times rand has run since the program started (or the last reset): lets the
// tests count the numbers a shuffle or a spawn uses up.
std::uint64_t RandCallCount();
void ResetRandCallCount();

}  // namespace crt
