// Writes the manual page at build time: the page's template (dist/tonkalo.6.in, as CMake
// filled it in) with its marker line replaced by the option list that the program's own
// option table gives, so that the page and --help never tell two stories.
// Usage: tonkalo-manual-page TEMPLATE OUTPUT
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/cli/options.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tonkalo-manual-page TEMPLATE OUTPUT\n");
    return 2;
  }
  const std::string marker = ".\\\" tonkalo-option-table";
  std::ifstream in(argv[1]);
  std::ostringstream page;
  int found = 0;
  for (std::string line; std::getline(in, line);) {
    if (line == marker) {
      page << platform::ManualOptions();
      ++found;
    } else {
      page << line << '\n';
    }
  }
  if (!in.eof() || found != 1) {
    std::fprintf(stderr, "tonkalo-manual-page: %s is unreadable or lacks one line '%s'\n",
                 argv[1], marker.c_str());
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
