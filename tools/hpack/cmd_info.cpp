// hpack info: the settings of an installer, readably: every field, the
// option bits by name, the record lists and the messages of one language.
#include <iostream>
#include <optional>
#include <stdexcept>

#include "commands.h"
#include "installer_image.h"
#include "package/settings.h"
#include "project/describe.h"
#include "signing.h"

namespace hs::tools {
namespace {

struct InfoOptions {
  std::string installer;
  std::string language;
};

void run_info(const InfoOptions& o) {
  InstallerImage installer(read_host_file(o.installer));
  auto fail = [](const Problem& problem) {
    std::cout << "FAILED: " << problem.text << "\n";
    throw CommandExit{kExitDamaged};
  };
  if (auto problem = installer.open()) fail(*problem);
  if (auto problem = installer.check_settings()) fail(*problem);
  package::Settings settings;
  settings.product_flags2 = installer.header().product_flags2;
  const package::LoadResult loaded = package::load_settings(installer.settings(), settings);
  if (!loaded) {
    fail(Problem{loaded.error(), "settings stream: damage code " + std::to_string(loaded.error())});
  }
  std::cout << "Installer " << o.installer << "\n";
  std::cout << "  entries: " << installer.header().entry_count << "\n";
  std::cout << "  settings: " << installer.settings().size() << " bytes\n";
  std::cout << "  signature: " << describe_signature(installer.file()) << "\n";
  try {
    std::cout << describe_settings(settings, o.language.empty() ? std::nullopt : std::optional(o.language));
  } catch (const std::invalid_argument& error) {
    std::cerr << "hpack info: " << error.what() << "\n";
    throw CommandExit{kExitError};
  }
}

}  // namespace

void add_info_command(CLI::App& app) {
  auto o = std::make_shared<InfoOptions>();
  CLI::App* cmd = app.add_subcommand("info", "Prints the settings of an installer: fields, options, lists, messages");
  cmd->add_option("installer", o->installer, "Installer to read")->required()->check(CLI::ExistingFile);
  cmd->add_option("-l,--language", o->language, "Language whose messages are printed (default: the package's default)");
  cmd->callback([o] { run_info(*o); });
}

}  // namespace hs::tools
