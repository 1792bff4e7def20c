// The service classes of the Windows backend, one per interface of the
// platform boundary. Each file win32_<service>.cpp implements one.
#pragma once

#include <windows.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"
#include "platform/win32/win32_pages.h"

namespace hs::platform::win32 {

class Win32Files final : public Files {
 public:
  Result<std::unique_ptr<File>> open(const std::u16string& path, OpenMode mode) override;
  Result<std::uint32_t> attributes(const std::u16string& path) override;
  [[nodiscard]] SysError set_attributes(const std::u16string& path, std::uint32_t attributes) override;
  Result<FileTimes> times(const std::u16string& path) override;
  [[nodiscard]] SysError set_times(const std::u16string& path, const FileTimes& times) override;
  [[nodiscard]] SysError create_directory(const std::u16string& path) override;
  [[nodiscard]] SysError remove_directory(const std::u16string& path) override;
  [[nodiscard]] SysError delete_file(const std::u16string& path) override;
  [[nodiscard]] SysError move_file(const std::u16string& from, const std::u16string& to, std::uint32_t flags) override;
  [[nodiscard]] SysError copy_file(const std::u16string& from, const std::u16string& to, bool fail_if_exists) override;
  Result<std::vector<FindEntry>> find(const std::u16string& pattern) override;
  std::u16string temp_path() override;
  Result<std::u16string> temp_file_name(const std::u16string& folder, const std::u16string& prefix) override;
  Result<std::u16string> short_path(const std::u16string& path) override;
  Result<std::u16string> full_path(const std::u16string& path) override;
  DriveType drive_type(const std::u16string& root) override;
  Result<FreeSpace> free_space(const std::u16string& root) override;
  Result<std::uint32_t> volume_flags(const std::u16string& root) override;
};

class Win32Registry final : public Registry {
 public:
  bool key_exists(const RegKeyPath& key) override;
  [[nodiscard]] SysError create_key(const RegKeyPath& key, bool* created) override;
  [[nodiscard]] SysError delete_key(const RegKeyPath& key) override;
  [[nodiscard]] SysError delete_tree(const RegKeyPath& key) override;
  Result<RegValue> get_value(const RegKeyPath& key, const std::u16string& name) override;
  [[nodiscard]] SysError set_value(const RegKeyPath& key, const std::u16string& name, const RegValue& value) override;
  [[nodiscard]] SysError delete_value(const RegKeyPath& key, const std::u16string& name) override;
  Result<std::vector<std::u16string>> subkeys(const RegKeyPath& key) override;
  Result<std::vector<std::u16string>> value_names(const RegKeyPath& key) override;
};

class Win32Shell final : public Shell {
 public:
  Result<std::u16string> special_folder(int csidl) override;
  Result<std::u16string> known_folder(const std::u16string& folder_id) override;
  std::u16string windows_folder() override;
  std::u16string system_folder() override;
  Result<std::u16string> system_wow64_folder() override;
  Result<std::u16string> environment_variable(const std::u16string& name) override;
  [[nodiscard]] SysError set_environment_variable(const std::u16string& name, const std::u16string& value) override;
  std::u16string expand_environment(const std::u16string& text) override;
  [[nodiscard]] SysError recycle(const std::u16string& path) override;
  void notify_associations_changed() override;
};

class Win32Processes final : public Processes {
 public:
  ~Win32Processes() override;
  std::u16string command_line() override;
  std::u16string module_path() override;
  std::optional<std::span<const std::uint8_t>> mapped_section(std::uint32_t virtual_address,
                                                              std::uint32_t size_of_raw_data) override;
  bool initialize_com() override;
  void uninitialize_com() override;
  [[nodiscard]] SysError enable_privilege(const std::u16string& name) override;
  void set_crash_handler(std::function<void(const CrashInfo&)> handler) override;
  [[noreturn]] void exit_process(int code) override;
  [[noreturn]] void terminate_process(int code) override;
  MutexTake take_named_mutex(const std::u16string& name) override;
  Result<std::unique_ptr<Process>> start(const std::u16string& command_line, const std::u16string& working_folder,
                                         int show_mode) override;
  [[nodiscard]] SysError shell_execute(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                         const std::u16string& folder, int show_mode) override;

 private:
  std::vector<HANDLE> held_mutexes_;  // taken named mutexes, kept for the process
};

class Win32UserInterface final : public UserInterface {
 public:
  BoxResult message_box(const MessageBoxRequest& request) override;
  PageResult show_page(const PageRequest& request) override;
  void pump_messages() override;
  bool load_application_icons() override { return windows_.load_application_icons(); }
  bool bind_window_subclassing() override { return windows_.bind_window_subclassing(); }

  // Progress page and backdrop (win32_pages.h).
  bool open_progress(const ProgressRequest& request) override { return windows_.open_progress(request); }
  void set_progress_text(const std::u16string& text) override { windows_.set_progress_text(text); }
  void set_progress_position(int percent) override { windows_.set_progress_position(percent); }
  bool take_progress_cancel() override { return windows_.take_progress_cancel(); }
  void close_progress() override { windows_.close_progress(); }
  bool create_backdrop(const Backdrop& backdrop) override { return windows_.create_backdrop(backdrop); }
  void repaint_backdrop(const Backdrop& backdrop) override { windows_.repaint_backdrop(backdrop); }
  void destroy_backdrop() override { windows_.destroy_backdrop(); }

  // winmm's PlaySoundW, bound at the first sound (win32_sound.cpp).
  void play_sound(const Bytes& wav) override;

 private:
  WizardWindows windows_;  // pages, progress page and backdrop
  // Every WAV image handed to PlaySoundW: an asynchronous sound plays from
  // this memory after the call returns, so it is kept for the process.
  std::deque<Bytes> sounds_;
};

// Longest path of the own executable that the engine reads (characters,
// without the terminator).
inline constexpr DWORD kLongestModulePath = 1024;

// ntdll's wine_get_version, exported only by Wine.
using WineGetVersionFn = const char*(CDECL*)();
// The Wine version that `get_version` gives; nothing when the function is
// missing or gives no text (then the process does not run under Wine).
std::optional<std::string> wine_version_from(WineGetVersionFn get_version);

class Win32SystemInfo final : public SystemInfo {
 public:
  OsVersion os_version() override;
  bool is_64bit_windows() override;
  std::optional<std::string> wine_version() override;
  std::u16string ansi_to_utf16(std::string_view text) override;
  std::string utf16_to_ansi(std::u16string_view text) override;
  std::uint32_t ansi_code_page() override;
  std::uint16_t user_language() override;
  std::u16string user_language_native_name() override;
  std::u16string computer_name() override;
  std::u16string user_name() override;
  std::u16string error_text(SysError error) override;
  [[nodiscard]] SysError disable_fs_redirection() override;
  SignatureCheck verify_signature(const std::u16string& path) override;
};

class Win32Clock final : public Clock {
 public:
  FileTime now_utc() override;
  CalendarTime local_time() override;
  std::uint32_t tick_count() override;
  void sleep(int milliseconds) override;
};

// Lets pending window messages of this thread through. A WM_QUIT is put
// back so that the loop that owns it still sees it.
void pump_thread_messages();

// Waits for `handle` up to `milliseconds` (INFINITE: without limit) while
// letting window messages through; true when the handle was signalled.
bool wait_pumping(HANDLE handle, DWORD milliseconds);

[[nodiscard]] inline SysError last_error() {
  DWORD e = GetLastError();
  return e == 0 ? err::kInvalidParameter : e;
}

}  // namespace hs::platform::win32
