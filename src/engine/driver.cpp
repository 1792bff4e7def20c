#include "engine/driver.h"

#include "engine/command_line.h"
#include "engine/crash.h"
#include "engine/exit.h"
#include "engine/fatal.h"
#include "engine/startup.h"
#include "support/message_box.h"
#include "uninstall/uninstaller_run.h"

namespace hs::engine {

namespace {

// Exit code of a usage error.
constexpr int kUsageErrorExitCode = 15;

// Shows the usage message (not in silent mode) and ends with exit code 15.
[[noreturn]] void usage_error(Session& session, const UsageError& error) {
  if (!session.modes.silent) {
    platform::MessageBoxRequest request;
    request.text = usage_text(error.message, file_name_part(session.sys.processes.module_path()));
    request.caption = support::error_caption(session);
    request.icon = platform::BoxIcon::kError;
    request.buttons = platform::BoxButtons::kOk;
    support::message_box(session, request);
  }
  exit_run(session, kUsageErrorExitCode);
}

// The name of the privilege that lets the run take over files and keys
// that belong to other accounts.
constexpr char16_t kTakeOwnershipPrivilege[] = u"SeTakeOwnershipPrivilege";

// Prepares the process before the command line is read: COM for the shell
// objects, the take-ownership privilege, the crash handler, the application
// icons and the window-subclassing functions. None of them failing stops
// the run: without the privilege, say, only files owned by others stay out
// of reach.
void prepare_process(Session& session) {
  platform::Processes& processes = session.sys.processes;
  session.com_initialized = processes.initialize_com();
  processes.enable_privilege(kTakeOwnershipPrivilege);
  processes.set_crash_handler([&session](const platform::CrashInfo& crash) { handle_crash(session, crash); });
  session.application_icons = session.sys.ui.load_application_icons();
  session.window_subclassing = session.sys.ui.bind_window_subclassing();
}

// Reads the command line into the session; ends the process on a usage
// error.
void read_command_line(Session& session) {
  ParsedCommandLine parsed = parse_command_line(session.sys.processes.command_line());
  session.modes = std::move(parsed.modes);
  if (parsed.error) usage_error(session, *parsed.error);
}

// Uninstall mode: the uninstaller run decides the exit code. After a
// successful removal the product's notification request is queued and the
// uninstaller's self-removal started (both come with the uninstaller).
[[noreturn]] void run_uninstall(Session& session) {
  const int code = uninstall::run_uninstaller(session, session.modes.uninstall_product);
  exit_run(session, code);
}

// Installation: open the own file and its package, check the machine and
// hand over to the installation run.
[[noreturn]] void run_installation(Session& session) { run_startup(session, session.startup); }

}  // namespace

void run_process(Session& session) {
  prepare_process(session);
  read_command_line(session);
  if (session.modes.uninstall) run_uninstall(session);
  run_installation(session);
}

}  // namespace hs::engine
