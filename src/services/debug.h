// The printf-style message box through which loading and start-up errors reach the user.
#pragma once

// Formats into 255 characters at most (longer text is cut, never overflowed) and shows
// it in a modal box captioned "DEBUG".
void DebugMessageBox(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
