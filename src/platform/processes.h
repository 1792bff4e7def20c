// This process (command line, own path, exit, mutexes) and the programs it
// starts.
#pragma once

#include <memory>

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

class Processes {
 public:
  virtual ~Processes() = default;

  // GetCommandLineW of this process.
  virtual std::u16string command_line() = 0;
  // GetModuleFileNameW of this process's executable.
  virtual std::u16string module_path() = 0;

  // Ends this process with the code. On Windows this is ExitProcess; the
  // simulated machine unwinds to the caller that started the engine.
  [[noreturn]] virtual void exit_process(int code) = 0;

  // Creates the named mutex (not initially owned), tries to take it without
  // waiting and, when taken, keeps it for the life of the process.
  virtual MutexTake take_named_mutex(const std::u16string& name) = 0;

  // CreateProcess with a command line and working folder ("" keeps ours).
  virtual Result<std::unique_ptr<Process>> start(const std::u16string& command_line,
                                                 const std::u16string& working_folder, int show_mode) = 0;
  // ShellExecute with a verb ("open", "runas", ...); a fire-and-forget start.
  virtual SysError shell_execute(const std::u16string& verb, const std::u16string& file,
                                 const std::u16string& parameters, const std::u16string& folder,
                                 int show_mode) = 0;
};

}  // namespace hs::platform
