// hpack list: the entries of an installer's package.
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "installer_image.h"
#include "support/text.h"

namespace hs::tools {
namespace {

struct ListOptions {
  std::string installer;
};

// A stored 8-bit text (bar form or ANSI) as UTF-8.
std::string shown(const std::string& stored) { return support::utf16_to_utf8(support::from_bar_form(stored)); }

void run_list(const ListOptions& o) {
  InstallerImage installer(read_host_file(o.installer));
  if (auto problem = installer.open()) {
    std::cerr << "hpack list: " << problem->text << "\n";
    throw CommandExit{kExitDamaged};
  }
  const auto& h = installer.header();
  std::printf("ProductFlags2 0x%08X, %s, %s chunks, %u entries\n", h.product_flags2,
              h.enciphered() ? "enciphered" : "not enciphered", installer.settings_say_compressed() ? "XZ" : "plain",
              h.entry_count);
  std::printf("%5s %4s %10s %12s %-19s %-14s %s\n", "#", "kind", "flags", "size", "date", "version", "name -> destination");
  auto problem = installer.walk_entries(
      [](std::uint32_t index, const package::PayloadEntry& e) {
        char date[32];
        std::snprintf(date, sizeof date, "%04u-%02u-%02u %02u:%02u:%02u", e.date[0], e.date[1], e.date[2], e.date[3],
                      e.date[4], e.date[5]);
        const bool versioned = e.kind >= 6 && e.kind <= 9;
        const std::string version = versioned ? shown(e.first_argument) : "";
        std::string target = shown(e.name);
        if (!e.destination.empty()) target += " -> " + support::utf16_to_utf8(e.destination);
        std::printf("%5u %4u 0x%08X %12zu %-19s %-14s %s\n", index, e.kind, e.flags, e.data.size(), date,
                    version.c_str(), target.c_str());
      },
      installer.settings_say_compressed());
  if (problem) {
    std::cerr << "hpack list: " << problem->text << "\n";
    throw CommandExit{kExitDamaged};
  }
}

}  // namespace

void add_list_command(CLI::App& app) {
  auto options = std::make_shared<ListOptions>();
  CLI::App* cmd = app.add_subcommand("list", "Lists the entries of an installer: kind, flags, size, date, version "
                                             "text, name and destination");
  cmd->add_option("installer", options->installer, "Installer executable")->required()->check(CLI::ExistingFile);
  cmd->callback([options] { run_list(*options); });
}

}  // namespace hs::tools
