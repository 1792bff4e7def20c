// hsetup-sim: runs an installer's engine against a simulated Windows.
//
//   hsetup-sim --root DIR [--answers FILE] [--transcript FILE|-]
//              [--windows VERSION] [--set SECTION.KEY=VALUE]...
//              [--raw-args TEXT] INSTALLER.exe [ARGS...]
//   hsetup-sim --root DIR --restart
//
// DIR is the machine (created when new; see SimMachine for its layout).
// The installer is copied into the machine as
// "C:\Users\<user>\Downloads\<its file name>" (the Downloads folder of the
// machine's user, where installers usually start from), and that path is
// the engine's module path. The command line is that path in double
// quotes followed by ARGS: each argument as written, one that holds a
// blank and no double quote put in double quotes. --raw-args gives the
// text after the program name verbatim instead.
//
// The tool ends with the engine's exit code as a process would (the low
// 8 bits: -1 gives 255). Its own failures (bad options, a machine that
// cannot be set up, a missing installer) print a message and end with 125.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "engine/driver.h"
#include "engine/session.h"
#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_restart.h"
#include "support/text.h"

namespace {

constexpr int kToolFailure = 125;

std::u16string command_line_for(const std::u16string& module_path, const std::vector<std::string>& args,
                                 const std::optional<std::string>& raw_args) {
  std::u16string line = u"\"" + module_path + u"\"";
  if (raw_args) return line + u" " + hs::support::utf8_to_utf16(*raw_args);
  for (const auto& arg : args) {
    std::u16string text = hs::support::utf8_to_utf16(arg);
    const bool blank = text.empty() || text.find_first_of(u" \t") != std::u16string::npos;
    if (blank && text.find(u'"') == std::u16string::npos) text = u"\"" + text + u"\"";
    line += u" " + text;
  }
  return line;
}

std::string read_text_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw hs::platform::sim::MachineError("cannot read " + path.string());
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Runs a Halvorend Setup installer against a simulated Windows machine."};
  std::string root;
  std::string answers_file;
  std::string transcript;
  std::string windows;
  std::vector<std::string> settings;
  std::optional<std::string> raw_args;
  app.add_option("--root", root, "Folder of the simulated machine (created when new)")->required();
  app.add_option("--answers", answers_file,
                 "Answers script for message boxes, pages and the progress page's cancel button");
  app.add_option("--transcript", transcript,
                 "Append every call to the user interface (boxes, pages, progress, backdrop, sound) to this file "
                 "('-': standard output)");
  app.add_option("--windows", windows, "Windows version of the machine: 10, 11, 7, xp, \"10.0.19045 server\", ...");
  app.add_option("--set", settings, "A machine setting, e.g. system.wine=9.0 or drives.D=cdrom (repeatable)")
      ->allow_extra_args(false);
  app.add_option("--raw-args", raw_args, "Text after the program name, verbatim (instead of ARGS)");
  bool restart = false;
  app.add_flag("--restart", restart,
               "Restart the machine instead of running an installer: carry out the moves and deletions left "
               "for the next start (PendingFileRenameOperations, wininit.ini) and release locked files");
  app.prefix_command();
  app.footer("INSTALLER.exe [ARGS...]: the installer and its command line.");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : kToolFailure;
  }
  if (restart) {
    try {
      for (const auto& op : hs::platform::sim::restart_machine(root)) {
        std::cout << "restart: " << (op.target.empty() ? "delete " : "move ") << hs::support::utf16_to_utf8(op.source)
                  << (op.target.empty() ? "" : " -> " + hs::support::utf16_to_utf8(op.target)) << ": "
                  << (op.result == 0 ? "done" : "failed, error " + std::to_string(op.result)) << "\n";
      }
    } catch (const hs::platform::sim::MachineError& e) {
      std::cerr << "hsetup-sim: " << e.what() << "\n";
      return kToolFailure;
    }
    return 0;
  }
  std::vector<std::string> rest = app.remaining();
  if (rest.empty()) {
    std::cerr << "hsetup-sim: no installer given\n" << app.help();
    return kToolFailure;
  }
  const std::filesystem::path installer = rest.front();
  rest.erase(rest.begin());
  if (!std::filesystem::is_regular_file(installer)) {
    std::cerr << "hsetup-sim: no such installer: " << installer.string() << "\n";
    return kToolFailure;
  }

  using namespace hs::platform::sim;
  try {
    RunOptions options;
    options.configure = [&](MachineConfig& config) {
      std::string error;
      if (!windows.empty() && !apply_setting(config, "system.windows=" + windows, error)) throw MachineError(error);
      for (const auto& setting : settings) {
        if (!apply_setting(config, setting, error)) throw MachineError("--set " + setting + ": " + error);
      }
    };
    if (!answers_file.empty()) options.answers = read_text_file(answers_file);
    options.transcript_path = transcript;
    // The module path depends on the machine's user; the machine is opened
    // once to learn it, and the run's options follow.
    std::u16string user;
    {
      RunOptions probe;
      probe.configure = options.configure;
      SimMachine machine(root, probe);
      user = machine.config().user_name;
      const std::u16string folder = machine.profile_folder() + u"\\Downloads";
      options.module_path = folder + u"\\" + hs::support::utf8_to_utf16(installer.filename().string());
      machine.put_file(installer, options.module_path);
    }
    options.configure = nullptr;
    options.command_line = command_line_for(options.module_path, rest, raw_args);

    SimMachine machine(root, options);
    hs::engine::Session session(machine.system());
    try {
      hs::engine::run_process(session);
    } catch (const ProcessExit& exit) {
      return exit.code & 0xFF;
    }
    std::cerr << "hsetup-sim: the engine returned without ending the process\n";
    return 255;
  } catch (const MachineError& e) {
    std::cerr << "hsetup-sim: " << e.what() << "\n";
    return kToolFailure;
  } catch (const std::exception& e) {
    // An exception the engine let escape: on Windows the unhandled-exception
    // path ends such a run with -1.
    std::cerr << "hsetup-sim: the engine failed: " << e.what() << "\n";
    return 255;
  }
}
