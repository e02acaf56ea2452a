// Where the game's files are: the folder it reads pictures, sounds and music from, and
// the file that keeps the high score. Decided once by main, before the platform starts.
#pragma once

#include <string>

struct DataPlaces {
  std::string folder;      // absolute; made the working directory
  std::string recordFile;  // absolute path of highscore.dat
  bool installed = false;  // the copy installed beside the program: read-only, shared
};

// What the choice depends on, gathered by main from the command line and environment.
struct DataSearch {
  std::string dataDir;      // --data-dir, empty when not given
  std::string workingDir;   // absolute
  std::string executable;   // absolute path of the running program; empty when unknown
  std::string dataHome;     // $XDG_DATA_HOME, empty when unset
  std::string home;         // the user's home folder, empty when unknown
};

// The data folder the install rules put beside a program at `executable` (by default
// <prefix>/share/tonkalo for <prefix>/bin/tonkalo); empty when `executable` is.
std::string InstalledDataFolder(const std::string& executable);

// The data folder is --data-dir, else the working folder when it holds the game's data
// (BMP/TITLE.bmp), else the installed data beside the program. The record stays beside
// the data, except for the installed data, which nobody may write to: then it is kept
// in the user's data folder ($XDG_DATA_HOME/tonkalo, by default ~/.local/share/tonkalo),
// made only when the first record is saved. False with one line for the user when there
// is no data or no place for the record.
bool FindDataPlaces(const DataSearch& search, DataPlaces& out, std::string& error);
