// Paths and names reach the terminal only through Printable: a file name may hold any
// byte but '/' and NUL, and a newline or an escape sequence in one would break a message
// into lines or drive the player's terminal.
#include <cstdio>
#include <string>

#include "platform/files/files.h"

namespace platform {

namespace {

void Escape(std::string& out, unsigned char byte) {
  char text[5];
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  out += text;
}

// The length of the well-formed UTF-8 sequence at text[at] (shortest form, no
// surrogates, at most U+10FFFF), or 0.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[at + i]);
    if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return 0;
  }
  return length;
}

}  // namespace

// Control characters (C0, DEL, and C1, which some terminals obey even as UTF-8) and
// bytes that are not UTF-8 become \xNN; everything else, Japanese included, stays.
std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
      ++at;
      continue;
    }
    const std::size_t length = c < 0x80 ? 0 : Utf8Length(text, at);
    const bool c1 = c == 0xC2 && length == 2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
    if (length == 0 || c1) {
      Escape(out, c);
      ++at;
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  return out;
}

}  // namespace platform
