// Writes the manual page at build time: the page's template (dist/tonkalo.6.in, as CMake
// filled it in) with each marker line replaced by what the program's own tables give (the
// options, keys, files and exit statuses), so that the page and --help never tell two
// stories. Usage: tonkalo-manual-page TEMPLATE OUTPUT
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/cli/options.h"
#include "platform/cli/usage_notes.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tonkalo-manual-page TEMPLATE OUTPUT\n");
    return 2;
  }
  using platform::ManualNotes;
  using platform::NoteTopic;
  std::map<std::string, std::string> markers = {
      {".\\\" tonkalo-option-table", platform::ManualOptions()},
      {".\\\" tonkalo-keys", ManualNotes(NoteTopic::Keys)},
      {".\\\" tonkalo-files", ManualNotes(NoteTopic::Files)},
      {".\\\" tonkalo-exit-status", ManualNotes(NoteTopic::ExitStatus)},
  };
  std::ifstream in(argv[1]);
  std::ostringstream page;
  for (std::string line; std::getline(in, line);) {
    const auto marker = markers.find(line);
    if (marker == markers.end()) {
      page << line << '\n';
    } else {
      page << marker->second;
      markers.erase(marker);
    }
  }
  if (!in.eof() || !markers.empty()) {
    std::fprintf(stderr, "tonkalo-manual-page: %s is unreadable or lacks the line '%s'\n",
                 argv[1], markers.empty() ? "" : markers.begin()->first.c_str());
    return 1;
  }
  std::ofstream out(argv[2], std::ios::binary);
  out << page.str();
  out.close();
  if (!out) {
    std::fprintf(stderr, "tonkalo-manual-page: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
