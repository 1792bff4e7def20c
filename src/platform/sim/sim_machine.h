// A simulated Windows machine on a host folder.
//
// The machine lives in its root folder and persists there, so that several
// runs (an installation, then the uninstallation) see the same machine:
//
//   root/machine.ini     the system: version, drives, user, removed folders,
//                        locked files, exit codes of started programs
//   root/drives/C/...    the files of drive C:, names kept as written
//   root/meta.txt        attributes and times that the host cannot keep
//   root/registry.reg    the registry as regedit's text form (UTF-8)
//   root/launches.log    every program the engine started
//   root/mutex/*.lock    named mutexes held by a running engine
//
// Message boxes and pages are answered from a script (see SimUi) and
// written to a transcript.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/sim/machine_config.h"
#include "platform/sim/meta_store.h"
#include "platform/sim/reg_tree.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_processes.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_shell.h"
#include "platform/sim/sim_system_info.h"
#include "platform/sim/sim_ui.h"
#include "platform/sim/win_path.h"
#include "platform/system.h"

namespace hs::platform::sim {

// What a run brings to the machine besides its persisted state.
struct RunOptions {
  // GetCommandLineW and GetModuleFileNameW of the simulated process.
  std::u16string command_line = u"\"C:\\setup.exe\"";
  std::u16string module_path = u"C:\\setup.exe";
  // Changes to the machine made before it starts (and kept in machine.ini).
  std::function<void(MachineConfig&)> configure;
  // The answers script (see SimUi); "" answers every box with its default.
  std::string answers;
  // Where the transcript goes besides memory: a host file (appended) or
  // "-" for standard output; "" keeps it in memory only.
  std::string transcript_path;
};

// Thrown by a failure to set up the machine (an unreadable machine.ini, a
// root that cannot be created).
struct MachineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class SimMachine {
 public:
  explicit SimMachine(std::filesystem::path root, RunOptions options = {});
  ~SimMachine();
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  // The platform boundary for the engine.
  System& system() { return system_; }

  const std::filesystem::path& root() const { return root_; }
  const MachineConfig& config() const { return config_; }

  // The host path of a Windows path (names matched without regard to case;
  // components that do not exist yet are taken as written). Applies the
  // file-system redirection of a 32-bit process.
  Result<std::filesystem::path> host_path(const std::u16string& windows_path);
  // Same, for a path already read.
  std::filesystem::path host_path(const WinPath& path);

  // Copies a host file into the machine at a Windows path, creating the
  // folders on the way.
  void put_file(const std::filesystem::path& host_file, const std::u16string& windows_path);

  // Ends the simulated process as a crash would: named mutexes stay behind
  // as abandoned. The machine must not be used afterwards.
  void simulate_crash() { processes_.abandon_mutexes(); }

  // Services, for tests that look inside.
  SimFiles& files() { return files_; }
  SimRegistry& registry() { return registry_; }
  SimShell& shell() { return shell_; }
  SimProcesses& processes() { return processes_; }
  SimUi& ui() { return ui_; }
  SimSystemInfo& info() { return info_; }
  SimClock& clock() { return clock_; }
  MetaStore& meta() { return meta_; }

  // Folder paths of this machine (drive C, the user's profile, ...).
  std::u16string windows_folder() const { return u"C:\\Windows"; }
  std::u16string profile_folder() const;
  bool legacy_profiles() const { return config_.version.major < 6; }

  // True while a 32-bit process on 64-bit Windows sees SysWOW64 for
  // System32 (cleared by Wow64DisableWow64FsRedirection).
  bool fs_redirection = true;

 private:
  void load_config(const RunOptions& options);
  void create_standard_folders();
  void fill_default_registry();

  std::filesystem::path root_;
  MachineConfig config_;
  MetaStore meta_;
  SimFiles files_;
  SimRegistry registry_;
  SimShell shell_;
  SimProcesses processes_;
  SimUi ui_;
  SimSystemInfo info_;
  SimClock clock_;
  System system_;
};

}  // namespace hs::platform::sim
