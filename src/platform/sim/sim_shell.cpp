#include "platform/sim/sim_shell.h"

#include <functional>

#include "platform/sim/sim_machine.h"
#include "support/text.h"

namespace hs::platform::sim {

namespace {

// The folders of one machine, as Windows lays them out for its version.
struct Layout {
  bool legacy = false;   // Windows before Vista: "Documents and Settings"
  bool is_64bit = true;  // Windows is 64-bit (the engine is a 32-bit process)
  std::u16string user;

  std::u16string profile() const { return (legacy ? u"C:\\Documents and Settings\\" : u"C:\\Users\\") + user; }
  std::u16string all_users() const { return legacy ? u"C:\\Documents and Settings\\All Users" : u"C:\\ProgramData"; }
  std::u16string public_folder() const { return legacy ? all_users() : u"C:\\Users\\Public"; }
  std::u16string appdata() const { return profile() + (legacy ? u"\\Application Data" : u"\\AppData\\Roaming"); }
  std::u16string local_appdata() const {
    return profile() + (legacy ? u"\\Local Settings\\Application Data" : u"\\AppData\\Local");
  }
  std::u16string temp() const { return legacy ? profile() + u"\\Local Settings\\Temp" : local_appdata() + u"\\Temp"; }
  std::u16string start_menu() const {
    return legacy ? profile() + u"\\Start Menu" : appdata() + u"\\Microsoft\\Windows\\Start Menu";
  }
  std::u16string common_start_menu() const {
    return legacy ? all_users() + u"\\Start Menu" : u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu";
  }
  std::u16string common_appdata() const { return legacy ? all_users() + u"\\Application Data" : u"C:\\ProgramData"; }
  std::u16string documents() const { return profile() + (legacy ? u"\\My Documents" : u"\\Documents"); }
  std::u16string user_folder(const char16_t* modern, const char16_t* old) const {
    return legacy ? documents() + u"\\" + old : profile() + u"\\" + modern;
  }
  std::u16string common_folder(const char16_t* modern, const char16_t* old) const {
    return public_folder() + u"\\" + (legacy ? old : modern);
  }
  // Program Files as a 32-bit process sees it, and the native one.
  std::u16string program_files() const { return is_64bit ? u"C:\\Program Files (x86)" : u"C:\\Program Files"; }
  std::u16string program_files_native() const { return u"C:\\Program Files"; }
  std::u16string windows_tail(const char16_t* tail) const { return std::u16string(u"C:\\Windows\\") + tail; }
};

Layout layout_of(const SimMachine& machine) {
  return Layout{machine.legacy_profiles(), machine.config().is_64bit, machine.config().user_name};
}

// CSIDL numbers and their folders.
struct SpecialFolder {
  int csidl;
  std::function<std::u16string(const Layout&)> path;
};

const std::vector<SpecialFolder>& special_folders() {
  static const std::vector<SpecialFolder> kFolders = {
      {0x00, [](const Layout& l) { return l.profile() + u"\\Desktop"; }},
      {0x02, [](const Layout& l) { return l.start_menu() + u"\\Programs"; }},
      {0x05, [](const Layout& l) { return l.documents(); }},
      {0x06, [](const Layout& l) { return l.profile() + u"\\Favorites"; }},
      {0x07, [](const Layout& l) { return l.start_menu() + u"\\Programs\\Startup"; }},
      {0x08, [](const Layout& l) { return l.legacy ? l.profile() + u"\\Recent" : l.appdata() + u"\\Microsoft\\Windows\\Recent"; }},
      {0x09, [](const Layout& l) { return l.legacy ? l.profile() + u"\\SendTo" : l.appdata() + u"\\Microsoft\\Windows\\SendTo"; }},
      {0x0b, [](const Layout& l) { return l.start_menu(); }},
      {0x0d, [](const Layout& l) { return l.user_folder(u"Music", u"My Music"); }},
      {0x0e, [](const Layout& l) { return l.user_folder(u"Videos", u"My Videos"); }},
      {0x10, [](const Layout& l) { return l.profile() + u"\\Desktop"; }},
      {0x14, [](const Layout& l) { return l.windows_tail(u"Fonts"); }},
      {0x15, [](const Layout& l) { return l.legacy ? l.profile() + u"\\Templates" : l.appdata() + u"\\Microsoft\\Windows\\Templates"; }},
      {0x16, [](const Layout& l) { return l.common_start_menu(); }},
      {0x17, [](const Layout& l) { return l.common_start_menu() + u"\\Programs"; }},
      {0x18, [](const Layout& l) { return l.common_start_menu() + u"\\Programs\\Startup"; }},
      {0x19, [](const Layout& l) { return l.public_folder() + u"\\Desktop"; }},
      {0x1a, [](const Layout& l) { return l.appdata(); }},
      {0x1c, [](const Layout& l) { return l.local_appdata(); }},
      {0x20, [](const Layout& l) { return l.legacy ? l.profile() + u"\\Local Settings\\Temporary Internet Files" : l.local_appdata() + u"\\Microsoft\\Windows\\INetCache"; }},
      {0x21, [](const Layout& l) { return l.legacy ? l.profile() + u"\\Cookies" : l.local_appdata() + u"\\Microsoft\\Windows\\INetCookies"; }},
      {0x22, [](const Layout& l) { return l.legacy ? l.profile() + u"\\Local Settings\\History" : l.local_appdata() + u"\\Microsoft\\Windows\\History"; }},
      {0x23, [](const Layout& l) { return l.common_appdata(); }},
      {0x24, [](const Layout&) { return std::u16string(u"C:\\Windows"); }},
      {0x25, [](const Layout& l) { return l.windows_tail(u"system32"); }},
      {0x26, [](const Layout& l) { return l.program_files(); }},
      {0x27, [](const Layout& l) { return l.user_folder(u"Pictures", u"My Pictures"); }},
      {0x28, [](const Layout& l) { return l.profile(); }},
      {0x29, [](const Layout& l) { return l.windows_tail(l.is_64bit ? u"SysWOW64" : u"system32"); }},
      {0x2a, [](const Layout& l) { return l.program_files(); }},
      {0x2b, [](const Layout& l) { return l.program_files() + u"\\Common Files"; }},
      {0x2c, [](const Layout& l) { return l.program_files() + u"\\Common Files"; }},
      {0x2d, [](const Layout& l) { return l.legacy ? l.all_users() + u"\\Templates" : std::u16string(u"C:\\ProgramData\\Microsoft\\Windows\\Templates"); }},
      {0x2e, [](const Layout& l) { return l.common_folder(u"Documents", u"Documents"); }},
      {0x2f, [](const Layout& l) { return l.common_start_menu() + u"\\Programs\\Administrative Tools"; }},
      {0x30, [](const Layout& l) { return l.start_menu() + u"\\Programs\\Administrative Tools"; }},
      {0x35, [](const Layout& l) { return l.common_folder(u"Music", u"Documents\\My Music"); }},
      {0x36, [](const Layout& l) { return l.common_folder(u"Pictures", u"Documents\\My Pictures"); }},
      {0x37, [](const Layout& l) { return l.common_folder(u"Videos", u"Documents\\My Videos"); }},
      {0x38, [](const Layout& l) { return l.windows_tail(u"resources"); }},
  };
  return kFolders;
}

// Known folder ids and their folders (Windows Vista and later).
struct KnownFolder {
  const char16_t* id;
  std::function<std::u16string(const Layout&)> path;  // "" = not for a 32-bit process
};

const std::vector<KnownFolder>& known_folders() {
  static const std::vector<KnownFolder> kFolders = {
      {u"{905E63B6-C1BF-494E-B29C-65B732D3D21A}", [](const Layout& l) { return l.program_files(); }},
      {u"{7C5A40EF-A0FB-4BFC-874A-C0F2E0B9FA8E}", [](const Layout& l) { return l.program_files(); }},
      // ProgramFilesX64 and ProgramFilesCommonX64 are not given to 32-bit
      // processes.
      {u"{6D809377-6AF0-444B-8957-A3773F02200E}", [](const Layout&) { return std::u16string(); }},
      {u"{6365D5A7-0F0D-45E5-87F6-0DA56B6A4F7D}", [](const Layout&) { return std::u16string(); }},
      {u"{F7F1ED05-9F6D-47A2-AAAE-29D317C6F066}", [](const Layout& l) { return l.program_files() + u"\\Common Files"; }},
      {u"{DE974D24-D9C6-4D3E-BF91-F4455120B917}", [](const Layout& l) { return l.program_files() + u"\\Common Files"; }},
      {u"{5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}", [](const Layout& l) { return l.local_appdata() + u"\\Programs"; }},
      {u"{BCBD3057-CA5C-4622-B42D-BC56DB0AE516}", [](const Layout& l) { return l.local_appdata() + u"\\Programs\\Common"; }},
      {u"{62AB5D82-FDC1-4DC3-A9DD-070D1D495D97}", [](const Layout& l) { return l.common_appdata(); }},
      {u"{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}", [](const Layout& l) { return l.local_appdata(); }},
      {u"{3EB685DB-65F9-4CF6-A03A-E3EF65729F3D}", [](const Layout& l) { return l.appdata(); }},
      {u"{B4BFCC3A-DB2C-424C-B029-7FE99A87C641}", [](const Layout& l) { return l.profile() + u"\\Desktop"; }},
      {u"{C4AA340D-F20F-4863-AFEF-F87EF2E6BA25}", [](const Layout& l) { return l.public_folder() + u"\\Desktop"; }},
      {u"{FDD39AD0-238F-46AF-ADB4-6C85480369C7}", [](const Layout& l) { return l.documents(); }},
      {u"{ED4824AF-DCE4-45A8-81E2-FC7965083634}", [](const Layout& l) { return l.public_folder() + u"\\Documents"; }},
      {u"{374DE290-123F-4565-9164-39C4925E467B}", [](const Layout& l) { return l.profile() + u"\\Downloads"; }},
      {u"{5E6C858F-0E22-4760-9AFE-EA3317B67173}", [](const Layout& l) { return l.profile(); }},
      {u"{FD228CB7-AE11-4AE3-864C-16F3910AB8FE}", [](const Layout& l) { return l.windows_tail(u"Fonts"); }},
      {u"{F38BF404-1D43-42F2-9305-67DE0B28FC23}", [](const Layout&) { return std::u16string(u"C:\\Windows"); }},
      {u"{1AC14E77-02E7-4E5D-B744-2EB1AE5198B7}", [](const Layout& l) { return l.windows_tail(u"system32"); }},
      {u"{D65231B0-B2F1-4857-A4CE-A8E7C6EA7D27}", [](const Layout& l) { return l.windows_tail(l.is_64bit ? u"SysWOW64" : u"system32"); }},
      {u"{625B53C3-AB48-4EC1-BA1F-A1EF4146FC19}", [](const Layout& l) { return l.start_menu(); }},
      {u"{A77F5D77-2E2B-44C3-A6A2-ABA601054A51}", [](const Layout& l) { return l.start_menu() + u"\\Programs"; }},
      {u"{B97D20BB-F46A-4C97-BA10-5E3608430854}", [](const Layout& l) { return l.start_menu() + u"\\Programs\\Startup"; }},
      {u"{A4115719-D62E-491D-AA7C-E74B8BE3B067}", [](const Layout& l) { return l.common_start_menu(); }},
      {u"{0139D44E-6AFE-49F2-8690-3DAFCAE6FFB8}", [](const Layout& l) { return l.common_start_menu() + u"\\Programs"; }},
      {u"{82A5EA35-D9CD-47C5-9629-E15D2F714E6E}", [](const Layout& l) { return l.common_start_menu() + u"\\Programs\\Startup"; }},
  };
  return kFolders;
}

constexpr SysError kProcNotFound = 127;

}  // namespace

bool SimShell::removed(const std::string& name) const { return machine_.config().removed.count(name) != 0; }

std::u16string SimShell::default_special_folder(int csidl) const {
  const Layout l = layout_of(machine_);
  for (const auto& folder : special_folders()) {
    if (folder.csidl == csidl) return folder.path(l);
  }
  return {};
}

std::vector<std::u16string> SimShell::standard_folders() const {
  const Layout l = layout_of(machine_);
  std::vector<std::u16string> out = {u"C:\\Windows\\System32"};  // the case it has on disk
  for (const auto& folder : special_folders()) out.push_back(folder.path(l));
  out.push_back(l.temp());
  out.push_back(l.profile() + u"\\Downloads");
  out.push_back(u"C:\\Windows\\Temp");
  if (l.is_64bit) {
    out.push_back(u"C:\\Windows\\SysWOW64");
    out.push_back(l.program_files_native());
    out.push_back(l.program_files_native() + u"\\Common Files");
  }
  return out;
}

Result<std::u16string> SimShell::special_folder(int csidl) {
  if (removed("csidl." + std::to_string(csidl))) return Result<std::u16string>::fail(err::kFileNotFound);
  std::u16string path = default_special_folder(csidl);
  if (path.empty()) return Result<std::u16string>::fail(err::kInvalidParameter);
  return Result<std::u16string>::ok(path);
}

Result<std::u16string> SimShell::known_folder(const std::u16string& folder_id) {
  if (machine_.legacy_profiles()) return Result<std::u16string>::fail(kProcNotFound);
  const std::u16string id = support::to_upper(folder_id);
  if (removed("known." + support::utf16_to_utf8(id))) return Result<std::u16string>::fail(err::kFileNotFound);
  const Layout l = layout_of(machine_);
  for (const auto& folder : known_folders()) {
    if (id == folder.id) {
      std::u16string path = folder.path(l);
      if (path.empty()) return Result<std::u16string>::fail(err::kFileNotFound);
      return Result<std::u16string>::ok(path);
    }
  }
  return Result<std::u16string>::fail(err::kFileNotFound);
}

std::u16string SimShell::windows_folder() { return machine_.windows_folder(); }

std::u16string SimShell::system_folder() { return machine_.windows_folder() + u"\\system32"; }

Result<std::u16string> SimShell::system_wow64_folder() {
  if (!machine_.config().is_64bit) return Result<std::u16string>::fail(120);  // ERROR_CALL_NOT_IMPLEMENTED
  return Result<std::u16string>::ok(machine_.windows_folder() + u"\\SysWOW64");
}

void SimShell::start() {
  const Layout l = layout_of(machine_);
  const MachineConfig& c = machine_.config();
  std::vector<std::pair<std::u16string, std::u16string>> vars = {
      {u"ALLUSERSPROFILE", l.all_users()},
      {u"APPDATA", l.appdata()},
      {u"CommonProgramFiles", l.program_files() + u"\\Common Files"},
      {u"COMPUTERNAME", c.computer_name},
      {u"ComSpec", u"C:\\Windows\\system32\\cmd.exe"},
      {u"HOMEDRIVE", u"C:"},
      {u"HOMEPATH", l.profile().substr(2)},
      {u"NUMBER_OF_PROCESSORS", u"2"},
      {u"OS", u"Windows_NT"},
      {u"Path", u"C:\\Windows\\system32;C:\\Windows;C:\\Windows\\System32\\Wbem"},
      {u"PATHEXT", u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
      {u"PROCESSOR_ARCHITECTURE", u"x86"},
      {u"ProgramFiles", l.program_files()},
      {u"SystemDrive", u"C:"},
      {u"SystemRoot", u"C:\\Windows"},
      {u"TEMP", l.temp()},
      {u"TMP", l.temp()},
      {u"USERDOMAIN", c.computer_name},
      {u"USERNAME", c.user_name},
      {u"USERPROFILE", l.profile()},
      {u"windir", u"C:\\Windows"},
  };
  if (!l.legacy) {
    vars.push_back({u"LOCALAPPDATA", l.local_appdata()});
    vars.push_back({u"ProgramData", u"C:\\ProgramData"});
    vars.push_back({u"PUBLIC", l.public_folder()});
  }
  if (l.is_64bit) {
    vars.push_back({u"CommonProgramFiles(x86)", l.program_files() + u"\\Common Files"});
    vars.push_back({u"CommonProgramW6432", l.program_files_native() + u"\\Common Files"});
    vars.push_back({u"PROCESSOR_ARCHITEW6432", u"AMD64"});
    vars.push_back({u"ProgramFiles(x86)", l.program_files()});
    vars.push_back({u"ProgramW6432", l.program_files_native()});
  }
  environment_.clear();
  for (auto& [name, value] : vars) {
    const std::u16string key = support::to_upper(name);
    if (!removed("env." + support::utf16_to_utf8(key))) environment_[key] = {name, value};
  }
}

Result<std::u16string> SimShell::environment_variable(const std::u16string& name) {
  auto it = environment_.find(support::to_upper(name));
  if (it == environment_.end()) return Result<std::u16string>::fail(203);  // ERROR_ENVVAR_NOT_FOUND
  return Result<std::u16string>::ok(it->second.second);
}

SysError SimShell::set_environment_variable(const std::u16string& name, const std::u16string& value) {
  if (name.empty() || name.find(u'=') != std::u16string::npos) return err::kInvalidParameter;
  environment_[support::to_upper(name)] = {name, value};
  return err::kSuccess;
}

std::u16string SimShell::expand_environment(const std::u16string& text) {
  std::u16string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find(u'%', pos);
    if (open == std::u16string::npos) break;
    const std::size_t close = text.find(u'%', open + 1);
    if (close == std::u16string::npos) break;
    out += text.substr(pos, open - pos);
    auto it = environment_.find(support::to_upper(text.substr(open + 1, close - open - 1)));
    if (close > open + 1 && it != environment_.end()) {
      out += it->second.second;
      pos = close + 1;
    } else {
      // Not a variable: the first percent sign stays, the second may open
      // the next name.
      out += text.substr(open, close - open);
      pos = close;
    }
  }
  out += text.substr(std::min(pos, text.size()));
  return out;
}

SysError SimShell::recycle(const std::u16string& path) {
  auto from = machine_.files().resolve(path);
  if (!from) return from.error();
  if (from->is_root()) return err::kAccessDenied;
  const std::filesystem::path host = machine_.files().host_path(*from);
  if (!std::filesystem::exists(host)) return err::kFileNotFound;
  // Deleted items go to the drive's recycle folder under a numbered name.
  WinPath bin{from->drive, {u"$Recycle.Bin"}};
  const std::filesystem::path host_bin = machine_.files().host_path(bin);
  std::error_code ec;
  std::filesystem::create_directories(host_bin, ec);
  std::size_t n = 1;
  while (std::filesystem::exists(host_bin / ("R" + std::to_string(n) + "_" + host.filename().string()))) ++n;
  std::filesystem::rename(host, host_bin / ("R" + std::to_string(n) + "_" + host.filename().string()), ec);
  if (ec) return err::kAccessDenied;
  machine_.meta().remove_tree(from->key());
  machine_.meta().save();
  machine_.processes().log_event(u"recycle " + from->text());
  return err::kSuccess;
}

void SimShell::notify_associations_changed() { machine_.processes().log_event(u"associations changed"); }

}  // namespace hs::platform::sim
