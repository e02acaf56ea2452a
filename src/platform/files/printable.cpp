// Paths and names reach the terminal only through Printable: a file name may hold any
// byte but '/' and NUL, and a newline or an escape sequence in one would break a message
// into lines or drive the player's terminal.
#include <cstdio>
#include <string>

#include "platform/files/files.h"

namespace platform {

char32_t NextCodePoint(const std::string& text, std::size_t& at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  // The sequence's length and the range of its second byte: shortest form only, no
  // surrogates, nothing past U+10FFFF.
  std::size_t length = 4;
  unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  char32_t point = lead & (0x7F >> length);
  const bool fits = lead >= 0xC2 && lead <= 0xF4 && at + length <= text.size();
  for (std::size_t i = 1; fits && i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[at + i]);
    if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) break;
    point = (point << 6) | (c & 0x3F);
    if (i + 1 == length) {
      at += length;
      return point;
    }
  }
  ++at;
  return 0xFFFD;
}

// Control characters (C0, DEL, and C1, which some terminals obey even as UTF-8) and
// bytes that are not UTF-8 become \xNN; everything else, Japanese included, stays.
std::string Printable(const std::string& text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t start = at;
    const char32_t point = NextCodePoint(text, at);
    if ((point == 0xFFFD && at - start == 1) || point < 0x20 || (point >= 0x7F && point < 0xA0)) {
      for (std::size_t i = start; i < at; ++i) {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[i]));
        out += escaped;
      }
    } else {
      out.append(text, start, at - start);
    }
  }
  return out;
}

}  // namespace platform
