// hpack extract: writes every entry's data under its name, for inspection.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#include "commands.h"
#include "installer_image.h"
#include "support/text.h"

namespace hs::tools {
namespace {

struct ExtractOptions {
  std::string installer;
  std::string directory;
};

// A relative host path for a stored name: backslashes become separators;
// empty, ".", ".." and drive components are dropped so that nothing is
// written outside the target folder.
std::filesystem::path safe_relative(const std::string& stored) {
  std::string name = support::utf16_to_utf8(support::from_bar_form(stored));
  for (char& c : name)
    if (c == '\\') c = '/';
  std::filesystem::path out;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (!part.empty() && part != "." && part != ".." && part.find(':') == std::string::npos) out /= part;
    start = end + 1;
  }
  if (out.empty()) out = "unnamed";
  return out;
}

void run_extract(const ExtractOptions& o) {
  InstallerImage installer(read_host_file(o.installer));
  if (auto problem = installer.open()) {
    std::cerr << "hpack extract: " << problem->text << "\n";
    throw CommandExit{kExitDamaged};
  }
  const std::filesystem::path root(o.directory);
  std::filesystem::create_directories(root);
  std::set<std::filesystem::path> written;
  auto problem = installer.walk_entries(
      [&](std::uint32_t, const package::PayloadEntry& e) {
        std::filesystem::path relative = safe_relative(e.name);
        // Two entries of the same name (for different folders) keep both.
        std::filesystem::path unique = relative;
        for (int n = 2; written.count(unique); ++n) unique = relative.string() + "." + std::to_string(n);
        written.insert(unique);
        const std::filesystem::path target = root / unique;
        std::filesystem::create_directories(target.parent_path());
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(e.data.data()), static_cast<std::streamsize>(e.data.size()));
        if (!out) throw std::runtime_error("cannot write \"" + target.string() + "\"");
        std::cout << unique.string() << "\n";
      },
      installer.settings_say_compressed());
  if (problem) {
    std::cerr << "hpack extract: " << problem->text << "\n";
    throw CommandExit{kExitDamaged};
  }
}

}  // namespace

void add_extract_command(CLI::App& app) {
  auto options = std::make_shared<ExtractOptions>();
  CLI::App* cmd = app.add_subcommand("extract", "Writes every entry's data under its name into a folder");
  cmd->add_option("installer", options->installer, "Installer executable")->required()->check(CLI::ExistingFile);
  cmd->add_option("-d,--directory", options->directory, "Folder to write into (created if missing)")->required();
  cmd->callback([options] { run_extract(*options); });
}

}  // namespace hs::tools
