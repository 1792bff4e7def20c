// A small configurable Windows for the folder-variable and start-up tests:
// every source of a folder query (special and known folders, Shell Folders
// and CurrentVersion values, environment) is a map entry a test can remove.
#pragma once

#include <map>
#include <set>
#include <stdexcept>

#include "platform/system.h"
#include "wizard/backdrop_settings.h"
#include "support/text.h"

namespace hs::testing {

using namespace hs::platform;

inline std::u16string upper(std::u16string_view s) { return support::to_upper(s); }

// Thrown by exit_process so a test can see the exit code.
struct ExitCalled {
  int code;
};

class FakeFiles : public Files {
 public:
  std::set<std::u16string> folders;  // upper-cased paths that exist
  std::map<char16_t, DriveType> drive_types;
  std::u16string temp = u"C:\\Users\\u\\AppData\\Local\\Temp\\";

  Result<std::unique_ptr<File>> open(const std::u16string&, OpenMode) override {
    return Result<std::unique_ptr<File>>::fail(err::kFileNotFound);
  }
  Result<std::uint32_t> attributes(const std::u16string& path) override {
    if (folders.count(upper(path))) return Result<std::uint32_t>::ok(attr::kDirectory);
    return Result<std::uint32_t>::fail(err::kFileNotFound);
  }
  [[nodiscard]] SysError set_attributes(const std::u16string&, std::uint32_t) override { return 0; }
  Result<FileTimes> times(const std::u16string&) override { return Result<FileTimes>::fail(err::kFileNotFound); }
  [[nodiscard]] SysError set_times(const std::u16string&, const FileTimes&) override { return 0; }
  [[nodiscard]] SysError create_directory(const std::u16string& path) override {
    folders.insert(upper(path));
    return 0;
  }
  [[nodiscard]] SysError remove_directory(const std::u16string& path) override {
    folders.erase(upper(path));
    return 0;
  }
  [[nodiscard]] SysError delete_file(const std::u16string&) override { return 0; }
  [[nodiscard]] SysError move_file(const std::u16string&, const std::u16string&, std::uint32_t) override { return 0; }
  [[nodiscard]] SysError copy_file(const std::u16string&, const std::u16string&, bool) override { return 0; }
  Result<std::vector<FindEntry>> find(const std::u16string&) override {
    return Result<std::vector<FindEntry>>::fail(err::kFileNotFound);
  }
  std::u16string temp_path() override { return temp; }
  Result<std::u16string> temp_file_name(const std::u16string&, const std::u16string&) override {
    return Result<std::u16string>::fail(err::kAccessDenied);
  }
  Result<std::u16string> short_path(const std::u16string& p) override { return Result<std::u16string>::ok(p); }
  Result<std::u16string> full_path(const std::u16string& p) override { return Result<std::u16string>::ok(p); }
  DriveType drive_type(const std::u16string& root) override {
    if (root.empty()) return DriveType::kNoRootDir;
    auto it = drive_types.find(support::to_upper(root[0]));
    return it == drive_types.end() ? DriveType::kFixed : it->second;
  }
  Result<FreeSpace> free_space(const std::u16string&) override { return Result<FreeSpace>::ok({}); }
  Result<std::uint32_t> volume_flags(const std::u16string&) override { return Result<std::uint32_t>::ok(0); }
};

class FakeRegistry : public Registry {
 public:
  // (root, upper-cased key) -> (upper-cased name -> value)
  std::map<std::pair<RegRoot, std::u16string>, std::map<std::u16string, RegValue>> keys;

