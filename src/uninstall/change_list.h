// The change list: every file, folder and registry change an installation
// made, in the order it made them, as the first section of "Uninstall.DAT".
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "support/text.h"

namespace hs::uninstall {

// What a change-list line records. The number is the kind callers pass.
enum class ChangeKind : int {
  kFile = 0,            // no prefix: a file the installation wrote (bar form)
  kFolder = 1,          // "~": a folder it created (bar form), recorded once
  kRegistryValue = 2,   // "!": full value path, UTF-8
  kRegistryKey = 3,     // "^": a key deleted with its subtree, default view (bar form)
  kRegistryKey64 = 4,   // "*": a key created in the 64-bit view, ANSI code page
};

// The in-memory change list of one run. Lines end with CR LF.
class ChangeList {
 public:
  // Appends an 8-bit text used as is. Returns false (and records nothing)
  // when the text is shorter than 4 characters or names a folder that is
  // already recorded (compared after upper-casing).
  bool append(std::string_view text, ChangeKind kind);
  // Appends a wide text, converted by kind: registry values to UTF-8 (an
  // unconvertible character becomes "?"), 64-bit keys to the ANSI code page,
  // everything else to the bar form.
  bool append(std::u16string_view text, ChangeKind kind);

  // Empties the list and the set of recorded folders.
  void clear();

  // Converts with the system's ANSI code page from now on: the 64-bit key
  // lines are written in it, and folder lines without the leading "|" are
  // read in it. Until then, and for empty converters, code page 1252.
  void use_code_page(support::AnsiDecoder decode, support::AnsiEncoder encode) {
    ansi_decode_ = std::move(decode);
    ansi_encode_ = std::move(encode);
  }

  // The whole list as it goes into the file: one CR LF ended line per change.
  const std::string& text() const { return text_; }
  bool empty() const { return text_.empty(); }

 private:
  std::string text_;
  std::set<std::u16string> folders_;  // upper-cased folders already recorded
  support::AnsiDecoder ansi_decode_;  // reads folder lines in the ANSI code page; empty: 1252
  support::AnsiEncoder ansi_encode_;  // writes 64-bit key lines in the ANSI code page; empty: 1252
};

// The one-character prefix of a kind ('\0' for plain files).
char change_prefix(ChangeKind kind);

}  // namespace hs::uninstall
