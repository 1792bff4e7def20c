// A restart of the simulated machine: what Windows does at its next start
// with the moves and deletions handed to it.
//
// Every program ends, so no file stays locked; then the pairs of
// HKLM\SYSTEM\CurrentControlSet\Control\Session Manager
// "PendingFileRenameOperations" are carried out in order (an empty target
// deletes the source; a target marked "!" may be replaced), and after them
// the "[rename]" lines of "wininit.ini" in the Windows folder ("NUL" as the
// target deletes). The list is removed and "wininit.ini" renamed to
// "wininit.bak", as Windows does. An operation that fails is skipped.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/types.h"

namespace hs::platform::sim {

class SimMachine;

// One operation carried out at the restart.
struct RestartOperation {
  std::u16string source;   // without the "\??\" prefix
  std::u16string target;   // "" deletes the source
  bool replace = false;    // the target may be replaced
  SysError result = 0;     // 0 when done
};

// Restarts the machine in `root` and returns what was carried out.
std::vector<RestartOperation> restart_machine(const std::filesystem::path& root);

// Carries out the pending operations on a machine already set up (its
// locked files must have been released by the caller).
std::vector<RestartOperation> run_pending_operations(SimMachine& machine);

}  // namespace hs::platform::sim
