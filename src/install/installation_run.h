// The installation run: from the first wizard page to the end of the
// process, once the start-up has loaded the package and checked the machine.
#pragma once

#include "engine/session.h"

namespace hs::install {

// Runs the installation with the state the start-up filled in. Never returns:
// the run ends the process through the exit routine.
[[noreturn]] void run_installation(engine::Session& session);

}  // namespace hs::install
