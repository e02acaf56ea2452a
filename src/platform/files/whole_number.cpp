// The one reader of whole numbers typed by a person, on the command line or in a script.
// from_chars takes an optional minus and decimal digits only: no spaces, no plus sign,
// no other base, so a number that looks like one thing never means another.
#include <charconv>
#include <string>

#include "platform/files/files.h"

namespace platform {

bool ParseWholeNumber(const std::string& text, long long low, long long high, long long& out) {
  long long value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || value < low || value > high) return false;
  out = value;
  return true;
}

}  // namespace platform
