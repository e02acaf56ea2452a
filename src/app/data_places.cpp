#include "app/data_places.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The title picture, without which no start-up gets past loading: a folder that merely
// has a BMP/ folder (of photos, say) is not the game's, and a failed start there must
// leave nothing behind.
bool HoldsData(const fs::path& folder) {
  std::error_code ignored;
  return fs::is_regular_file(folder / "BMP" / "TITLE.bmp", ignored);
}

bool SameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ignored;
  return fs::equivalent(a, b, ignored);
}

// The XDG base-directory rules: a relative $XDG_DATA_HOME is ignored.
std::string RecordFolder(const DataSearch& search) {
  if (fs::path(search.dataHome).is_absolute()) return search.dataHome + "/tonkalo";
  if (!search.home.empty()) return search.home + "/.local/share/tonkalo";
  return "";
}

}  // namespace

std::string InstalledDataFolder(const std::string& executable) {
  if (executable.empty()) return "";
  // TONKALO_DATA_FROM_BIN: the install rules' data folder relative to their program
  // folder, so a tree installed under any prefix or DESTDIR finds its own data.
  return (fs::path(executable).parent_path() / TONKALO_DATA_FROM_BIN).lexically_normal().string();
}

bool FindDataPlaces(const DataSearch& search, DataPlaces& out, std::string& error) {
  const std::string installed = InstalledDataFolder(search.executable);
  fs::path folder;
  if (!search.dataDir.empty()) {
    folder = fs::path(search.workingDir) / search.dataDir;
  } else if (HoldsData(search.workingDir)) {
    folder = search.workingDir;
  } else if (!installed.empty() && HoldsData(installed)) {
    folder = installed;
  } else {
    error = "cannot find the game's data (a folder holding BMP/TITLE.bmp, WAV/ and MP3/): looked in "
            "the working folder " + search.workingDir;
    if (!installed.empty()) error += " and beside the program in " + installed;
    error += "; name it with --data-dir DIR";
    return false;
  }
  folder = folder.lexically_normal();
  if (!folder.has_filename() && folder != folder.root_path()) folder = folder.parent_path();
  // Whichever way the installed data was reached, its folder is not the player's to
  // write in.
  const bool isInstalled = !installed.empty() && SameFolder(folder, installed);
  std::string recordFile = (folder / "highscore.dat").string();
  if (isInstalled) {
    const std::string recordFolder = RecordFolder(search);
    if (recordFolder.empty()) {
      error = "cannot tell where to keep the high score: neither XDG_DATA_HOME nor HOME is set";
      return false;
    }
    recordFile = recordFolder + "/highscore.dat";
  }
  out = {folder.string(), recordFile, isInstalled};
  return true;
}
