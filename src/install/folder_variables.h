// Folder variables: the engine's 56 names between percent signs that stand
// for folders and run values in every path and text taken from the package.
//
// `expand_variables` replaces them in a fixed order (case-insensitive, one
// pass per variable, so text inserted by one variable is seen only by the
// variables after it), then hands the text to the Windows environment
// expansion. Nothing is kept between calls except the temporary folder and
// the system description (`FolderCache`): every other value is computed at
// the moment of the call, so a later call sees later choices.
//
// The folder queries are public because other steps use them directly (the
// batch header, the folder checks of the wizard, the shared folder).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "install/os_release.h"
#include "platform/system.h"

namespace hs::install {

// The run values the variables read. Owned by the run; filled at start-up,
// by the wizard and by the installation run.
struct FolderVariableState {
  std::u16string install_folder;     // chosen installation folder, "" = not yet chosen
  std::u16string start_menu_folder;  // Start-menu folder name chosen on the wizard
  std::u16string desktop_folder;     // the product's `DesktopFolder`, "" = the desktop itself
  std::u16string shared_folder;      // the product's shared folder, "" = none
  std::u16string uninstall_folder;   // installation folder joined with `UninstallSubdir`
  std::u16string product_name;
  std::u16string company_name;
  std::u16string product_version;    // version being installed
  std::u16string existing_version;   // version of the existing installation, "" = none
  std::u16string language_name;      // name of the chosen language
  bool automatic = false;            // automatic mode (/a or /silent)
  bool portable = false;             // installation folder on a removable, CD-ROM or RAM drive
  bool all_users_shortcuts = false;  // `ShortcutMode` = 1
  int existing_code = 0;             // 0 none, 1 same/not compared, 2 older installed, 3 newer installed
  bool product_64bit = false;        // bits value 1: the product is 64-bit
};

// The values computed once per process.
struct FolderCache {
  std::optional<std::u16string> temp_folder;       // %Temp% once computed
  std::optional<SystemDescription> system;          // gathered on first use
};

// The shell folders with a fallback chain.
enum class ShellFolder {
  kCommonDesktop,
  kDesktop,
  kCommonDocuments,
  kDocuments,
  kCommonFavorites,
  kFavorites,
  kFonts,
  kCommonPrograms,
  kPrograms,
  kCommonStartMenu,
  kStartMenu,
  kCommonStartup,
  kStartup,
};

// Folder queries through the platform boundary. Each tries its sources in
// order and returns the first non-empty answer, without a trailing
// backslash.
class FolderQueries {
 public:
  FolderQueries(platform::System& system, FolderCache& cache) : sys_(system), cache_(cache) {}

  const SystemDescription& system_description();
  bool windows_is_64bit() { return system_description().is_64bit; }

  std::u16string windows_folder();
  std::u16string common_app_data();  // %AppDataAllDir%
  std::u16string app_data();         // %AppDataDir%
  std::u16string boot_drive();       // "C:"
  // Common Files; `want_64bit` asks for the 64-bit folder (honoured only on
  // 64-bit Windows).
  std::u16string common_files(bool want_64bit);
  std::u16string program_files(bool want_64bit);
  std::u16string shell_folder(ShellFolder folder);
  std::u16string device_folder();  // %DeviceDir%
  std::u16string media_folder();   // %MediaDir%
  std::u16string inetpub();        // %Inetpub%
  std::u16string system_folder();  // %SystemDir%
  std::u16string temp_folder();    // %Temp%, computed once
  // The running installer's full path, "" when longer than the 1,024
  // characters the engine reads.
  std::u16string module_path();
  // True for a path beginning with two backslashes or on a network drive.
  bool is_network_folder(const std::u16string& folder);

  // A text value of the registry, "" when missing or not text.
  std::u16string registry_text(platform::RegRoot root, const std::u16string& subkey, const std::u16string& name);

 private:
  std::u16string special(int csidl);
  std::u16string known(std::u16string_view folder_id);
  std::u16string shell_folders_value(bool common, const std::u16string& name);
  std::u16string current_version_value(const std::u16string& name);
  std::u16string common_startup_value();

  platform::System& sys_;
  FolderCache& cache_;
};

// Number of folder variables.
inline constexpr int kFolderVariableCount = 56;

// Name of variable `index` (0 to 55) without the percent signs, as written
// in the table: "AppDataAllDir", "AppDataDir", ...
std::u16string_view folder_variable_name(int index);

// Value of variable `index` (0 to 55) now.
std::u16string folder_variable_value(int index, FolderQueries& queries, const FolderVariableState& state);

// Expands the folder variables and then the environment variables of `text`
// in place. Unknown names stay, percent signs included.
void expand_variables(platform::System& system, const FolderVariableState& state, FolderCache& cache,
                      std::u16string& text);

// Pure helpers of the variables (exposed for the batch header and tests).
// Replaces every case-insensitive occurrence of `name` in one left-to-right
// pass; inserted text is not searched again.
void replace_all_ignoring_case(std::u16string& text, std::u16string_view name, std::u16string_view value);
// "C:" for "c:\dir"; "" when the path has no drive letter.
std::u16string drive_of(std::u16string_view path);
// Part `n` (0-based) of a version text split at ".", empty parts skipped.
std::u16string version_part(std::u16string_view version, int n);

}  // namespace hs::install
