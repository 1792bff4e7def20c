// This process and the programs it starts.
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <algorithm>

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
  // The engine reads its path into 1024 characters and the terminator. A
  // longer path comes back cut (GetModuleFileNameW then returns the buffer
  // size) and counts as not read: the start-up stops with "Error code 1".
  constexpr DWORD kCapacity = kLongestModulePath + 1;
  std::wstring buffer(kCapacity, L'\0');
  const DWORD got = GetModuleFileNameW(nullptr, buffer.data(), kCapacity);
  if (got == 0 || got >= kCapacity) return u"";
  return from_wide(buffer.data(), got);
}

std::optional<std::span<const std::uint8_t>> Win32Processes::mapped_section(std::uint32_t virtual_address,
                                                                            std::uint32_t size_of_raw_data) {
  // The headers of the running image are mapped at its base, exactly as
  // the loader accepted them.
  const auto* base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleW(nullptr));
  if (!base) return std::nullopt;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
      reinterpret_cast<const std::uint8_t*>(&nt->OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
    const IMAGE_SECTION_HEADER& section = sections[i];
    if (section.VirtualAddress != virtual_address) continue;
    // The loader maps VirtualSize bytes (SizeOfRawData when that is 0) and
    // fills them from at most SizeOfRawData bytes of the file.
    const DWORD mapped = section.Misc.VirtualSize != 0 ? section.Misc.VirtualSize : section.SizeOfRawData;
    const DWORD length = std::min<DWORD>({mapped, section.SizeOfRawData, size_of_raw_data});
    return std::span<const std::uint8_t>(base + virtual_address, length);
  }
  return std::nullopt;
}

bool Win32Processes::initialize_com() { return SUCCEEDED(OleInitialize(nullptr)); }

void Win32Processes::uninitialize_com() { OleUninitialize(); }

SysError Win32Processes::enable_privilege(const std::u16string& name) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return GetLastError();
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  SysError error = 0;
  if (!LookupPrivilegeValueW(nullptr, wide(name), &privileges.Privileges[0].Luid)) {
    error = GetLastError();
  } else {
    // AdjustTokenPrivileges succeeds without enabling a privilege the
    // account does not hold; GetLastError then says ERROR_NOT_ALL_ASSIGNED.
    SetLastError(0);
    if (!AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) || GetLastError() != 0)
      error = GetLastError();
  }
  CloseHandle(token);
  return error;
}

namespace {

// The crash handler that the unhandled-exception filter calls. The filter
// has no context argument, so the handler is kept here for the process.
std::function<void(const CrashInfo&)>& crash_handler() {
  static std::function<void(const CrashInfo&)> handler;
  return handler;
}

std::u16string module_name_at(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module))
    return u"";
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  std::u16string name = from_wide(path, length < MAX_PATH ? length : 0);
  const std::size_t slash = name.find_last_of(u"\\/");
  return slash == std::u16string::npos ? name : name.substr(slash + 1);
}

LONG WINAPI unhandled_exception(EXCEPTION_POINTERS* pointers) {
  static LONG entered = 0;
  // A crash inside the crash handler ends the process at once.
  if (InterlockedExchange(&entered, 1) != 0 || !crash_handler()) return EXCEPTION_EXECUTE_HANDLER;
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  CrashInfo crash;
  crash.code = record.ExceptionCode;
  crash.address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
  crash.module = module_name_at(record.ExceptionAddress);
  if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
    crash.write = record.ExceptionInformation[0] == 1;
    crash.memory_address = record.ExceptionInformation[1];
  }
  crash_handler()(crash);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void Win32Processes::set_crash_handler(std::function<void(const CrashInfo&)> handler) {
  crash_handler() = std::move(handler);
  SetUnhandledExceptionFilter(unhandled_exception);
}

void Win32Processes::exit_process(int code) { ExitProcess(static_cast<UINT>(code)); }

void Win32Processes::terminate_process(int code) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  ExitProcess(static_cast<UINT>(code));  // not reached: TerminateProcess on the own process does not return
}

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
