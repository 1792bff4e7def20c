#include "signing.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <sys/wait.h>

#include "installer_image.h"
#include "support/pe_image.h"

namespace hs::tools {
namespace {

std::string shell_quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

void replace_all(std::string& text, std::string_view what, const std::string& with) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

// The engine's checks of the package and, by CRC, of its own bytes; "" when
// they pass.
std::string engine_checks(const std::vector<std::uint8_t>& file) {
  InstallerImage image(file);
  if (auto problem = image.open()) return problem->text;
  if (auto problem = image.check_settings()) return problem->text;
  if (auto problem = image.check_engine_crc()) return problem->text;
  if (auto problem = image.walk_entries({}, image.settings_say_compressed())) return problem->text;
  return "";
}

}  // namespace

std::string sign_command_line(const std::string& command, const std::string& in, const std::string& out) {
  std::string line = command;
  replace_all(line, "{in}", shell_quoted(in));
  replace_all(line, "{out}", shell_quoted(out));
  return line;
}

void sign_installer(const std::string& command, const std::vector<std::uint8_t>& installer,
                    const std::string& output, bool uninstaller_without_package) {
  namespace fs = std::filesystem;
  const fs::path out(output);
  const fs::path unsigned_path = out.parent_path() / (out.stem().string() + ".unsigned" + out.extension().string());
  {
    std::ofstream file(unsigned_path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(installer.data()), static_cast<std::streamsize>(installer.size()));
    if (!file) throw std::runtime_error("cannot write \"" + unsigned_path.string() + "\"");
  }
  std::error_code ignored;
  fs::remove(out, ignored);
  std::cout.flush();
  const int status = std::system(sign_command_line(command, unsigned_path.string(), output).c_str());
  fs::remove(unsigned_path, ignored);
  auto failed = [&](const std::string& why) {
    fs::remove(out, ignored);
    throw std::runtime_error("sign command: " + why);
  };
  if (status == -1 || !WIFEXITED(status)) failed("could not be run");
  if (WEXITSTATUS(status) != 0) failed("ended with exit code " + std::to_string(WEXITSTATUS(status)));
  if (!fs::exists(out)) failed("wrote no \"" + output + "\"");

  const std::vector<std::uint8_t> signed_file = read_host_file(out);
  const std::optional<support::PeHeaders> headers = support::read_pe_headers(signed_file);
  if (!headers || support::certificate_table(signed_file, *headers).size == 0) failed("left no signature in \"" + output + "\"");
  if (const std::string problem = engine_checks(signed_file); !problem.empty()) {
    failed("the signed installer fails the engine's checks: " + problem);
  }
  std::cout << output << ": signature " << describe_signature(signed_file) << "\n";
  if (uninstaller_without_package) {
    std::cerr << "hpack: note: uninstaller_without_package is set: the uninstaller is cut out of the signed installer "
                 "and is not signed; leave that option off to ship a signed uninstaller (the signed installer "
                 "itself)\n";
  }
}

std::string describe_signature(std::span<const std::uint8_t> file) {
  const std::optional<support::PeHeaders> headers = support::read_pe_headers(file);
  if (!headers) return "none";
  const support::PeDataDirectory table = support::certificate_table(file, *headers);
  if (table.address == 0 && table.size == 0) return "none";
  const std::string where =
      "certificate table of " + std::to_string(table.size) + " bytes at offset " + std::to_string(table.address);
  if (table.size == 0 || std::uint64_t{table.address} + table.size > file.size())
    return "broken (" + where + ", outside the file)";
  return "present (" + where + ")";
}

}  // namespace hs::tools
