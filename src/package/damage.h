// The damage report: how a broken package rule ends the run.
#pragma once

#include <string>

#include "engine/session.h"
#include "package/damage_code.h"
#include "platform/types.h"

namespace hs::package {

// The built-in text of the report, used while the message table (message
// 13) is not loaded; "%d" takes the damage code.
inline constexpr char16_t kDamageText[] =
    u"This installation program is corrupt.  This is usually caused by a faulty download, but it can also be "
    u"caused by a virus on your computer.  The installation cannot proceed.\r\n\r\nDelete the corrupted installer "
    u"(to prevent caching), then re-download it.  If the problem persists, check your system for viruses.\r\n\r\n"
    u"Error code: %d";

// Exit code of the damage report.
inline constexpr int kDamageExitCode = 2;

// The text of the report: message 13 (or the built-in text) with the code,
// and, when `system_error` is not 0, "\r\nSystem error, code %s: %s" with
// its number and `system_error_text`.
std::u16string damage_report_text(const engine::Session& session, DamageCode code, platform::SysError system_error,
                                  std::u16string_view system_error_text);

// Queues the problem list to the package's problem-report address with the
// background sender. The sender does not exist yet: this is where the damage
// report hands its text over once it does.
void queue_problem_report(engine::Session& session, const std::u16string& text);

// Ends the run for a damaged package: appends the report text to the
// failure summary, queues the problem report, shows the text (caption
// message 21 or "Error", error icon; nothing in silent mode) and ends the
// process with exit code 2. `system_error` (0 for none) is appended with
// its system text.
[[noreturn]] void report_damage(engine::Session& session, DamageCode code, platform::SysError system_error = 0);

}  // namespace hs::package
