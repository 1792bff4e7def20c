// The simulated process and the programs it starts.
//
// Started programs are not run: each start is written to root/launches.log
// (command line, folder, show mode) and ends at once with the exit code
// that machine.ini's [exit_codes] gives it (default 0). Named mutexes are
// lock files in root/mutex; one left behind by a crashed run is taken as
// abandoned.
#pragma once

#include <filesystem>
#include <map>

#include "platform/processes.h"

namespace hs::platform::sim {

class SimMachine;

// Thrown by exit_process; whoever started the engine catches it.
// Deliberately not a std::exception, so that no handler in the engine
// mistakes the end of the process for an error.
struct ProcessExit {
  int code = 0;
  bool terminated = false;  // ended by terminate_process rather than exit_process
};

// One program the engine started.
struct Launch {
  std::u16string kind;  // "start" or "shell_execute <verb>"
  std::u16string command_line;
  std::u16string folder;
  int show_mode = 0;
  std::uint32_t exit_code = 0;
};

class SimProcesses : public Processes {
 public:
  SimProcesses(SimMachine& machine) : machine_(machine) {}
  ~SimProcesses() override;

  void start_process(std::u16string command_line, std::u16string module_path);

  bool initialize_com() override { return ++com_initialized_, true; }
  void uninitialize_com() override { --com_initialized_; }
  // Every privilege is held on the simulated machine; enabling one is noted.
  [[nodiscard]] SysError enable_privilege(const std::u16string& name) override {
    enabled_privileges_.push_back(name);
    return 0;
  }
  void set_crash_handler(std::function<void(const CrashInfo&)> handler) override {
    crash_handler_ = std::move(handler);
  }
  std::u16string command_line() override { return command_line_; }
  std::u16string module_path() override { return module_path_; }
  [[noreturn]] void exit_process(int code) override;
  [[noreturn]] void terminate_process(int code) override;
  MutexTake take_named_mutex(const std::u16string& name) override;
  Result<std::unique_ptr<Process>> start(const std::u16string& command_line, const std::u16string& working_folder,
                                         int show_mode) override;
  [[nodiscard]] SysError shell_execute(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                         const std::u16string& folder, int show_mode) override;

  // Raises an exception that nothing handles: the crash handler is called
  // as Windows calls the unhandled-exception filter. Without a handler the
  // process ends with the exception code, as Windows ends it.
  [[noreturn]] void simulate_crash(const CrashInfo& crash);
  // OleInitialize calls not yet undone, and the privileges enabled so far.
  int com_initialized() const { return com_initialized_; }
  const std::vector<std::u16string>& enabled_privileges() const { return enabled_privileges_; }

  // Programs started by this process, in order.
  const std::vector<Launch>& launches() const { return launches_; }
  // Writes a line of another kind of event to the launch log.
  void log_event(const std::u16string& text);

  // Lets the named mutexes go as a crashed process does: the lock files
  // stay and the next taker finds them abandoned.
  void abandon_mutexes();
  // Releases the mutexes as the end of a process does.
  void release_mutexes();

 private:
  std::uint32_t exit_code_for(const std::u16string& command_line) const;
  void append_log(const std::string& text);

  SimMachine& machine_;
  std::u16string command_line_;
  std::u16string module_path_;
  std::vector<Launch> launches_;
  int com_initialized_ = 0;
  std::vector<std::u16string> enabled_privileges_;
  std::function<void(const CrashInfo&)> crash_handler_;
  // Held mutexes by upper-case name: the lock file and its descriptor.
  std::map<std::u16string, std::pair<std::filesystem::path, int>> mutexes_;
};

}  // namespace hs::platform::sim
