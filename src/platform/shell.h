// Special and known folders, environment variables and the shell's
// operations on files.
#pragma once

#include "platform/types.h"

namespace hs::platform {

// CSIDL numbers of the shell's special folders the engine asks for.
namespace csidl {
inline constexpr int kPrograms = 0x02;
inline constexpr int kPersonal = 0x05;
inline constexpr int kFavorites = 0x06;
inline constexpr int kStartup = 0x07;
inline constexpr int kStartMenu = 0x0B;
inline constexpr int kDesktopDirectory = 0x10;
inline constexpr int kFonts = 0x14;
inline constexpr int kCommonStartMenu = 0x16;
inline constexpr int kCommonPrograms = 0x17;
inline constexpr int kCommonStartup = 0x18;
inline constexpr int kCommonDesktopDirectory = 0x19;
inline constexpr int kAppData = 0x1A;
inline constexpr int kCommonFavorites = 0x1F;
inline constexpr int kCommonAppData = 0x23;
inline constexpr int kProgramFiles = 0x26;
inline constexpr int kProgramFilesX86 = 0x2A;
inline constexpr int kProgramFilesCommon = 0x2B;
inline constexpr int kCommonDocuments = 0x2E;
inline constexpr int kProfiles = 0x3E;
}  // namespace csidl

class Shell {
 public:
  virtual ~Shell() = default;

  // SHGetSpecialFolderPath / SHGetFolderPath for a CSIDL number, without a
  // trailing backslash; fails when the system has no such folder.
  virtual Result<std::u16string> special_folder(int csidl) = 0;
  // SHGetKnownFolderPath for a known-folder id written as
  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; fails when unavailable.
  virtual Result<std::u16string> known_folder(const std::u16string& folder_id) = 0;
  // GetWindowsDirectory / GetSystemDirectory / GetSystemWow64Directory.
  virtual std::u16string windows_folder() = 0;
  virtual std::u16string system_folder() = 0;
  virtual Result<std::u16string> system_wow64_folder() = 0;

  // Environment of the running process.
  virtual Result<std::u16string> environment_variable(const std::u16string& name) = 0;
  [[nodiscard]] virtual SysError set_environment_variable(const std::u16string& name, const std::u16string& value) = 0;
  // ExpandEnvironmentStrings: %NAME% replaced where NAME is set, else kept.
  virtual std::u16string expand_environment(const std::u16string& text) = 0;

  // Moves a file or folder to the recycle bin (SHFileOperation with undo).
  [[nodiscard]] virtual SysError recycle(const std::u16string& path) = 0;
  // SHChangeNotify with the "association changed" event.
  virtual void notify_associations_changed() = 0;

  // Opens a file with its associated program through the running desktop
  // shell (its automation object), so that the program runs with the
  // logged-on user's normal rights. A backend without that way fails with
  // ERROR_NOT_SUPPORTED (50), and callers fall back to a direct start.
  [[nodiscard]] virtual SysError open_with_desktop_shell(const std::u16string& path) {
    (void)path;
    return 50;
  }
};

}  // namespace hs::platform
