// Signing a finished installer with the user's own signing command, and
// what a file's certificate table says.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hs::tools {

// `command` with "{in}" and "{out}" replaced by `in` and `out`, each quoted
// for the POSIX shell.
std::string sign_command_line(const std::string& command, const std::string& in, const std::string& out);

// Writes `installer` (finished, unsigned) beside `output` as
// "NAME.unsigned.EXT", runs `command` on it to write `output`, removes the
// unsigned copy, and checks the signed file: it must carry a certificate
// table and pass the engine's checks as the unsigned one did. Throws
// std::runtime_error with the reason otherwise (the output is removed).
// `uninstaller_without_package`: the package asks for an uninstaller cut out
// of the installer; a note says that it will be unsigned.
void sign_installer(const std::string& command, const std::vector<std::uint8_t>& installer,
                    const std::string& output, bool uninstaller_without_package);

// One line on the file's signature: "present (certificate table of N bytes
// at offset X)", "none", or why the entry is broken.
std::string describe_signature(std::span<const std::uint8_t> file);

}  // namespace hs::tools
