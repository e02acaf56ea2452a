#include "services/debug.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/core/platform.h"

namespace {

// A cut at 255 bytes can split a UTF-8 character; the box wants whole characters, so
// the dangling lead and continuation bytes of the last one go.
void DropPartialCharacter(char* text) {
  size_t length = std::strlen(text);
  size_t start = length;
  while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80) --start;
  if (start == 0) return;
  const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
  size_t needed = 1;
  if ((lead & 0xE0) == 0xC0) {
    needed = 2;
  } else if ((lead & 0xF0) == 0xE0) {
    needed = 3;
  } else if ((lead & 0xF8) == 0xF0) {
    needed = 4;
  }
  if (lead >= 0xC0 && length - (start - 1) < needed) text[start - 1] = '\0';
}

}  // namespace

void DebugMessageBox(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  const int full = std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  if (full >= static_cast<int>(sizeof(text))) DropPartialCharacter(text);
  platform::MessageBox(text, "DEBUG");
}
