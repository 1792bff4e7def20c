#include "engine/exit.h"

#include <cstdlib>

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
  } catch (...) {
    // Whatever escaped a closing step (an error of any type): the state of
    // the process is unknown, so it ends at once, with the run's code all
    // the same.
    session.sys.processes.terminate_process(code);
  }
  session.sys.processes.exit_process(code);
  std::abort();  // not reached: exit_process does not return
}

}  // namespace hs::engine