  void set_text(RegRoot root, const std::u16string& key, const std::u16string& name, const std::u16string& text) {
    RegValue v;
    v.type = regtype::kSz;
    for (char16_t c : text) {
      v.data.push_back(static_cast<std::uint8_t>(c & 0xFF));
      v.data.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    v.data.push_back(0);
    v.data.push_back(0);
    keys[{root, upper(key)}][upper(name)] = v;
  }
  void remove_value(RegRoot root, const std::u16string& key, const std::u16string& name) {
    auto it = keys.find({root, upper(key)});
    if (it != keys.end()) it->second.erase(upper(name));
  }

  bool key_exists(const RegKeyPath& key) override { return keys.count({key.root, upper(key.subkey)}) != 0; }
  [[nodiscard]] SysError create_key(const RegKeyPath& key, bool* created) override {
    auto [it, inserted] = keys.try_emplace({key.root, upper(key.subkey)});
    if (created) *created = inserted;
    return 0;
  }
  [[nodiscard]] SysError delete_key(const RegKeyPath& key) override {
    keys.erase({key.root, upper(key.subkey)});
    return 0;
  }
  [[nodiscard]] SysError delete_tree(const RegKeyPath& key) override { return delete_key(key); }
  Result<RegValue> get_value(const RegKeyPath& key, const std::u16string& name) override {
    auto it = keys.find({key.root, upper(key.subkey)});
    if (it == keys.end()) return Result<RegValue>::fail(err::kFileNotFound);
    auto v = it->second.find(upper(name));
    if (v == it->second.end()) return Result<RegValue>::fail(err::kFileNotFound);
    return Result<RegValue>::ok(v->second);
  }
  [[nodiscard]] SysError set_value(const RegKeyPath& key, const std::u16string& name, const RegValue& value) override {
    keys[{key.root, upper(key.subkey)}][upper(name)] = value;
    return 0;
  }
  [[nodiscard]] SysError delete_value(const RegKeyPath& key, const std::u16string& name) override {
    remove_value(key.root, key.subkey, name);
    return 0;
  }
  Result<std::vector<std::u16string>> subkeys(const RegKeyPath&) override {
    return Result<std::vector<std::u16string>>::ok({});
  }
  Result<std::vector<std::u16string>> value_names(const RegKeyPath&) override {
    return Result<std::vector<std::u16string>>::ok({});
  }
};

class FakeShell : public Shell {
 public:
  std::map<int, std::u16string> special;       // CSIDL -> path
  std::map<std::u16string, std::u16string> known;  // folder id -> path
  std::map<std::u16string, std::u16string> environment;  // upper-cased name -> value
  std::u16string windows = u"C:\\Windows";
  std::u16string system = u"C:\\Windows\\system32";

  Result<std::u16string> special_folder(int csidl) override {
    auto it = special.find(csidl);
    if (it == special.end()) return Result<std::u16string>::fail(err::kFileNotFound);
    return Result<std::u16string>::ok(it->second);
  }
  Result<std::u16string> known_folder(const std::u16string& id) override {
    auto it = known.find(upper(id));
    if (it == known.end()) return Result<std::u16string>::fail(err::kFileNotFound);
    return Result<std::u16string>::ok(it->second);
  }
  std::u16string windows_folder() override { return windows; }
  std::u16string system_folder() override { return system; }
  Result<std::u16string> system_wow64_folder() override { return Result<std::u16string>::fail(1); }
  Result<std::u16string> environment_variable(const std::u16string& name) override {
    auto it = environment.find(upper(name));
    if (it == environment.end()) return Result<std::u16string>::fail(203);
    return Result<std::u16string>::ok(it->second);
  }
  [[nodiscard]] SysError set_environment_variable(const std::u16string& name, const std::u16string& value) override {
    environment[upper(name)] = value;
    return 0;
  }
  // ExpandEnvironmentStrings: %NAME% replaced where NAME is set, else kept.
  std::u16string expand_environment(const std::u16string& text) override {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
      if (text[i] == u'%') {
        const auto end = text.find(u'%', i + 1);
        if (end == std::u16string::npos) {
          out.append(text, i, std::u16string::npos);
          break;
        }
        auto it = environment.find(upper(text.substr(i + 1, end - i - 1)));
        if (it != environment.end()) {
          out += it->second;
          i = end + 1;
        } else {
          out.append(text, i, end - i);
          i = end;
        }
      } else {
        out += text[i++];
      }
    }
    return out;
  }
  [[nodiscard]] SysError recycle(const std::u16string&) override { return 0; }
  void notify_associations_changed() override {}
};

class FakeProcesses : public Processes {
 public:
  std::u16string module = u"D:\\Downloads\\setup.exe";
  MutexTake mutex_answer = MutexTake::kTaken;
  std::vector<std::u16string> mutexes_taken;
  int com_initialized = 0;  // initialize_com calls less uninitialize_com calls
  std::vector<std::u16string> privileges;
  std::function<void(const CrashInfo&)> crash_handler;

