// This process (command line, own path, exit, mutexes) and the programs it
// starts.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "platform/types.h"

namespace hs::platform {

// ShowWindow values the engine passes to started programs.
namespace show {
inline constexpr int kHide = 0;
inline constexpr int kNormal = 1;
inline constexpr int kMinimized = 2;
inline constexpr int kMaximized = 3;
}  // namespace show

// A started program. Waiting pumps window messages so that the engine's
// windows stay responsive.
class Process {
 public:
  virtual ~Process() = default;
  // Waits up to `milliseconds` (-1: without limit); true when it ended.
  virtual bool wait(int milliseconds) = 0;
  // Exit code once ended; 259 (STILL_ACTIVE) while running.
  virtual std::uint32_t exit_code() = 0;
};

// Outcome of trying to take a named mutex without waiting.
enum class MutexTake {
  kTaken,      // WAIT_OBJECT_0
  kAbandoned,  // WAIT_ABANDONED: the previous owner ended without releasing it
  kBusy,       // another process holds it
  kFailed,     // the mutex could not be created
};

// An exception that nothing in the engine handled, as the system reports it.
struct CrashInfo {
  std::uint32_t code = 0;     // exception code; 0xC0000005 is an access violation
  std::uint64_t address = 0;  // address of the instruction that raised it
  std::u16string module;      // file name of the module holding `address`; "" when unknown
  // Access violations only: whether the access was a write, and the address
  // it touched.
  bool write = false;
  std::uint64_t memory_address = 0;
};

class Processes {
 public:
  virtual ~Processes() = default;

  // OleInitialize for the engine's thread: the shell objects (shortcuts,
  // folder pickers) need it. False when it failed; the run goes on.
  virtual bool initialize_com() = 0;
  // OleUninitialize, once after a successful initialize_com.
  virtual void uninitialize_com() = 0;

  // Enables a privilege ("SeTakeOwnershipPrivilege") in this process's
  // token. 0, or the system error: 1300 (ERROR_NOT_ALL_ASSIGNED) when the
  // account does not hold it.
  [[nodiscard]] virtual SysError enable_privilege(const std::u16string& name) = 0;

  // Installs the handler of exceptions that nothing else handled (on
  // Windows, the unhandled-exception filter). The handler ends the process.
  virtual void set_crash_handler(std::function<void(const CrashInfo&)> handler) = 0;

  // GetCommandLineW of this process.
  virtual std::u16string command_line() = 0;
  // GetModuleFileNameW of this process's executable.
  virtual std::u16string module_path() = 0;

  // The executable's section at `virtual_address` as the loader mapped it
  // (module base + VirtualAddress): the section's file bytes in memory, at
  // most `size_of_raw_data` of them and never more than the loader mapped.
  // Nothing when this process has no mapped image of its own file (the
  // simulated machine) or no section starts there; the engine then reads
  // the section from the file instead. The bytes live as long as the
  // process.
  virtual std::optional<std::span<const std::uint8_t>> mapped_section(std::uint32_t virtual_address,
                                                                      std::uint32_t size_of_raw_data) {
    (void)virtual_address;
    (void)size_of_raw_data;
    return std::nullopt;
  }

  // Ends this process with the code. On Windows this is ExitProcess; the
  // simulated machine unwinds to the caller that started the engine.
  [[noreturn]] virtual void exit_process(int code) = 0;
  // Ends this process at once with the code, without the clean-up that
  // exit_process runs (TerminateProcess on the own process): the last way
  // out when closing the run failed.
  [[noreturn]] virtual void terminate_process(int code) = 0;

  // Creates the named mutex (not initially owned), tries to take it without
  // waiting and, when taken, keeps it for the life of the process.
  virtual MutexTake take_named_mutex(const std::u16string& name) = 0;

  // CreateProcess with a command line and working folder ("" keeps ours).
  virtual Result<std::unique_ptr<Process>> start(const std::u16string& command_line,
                                                 const std::u16string& working_folder, int show_mode) = 0;
  // ShellExecute with a verb ("open", "runas", ...); a fire-and-forget start.
  [[nodiscard]] virtual SysError shell_execute(const std::u16string& verb, const std::u16string& file,
                                 const std::u16string& parameters, const std::u16string& folder,
                                 int show_mode) = 0;
};

}  // namespace hs::platform
