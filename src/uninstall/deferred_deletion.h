// Handing work to the next Windows start, withdrawing such hand-offs, and
// letting the uninstaller's own file and folders go after it has ended.
//
// The next start is reached through MoveFileEx with delay-until-reboot
// (Windows keeps such moves in PendingFileRenameOperations); where that is
// not available, through the "[rename]" section of "wininit.ini".
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/text.h"
#include "engine/session.h"
#include "platform/system.h"
#include "support/registry_value.h"

namespace hs::uninstall {

class InstallLog;
class ChangeList;

// Options of `delete_file`, a bit set.
namespace delete_options {
inline constexpr std::uint32_t kKeepReadOnly = 1;         // do not clear the read-only attribute first
inline constexpr std::uint32_t kAtNextStart = 2;          // do not delete now; schedule for the next start
inline constexpr std::uint32_t kScheduleOnFailure = 16;   // when deleting now fails (file present), schedule it
inline constexpr std::uint32_t kRecycle = 128;            // move to the recycle bin instead
inline constexpr std::uint32_t kOnlyIfEmpty = 256;        // delete only a file of size 0
inline constexpr std::uint32_t kMissingIsSuccess = 2048;  // a missing file or path counts as success
}  // namespace delete_options

// Deletes a file as the options say. Returns 0 or the system error; an empty
// path fails with ERROR_INVALID_PARAMETER; a file that is not empty under
// kOnlyIfEmpty stays and fails with ERROR_FILE_EXISTS.
[[nodiscard]] platform::SysError delete_file(platform::System& sys, const std::u16string& path, std::uint32_t options);

// Schedules the deletion of `path` at the next start.
[[nodiscard]] platform::SysError schedule_deletion_at_next_start(platform::System& sys, const std::u16string& path);

// Schedules `target` to be replaced by `temporary` at the next start.
// The value is true when a restart is now required and false when nothing
// had to be done (both name the same file). Fails with
// ERROR_INVALID_PARAMETER for an empty or blank path and ERROR_FILE_NOT_FOUND
// when the temporary file does not exist.
platform::Result<bool> schedule_replacement_at_next_start(platform::System& sys, const std::u16string& temporary,
                                                          const std::u16string& target);

// "wininit.ini" with one more "[rename]" line "target=source": the section
// is appended when missing, else the line goes directly behind its header
// so that the newest entry comes first. The target's leading blanks, tabs,
// CR and LF are skipped; an empty target gives nothing (std::nullopt).
std::optional<std::string> insert_wininit_entry(std::string_view existing, std::string_view target,
                                                std::string_view source);
// The same on the file in the Windows folder.
[[nodiscard]] platform::SysError write_wininit_entry(platform::System& sys, std::string_view target, std::string_view source);

// --- PendingFileRenameOperations ------------------------------------------

// The registry key and value Windows reads at start.
inline constexpr std::u16string_view kSessionManagerKey = u"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr std::u16string_view kPendingRenamesValue = u"PendingFileRenameOperations";

// A path as Windows keeps it in the list, without its prefix characters
// (every leading "\", "?" and "!").
std::u16string_view strip_pending_prefix(std::u16string_view entry);

// The files whose pending moves and deletions are withdrawn. Paths compare
// without regard to letter case.
class PendingPathSet {
 public:
  // A change-list line (bar form; without the leading "|" decoded by `ansi`,
  // the system's ANSI code page, empty: code page 1252) or a wide path.
  void add_line(std::string_view change_line, const support::AnsiDecoder& ansi = {});
  void add(std::u16string_view path);
  bool contains(std::u16string_view path) const;
  bool empty() const { return paths_.empty(); }

