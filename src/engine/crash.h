// What the engine does when an exception reaches no handler: the crash
// report text, the failure summary, and the end of the process through the
// fatal-error path.
#pragma once

#include <string>

#include "engine/session.h"
#include "platform/processes.h"

namespace hs::engine {

// The crash report as far as this is known: one line each for the
// exception, the product, the exception code, the address and its module
// and, for an access violation, the kind of access and the address it
// touched. `product` is "" while no package is loaded.
std::string crash_report_text(const platform::CrashInfo& crash, const std::u16string& product);

// The crash handler of the run: adds "INSTALLER CRASHED!" and the report to
// the failure summary and ends the process through the fatal-error path
// with a UTF-16 message.
[[noreturn]] void handle_crash(Session& session, const platform::CrashInfo& crash);

}  // namespace hs::engine
