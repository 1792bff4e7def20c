// An installer file read into memory and taken apart step by step with the
// engine's own checks, for list, verify and extract.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "package/blowfish.h"
#include "package/damage_code.h"
#include "package/package_header.h"
#include "package/package_section.h"
#include "package/payload_entry.h"

namespace hs::tools {

// A broken rule: its damage code (0 when the problem has no code, as for a
// missing package or a wrong version) and a line that explains it.
struct Problem {
  package::DamageCode damage = 0;
  std::string text;
};

// Reads a whole host file; throws std::runtime_error when it cannot.
std::vector<std::uint8_t> read_host_file(const std::filesystem::path& path);

class InstallerImage {
 public:
  explicit InstallerImage(std::vector<std::uint8_t> file) : file_(std::move(file)) {}

  // Finds the section, reads the header and decodes the settings block
  // (as the engine does at start-up). Must succeed before anything below.
  std::optional<Problem> open();

  // The settings CRC (25) and the settings end marker (32).
  std::optional<Problem> check_settings() const;

  // Engine protection by CRC (40) over the file in front of the package.
  std::optional<Problem> check_engine_crc() const;

  // Checks the payload (46, 55), hands every entry to `visit` in order and
  // makes the end checks (80, 83).
  std::optional<Problem> walk_entries(const std::function<void(std::uint32_t, const package::PayloadEntry&)>& visit,
                                      bool compressed) const;

  const std::vector<std::uint8_t>& file() const { return file_; }
  const package::PackageSection& section() const { return section_; }
  const package::PackageHeader& header() const { return header_; }
  const std::vector<std::uint8_t>& settings() const { return settings_; }
  // `ProductFlags` bit 5 of the settings: the chunks are XZ streams.
  bool settings_say_compressed() const;

 private:
  std::span<const std::uint8_t> image() const;

  std::vector<std::uint8_t> file_;
  package::PackageSection section_;
  package::PackageHeader header_;
  package::Blowfish cipher_;
  std::vector<std::uint8_t> settings_;
};

// "damage code N: meaning" for a damage code.
std::string describe_damage(package::DamageCode code);

}  // namespace hs::tools
