// The printf-style message box through which loading and start-up errors reach the user.
#pragma once

// Formats the text and shows it in a modal box captioned "DEBUG" (which keeps 255 bytes
// of it at most).
void DebugMessageBox(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
