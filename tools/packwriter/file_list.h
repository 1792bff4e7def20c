// The file list of the low-level `hpack build`: one entry per line.
//
//   # comment
//   SOURCE<TAB>key=value<TAB>key=value...
//
// SOURCE is the host file whose contents become the entry's data (relative
// to the list's folder). Keys, all optional:
//   name=TEXT        stored name (UTF-8; default: the source's file name)
//   kind=N           0 to 12 (default 0)
//   flags=N          entry flags (default 0)
//   attributes=N     attributes to apply; -1 leaves them alone (default -1)
//   date=YYYY-MM-DD HH:MM:SS   file date (default: the source's modification time, UTC)
//   arg1=TEXT  text=TEXT  shortcut=TEXT  dest=TEXT  arg2=TEXT  kind11=N
// Numbers are decimal or 0x-hexadecimal. Texts are UTF-8; 8-bit fields are
// stored in bar form, `shortcut` in code page 1252.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "packwriter/package_writer.h"

namespace hs::tools {

// One line of the list: the entry's fields, and where its data comes from.
struct ListedFile {
  std::filesystem::path source;  // as written, resolved against the list's folder by the loader
  WriterEntry entry;             // every field but `data` (and `name`/`date` when not given)
  bool name_given = false;       // false: the name is the source's file name
  bool date_given = false;       // false: the date is the source's modification time
};

// Parses the list; throws std::runtime_error("line N: ...") on a bad line.
std::vector<ListedFile> parse_file_list(std::string_view text);

// Reads every source (relative paths against `base`) into its entry's data
// and fills the defaults. Throws std::runtime_error naming a missing file.
std::vector<WriterEntry> load_file_list(const std::vector<ListedFile>& list, const std::filesystem::path& base);

}  // namespace hs::tools
