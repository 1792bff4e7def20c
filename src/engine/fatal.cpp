#include "engine/fatal.h"

#include <exception>

#include "engine/exit.h"
#include "support/message_box.h"
#include "support/text.h"

namespace hs::engine {

namespace {

// Calls every notification once; one that throws an error does not keep
// the others from being told. (Ending the process from inside one is not an
// error and is let through.)
void notify_at_exit(Session& session, const std::u16string& message) {
  for (auto& notification : session.at_exit_notifications) {
    try {
      if (notification) notification(message);
    } catch (const std::exception&) {
    }
  }
}

// The fatal message box. Unlike the ordinary error box it is also shown in
// automatic mode: the run cannot go on, and the user must learn why.
void show_fatal_box(Session& session, const std::u16string& message) {
  if (session.modes.silent) return;
  platform::MessageBoxRequest request;
  request.text = message;
  request.caption = support::error_caption(session);
  request.icon = platform::BoxIcon::kError;
  request.buttons = platform::BoxButtons::kOk;
  try {
    session.sys.ui.message_box(request);
  } catch (const std::exception&) {
    // Showing failed; the process ends with the fatal code all the same.
  }
}

[[noreturn]] void fatal(Session& session, const std::u16string& message) {
  if (session.fatal_error_started) {
    // A fatal error while handling the first one: only end the process.
    session.sys.processes.exit_process(kFatalExitCode);
  }
  session.fatal_error_started = true;
  notify_at_exit(session, message);
  show_fatal_box(session, message);
  exit_run(session, kFatalExitCode);
}

}  // namespace

bool add_at_exit_notification(Session& session, std::function<void(const std::u16string&)> notification) {
  if (session.at_exit_notifications.size() >= kMaxAtExitNotifications) return false;
  session.at_exit_notifications.push_back(std::move(notification));
  return true;
}

void fatal_error(Session& session, std::string_view message) {
  fatal(session, support::cp1252_to_utf16(message));
}

void fatal_error(Session& session, std::u16string_view message) { fatal(session, std::u16string(message)); }

}  // namespace hs::engine
