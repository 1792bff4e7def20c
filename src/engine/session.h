// The one process-wide installation state of a run.
//
// A `Session` is made once at the process entry and handed by reference to
// every step of the run; nothing else in the engine is global. It holds the
// platform boundary, the run modes from the command line, and the state that
// later steps fill in (the settings from the package, the chosen language,
// the installation log). Each subsystem adds the fields it owns here, each
// documented by its meaning.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/settings.h"
#include "engine/startup_state.h"
#include "platform/system.h"

namespace hs::engine {

// Run modes and overrides from the command line.
struct RunModes {
  bool automatic = false;   // /a or /silent: defaults taken, no waiting
  bool silent = false;      // /silent: no user interface at all
  bool minimized = false;   // /MIN: backdrop starts minimized
  bool uninstall = false;   // /u: run the uninstaller

  std::u16string folder_override;     // /d: installation folder, "" = none
  std::string folder_override_narrow; // ANSI copy of folder_override for batches
  std::u16string product_name_override;  // /n:, "" = none
  std::u16string uninstall_product;      // /u:name, "" = none given
  std::u16string run_after;              // /r: program to start after success
  std::string extra_batch[3];            // /b1:, /b2:, /b3: (8-bit, CR LF lines)
};

struct Session {
  explicit Session(platform::System& system) : sys(system) {}
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  platform::System& sys;
  RunModes modes;

  // Engine title used in messages until the product name is known.
  std::u16string engine_title = u"Halvorend Setup";

  // What the process set up before reading its command line.
  bool com_initialized = false;     // OleInitialize succeeded; the exit routine undoes it
  bool application_icons = false;   // icon resource 1 was loaded at both sizes
  bool window_subclassing = false;  // SetWindowSubclass and DefSubclassProc are there

  // The package's message text `n` in the chosen language, or "" while no
  // message table is loaded (callers then use their built-in text). Set by
  // the settings loader.
  std::function<std::u16string(int)> message;

  // The package's settings as loaded, and the values derived from them
  // (product name after the /n: override, shared folder name, ...). Filled
  // by package::load_session_settings.
  package::Settings settings;
  package::DerivedSettings derived;

  // What the start-up found (language, existing installation, uninstaller
  // image, change list, folder-variable values); filled by run_startup.
  StartupState startup;

  // Texts the user must see at the end of the run, one failure after another.
  std::u16string failure_summary;

  // Notifications called once with the message of the first fatal error
  // (at most 100 are kept).
  std::vector<std::function<void(const std::u16string&)>> at_exit_notifications;
  // True once a fatal error has started; later ones only end the process.
  bool fatal_error_started = false;

  // ProductFlags bit 43: error boxes are shown in automatic mode too
  // (never in silent mode).
  bool errors_in_automatic_mode = false;

  // Steps of the exit routine that parts of the run set up when they open
  // what must be closed before the process ends; each empty one is skipped.
  struct ExitHooks {
    std::function<void()> close_progress;   // destroy the progress page
    std::function<void()> close_backdrop;   // minimize and destroy the backdrop
    std::function<void()> stop_worker;      // stop the background sender and wait for it
    std::function<void()> closing_cleanup;  // the run's last clean-up
  } exit_hooks;

  // Message `n` of the package, or `fallback` when the table is not loaded
  // or the message is empty.
  std::u16string message_or(int n, std::u16string_view fallback) const {
    if (message) {
      std::u16string text = message(n);
      if (!text.empty()) return text;
    }
    return std::u16string(fallback);
  }
};

}  // namespace hs::engine
