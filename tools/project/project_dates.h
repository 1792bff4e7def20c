// Dates of a project build: what the build machine may contribute
// (SOURCE_DATE_EPOCH, file modification times) and the six-number dates of
// the package made from them. No clock of the build machine is read.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace hs::tools {

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

// A date as six numbers (year, month, day, hour, minute, second) from
// seconds since 1970 (UTC).
std::array<std::int32_t, 6> date_from_epoch(std::int64_t seconds);

// The date used where the project gives none: SOURCE_DATE_EPOCH, else
// `fallback_time` (the project file's own time), else all zeros.
std::array<std::int32_t, 6> default_project_date(const ProjectEnvironment& env,
                                                 std::optional<std::int64_t> fallback_time);

// A source file's date: its modification time (UTC), no later than
// SOURCE_DATE_EPOCH when that is set.
std::array<std::uint32_t, 6> file_date(const std::filesystem::path& path, const ProjectEnvironment& env);

// The modification time of `path` in seconds since 1970; none when it
// cannot be read.
std::optional<std::int64_t> modification_time(const std::filesystem::path& path);

}  // namespace hs::tools
