// The TOML project file: everything an installer holds, by readable names.
//
// `load_project` reads a project file into the settings of the package and
// its file entries, ready for the package writer. Mistakes are reported as
// `ProjectError` with the file, line and column and what was expected;
// unknown keys are mistakes. docs/project-file.md lists every key.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "package/settings.h"
#include "packwriter/package_writer.h"

namespace hs::tools {

// A mistake in a project file; what() is "FILE:LINE:COLUMN: message".
class ProjectError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the build machine may contribute. Only these enter the installer:
// no clock and no host path.
struct ProjectEnvironment {
  // SOURCE_DATE_EPOCH (seconds since 1970, UTC) when set: the date used
  // where the project gives none, and the latest file date taken from a
  // source file's modification time.
  std::optional<std::int64_t> source_date_epoch;
};

// The environment of this process (reads SOURCE_DATE_EPOCH).
ProjectEnvironment environment_from_process();

struct Project {
  package::Settings settings;      // product_flags2 included
  std::vector<WriterEntry> files;  // in package order, data loaded
  PackageOptions package;          // compression, cipher key, ProductFlags2
  // `[build] sign_command`: the command that signs the finished installer,
  // with "{in}" for the unsigned file and "{out}" for the signed one; ""
  // when the installer is not signed.
  std::string sign_command;
};

// Reads and checks the project file `path`; sources are taken relative to
// its folder.
Project load_project(const std::filesystem::path& path, const ProjectEnvironment& env);

// Same for project text already in memory; `display_name` names it in
// errors, `base` is the folder that sources are relative to.
Project parse_project(std::string_view text, std::string_view display_name,
                      const std::filesystem::path& base, const ProjectEnvironment& env);

// A date as six numbers (year, month, day, hour, minute, second) from
// seconds since 1970 (UTC).
std::array<std::int32_t, 6> date_from_epoch(std::int64_t seconds);

}  // namespace hs::tools
