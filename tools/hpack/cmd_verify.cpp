// hpack verify: every check the engine makes of its package, in the
// engine's order; prints the first violation with its damage code.
#include <iostream>

#include "commands.h"
#include "installer_image.h"
#include "package/engine_protection.h"
#include "package/settings.h"
#include "signing.h"

namespace hs::tools {
namespace {

struct VerifyOptions {
  std::string installer;
  bool skip_engine_check = false;
  bool quiet = false;
};

[[noreturn]] void violation(const Problem& problem) {
  std::cout << "FAILED: " << problem.text << "\n";
  throw CommandExit{kExitDamaged};
}

void run_verify(const VerifyOptions& o) {
  InstallerImage installer(read_host_file(o.installer));
  auto say = [&](const std::string& line) {
    if (!o.quiet) std::cout << line << "\n";
  };
  if (auto problem = installer.open()) violation(*problem);
  say("package section and header: ok");
  if (auto problem = installer.check_settings()) violation(*problem);
  say("settings block: ok (" + std::to_string(installer.settings().size()) + " bytes decoded)");

  package::Settings settings;
  settings.product_flags2 = installer.header().product_flags2;
  const package::LoadResult loaded = package::load_settings(installer.settings(), settings);
  if (!loaded) violation(Problem{loaded.error(), "settings stream: damage code " + std::to_string(loaded.error())});
  say("settings stream: ok");

  const int method = static_cast<int>(settings.dialog_styles.engine_protection);
  if (o.skip_engine_check) {
    say("engine protection: not checked (--skip-engine-check)");
  } else if (method == package::kProtectionCrc) {
    if (auto problem = installer.check_engine_crc()) violation(*problem);
    say("engine protection by CRC: ok");
  } else if (method == package::kProtectionSignature) {
    say("engine protection by signature: checked by Windows at run time, not here");
  } else {
    say("engine protection: none chosen");
  }

  const bool compressed = (settings.product_flags & (1u << 5)) != 0;
  std::uint64_t bytes = 0;
  if (auto problem = installer.walk_entries(
          [&](std::uint32_t, const package::PayloadEntry& entry) { bytes += entry.data.size(); }, compressed))
    violation(*problem);
  // A certificate table behind the package is no part of any check; its
  // directory entry counts as zero in the engine CRC.
  say("signature: " + describe_signature(installer.file()));
  std::cout << "OK: " << installer.header().entry_count << " entries, " << bytes << " bytes of file data\n";
}

}  // namespace

void add_verify_command(CLI::App& app) {
  auto options = std::make_shared<VerifyOptions>();
  CLI::App* cmd = app.add_subcommand(
      "verify",
      "Checks an installer's package as the engine does (section, header, settings, engine CRC, payload, every "
      "entry) and says whether it is signed; prints the first violation with its damage code and exits with 2");
  cmd->add_option("installer", options->installer, "Installer executable")->required()->check(CLI::ExistingFile);
  cmd->add_flag("--skip-engine-check", options->skip_engine_check,
                "Do not check the engine CRC (for packages attached by other tools)");
  cmd->add_flag("-q,--quiet", options->quiet, "Print only the result");
  cmd->callback([options] { run_verify(*options); });
}

}  // namespace hs::tools
