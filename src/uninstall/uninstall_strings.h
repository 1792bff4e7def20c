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

// Writes the uninstall data file at the end of an installation. A failure
// goes to the failure summary (message 31, the path, then the system error's
// code and text) and the installation goes on. Returns true when written.
bool save_uninstall_data(engine::Session& session, const std::u16string& path, const UninstallData& data);

}  // namespace hs::uninstall
