// The exit routine: the one way the run ends the process.
#pragma once

#include "engine/session.h"

namespace hs::engine {

// Closes what the run opened (progress page, backdrop, background sender,
// last clean-up), lets pending window messages through and ends the process
// with `code`. When anything escapes a closing step, the remaining steps are
// skipped and the process is terminated at once, still with `code`.
[[noreturn]] void exit_run(Session& session, int code);

}  // namespace hs::engine