  bool initialize_com() override { return ++com_initialized, true; }
  void uninitialize_com() override { --com_initialized; }
  [[nodiscard]] SysError enable_privilege(const std::u16string& name) override { return privileges.push_back(name), 0; }
  void set_crash_handler(std::function<void(const CrashInfo&)> handler) override { crash_handler = std::move(handler); }
  std::u16string command_line() override { return u"\"" + module + u"\""; }
  std::u16string module_path() override { return module; }
  [[noreturn]] void exit_process(int code) override { throw ExitCalled{code}; }
  [[noreturn]] void terminate_process(int code) override { throw ExitCalled{code}; }
  MutexTake take_named_mutex(const std::u16string& name) override {
    mutexes_taken.push_back(name);
    return mutex_answer;
  }
  Result<std::unique_ptr<Process>> start(const std::u16string&, const std::u16string&, int) override {
    return Result<std::unique_ptr<Process>>::fail(err::kFileNotFound);
  }
  [[nodiscard]] SysError shell_execute(const std::u16string&, const std::u16string&, const std::u16string&,
                         const std::u16string&, int) override {
    return 0;
  }
};

class FakeUi : public UserInterface {
 public:
  std::vector<MessageBoxRequest> boxes;
  std::vector<PageRequest> pages;
  PageResult page_answer{1, {}};
  std::vector<Bytes> sounds;

  BoxResult message_box(const MessageBoxRequest& request) override {
    boxes.push_back(request);
    return BoxResult::kOk;
  }
  PageResult show_page(const PageRequest& request) override {
    pages.push_back(request);
    return page_answer;
  }
  void pump_messages() override {}
  bool load_application_icons() override { return true; }
  bool bind_window_subclassing() override { return true; }
  void play_sound(const Bytes& wav) override { sounds.push_back(wav); }

  // The progress page is never there.
  bool open_progress(const ProgressRequest&) override { return false; }
  void set_progress_text(const std::u16string&) override {}
  void set_progress_position(int) override {}
  bool take_progress_cancel() override { return false; }
  void close_progress() override {}

  // The backdrop the run created (its look as the window draws it, after
  // the last repaint), how often it was repainted, and whether it was
  // destroyed.
  std::optional<Backdrop> backdrop;
  int backdrop_repaints = 0;
  bool backdrop_destroyed = false;
  bool create_backdrop(const Backdrop& look) override {
    backdrop = look;
    return true;
  }
  void repaint_backdrop(const Backdrop& look) override {
    backdrop = look;
    ++backdrop_repaints;
  }
  void destroy_backdrop() override { backdrop_destroyed = true; }
};

class FakeInfo : public SystemInfo {
 public:
  OsVersion version;
  bool windows64 = true;
  std::optional<std::string> wine;
  SysError redirection_error = 0;
  int redirection_calls = 0;

  OsVersion os_version() override { return version; }
  bool is_64bit_windows() override { return windows64; }
  std::optional<std::string> wine_version() override { return wine; }
  std::uint32_t ansi_code_page() override { return 1252; }
  std::u16string ansi_to_utf16(std::string_view text) override { return support::cp1252_to_utf16(text); }
  std::string utf16_to_ansi(std::u16string_view text) override { return support::utf16_to_cp1252(text); }
  std::uint16_t user_language() override { return 0x409; }
  std::u16string computer_name() override { return u"PC"; }
  std::u16string user_name() override { return u"u"; }
  std::u16string error_text(SysError e) override { return u"error " + support::ascii_to_utf16(std::to_string(e)); }
  [[nodiscard]] SysError disable_fs_redirection() override {
    ++redirection_calls;
    return redirection_error;
  }
};

class FakeClock : public Clock {
 public:
  FileTime now_utc() override { return 0; }
  CalendarTime local_time() override { return {}; }
  std::uint32_t tick_count() override { return 0; }
  void sleep(int) override {}
};

// A whole machine, filled with the folders of a 64-bit Windows 10.
struct FakeMachine {
  FakeFiles files;
  FakeRegistry registry;
  FakeShell shell;
  FakeProcesses processes;
  FakeUi ui;
  FakeInfo info;
  FakeClock clock;
  System system{files, registry, shell, processes, ui, info, clock};
};

}  // namespace hs::testing