 private:
  std::set<std::u16string> paths_;  // upper-cased
};

// The outcome of a cleanup over one list.
struct PendingCleanup {
  std::vector<std::u16string> list;      // the list to keep (valid only when `changed`)
  bool changed = false;                  // a pair was removed: write `list` back
  std::vector<std::u16string> recycle;   // sources of removed moves (prefix stripped), for the recycle bin
  std::vector<std::u16string> log;       // log lines, for an installation
};

// Removes the pairs whose target (or, for deletions, whose source) is in
// `paths`. A list with an odd number of strings loses its last one.
PendingCleanup clean_pending_renames(std::vector<std::u16string> list, const PendingPathSet& paths);

// REG_MULTI_SZ bytes (UTF-16LE) to strings and back.
std::vector<std::u16string> multi_sz_strings(const platform::Bytes& data);
using support::multi_sz_bytes;

// Runs the cleanup on the registry. With a log (during an installation) the
// log gets an empty line and a line per removed pair. Ends quietly when the
// key or value cannot be read.
void clean_pending_renames(platform::System& sys, const PendingPathSet& paths, InstallLog* log);

// --- Uninstaller file, reboot marker, self-deletion -----------------------

// Which way the uninstaller file is made.
enum class UninstallerWay {
  kImage,  // write the uninstaller image held in memory
  kCopy,   // copy the engine's own executable file
};

// The outcome of replacing the icon of a written uninstaller.
enum class IconReplacement { kDone, kOpenFailed, kReplaceFailed };

struct UninstallerFileRequest {
  std::u16string target;              // the uninstaller's path in the uninstall data folder
  std::u16string data_folder;         // the uninstall data folder
  UninstallerWay way = UninstallerWay::kCopy;
  const platform::Bytes* image = nullptr;  // the image for kImage
  const platform::Bytes* icon = nullptr;   // the package's uninstaller icon (.ico bytes); null or empty = none
  // Puts the icon into the written file's resources (image way only); unset
  // means the backend has no way to do it.
  std::function<IconReplacement(const std::u16string& file, const platform::Bytes& icon)> replace_icon;
};

// Installs the uninstaller file, logs what happened, adds failures to the
// session's failure summary and sets `ProductFlags` bit 14 in
// `product_flags` when the file will be replaced at the next start. The icon
// saved as "uninstall.ico" is recorded in `changes`.
void install_uninstaller_file(engine::Session& session, const UninstallerFileRequest& request, InstallLog& log,
                              ChangeList& changes, std::uint64_t& product_flags);

// With `ProductFlags` bit 53: an empty "reboot.dat" in the installation
// folder, deleted at the next start.
[[nodiscard]] platform::SysError create_reboot_marker(platform::System& sys, const std::u16string& install_folder);

// How the self-deletion batch names a path: the text to write, or nothing
// when the batch cannot name it safely (its line is then left out).
using BatchPathSpelling = std::function<std::optional<std::u16string>(const std::u16string& path)>;

// The text of "delunins.bat": deletes the engine's file once it can, waits,
// removes the uninstall data folder and its parents up to the installation
// folder, then itself. Each path is written as `spell` gives it (unset: as
// it is); the lines of a path it cannot name are left out.
std::u16string self_deletion_batch_text(const std::u16string& engine_path, const std::u16string& install_folder,
                                        const std::u16string& uninstall_subdir, const std::u16string& batch_path,
                                        const BatchPathSpelling& spell = {});

// How a batch in code page 1252 names `path`: as it is when the code page
// holds every character, else its short (8.3) form from `short_path` when
// the code page holds that; nothing otherwise. An unmappable character
// would become "?", which del and rd read as a wild card, so that a sibling
// could be deleted.
std::optional<std::u16string> cp1252_batch_path(
    const std::u16string& path, const std::function<std::optional<std::u16string>(const std::u16string&)>& short_path);

// The bytes of a batch: UTF-8 behind "@chcp 65001 >nul" when `utf8` is
// allowed and the text holds a character above 127, else code page 1252
// behind "@chcp 1252 >nul".
std::string encode_batch(std::u16string_view text, bool utf8);

// Writes "delunins.bat" to the temporary folder and starts it hidden.
// Returns 0 when the batch was started.
[[nodiscard]] platform::SysError start_self_deletion(platform::System& sys, const std::u16string& install_folder,
                                       const std::u16string& uninstall_subdir);

}  // namespace hs::uninstall
