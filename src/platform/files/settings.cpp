#include "platform/files/settings.h"

#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/files/files.h"

namespace platform {

namespace {

// Far larger than any file this program writes: a bigger one is not ours.
constexpr std::size_t kMaxBytes = 4096;

bool ParseSwitch(const std::string& value, bool& out) {
  if (value != "on" && value != "off") return false;
  out = value == "on";
  return true;
}

bool ParseVolume(const std::string& value, int& out) {
  if (value.empty() || value.size() > 3) return false;
  int v = 0;
  for (const char c : value) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v > 100) return false;
  out = v;
  return true;
}

}  // namespace

std::string SettingsFileFor(const std::string& recordFile) {
  return (std::filesystem::path(recordFile).parent_path() / "settings.txt").string();
}

std::string FormatSettings(const Settings& settings) {
  return std::string("music ") + (settings.music ? "on" : "off") + "\nsound " +
         (settings.sound ? "on" : "off") + "\nvolume " + std::to_string(settings.volume) + "\n";
}

bool ParseSettings(const std::string& text, Settings& out, std::string& problem) {
  Settings read;
  std::istringstream lines(text);
  std::string line;
  std::vector<std::string> seen;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (line.empty()) continue;
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    bool ok = false;
    if (key == "music") ok = ParseSwitch(value, read.music);
    if (key == "sound") ok = ParseSwitch(value, read.sound);
    if (key == "volume") ok = ParseVolume(value, read.volume);
    for (const std::string& earlier : seen) ok = ok && earlier != key;
    if (!ok) {
      problem =
          "line " + std::to_string(number) + " is not a setting: '" + line.substr(0, 40) + "'";
      return false;
    }
    seen.push_back(key);
  }
  out = read;
  return true;
}

bool ReadSettingsFile(const std::string& file, Settings& out, std::string& problem) {
  problem.clear();
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) return false;
  std::vector<std::uint8_t> bytes;
  std::string why;
  if (!ReadWholeFile(file.c_str(), kMaxBytes, bytes, &why)) {
    problem = "settings '" + file + "' ignored: " + (why.empty() ? "cannot be read" : why);
    return false;
  }
  std::string reason;
  if (!ParseSettings(std::string(bytes.begin(), bytes.end()), out, reason)) {
    problem = "settings '" + file + "' ignored: " + reason;
    return false;
  }
  return true;
}

bool WriteSettingsFile(const std::string& file, const Settings& settings, std::string& problem) {
  std::string why;
  if (WriteFileAtomically(file, FormatSettings(settings), why)) return true;
  problem = "cannot keep the settings in '" + file + "': " + why;
  return false;
}

}  // namespace platform
