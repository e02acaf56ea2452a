#include "services/crand.h"

namespace crt {
namespace {

std::uint32_t state = 1;  // the C library's state before any srand
std::uint64_t calls = 0;

}  // namespace

void srand(unsigned seed) { state = static_cast<std::uint32_t>(seed); }

int rand() {
  ++calls;
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFFu);
}

std::uint64_t RandCallCount() { return calls; }

void ResetRandCallCount() { calls = 0; }

}  // namespace crt
