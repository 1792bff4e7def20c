// This process and the programs it starts.
#include <windows.h>

#include <shellapi.h>

#include "platform/win32/wide.h"
#include "platform/win32/win32_services.h"

namespace hs::platform::win32 {

namespace {

class Win32Process final : public Process {
 public:
  Win32Process(HANDLE process, HANDLE thread) : process_(process), thread_(thread) {}
  ~Win32Process() override {
    CloseHandle(thread_);
    CloseHandle(process_);
  }
  Win32Process(const Win32Process&) = delete;
  Win32Process& operator=(const Win32Process&) = delete;

  bool wait(int milliseconds) override {
    return wait_pumping(process_, milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds));
  }

  std::uint32_t exit_code() override {
    DWORD code = STILL_ACTIVE;
    if (!GetExitCodeProcess(process_, &code)) return STILL_ACTIVE;
    return code;
  }

 private:
  HANDLE process_;
  HANDLE thread_;
};

}  // namespace

Win32Processes::~Win32Processes() {
  for (HANDLE mutex : held_mutexes_) CloseHandle(mutex);
}

std::u16string Win32Processes::command_line() { return from_wide(GetCommandLineW()); }

std::u16string Win32Processes::module_path() {
  std::u16string out;
  // GetModuleFileNameW returns the buffer size when it had to cut the path.
  read_growing(
      [](wchar_t* b, DWORD n) {
        DWORD got = GetModuleFileNameW(nullptr, b, n);
        return got >= n ? n : got;
      },
      out);
  return out;
}

void Win32Processes::exit_process(int code) { ExitProcess(static_cast<UINT>(code)); }

MutexTake Win32Processes::take_named_mutex(const std::u16string& name) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, wide(name));
  if (!mutex) return MutexTake::kFailed;
  switch (WaitForSingleObject(mutex, 0)) {
    case WAIT_OBJECT_0:
      held_mutexes_.push_back(mutex);
      return MutexTake::kTaken;
    case WAIT_ABANDONED:
      held_mutexes_.push_back(mutex);
      return MutexTake::kAbandoned;
    case WAIT_TIMEOUT:
      CloseHandle(mutex);
      return MutexTake::kBusy;
    default:
      CloseHandle(mutex);
      return MutexTake::kFailed;
  }
}

Result<std::unique_ptr<Process>> Win32Processes::start(const std::u16string& command_line,
                                                        const std::u16string& working_folder, int show_mode) {
  // CreateProcessW may write into the command line it is given.
  std::wstring mutable_line(reinterpret_cast<const wchar_t*>(command_line.c_str()), command_line.size());
  mutable_line.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show_mode);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, mutable_line.data(), nullptr, nullptr, FALSE, 0, nullptr, wide_or_null(working_folder),
                      &startup, &info))
    return Result<std::unique_ptr<Process>>::fail(last_error());
  return Result<std::unique_ptr<Process>>::ok(std::make_unique<Win32Process>(info.hProcess, info.hThread));
}

SysError Win32Processes::shell_execute(const std::u16string& verb, const std::u16string& file,
                                       const std::u16string& parameters, const std::u16string& folder,
                                       int show_mode) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = wide_or_null(verb);
  info.lpFile = wide(file);
  info.lpParameters = wide_or_null(parameters);
  info.lpDirectory = wide_or_null(folder);
  info.nShow = show_mode;
  return ShellExecuteExW(&info) ? err::kSuccess : last_error();
}

}  // namespace hs::platform::win32
