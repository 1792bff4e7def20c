// The registry of the simulated machine as a tree, and its text form: the
// format regedit exports and imports ("Windows Registry Editor Version
// 5.00"), so that a machine's registry can be read, edited by hand or
// loaded into a real registry.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "support/registry_value.h"

namespace hs::platform::sim {

// One key: its name as written, subkeys by upper-case name, values in the
// order they were first written.
struct RegKey {
  std::u16string name;
  std::map<std::u16string, std::unique_ptr<RegKey>> children;
  std::vector<std::pair<std::u16string, RegValue>> values;

  RegKey* child(std::u16string_view name);
  RegKey& make_child(std::u16string_view name, bool* created = nullptr);
  bool remove_child(std::u16string_view name);
  RegValue* value(std::u16string_view name);
  void set_value(std::u16string_view name, RegValue value);
  bool remove_value(std::u16string_view name);
};

// The two stored hives; the other roots are views of them.
struct RegTree {
  RegKey local_machine{u"HKEY_LOCAL_MACHINE", {}, {}};
  RegKey users{u"HKEY_USERS", {}, {}};
  // HKEY_CURRENT_USER is HKEY_USERS\<this>.
  std::u16string current_user_sid = u"S-1-5-21-1004336348-1177238915-682003330-1001";

  // The stored key and the path below it for a root, as written in a .reg
  // file ("HKEY_CURRENT_USER\Software" -> users, "<sid>\Software").
  // Returns nullptr for an unknown root name.
  RegKey* root_for(std::u16string_view root_name, std::u16string& prefix);
  // Walks a path of components separated by backslashes; nullptr when a
  // key is missing and `create` is false.
  static RegKey* walk(RegKey& from, std::u16string_view path, bool create, bool* created = nullptr);
};

// The text of REG_MULTI_SZ data (UTF-16LE, each string ended by a zero, a
// final zero after the last) and back.
std::vector<std::u16string> multi_sz_strings(const Bytes& data);
using support::multi_sz_bytes;
using support::sz_bytes;

// The .reg text of the whole tree: "Windows Registry Editor Version 5.00",
// CR LF line ends, every key (also empty ones) in its own section.
std::string write_reg_file(const RegTree& tree);

// The same text as regedit writes and reads it: UTF-16LE with a byte-order
// mark. (regedit takes a file without the mark as ANSI text and then reads
// the hex(2) and hex(7) data of "Windows Registry Editor Version 5.00"
// files wrongly; the machine's own registry.reg stays UTF-8 for reading.)
std::string write_reg_file_utf16(const RegTree& tree);

// Reads .reg text (UTF-8 with or without a byte-order mark, or UTF-16LE
// with its mark, as regedit exports) into the tree, adding to what is
// there; "[-key]" deletes a key, "name"=- a value. Returns false with
// `error` naming the line on a line that cannot be read.
bool read_reg_file(std::string_view text, RegTree& tree, std::string& error);

}  // namespace hs::platform::sim
