// Checking the installation folder the user typed on the folder page.
//
// The checks run in a fixed order; the first that fails shows its message
// and the folder page comes back with the text the user typed. The checks
// reach the system only through `FolderCheckHost`, so the whole sequence
// is tested against a made-up machine.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/types.h"

namespace hs::wizard {

// Package and run options that decide which checks apply.
struct FolderCheckOptions {
  bool file_system_only = false;   // ProductFlags bit 37: no UNC paths, no network drives
  bool refuse_removable = false;   // ProductFlags bit 55: no removable, CD-ROM or RAM-disk drive
  bool ascii_only = false;         // ProductFlags2 bit 16: no character above 127
  bool confirm_folder = false;     // ProductFlags bit 31: ask before taking the folder
  bool new_installation = true;    // no existing installation of the product
  bool automatic = false;          // automatic mode: no free-space question
  std::uint64_t space_needed = 0;  // bytes the product needs (see disk_space.h)
};

// What the checks ask of the system, and how they talk to the user.
class FolderCheckHost {
 public:
  virtual ~FolderCheckHost() = default;

  // Folders that may never be the installation folder: the common and user
  // desktops, the common and user Start menus, the user-profiles folder.
  virtual std::vector<std::u16string> reserved_folders() = 0;
  // The 32-bit and the 64-bit Program Files folders (those that exist).
  virtual std::vector<std::u16string> program_files_folders() = 0;
  // GetDriveType of a root such as "C:\".
  virtual platform::DriveType drive_type(const std::u16string& root) = 0;
  // Whether the volume of `root` is read-only; nothing when its volume
  // information cannot be read.
  virtual std::optional<bool> volume_read_only(const std::u16string& root) = 0;
  // Bytes free to the caller on the volume of `root`; nothing when unknown.
  virtual std::optional<std::uint64_t> free_space(const std::u16string& root) = 0;
  virtual bool directory_exists(const std::u16string& path) = 0;
  // Creates `path` with every missing parent.
  [[nodiscard]] virtual platform::SysError create_directories(const std::u16string& path) = 0;
  // Creates and deletes a temporary file in `folder`.
  [[nodiscard]] virtual platform::SysError probe_temporary_file(const std::u16string& folder) = 0;
  virtual std::u16string error_text(platform::SysError error) = 0;

  virtual void show_error(const std::u16string& text) = 0;
  virtual bool ask_yes_no(const std::u16string& text, const std::u16string& title) = 0;
};

// Outcome of the checks: the accepted folder, or nothing when the page
// must be shown again.
struct FolderCheckResult {
  bool accepted = false;
  std::u16string folder;  // trimmed, without a trailing backslash
};

// Step 1: the text trimmed of white space, without a trailing backslash.
std::u16string normalize_folder_text(std::u16string_view text);

// Whether `path` is complete and valid: "X:" optionally followed by
// "\name\name...", or "\\server\share\...", with no empty or dot-only
// names, no name ending in a dot or space, no character Windows forbids in
// names, and shorter than 260 characters.
bool is_complete_path(std::u16string_view path);

// The drive letter of a path that begins with one ("C:..."), upper case;
// 0 when it does not.
char16_t drive_letter(std::u16string_view path);

// Runs the eleven checks on the text the page closed with.
FolderCheckResult check_install_folder(std::u16string_view text, const FolderCheckOptions& options,
                                       FolderCheckHost& host,
                                       const std::function<std::u16string(int)>& message);

}  // namespace hs::wizard
