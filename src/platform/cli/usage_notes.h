// What --help and the manual page tell besides the options: the keys, the player's files
// and the exit statuses, written once here so that the two never disagree (the README's
// tables say the same in its own layout).
#pragma once

#include <string>

namespace platform {

enum class NoteTopic { Keys, Files, ExitStatus };

// The topic as --help prints it: a heading, then each term with its text indented.
std::string HelpNotes(NoteTopic topic);
// The topic as manual page paragraphs (.TP), without a heading.
std::string ManualNotes(NoteTopic topic);
// Text for a roff page: a minus where a word or option starts, and a leading dot or
// quote kept from being read as a request.
std::string Roff(const std::string& text);

}  // namespace platform
