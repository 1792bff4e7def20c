#include "platform/sim/sim_machine.h"

#include <fstream>
#include <sstream>

#include "support/text.h"

namespace hs::platform::sim {

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

RegValue sz(std::u16string_view text) { return RegValue{regtype::kSz, sz_bytes(text)}; }
RegValue expand_sz(std::u16string_view text) { return RegValue{regtype::kExpandSz, sz_bytes(text)}; }
RegValue dword(std::uint32_t n) {
  return RegValue{regtype::kDword, {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                    static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)}};
}

std::u16string product_name(const OsVersion& v) {
  const bool server = v.product_type != product_type::kWorkstation;
  if (v.platform == OsPlatform::kWindows9x) return v.minor >= 90 ? u"Windows ME" : v.minor >= 10 ? u"Windows 98" : u"Windows 95";
  if (v.major == 5 && v.minor == 0) return server ? u"Windows 2000 Server" : u"Windows 2000 Professional";
  if (v.major == 5 && v.minor == 1) return u"Microsoft Windows XP";
  if (v.major == 5) return u"Microsoft Windows Server 2003";
  if (v.major == 6 && v.minor == 0) return server ? u"Windows Server (R) 2008 Standard" : u"Windows Vista (TM) Business";
  if (v.major == 6 && v.minor == 1) return server ? u"Windows Server 2008 R2 Standard" : u"Windows 7 Professional";
  if (v.major == 6 && v.minor == 2) return server ? u"Windows Server 2012 Standard" : u"Windows 8 Pro";
  if (v.major == 6) return server ? u"Windows Server 2012 R2 Standard" : u"Windows 8.1 Pro";
  if (server) return u"Windows Server Standard";
  // Windows 11 still calls itself "Windows 10" here.
  return u"Windows 10 Pro";
}

}  // namespace

SimMachine::SimMachine(fs::path root, RunOptions options)
    : root_(fs::absolute(root)),
      files_(*this),
      shell_(*this),
      processes_(*this),
      info_(*this),
      system_{files_, registry_, shell_, processes_, ui_, info_, clock_} {
  std::error_code ec;
  fs::create_directories(root_, ec);
  if (ec) throw MachineError("cannot create the machine folder " + root_.string() + ": " + ec.message());
  load_config(options);
  clock_.set_utc_offset(config_.utc_offset_minutes);
  meta_.open(root_ / "meta.txt");
  registry_.open(root_ / "registry.reg", config_.is_64bit);
  create_standard_folders();
  if (!registry_.loaded_from_file()) fill_default_registry();

  processes_.start_process(options.command_line, options.module_path);
  auto module = parse_win_path(options.module_path, WinPath{u'C', {u"Windows", u"system32"}});
  files_.current_folder = module ? module->parent() : WinPath{u'C', {}};
  shell_.start();

  std::vector<ScriptedAnswer> answers;
  std::string error;
  if (!read_answers(options.answers, answers, error)) throw MachineError(error);
  ui_.start(std::move(answers), options.transcript_path);
}

SimMachine::~SimMachine() = default;

void SimMachine::load_config(const RunOptions& options) {
  const fs::path file = root_ / "machine.ini";
  if (fs::exists(file)) {
    std::string error;
    if (!read_machine_config(read_file(file), config_, error)) {
      throw MachineError(file.string() + ": " + error);
    }
  }
  if (options.configure) options.configure(config_);
  if (!config_.drives.count('C')) config_.drives['C'] = DriveConfig{};
  write_file(file, write_machine_config(config_));
}

std::u16string SimMachine::profile_folder() const {
  return (legacy_profiles() ? u"C:\\Documents and Settings\\" : u"C:\\Users\\") + config_.user_name;
}

Result<fs::path> SimMachine::host_path(const std::u16string& windows_path) {
  auto p = files_.resolve(windows_path);
  if (!p) return Result<fs::path>::fail(p.error());
  return Result<fs::path>::ok(files_.host_path(*p));
}

fs::path SimMachine::host_path(const WinPath& path) { return files_.host_path(path); }

void SimMachine::create_standard_folders() {
  std::error_code ec;
  for (const auto& [letter, drive] : config_.drives) {
    (void)drive;
    fs::create_directories(root_ / "drives" / std::string(1, letter), ec);
  }
  const bool redirection = fs_redirection;
  fs_redirection = false;  // the folders as Windows itself lays them out
  for (const auto& folder : shell_.standard_folders()) {
    auto p = parse_win_path(folder, WinPath{});
    if (!p) continue;
    // Each component is matched against what is there, so that an existing
    // folder keeps the case it was written with.
    WinPath partial{p->drive, {}};
    for (const auto& part : p->parts) {
      partial.parts.push_back(part);
      fs::create_directory(files_.host_path(partial), ec);
    }
  }
  fs_redirection = redirection;
}

