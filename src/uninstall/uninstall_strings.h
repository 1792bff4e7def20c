// The [Strings] section an installation leaves for its uninstaller: the
// messages the uninstaller shows, in the language the user chose, and the
// caption the wizard showed.
#pragma once

#include "engine/session.h"
#include "uninstall/uninstall_data.h"

namespace hs::uninstall {

// Fills `data.messages` with the texts of `kUninstallMessageNumbers` from the
// session's message table and `data.caption` with the wizard's caption (the
// package's page title, replaced by message 114 when that is not empty).
void fill_uninstall_strings(UninstallData& data, const engine::Session& session);

}  // namespace hs::uninstall
