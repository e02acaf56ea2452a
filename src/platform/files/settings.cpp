#include "platform/files/settings.h"

#include <algorithm>
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

// A key of a later version: a lower-case word, and a value without control characters.
bool IsNewerKey(const std::string& key, const std::string& value) {
  const auto plain = [](unsigned char c) { return c >= 0x20 && c != 0x7F; };
  return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
         }) && std::all_of(value.begin(), value.end(), plain);
}

}  // namespace

std::string SettingsFileFor(const std::string& recordFile) {
  return (std::filesystem::path(recordFile).parent_path() / "settings.txt").string();
}

std::string FormatSettings(const Settings& settings) {
  return std::string("music ") + (settings.music ? "on" : "off") + "\nsound " +
         (settings.sound ? "on" : "off") + "\nvolume " + std::to_string(settings.volume) + "\n" +
         settings.newer;
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
    if (key != "music" && key != "sound" && key != "volume" && IsNewerKey(key, value)) {
      read.newer += line + "\n";
      continue;
    }
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
  out = Settings();
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(file, error))) return false;
  std::vector<std::uint8_t> bytes;
  std::string why;
  if (ReadWholeFile(file.c_str(), kMaxBytes, bytes, &why) &&
      ParseSettings(std::string(bytes.begin(), bytes.end()), out, why)) {
    return true;
  }
  problem = "settings '" + Printable(file) + "' ignored: " + (why.empty() ? "cannot be read" : why) +
            "; this run leaves the file as it is";
  out.leaveFile = true;
  return false;
}

bool WriteSettingsFile(const std::string& file, const Settings& settings, bool makeFolder,
                       std::string& problem) {
  if (settings.leaveFile) return true;
  std::error_code made;
  if (makeFolder) std::filesystem::create_directories(std::filesystem::path(file).parent_path(), made);
  std::string why = made.message();
  if (!made && WriteFileAtomically(file, FormatSettings(settings), why)) return true;
  problem = "cannot keep the settings in '" + Printable(file) + "': " + why;
  return false;
}

}  // namespace platform
