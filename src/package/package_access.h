// The engine's access to its own package: opening its file, finding and
// checking the package, the settings block, engine protection and the
// payload entries. Every failure ends the run through the damage report
// or the fatal-error path; the pure checks underneath return values.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/session.h"
#include "package/blowfish.h"
#include "package/own_file.h"
#include "package/package_header.h"
#include "package/package_section.h"
#include "package/payload_reader.h"

namespace hs::package {

// The missing-package message (the file carries no `.setup` section).
inline constexpr char16_t kNoPackageText[] =
    u"This program performs installations and uninstallations.\r\nThere is no installation data present.\r\n"
    u"No uninstallation parameters were specified.\r\n\r\nYou should not delete this program or execute it directly.";

// The fatal message when a sound payload cannot be unpacked because memory
// runs out (the file phase of a 32-bit engine with a very large file).
inline constexpr char kOutOfMemoryMessage[] =
    "Not enough memory to unpack the installation data.\r\nClose other programs and start the "
    "installation again.";

// The package as the run holds it once opened. Not copied or moved:
// `image` may point into `image_from_file`.
struct LoadedPackage {
  LoadedPackage() = default;
  LoadedPackage(const LoadedPackage&) = delete;
  LoadedPackage& operator=(const LoadedPackage&) = delete;

  OwnFile own_file;                 // the executable's own file, open for the whole run
  PackageSection section;           // where the `.setup` section lies
  std::span<const std::uint8_t> image;  // the section's bytes (package header first), as mapped
  std::vector<std::uint8_t> image_from_file;  // holds `image` when the section was read from the file
  PackageHeader header;             // checked header, size table and key
  Blowfish cipher;                  // keyed from the header when the package is enciphered
  std::vector<std::uint8_t> settings;  // decoded settings block, for the settings loader
};

// Opens the own file, finds the package section, reads and checks the
// header and decodes the settings block. Ends the run with "Error code 1"
// (file cannot be opened), the missing-package message, the version
// message or a damage report.
std::unique_ptr<LoadedPackage> open_package(engine::Session& session);

// Damage code 25 unless the decoded settings match the settings CRC. Called
// by the settings loader once it has read its first fields.
void check_settings_crc(engine::Session& session, const LoadedPackage& package);

// Engine protection by `method` (1 CRC, 2 signature, other none): reads the
// file up to the package (damage code 35) and checks it (40, 1000 + n).
void protect_engine(engine::Session& session, LoadedPackage& package, int method);

// Progress of the payload: status texts (message numbers) and positions of
// the progress page. Either may be empty.
struct PayloadProgress {
  std::function<void(int message)> status;
  std::function<void(int position)> position;
};

// The payload being extracted: entries one by one.
class PayloadAccess {
 public:
  // Makes the payload available and checks it (46, 55): in place in the
  // section, or, when `from_file`, read from the own file (exactly
  // payload-size bytes). `compressed` is `ProductFlags` bit 5.
  PayloadAccess(engine::Session& session, LoadedPackage& package, bool from_file, bool compressed,
                PayloadProgress progress = {});

  std::uint32_t entry_count() const { return package_.header.entry_count; }

  // The next entry, its data checked (damage report otherwise). The progress
  // position is set before it is read; pending window messages are let
  // through after it. When the memory for a chunk cannot be had, the run
  // stops with the fatal kOutOfMemoryMessage rather than a damage report.
  PayloadEntry next_entry();

  // After the last entry: damage codes 80 and 83.
  void finish();

 private:
  engine::Session& session_;
  LoadedPackage& package_;
  PayloadProgress progress_;
  std::vector<std::uint8_t> from_file_;  // the payload when read from the file
  std::optional<PayloadReader> reader_;
};

}  // namespace hs::package
