#include "install/folder_variables.h"

#include <array>

#include "support/files.h"
#include "support/paths.h"
#include "support/registry_value.h"
#include "support/text.h"

namespace hs::install {
namespace {

using platform::RegRoot;

namespace csidl = platform::csidl;

// Known-folder ids.
constexpr std::u16string_view kFolderProgramFilesX64 = u"{6D809377-6AF0-444B-8957-A3773F02200E}";
constexpr std::u16string_view kFolderProgramFiles = u"{905E63B6-C1BF-494E-B29C-65B732D3D21A}";
constexpr std::u16string_view kFolderProgramFilesCommonX64 = u"{6365D5A7-0F0D-45E5-87F6-0DA56B6A4F7D}";
constexpr std::u16string_view kFolderProgramFilesCommon = u"{F7F1ED05-9F6D-47A2-AAAE-29D317C6F066}";

const std::u16string kShellFoldersKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::u16string kCurrentVersionKey = u"Software\\Microsoft\\Windows\\CurrentVersion";
const std::u16string kWindowsNtCurrentVersionKey = u"Software\\Microsoft\\Windows NT\\CurrentVersion";

// The longest text the environment expansion may produce.
constexpr std::size_t kEnvironmentLimit = 31999;
// GetModuleFileNameW's buffer for %InstallerFilepath%.
constexpr std::size_t kModulePathBuffer = 1024;

// Registry answers lose a trailing backslash unless they are a bare drive
// root ("C:\").
std::u16string without_trailing_backslash_unless_root(std::u16string text) {
  if (text.size() != 3 && !text.empty() && text.back() == u'\\') text.pop_back();
  return text;
}

std::u16string without_trailing_backslash(std::u16string text) {
  if (!text.empty() && text.back() == u'\\') text.pop_back();
  return text;
}

// Removes the first " (x86)" of a 32-bit folder to name its 64-bit twin.
std::u16string without_x86(std::u16string text) {
  static constexpr std::u16string_view kX86 = u" (x86)";
  const auto at = text.find(kX86);
  if (at != std::u16string::npos) text.erase(at, kX86.size());
  return text;
}

bool is_ascii_letter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

std::u16string decimal(long long n) { return support::ascii_to_utf16(std::to_string(n)); }

// The variables in replacement order.
constexpr std::array<std::u16string_view, kFolderVariableCount> kNames = {
    u"AppDataAllDir", u"AppDataDir",        u"Automatic",        u"Bits",
    u"BootDrive",     u"CommonDir",         u"CommonDir32",      u"CommonDir64",
    u"DesktopAllDir", u"DesktopDir",        u"DesktopShortcuts", u"DeviceDir",
    u"DocumentAllDir", u"DocumentDir",      u"Existing",         u"FavoritesAllDir",
    u"FavoritesDir",  u"FontDir",           u"Inetpub",          u"InstallDir",
    u"InstallDrive",  u"InstallerDir",      u"InstallerDrive",   u"InstallerFilename",
    u"InstallerFilepath", u"Language",      u"MediaDir",         u"NetworkInstall",
    u"OldVersion",    u"OldVersionMajor",   u"OldVersionMinor",  u"Portable",
    u"ProductName",   u"CompanyName",       u"ProgramsDir",      u"ProgramsDir32",
    u"ProgramsDir64", u"SharedDir",         u"SMProgramsAllDir", u"SMProgramsDir",
    u"StartMenuAllDir", u"StartMenuChosen", u"StartMenuDir",     u"StartupAllDir",
    u"StartupDir",    u"SystemDir",         u"Temp",             u"UninstallDir",
    u"Version",       u"WinDir",            u"OS",               u"OSMajor",
    u"OSMinor",       u"OSName",            u"OSDescription",    u"OSServer",
};


bool folder_exists(platform::System& sys, const std::u16string& path) { return support::is_folder(sys.files, path); }

// The folder of a path without a trailing backslash, as every folder query
// returns it ("C:" for "C:\setup.exe").
std::u16string parent_folder(std::u16string_view path) {
  return support::without_trailing_backslash(support::folder_of(path));
}

}  // namespace

// ---------------------------------------------------------------------------
// Pure helpers
// ---------------------------------------------------------------------------

void replace_all_ignoring_case(std::u16string& text, std::u16string_view name, std::u16string_view value) {
  if (name.empty() || text.size() < name.size()) return;
  std::u16string result;
  std::size_t copied = 0;
  std::size_t at = 0;
  bool found = false;
  while (at + name.size() <= text.size()) {
    if (support::iequals(std::u16string_view(text).substr(at, name.size()), name)) {
      result.append(text, copied, at - copied);
      result.append(value);
      at += name.size();
      copied = at;
      found = true;
    } else {
      ++at;
    }
  }
  if (!found) return;
  result.append(text, copied, std::u16string::npos);
  text = std::move(result);
}

std::u16string drive_of(std::u16string_view path) {
  if (path.size() >= 2 && is_ascii_letter(path[0]) && path[1] == u':') {
    return std::u16string(1, support::to_upper(path[0])) + u":";
  }
  return u"";
}

std::u16string version_part(std::u16string_view version, int n) {
  int index = 0;
  std::size_t start = 0;
  while (start <= version.size()) {
    std::size_t end = version.find(u'.', start);
    if (end == std::u16string_view::npos) end = version.size();
    if (end > start) {
      if (index == n) return std::u16string(version.substr(start, end - start));
      ++index;
    }
    start = end + 1;
  }
  return u"";
}

// ---------------------------------------------------------------------------
// Folder queries
// ---------------------------------------------------------------------------

std::u16string FolderQueries::registry_text(RegRoot root, const std::u16string& subkey, const std::u16string& name) {
  auto value = sys_.registry.get_value(platform::RegKeyPath{root, subkey, platform::RegView::kDefault}, name);
  if (!value) return u"";
  return support::registry_text(*value).value_or(u"");
}

const SystemDescription& FolderQueries::system_description() {
  if (!cache_.system) {
    SystemDescription s;
    s.version = sys_.info.os_version();
    s.is_64bit = sys_.info.is_64bit_windows();
    s.wine_version = sys_.info.wine_version();
    s.release_id = registry_text(RegRoot::kLocalMachine, kWindowsNtCurrentVersionKey, u"ReleaseId");
    cache_.system = std::move(s);
  }
  return *cache_.system;
}

std::u16string FolderQueries::special(int id) {
  auto path = sys_.shell.special_folder(id);
  return path ? *path : u"";
}

std::u16string FolderQueries::known(std::u16string_view id) {
  auto path = sys_.shell.known_folder(std::u16string(id));
  return path ? *path : u"";
}

std::u16string FolderQueries::shell_folders_value(bool common, const std::u16string& name) {
  return without_trailing_backslash_unless_root(
      registry_text(common ? RegRoot::kLocalMachine : RegRoot::kCurrentUser, kShellFoldersKey, name));
}

std::u16string FolderQueries::current_version_value(const std::u16string& name) {
  return without_trailing_backslash_unless_root(registry_text(RegRoot::kLocalMachine, kCurrentVersionKey, name));
}

std::u16string FolderQueries::common_startup_value() { return shell_folders_value(true, u"Common Startup"); }

std::u16string FolderQueries::windows_folder() { return sys_.shell.windows_folder(); }

std::u16string FolderQueries::module_path() {
  std::u16string path = sys_.processes.module_path();
  return path.size() < kModulePathBuffer ? path : u"";
}

bool FolderQueries::is_network_folder(const std::u16string& folder) {
  if (folder.starts_with(u"\\\\")) return true;
  const std::u16string drive = drive_of(folder);
  if (drive.empty()) return false;
  return sys_.files.drive_type(drive + u"\\") == platform::DriveType::kRemote;
}

std::u16string FolderQueries::common_app_data() {
  if (auto p = special(csidl::kCommonAppData); !p.empty()) return p;
  if (auto p = shell_folders_value(true, u"Common AppData"); !p.empty()) return p;
  return common_files(false);
}

std::u16string FolderQueries::app_data() {
  if (auto p = special(csidl::kAppData); !p.empty()) return p;
  if (auto p = shell_folders_value(false, u"AppData"); !p.empty()) return p;
  return common_files(false);
}

std::u16string FolderQueries::boot_drive() {
  const std::u16string boot =
      registry_text(RegRoot::kLocalMachine, kCurrentVersionKey + u"\\Setup", u"BootDir");
  char16_t letter = u'C';
  if (boot.size() >= 2 && is_ascii_letter(boot[0]) && boot[1] == u':') letter = support::to_upper(boot[0]);
  return std::u16string(1, letter) + u":";
}

std::u16string FolderQueries::common_files(bool want_64bit) {
  if (want_64bit && windows_is_64bit()) {
    if (auto p = known(kFolderProgramFilesCommonX64); !p.empty()) return p;
    if (auto p = sys_.shell.environment_variable(u"CommonProgramW6432"); p && !p->empty()) return *p;
    return without_x86(common_files(false));
  }
  if (auto p = special(csidl::kProgramFilesCommon); !p.empty()) return p;
  if (auto p = known(kFolderProgramFilesCommon); !p.empty()) return p;
  if (auto p = current_version_value(u"CommonFilesDir"); !p.empty()) return p;
  return support::join_path(program_files(false), u"Common Files");
}

std::u16string FolderQueries::program_files(bool want_64bit) {
  if (want_64bit && windows_is_64bit()) {
    if (auto p = known(kFolderProgramFilesX64); !p.empty()) return p;
    if (auto p = sys_.shell.environment_variable(u"ProgramW6432"); p && !p->empty()) return *p;
    return without_x86(program_files(false));
  }
  if (auto p = special(csidl::kProgramFiles); !p.empty()) return p;
  if (auto p = known(kFolderProgramFiles); !p.empty()) return p;
  if (auto p = current_version_value(u"ProgramFilesDir"); !p.empty()) return p;
  return u"c:\\Program Files";
}

std::u16string FolderQueries::shell_folder(ShellFolder folder) {
  // One row of the chain: the special folder, then the Shell Folders value.
  auto first_of = [this](int id, bool common, const char16_t* value) -> std::u16string {
    if (auto p = special(id); !p.empty()) return p;
    return shell_folders_value(common, value);
  };
  std::u16string p;
  switch (folder) {
    case ShellFolder::kCommonDesktop:
      p = first_of(csidl::kCommonDesktopDirectory, true, u"Common Desktop");
      return p.empty() ? shell_folder(ShellFolder::kDesktop) : p;
    case ShellFolder::kDesktop:
      p = first_of(csidl::kDesktopDirectory, false, u"Desktop");
      return p.empty() ? support::join_path(windows_folder(), u"Desktop") : p;
    case ShellFolder::kCommonDocuments:
      p = first_of(csidl::kCommonDocuments, true, u"Common Documents");
      return p.empty() ? shell_folder(ShellFolder::kDocuments) : p;
    case ShellFolder::kDocuments:
      p = first_of(csidl::kPersonal, false, u"Personal");
      return p.empty() ? u"c:\\My Documents" : p;
    case ShellFolder::kCommonFavorites:
      p = first_of(csidl::kCommonFavorites, true, u"Common Favorites");
      return p.empty() ? shell_folder(ShellFolder::kFavorites) : p;
    case ShellFolder::kFavorites:
      p = first_of(csidl::kFavorites, false, u"Favorites");
      return p.empty() ? support::join_path(windows_folder(), u"Favorites") : p;
    case ShellFolder::kFonts:
      p = first_of(csidl::kFonts, false, u"Fonts");
      return p.empty() ? support::join_path(windows_folder(), u"Fonts") : p;
    case ShellFolder::kCommonPrograms:
      p = first_of(csidl::kCommonPrograms, true, u"Common Programs");
      if (p.empty()) {
        if (auto startup = common_startup_value(); !startup.empty()) p = parent_folder(startup);
      }
      return p.empty() ? shell_folder(ShellFolder::kPrograms) : p;
    case ShellFolder::kPrograms:
      p = first_of(csidl::kPrograms, false, u"Programs");
      return p.empty() ? support::join_path(shell_folder(ShellFolder::kStartMenu), u"Programs") : p;
    case ShellFolder::kCommonStartMenu:
      p = first_of(csidl::kCommonStartMenu, true, u"Common Start Menu");
      if (p.empty()) {
        if (auto startup = common_startup_value(); !startup.empty()) p = parent_folder(parent_folder(startup));
      }
      return p.empty() ? shell_folder(ShellFolder::kStartMenu) : p;
    case ShellFolder::kStartMenu:
      p = first_of(csidl::kStartMenu, false, u"Start Menu");
      return p.empty() ? support::join_path(windows_folder(), u"Start Menu") : p;
    case ShellFolder::kCommonStartup:
      p = first_of(csidl::kCommonStartup, true, u"Common Startup");
      return p.empty() ? shell_folder(ShellFolder::kStartup) : p;
    case ShellFolder::kStartup:
      p = first_of(csidl::kStartup, false, u"Startup");
      return p.empty() ? support::join_path(shell_folder(ShellFolder::kPrograms), u"StartUp") : p;
  }
  return u"";
}

std::u16string FolderQueries::device_folder() {
  std::u16string path = registry_text(RegRoot::kLocalMachine, kCurrentVersionKey, u"DevicePath");
  if (const auto semicolon = path.find(u';'); semicolon != std::u16string::npos) path.resize(semicolon);
  replace_all_ignoring_case(path, u"%SystemRoot%", windows_folder());
  path = without_trailing_backslash_unless_root(std::move(path));
  if (!path.empty()) return path;
  return support::join_path(windows_folder(), u"INF");
}

std::u16string FolderQueries::media_folder() {
  if (auto p = current_version_value(u"MediaPath"); !p.empty()) return p;
  return support::join_path(windows_folder(), u"Media");
}

std::u16string FolderQueries::inetpub() {
  std::u16string root = registry_text(RegRoot::kLocalMachine, u"SOFTWARE\\Microsoft\\INetStp", u"PathWWWRoot");
  if (!root.empty()) root = sys_.shell.expand_environment(root);
  if (root.empty()) root = u"c:\\Inetpub\\wwwroot";
  root = without_trailing_backslash(std::move(root));
  const auto at = root.rfind(u'\\');
  root.resize(at == std::u16string::npos ? 0 : at + 1);
  return without_trailing_backslash(std::move(root));
}

std::u16string FolderQueries::system_folder() {
  if (auto p = sys_.shell.system_folder(); !p.empty()) return p;
  const bool nt = system_description().version.platform == platform::OsPlatform::kNt;
  return support::join_path(windows_folder(), nt ? u"System32" : u"System");
}

std::u16string FolderQueries::temp_folder() {
  if (cache_.temp_folder) return *cache_.temp_folder;
  std::u16string temp = without_trailing_backslash(sys_.files.temp_path());
  if (temp.empty() || !folder_exists(sys_, temp)) {
    temp = support::join_path(windows_folder(), u"temp");
    if (!folder_exists(sys_, temp)) {
      temp = u"c:\\temp";
      sys_.files.create_directory(temp);
    }
  }
  cache_.temp_folder = temp;
  return temp;
}

// ---------------------------------------------------------------------------
// The variables
// ---------------------------------------------------------------------------

std::u16string_view folder_variable_name(int index) {
  if (index < 0 || index >= kFolderVariableCount) return u"";
  return kNames[static_cast<std::size_t>(index)];
}

std::u16string folder_variable_value(int index, FolderQueries& q, const FolderVariableState& s) {
  switch (index) {
    case 0: return q.common_app_data();
    case 1: return q.app_data();
    case 2: return s.automatic ? u"1" : u"0";
    case 3: return q.windows_is_64bit() ? u"64" : u"32";
    case 4: return q.boot_drive();
    case 5: return q.common_files(s.product_64bit);
    case 6: return q.common_files(false);
    case 7: return q.common_files(true);
    case 8: return q.shell_folder(ShellFolder::kCommonDesktop);
    case 9: return q.shell_folder(ShellFolder::kDesktop);
    case 10:
      return support::join_path(q.shell_folder(s.all_users_shortcuts ? ShellFolder::kCommonDesktop : ShellFolder::kDesktop),
                       s.desktop_folder);
    case 11: return q.device_folder();
    case 12: return q.shell_folder(ShellFolder::kCommonDocuments);
    case 13: return q.shell_folder(ShellFolder::kDocuments);
    case 14: return decimal(s.existing_code);
    case 15: return q.shell_folder(ShellFolder::kCommonFavorites);
    case 16: return q.shell_folder(ShellFolder::kFavorites);
    case 17: return q.shell_folder(ShellFolder::kFonts);
    case 18: return q.inetpub();
    case 19: return s.install_folder;
    case 20: return drive_of(s.install_folder);
    case 21: return parent_folder(q.module_path());
    case 22: return drive_of(q.module_path());
    case 23: {
      const std::u16string path = q.module_path();
      const auto at = path.rfind(u'\\');
      return at == std::u16string::npos ? path : path.substr(at + 1);
    }
    case 24: return q.module_path();
    case 25: return s.language_name;
    case 26: return q.media_folder();
    case 27: return q.is_network_folder(s.install_folder) ? u"1" : u"0";
    case 28: return s.existing_version;
    case 29: return version_part(s.existing_version, 0);
    case 30: return version_part(s.existing_version, 1);
    case 31: return s.portable ? u"1" : u"0";
    case 32: return s.product_name;
    case 33: return s.company_name;
    case 34: return q.program_files(s.product_64bit);
    case 35: return q.program_files(false);
    case 36: return q.program_files(true);
    case 37: return s.shared_folder;
    case 38: return q.shell_folder(ShellFolder::kCommonPrograms);
    case 39: return q.shell_folder(ShellFolder::kPrograms);
    case 40: return q.shell_folder(ShellFolder::kCommonStartMenu);
    case 41:
      return support::join_path(q.shell_folder(s.all_users_shortcuts ? ShellFolder::kCommonPrograms : ShellFolder::kPrograms),
                       s.start_menu_folder);
    case 42: return q.shell_folder(ShellFolder::kStartMenu);
    case 43: return q.shell_folder(ShellFolder::kCommonStartup);
    case 44: return q.shell_folder(ShellFolder::kStartup);
    case 45: return q.system_folder();
    case 46: return q.temp_folder();
    case 47: return s.uninstall_folder;
    case 48: return s.product_version;
    case 49: return q.windows_folder();
    case 50: return decimal(release_code(q.system_description()));
    case 51: return decimal(q.system_description().version.major);
    case 52: return decimal(q.system_description().version.minor);
    case 53: return release_short_name(q.system_description());
    case 54: return os_description(q.system_description());
    case 55: return is_server(q.system_description().version) ? u"1" : u"0";
    default: return u"";
  }
}

void expand_variables(platform::System& system, const FolderVariableState& state, FolderCache& cache,
                      std::u16string& text) {
  FolderQueries queries(system, cache);
  for (int i = 0; i < kFolderVariableCount; ++i) {
    const std::u16string name = u"%" + std::u16string(kNames[static_cast<std::size_t>(i)]) + u"%";
    // Values are computed only for names that occur: some queries have
    // effects (the temporary folder may be created).
    bool occurs = false;
    for (std::size_t at = 0; at + name.size() <= text.size() && !occurs; ++at) {
      occurs = support::iequals(std::u16string_view(text).substr(at, name.size()), name);
    }
    if (!occurs) continue;
    replace_all_ignoring_case(text, name, folder_variable_value(i, queries, state));
  }
  if (text.find(u'%') == std::u16string::npos) return;
  std::u16string expanded = system.shell.expand_environment(text);
  if (!expanded.empty() && expanded.size() <= kEnvironmentLimit) text = std::move(expanded);
}

}  // namespace hs::install
