// The executable: reads the options, makes the data folder the working directory,
// brings the platform up, and runs the entry between the construction and destruction
// of the program-lifetime objects.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/autoplay.h"
#include "game/program.h"
#include "platform/platform.h"

namespace {

// Stands for the module handle the game is given; only its identity matters.
int moduleInstance;

// Files named on the command line are relative to where the program was started, not
// to the data folder it moves into.
void AnchorPaths(platform::Options& options) {
  auto anchor = [](std::string& path) {
    if (!path.empty()) path = std::filesystem::absolute(path).string();
  };
  anchor(options.script);
  anchor(options.trace);
  for (platform::Options::Shot& shot : options.shots) anchor(shot.file);
}

// A message stays one line whatever the user typed into an argument.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  platform::Options options;
  std::string error;
  if (!platform::ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "tonkalo: %s\n", OneLine(error).c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(platform::UsageText().c_str(), stdout);
    return 0;
  }
  AnchorPaths(options);
  if (!options.dataDir.empty() && chdir(options.dataDir.c_str()) != 0) {
    const char* reason = std::strerror(errno);
    std::fprintf(stderr, "tonkalo: cannot use data folder '%s': %s\n",
                 OneLine(options.dataDir).c_str(), reason);
    return 2;
  }
  if (!platform::Init(options, error)) {
    std::fprintf(stderr, "tonkalo: %s\n", OneLine(error).c_str());
    return 1;
  }
  if (options.autoplay) EnableAutoplay();
  int result = 0;
  {
    // Destroyed in reverse order before the platform goes down: the music player, the
    // pop-up sprite, then the game, whose shutdown writes the high score.
    ProgramObjects objects;
    result = TonkaloMain(&moduleInstance);
  }
  // A shot or trace that was asked for and not written fails the run too.
  if (!platform::Shutdown() && result == 0) result = 1;
  return result;
}
