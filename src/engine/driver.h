// The process entry of the engine: from the command line to the end of the
// process.
#pragma once

#include "engine/session.h"

namespace hs::engine {

// Runs the engine for this process: reads the command line, then runs the
// uninstaller or the installation. Never returns normally: every path ends
// the process through the exit routine or the fatal-error path
// (`session.sys.processes.exit_process`).
[[noreturn]] void run_process(Session& session);

}  // namespace hs::engine
