// The fatal-error path: the first fatal error of the process wins, its
// message is shown and the process ends with exit code -1.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "engine/session.h"

namespace hs::engine {

// Exit code of a fatal error.
inline constexpr int kFatalExitCode = -1;

// Most at-exit notifications kept; later registrations are ignored.
inline constexpr std::size_t kMaxAtExitNotifications = 100;

// Registers a notification called once with the message of the first fatal
// error. Returns false when the list is full.
bool add_at_exit_notification(Session& session, std::function<void(const std::u16string&)> notification);

// An 8-bit message (code page 1252): shown in an error box (caption message
// 21 or "Error", error icon; nothing in silent mode).
[[noreturn]] void fatal_error(Session& session, std::string_view message);

// A UTF-16 message. Until the crash and problem-report dialog exists it is
// shown in the same error box.
[[noreturn]] void fatal_error(Session& session, std::u16string_view message);

}  // namespace hs::engine
