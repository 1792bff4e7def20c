// The command line: splitting it into atoms and reading the switches.
//
// Parsing is a pure function of the command line text: it yields the run
// modes and override values, or the first usage error. The driver acts on
// the result (shows the usage message, starts the uninstaller, ...).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/session.h"

namespace hs::engine {

// Removes one atom from the front of `rest` and returns it. Leading blanks
// (space, tab, CR, LF) are skipped; a quoted part stays in the atom with
// its quotes, two double quotes inside it standing for one literal quote.
// Returns "" when nothing but blanks was left.
std::u16string next_atom(std::u16string& rest);

// A command line the engine refuses.
struct UsageError {
  // The specific message, the first line(s) of the usage text
  // ("Unexpected command line parameter:\r\nfoo", ...).
  std::u16string message;
};

// The outcome of reading a command line.
struct ParsedCommandLine {
  // Modes and overrides read so far. After a usage error these are the
  // switches before the bad atom (a /silent in front of it still keeps the
  // message from being shown).
  RunModes modes;
  // Set when parsing stopped at a bad atom, or uninstall mode was asked for
  // without a product name.
  std::optional<UsageError> error;
};

// Most switches looked at; later atoms are ignored without a message.
inline constexpr int kMaxSwitches = 19;

// Reads the whole command line as the system gives it (program name first).
ParsedCommandLine parse_command_line(std::u16string_view command_line);

// The usage message: `message` on the first line, then the switch summary
// naming the executable as `own_name`.
std::u16string usage_text(std::u16string_view message, std::u16string_view own_name);

// The file name part of a path ("C:\dir\setup.exe" -> "setup.exe").
std::u16string file_name_part(std::u16string_view path);

}  // namespace hs::engine