void SimMachine::fill_default_registry() {
  RegTree& tree = registry_.tree();
  const OsVersion& v = config_.version;
  const bool x64 = config_.is_64bit;
  auto key = [&](RegKey& root, std::u16string_view path) -> RegKey& { return *RegTree::walk(root, path, true); };
  RegKey& hklm = tree.local_machine;
  RegKey& user = key(tree.users, tree.current_user_sid);
  key(tree.users, u".DEFAULT\\Software");

  RegKey& cv = key(hklm, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  cv.set_value(u"ProgramFilesDir", sz(u"C:\\Program Files"));
  cv.set_value(u"CommonFilesDir", sz(u"C:\\Program Files\\Common Files"));
  if (x64) {
    cv.set_value(u"ProgramFilesDir (x86)", sz(u"C:\\Program Files (x86)"));
    cv.set_value(u"CommonFilesDir (x86)", sz(u"C:\\Program Files (x86)\\Common Files"));
    cv.set_value(u"ProgramW6432Dir", sz(u"C:\\Program Files"));
    RegKey& wow = key(hklm, u"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion");
    wow.set_value(u"ProgramFilesDir", sz(u"C:\\Program Files (x86)"));
    wow.set_value(u"CommonFilesDir", sz(u"C:\\Program Files (x86)\\Common Files"));
    key(wow, u"Uninstall");
    key(wow, u"App Paths");
  }
  key(cv, u"Uninstall");
  key(cv, u"App Paths");
  key(cv, u"SharedDLLs");
  key(cv, u"Run");
  key(hklm, u"SOFTWARE\\Classes");

  if (v.platform == OsPlatform::kNt) {
    RegKey& nt = key(hklm, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
    nt.set_value(u"ProductName", sz(product_name(v)));
    nt.set_value(u"CurrentBuild", sz(support::ascii_to_utf16(std::to_string(v.build))));
    nt.set_value(u"CurrentBuildNumber", sz(support::ascii_to_utf16(std::to_string(v.build))));
    const std::string version = v.major >= 10 ? "6.3" : std::to_string(v.major) + "." + std::to_string(v.minor);
    nt.set_value(u"CurrentVersion", sz(support::ascii_to_utf16(version)));
    if (v.major >= 10) {
      nt.set_value(u"CurrentMajorVersionNumber", dword(v.major));
      nt.set_value(u"CurrentMinorVersionNumber", dword(v.minor));
    }
    if (!v.service_pack.empty()) nt.set_value(u"CSDVersion", sz(v.service_pack));
    nt.set_value(u"SystemRoot", sz(u"C:\\Windows"));
  }

  RegKey& env = key(hklm, u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
  env.set_value(u"ComSpec", expand_sz(u"%SystemRoot%\\system32\\cmd.exe"));
  env.set_value(u"OS", sz(u"Windows_NT"));
  env.set_value(u"Path", expand_sz(u"%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem"));
  env.set_value(u"PATHEXT", sz(u".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"));
  env.set_value(u"TEMP", expand_sz(u"%SystemRoot%\\TEMP"));
  env.set_value(u"TMP", expand_sz(u"%SystemRoot%\\TEMP"));
  env.set_value(u"windir", expand_sz(u"%SystemRoot%"));
  key(hklm, u"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current");

  // Shell Folders, as Explorer keeps them for older programs.
  const std::pair<const char16_t*, int> kCommon[] = {
      {u"Common AppData", 0x23}, {u"Common Desktop", 0x19}, {u"Common Documents", 0x2e}, {u"Common Programs", 0x17},
      {u"Common Start Menu", 0x16}, {u"Common Startup", 0x18}, {u"Common Templates", 0x2d}};
  RegKey& common = key(cv, u"Explorer\\Shell Folders");
  for (const auto& [name, csidl] : kCommon) common.set_value(name, sz(shell_.default_special_folder(csidl)));
  const std::pair<const char16_t*, int> kUser[] = {
      {u"AppData", 0x1a},   {u"Cache", 0x20},       {u"Cookies", 0x21},    {u"Desktop", 0x10},
      {u"Favorites", 0x06}, {u"History", 0x22},     {u"Local AppData", 0x1c}, {u"My Music", 0x0d},
      {u"My Pictures", 0x27}, {u"My Video", 0x0e},  {u"Personal", 0x05},   {u"Programs", 0x02},
      {u"Recent", 0x08},    {u"SendTo", 0x09},      {u"Start Menu", 0x0b}, {u"Startup", 0x07},
      {u"Templates", 0x15}};
  RegKey& user_cv = key(user, u"Software\\Microsoft\\Windows\\CurrentVersion");
  RegKey& user_folders = key(user_cv, u"Explorer\\Shell Folders");
  for (const auto& [name, csidl] : kUser) user_folders.set_value(name, sz(shell_.default_special_folder(csidl)));
  key(user_cv, u"Run");
  key(user, u"Software\\Classes");
  RegKey& user_env = key(user, u"Environment");
  const std::u16string temp = legacy_profiles() ? u"%USERPROFILE%\\Local Settings\\Temp" : u"%USERPROFILE%\\AppData\\Local\\Temp";
  user_env.set_value(u"TEMP", expand_sz(temp));
  user_env.set_value(u"TMP", expand_sz(temp));
  registry_.save();
}

void SimMachine::put_file(const fs::path& host_file, const std::u16string& windows_path) {
  auto p = parse_win_path(windows_path, files_.current_folder);
  if (!p || p->is_root()) throw MachineError("not a file path: " + support::utf16_to_utf8(windows_path));
  WinPath partial{p->drive, {}};
  std::error_code ec;
  for (std::size_t i = 0; i + 1 < p->parts.size(); ++i) {
    partial.parts.push_back(p->parts[i]);
    fs::create_directory(files_.host_path(partial), ec);
  }
  fs::copy_file(host_file, files_.host_path(*p), fs::copy_options::overwrite_existing, ec);
  if (ec) throw MachineError("cannot copy " + host_file.string() + " into the machine: " + ec.message());
}

}  // namespace hs::platform::sim
