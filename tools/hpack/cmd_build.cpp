// hpack build (low level): an installer from raw settings bytes and a file
// list, attached to an engine stub.
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "commands.h"
#include "installer_image.h"
#include "packwriter/file_list.h"
#include "packwriter/package_writer.h"
#include "packwriter/pe_image.h"
#include "package/product_flags.h"
#include "project_build.h"
#include "signing.h"

namespace hs::tools {
namespace {

struct BuildOptions {
  std::string project;  // PROJECT.toml: build from a project file instead of --settings
  std::string settings;
  std::string file_list;
  std::string stub;
  std::string output;
  std::string key;
  std::string compress = "settings";
  std::string chunk_size = "8M";
  std::uint32_t preset = 6;
  std::string flags2 = "0";
  unsigned threads = 0;
  bool package_only = false;
  std::string sign_command;  // signs the finished installer: "CMD {in} {out}"
};

std::array<std::uint8_t, 8> parse_key(const std::string& hex) {
  if (hex.size() != 16) throw std::runtime_error("--key takes 16 hexadecimal digits (8 bytes)");
  std::array<std::uint8_t, 8> key{};
  for (std::size_t i = 0; i < 8; ++i) key[i] = static_cast<std::uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  return key;
}

std::size_t parse_size(const std::string& text) {
  std::size_t used = 0;
  const unsigned long long value = std::stoull(text, &used, 0);
  const std::string suffix = text.substr(used);
  unsigned long long factor = 1;
  if (suffix == "K" || suffix == "k") factor = 1ull << 10;
  else if (suffix == "M" || suffix == "m") factor = 1ull << 20;
  else if (!suffix.empty()) throw std::runtime_error("--chunk-size: unknown unit \"" + suffix + "\"");
  return static_cast<std::size_t>(value * factor);
}

void write_host_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write \"" + path + "\"");
}

void run_build(const BuildOptions& o) {
  if (!o.project.empty()) {
    if (!is_project_file(o.project)) throw std::runtime_error("\"" + o.project + "\" is not a project file (.toml)");
    build_from_project(ProjectBuildOptions{o.project, o.stub, o.output, o.threads, o.package_only, o.sign_command});
    return;
  }
  if (o.settings.empty()) throw std::runtime_error("give a project file (.toml) or --settings");
  if (o.package_only && !o.sign_command.empty())
    throw std::runtime_error("--sign-command signs an installer, not a bare package (--package-only)");
  std::vector<std::uint8_t> settings = read_host_file(o.settings);
  PackageOptions options;
  if (o.compress == "on") set_compression_flag(settings, true);
  if (o.compress == "off") set_compression_flag(settings, false);
  options.compress = settings_compressed(settings);
  if (!o.key.empty()) options.cipher_key = parse_key(o.key);
  options.chunk_size = parse_size(o.chunk_size);
  options.preset = o.preset;
  options.product_flags2 = static_cast<std::uint32_t>(std::stoul(o.flags2, nullptr, 0));
  options.threads = o.threads;

  std::vector<WriterEntry> entries;
  if (!o.file_list.empty()) {
    const auto text = read_host_file(o.file_list);
    const auto list = parse_file_list(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    entries = load_file_list(list, std::filesystem::path(o.file_list).parent_path());
  }
  const std::vector<std::uint8_t> package = build_package(settings, entries, options);
  if (o.package_only) {
    write_host_file(o.output, package);
  } else {
    if (o.stub.empty()) throw std::runtime_error("--stub is required (or --package-only)");
    const std::vector<std::uint8_t> installer = attach_package(read_host_file(o.stub), package);
    if (o.sign_command.empty()) {
      write_host_file(o.output, installer);
    } else {
      sign_installer(o.sign_command, installer, o.output,
                     (options.product_flags2 & (1u << package::pf2::kUninstallerWithoutPackage)) != 0);
    }
  }
  std::cout << o.output << ": " << entries.size() << " entries, package " << package.size() << " bytes\n";
}

}  // namespace

void add_build_command(CLI::App& app) {
  auto o = std::make_shared<BuildOptions>();
  CLI::App* cmd = app.add_subcommand(
      "build", "Builds an installer from decoded settings bytes and a file list (low level)");
  cmd->add_option("project", o->project, "Project file (.toml): builds the whole installer from it")
      ->check(CLI::ExistingFile);
  cmd->add_option("-s,--settings", o->settings, "File holding the decoded settings stream")
      ->check(CLI::ExistingFile);
  cmd->add_option("-f,--files", o->file_list,
                  "File list: one entry per line, SOURCE<TAB>key=value... (keys: name kind flags attributes date "
                  "arg1 text shortcut dest arg2 kind11)")
      ->check(CLI::ExistingFile);
  cmd->add_option("--stub", o->stub, "Engine executable to attach the package to")->check(CLI::ExistingFile);
  cmd->add_option("-o,--output", o->output, "Installer (or package) to write")->required();
  cmd->add_option("--key", o->key, "Encipher with this 8-byte key (16 hexadecimal digits); sets ProductFlags2 bit 12");
  cmd->add_option("--compress", o->compress,
                  "XZ chunks: on, off, or settings (as ProductFlags bit 5 of the settings says); on/off rewrite "
                  "that bit")
      ->check(CLI::IsMember({"on", "off", "settings"}))->capture_default_str();
  cmd->add_option("--chunk-size", o->chunk_size, "Decoded bytes per payload chunk (suffix K or M)")
      ->capture_default_str();
  cmd->add_option("--preset", o->preset, "XZ preset 0 to 9")->check(CLI::Range(0, 9))->capture_default_str();
  cmd->add_option("--flags2", o->flags2, "ProductFlags2 word (decimal or 0x...); bit 12 follows --key")
      ->capture_default_str();
  cmd->add_option("-j,--threads", o->threads, "Compression threads (0: all cores)")->capture_default_str();
  cmd->add_flag("--package-only", o->package_only, "Write the bare package instead of an installer");
  cmd->add_option("--sign-command", o->sign_command,
                  "Signs the finished installer: a shell command with {in} (the unsigned installer) and {out} (the "
                  "signed one to write); replaces [build] sign_command of a project file");
  cmd->callback([o] { run_build(*o); });
}

}  // namespace hs::tools
