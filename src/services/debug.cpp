#include "services/debug.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/core/platform.h"

void DebugMessageBox(const char* format, ...) {
  va_list args;
  va_list again;
  va_start(args, format);
  va_copy(again, args);
  std::string text(static_cast<std::size_t>(std::max(0, std::vsnprintf(nullptr, 0, format, args))), '\0');
  va_end(args);
  std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  platform::MessageBox(text.c_str(), "DEBUG");
}
