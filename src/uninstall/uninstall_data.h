// "Uninstall.DAT": the record of everything one installation created, with
// the texts the uninstaller needs in the language chosen at installation.
//
// The file is 8-bit text without a byte-order mark. It starts with the
// change list (see change_list.h) and goes on with named sections, each
// behind an empty line and its bracketed header. Composing and reading work
// on bytes; `write_uninstall_data` and `read_uninstall_data` do the file I/O.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "support/text.h"
#include "platform/files.h"
#include "package/auto_close_rule.h"
#include "package/conditional_deletion.h"

namespace hs::uninstall {

// A file association the installation made.
struct UninstallAssociation {
  std::string extension;  // ".txt"
  std::string prog_id;
  std::string verb;       // "open", ...
  std::u16string icon;    // icon reference; "" = none

  bool operator==(const UninstallAssociation&) const = default;
};

// The message numbers whose texts go into [Strings], in the order written.
inline constexpr std::array<int, 32> kUninstallMessageNumbers = {
    10, 15, 20, 30, 34, 35, 49, 53, 55, 56, 57, 58, 59, 65, 67, 68,
    69, 70, 71, 74, 79, 80, 99, 100, 101, 104, 107, 108, 109, 110, 111, 115};
// The [Strings] record that holds the product caption.
inline constexpr int kCaptionRecord = 999;

struct UninstallData {
  // The change list: one line per change, each ending with CR LF.
  std::string changes;
  // [Strings]: message texts by number ("" = none); the vector is at least
  // one longer than the highest number read.
  std::vector<std::u16string> messages;
  // [Strings] record 999: the product caption the wizard showed.
  std::u16string caption;
  // [AutoClose]: class, title, program name and action are written; the
  // phases are derived when read (4 for action 2, else 2).
  std::vector<package::AutoCloseRule> auto_close;
  std::vector<UninstallAssociation> associations;
  // [Firewall], [INF], [MSI]: lines as written, without line breaks.
  std::vector<std::string> firewall;
  std::vector<std::string> inf;
  std::vector<std::string> msi;
  // [Registry2]: UTF-8 lines, each ending with CR LF.
  std::string registry2;
  // [ConditionalDelete]. Only entries with flag 8 are written.
  std::vector<package::ConditionalDeletion> conditional;

  // Message `n`, or "" when the file had none.
  std::u16string message(int n) const;
};

// Composes the whole file in section order: change list, [Strings] (always),
// [AutoClose], [Associations], [Firewall], [INF], [MSI], [Registry2],
// [ConditionalDelete]; empty sections other than [Strings] are left out.
std::string compose_uninstall_data(const UninstallData& data);

// Reads a file: any line break (CR, LF, CR LF, LF CR), sections in any order
// and any number of times; lines before the first header are the change
// list; unrecognised lines are skipped. Texts that cannot be Windows paths
// (empty after decoding, or holding "|", "<", ">", "\"" or control
// characters) are dropped: a conditional deletion naming one (or with such
// an argument) is left out, such an icon reference becomes empty. Never
// fails on content.
// Paths without the leading "|" are decoded by `ansi` (the system's ANSI
// code page; empty: code page 1252).
UninstallData parse_uninstall_data(std::string_view bytes, const support::AnsiDecoder& ansi = {});

// One line of the [Associations] section.
std::string association_line(const UninstallAssociation& association);

// Where the files lie: the installation folder, joined with `UninstallSubdir`
// when that is not empty.
std::u16string uninstall_data_folder(std::u16string_view install_folder, std::u16string_view uninstall_subdir);
std::u16string uninstall_data_path(std::u16string_view install_folder, std::u16string_view uninstall_subdir);
std::u16string install_log_path(std::u16string_view install_folder, std::u16string_view uninstall_subdir);
std::string install_log_path_bar(std::u16string_view install_folder, std::u16string_view uninstall_subdir);

// Writes the file in one piece, replacing an older one. Returns the system
// error, 0 on success.
[[nodiscard]] platform::SysError write_uninstall_data(platform::Files& files, const std::u16string& path, const UninstallData& data);

// Reads the whole file; fails with the file layer's error.
platform::Result<UninstallData> read_uninstall_data(platform::Files& files, const std::u16string& path,
                                                    const support::AnsiDecoder& ansi = {});

// Writes bytes as the whole file, replacing an older one.
[[nodiscard]] platform::SysError write_whole_file(platform::Files& files, const std::u16string& path, std::string_view bytes);

}  // namespace hs::uninstall
