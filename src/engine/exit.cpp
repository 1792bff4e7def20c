#include "engine/exit.h"

#include <cstdlib>
#include <exception>

namespace hs::engine {

namespace {

void run_step(const std::function<void()>& step) {
  if (step) step();
}

// Everything before the end of the process, in order. A step that throws
// ends the closing; the caller still ends the process.
void close_run(Session& session) {
  auto& hooks = session.exit_hooks;
  run_step(hooks.close_progress);
  run_step(hooks.close_backdrop);
  session.sys.ui.pump_messages();
  run_step(hooks.stop_worker);
  run_step(hooks.closing_cleanup);
  if (session.com_initialized) {
    session.com_initialized = false;
    session.sys.processes.uninitialize_com();
  }
}

}  // namespace

void exit_run(Session& session, int code) {
  try {
    close_run(session);
  } catch (const std::exception&) {
    // The process ends with the run's code all the same.
  }
  session.sys.processes.exit_process(code);
  std::abort();  // not reached: exit_process does not return
}

}  // namespace hs::engine
