// The uninstaller run: removes the installed product named on the command
// line (/u:"name").
#pragma once

#include <string>

#include "engine/session.h"

namespace hs::uninstall {

// Runs the uninstallation of the product `name` and returns the exit code
// of the run (0 success, 3 finished with errors, 12 cancelled, 13 not
// found or not accessible, 14 uninstall information corrupt).
int run_uninstaller(engine::Session& session, const std::u16string& name);

}  // namespace hs::uninstall
