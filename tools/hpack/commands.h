// The hpack commands: each file cmd_<name>.cpp adds one subcommand.
#pragma once

#include <CLI/CLI.hpp>

namespace hs::tools {

// Thrown by a command to end hpack with `code` after it has printed why.
struct CommandExit {
  int code;
};

// Exit codes of hpack.
inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;    // bad arguments, unreadable or unwritable files
inline constexpr int kExitDamaged = 2;  // the installer breaks a rule of the package format

void add_build_command(CLI::App& app);
void add_list_command(CLI::App& app);
void add_verify_command(CLI::App& app);
void add_extract_command(CLI::App& app);
void add_info_command(CLI::App& app);

}  // namespace hs::tools
