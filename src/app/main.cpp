// The executable: reads the options, finds the data and makes its folder the working
// directory, chooses where the high score is kept, brings the platform up, and runs the
// entry between the construction and destruction of the program-lifetime objects.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "app/autoplay.h"
#include "app/data_places.h"
#include "app/entry.h"
#include "game/program.h"
#include "platform/core/replay.h"
#include "platform/core/startup.h"
#include "platform/files/files.h"

namespace {

// Stands for the module handle the game is given; only its identity matters.
int moduleInstance;

// Files named on the command line are relative to where the program was started, not
// to the data folder it moves into. (The script is read while the options are parsed.)
void AnchorPaths(platform::Options& options) {
  auto anchor = [](std::string& path) {
    if (!path.empty()) path = std::filesystem::absolute(path).string();
  };
  anchor(options.trace);
  anchor(options.saveReplay);
  anchor(options.replay);
  for (platform::Options::Shot& shot : options.shots) anchor(shot.file);
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// $HOME, or the password database's entry when it is unset (as under some service
// managers).
std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (home.empty()) {
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) home = entry->pw_dir;
  }
  return home;
}

DataSearch SearchFor(const platform::Options& options) {
  DataSearch search;
  search.dataDir = options.dataDir;
  std::error_code ignored;
  search.workingDir = std::filesystem::current_path(ignored).string();
  search.executable = std::filesystem::read_symlink("/proc/self/exe", ignored).string();
  search.dataHome = Environment("XDG_DATA_HOME");
  search.home = HomeFolder();
  return search;
}

}  // namespace

int main(int argc, char** argv) {
  platform::Options options;
  std::string error;
  if (!platform::ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "tonkalo: %s\n", platform::Printable(error).c_str());
    return 2;
  }
  if (options.help || options.version) {
    // As the GNU tools do: text that could not be written (a full disk, a closed pipe)
    // is a failure the caller must hear of.
    const std::string text = options.help ? platform::UsageText() : "tonkalo " TONKALO_VERSION "\n";
    if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
      std::fprintf(stderr, "tonkalo: cannot write to standard output: %s\n", std::strerror(errno));
      return 1;
    }
    return 0;
  }
  AnchorPaths(options);
  if (!options.dataDir.empty()) {
    struct stat folder {};
    const bool found = stat(options.dataDir.c_str(), &folder) == 0;
    if (!found || !S_ISDIR(folder.st_mode)) {
      std::fprintf(stderr, "tonkalo: cannot use data folder '%s': %s\n",
                   platform::Printable(options.dataDir).c_str(),
                   found ? "not a folder" : std::strerror(errno));
      return 2;
    }
  }
  DataPlaces places;
  if (!FindDataPlaces(SearchFor(options), places, error)) {
    std::fprintf(stderr, "tonkalo: %s\n", platform::Printable(error).c_str());
    return 1;
  }
  if (chdir(places.folder.c_str()) != 0) {
    std::fprintf(stderr, "tonkalo: cannot use data folder '%s': %s\n",
                 platform::Printable(places.folder).c_str(), std::strerror(errno));
    return 1;
  }
  options.recordFile = places.recordFile;
  platform::Verbose("data folder: %s%s", platform::Printable(places.folder).c_str(),
                    places.installed ? " (installed with the program)" : "");
  platform::Verbose("record file: %s", platform::Printable(places.recordFile).c_str());
  const bool autoplay = options.autoplay;
  if (!platform::Init(std::move(options), error)) {
    std::fprintf(stderr, "tonkalo: %s\n", platform::Printable(error).c_str());
    return 1;
  }
  if (autoplay) EnableAutoplay();
  int result = 0;
  {
    // Destroyed in reverse order before the platform goes down: the music player, the
    // pop-up sprite, then the game, whose shutdown writes the high score.
    ProgramObjects objects;
    result = TonkaloMain(&moduleInstance);
  }
  platform::KeepRecordedReplay(result == 0);
  // A shot or trace that was asked for and not written fails the run too.
  if (!platform::Shutdown() && result == 0) result = 1;
  // A signal ends any run as the close button would, a box on the screen or not.
  if (const int signal = platform::QuitSignal(); signal != 0) result = 128 + signal;
  return result;
}
