#include "platform/cli/usage_notes.h"

#include <cctype>

namespace platform {

namespace {

// A term and its text, the text broken into lines of at most 58 characters where --help
// breaks them; the manual page fills the lines again.
struct Note {
  NoteTopic topic;
  const char* term;
  const char* text;
};

const Note kNotes[] = {
    {NoteTopic::Keys, "P, Space", "pause; P, Space or a click plays on"},
    {NoteTopic::Keys, "M", "music on or off"},
    {NoteTopic::Keys, "S", "sound effects on or off"},
    {NoteTopic::Keys, "-, = or +", "volume of effects and music down or up, in steps of 10"},
    {NoteTopic::Keys, "F11, Alt+Enter", "fullscreen on or off"},
    {NoteTopic::Keys, "Escape, Ctrl+Q", "quit, as the window's close button does"},

    {NoteTopic::Files, "~/.local/share/tonkalo/highscore.dat",
     "the high score, four bytes; in $XDG_DATA_HOME/tonkalo/\n"
     "when XDG_DATA_HOME is set, and beside the data for a game\n"
     "played from its build folder or with --data-dir. Only a\n"
     "run that beats the record writes it"},
    {NoteTopic::Files, "settings.txt",
     "beside the high score: the music and sound switches and\n"
     "the volume (M, S, -, +), kept for the next run;\n"
     "--no-music and --volume win over it for one run"},

    {NoteTopic::ExitStatus, "0", "a normal run: the window closed or --frames reached"},
    {NoteTopic::ExitStatus, "1",
     "start-up failed (no display, no data, a picture it\n"
     "cannot do without), or a shot, a trace, a recorded replay\n"
     "or the text of --help or --version could not be written"},
    {NoteTopic::ExitStatus, "2",
     "a bad option or data folder, or a script or replay that\n"
     "cannot be read or is damaged"},
    {NoteTopic::ExitStatus, "128+N",
     "signal N (SIGTERM 143, SIGINT 130, SIGHUP 129) ended the\n"
     "run as the window's close does, the high score saved"},
};

}  // namespace

std::string HelpNotes(NoteTopic topic) {
  constexpr size_t kColumn = 21;
  std::string text = topic == NoteTopic::Keys    ? "Keys in the window:\n"
                     : topic == NoteTopic::Files ? "Files:\n"
                                                 : "Exit status:\n";
  for (const Note& note : kNotes) {
    if (note.topic != topic) continue;
    const std::string term = std::string("  ") + note.term;
    text += term.size() + 1 < kColumn ? term + std::string(kColumn - term.size(), ' ')
                                      : term + "\n" + std::string(kColumn, ' ');
    for (const char* c = note.text; *c; ++c) {
      text += *c;
      if (*c == '\n') text += std::string(kColumn, ' ');
    }
    text += '\n';
  }
  return text;
}

std::string ManualNotes(NoteTopic topic) {
  std::string text;
  for (const Note& note : kNotes) {
    if (note.topic != topic) continue;
    std::string body = note.text;
    body[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(body[0])));
    text += ".TP\n.B " + Roff(note.term) + "\n" + Roff(body) + ".\n";
  }
  return text;
}

std::string Roff(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool wordStart = i == 0 || !std::isalnum(static_cast<unsigned char>(text[i - 1]));
    const bool lineStart = i == 0 || text[i - 1] == '\n';
    if (c == '-' && wordStart) {
      out += "\\-";
    } else if (c == '\\') {
      out += "\\e";
    } else {
      if (lineStart && (c == '.' || c == '\'')) out += "\\&";
      out += c;
    }
  }
  return out;
}

}  // namespace platform
