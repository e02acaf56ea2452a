// The one reader of whole numbers typed by a person, on the command line or in a script.
// strtoll would also take leading spaces, a plus sign and, with base 0, hex; a number
// that looks like one thing and means another is refused instead.
#include <string>

#include "platform/files/files.h"

namespace platform {

bool ParseWholeNumber(const std::string& text, long long low, long long high, long long& out) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::size_t first = negative ? 1 : 0;
  if (text.size() == first) return false;
  // Accumulated as a negative number, whose range reaches one further than the positive.
  constexpr long long kMin = -9223372036854775807LL - 1;
  long long value = 0;
  for (std::size_t i = first; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    const int digit = c - '0';
    if (value < (kMin + digit) / 10) return false;
    value = value * 10 - digit;
  }
  if (!negative) {
    if (value == kMin) return false;
    value = -value;
  }
  if (value < low || value > high) return false;
  out = value;
  return true;
}

}  // namespace platform
