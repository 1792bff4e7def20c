// The configuration of a simulated machine: which Windows it runs, its
// drives, user, folders and scripted behaviour. Kept as "machine.ini" in
// the machine's root so that every run against the machine sees the same
// system.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/system_info.h"

namespace hs::platform::sim {

// One drive of the machine.
struct DriveConfig {
  DriveType type = DriveType::kFixed;
  std::uint64_t free_bytes = 64ull << 30;    // free space the caller may use
  std::uint64_t total_bytes = 128ull << 30;  // size of the drive
  bool read_only = false;  // its volume information reports a read-only volume
};

struct MachineConfig {
  // The Windows version as written by the user ("10", "7", "xp",
  // "10.0.19045 server", ...), and what it stands for.
  std::string windows = "10";
  OsVersion version;
  bool is_64bit = true;          // Windows itself is 64-bit
  std::string wine_version;      // "" = not running under Wine
  std::u16string user_name = u"User";
  std::u16string computer_name = u"SIMPC";
  std::uint32_t code_page = 1252;     // ANSI code page
  std::uint16_t user_language = 0x409;  // English (United States)
  // Offset of local time from UTC in minutes.
  int utc_offset_minutes = 0;

  // Drives by upper-case letter. C is the system drive.
  std::map<char, DriveConfig> drives = {{'C', DriveConfig{}}};

  // Standard folders and variables removed from the machine, so that
  // fallbacks can be tried: "csidl.<number>" (decimal), "known.<{GUID}>"
  // (upper case), "env.<NAME>" (upper case).
  std::set<std::string> removed;

  // Files that another process holds open without sharing: opening them
  // for writing, deleting or moving them fails with a sharing violation.
  // Full Windows paths, compared without regard to case.
  std::vector<std::u16string> locked_files;

  // Exit codes of started programs: the first rule whose text occurs in the
  // command line (without regard to case) gives the code; default 0.
  std::vector<std::pair<std::u16string, std::uint32_t>> exit_codes;
};

// Reads a Windows version text. Accepted: "95", "98", "me", "2000", "xp",
// "2003", "vista", "2008", "7", "2008r2", "8", "2012", "8.1", "2012r2",
// "10", "2016", "2019", "2022", "11", "2025", or "major.minor[.build]";
// each optionally followed by " server", " dc" or " workstation".
std::optional<OsVersion> parse_windows_version(std::string_view text);

// Reads "machine.ini" text; unknown keys are ignored. Returns false with
// `error` set when a value cannot be read.
bool read_machine_config(std::string_view text, MachineConfig& config, std::string& error);
std::string write_machine_config(const MachineConfig& config);

// Applies one "section.key=value" setting (as hsetup-sim's --set gives it),
// e.g. "system.wine=9.0" or "drives.D=cdrom". Returns false when unknown.
bool apply_setting(MachineConfig& config, std::string_view setting, std::string& error);

}  // namespace hs::platform::sim
