// The player's sound settings, kept between runs of the window in a small text file
// beside the record: one "key value" line each for music, sound (the effects) and
// volume. Only the window backend reads and writes it; headless runs never do.
#pragma once

#include <string>

namespace platform {

struct Settings {
  bool music = true;
  bool sound = true;
  int volume = 100;  // 0 to 100 in steps the keys make (any whole number is kept)
  // Lines of a newer version's keys, written back as they were.
  std::string newer;
  // The file could not be read or understood: this run never writes it.
  bool leaveFile = false;
};

// The settings file for a record kept in `recordFile`: in the same folder.
std::string SettingsFileFor(const std::string& recordFile);
// The file's text for `settings`.
std::string FormatSettings(const Settings& settings);
// Reads settings from the file's text; false, with why in `problem`, when a key this
// program knows has a value out of range or comes twice, or a line is no setting.
bool ParseSettings(const std::string& text, Settings& out, std::string& problem);
// The settings kept in `file`, or false with the defaults: with a line to say in
// `problem` (and `leaveFile` set) when there is a file that cannot be read or is
// damaged; with `problem` empty when there is none.
bool ReadSettingsFile(const std::string& file, Settings& out, std::string& problem);
// Replaces `file` atomically (a file left alone stays so), first making its folder when
// `makeFolder` (as the record's save does); false with the line to say in `problem`.
bool WriteSettingsFile(const std::string& file, const Settings& settings, bool makeFolder,
                       std::string& problem);

}  // namespace platform
