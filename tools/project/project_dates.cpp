#include "project/project_dates.h"

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>

#include "project/project_error.h"

namespace hs::tools {

namespace fs = std::filesystem;

std::array<std::int32_t, 6> date_from_epoch(std::int64_t seconds) {
  // Days to civil date (proleptic Gregorian), independent of the host's zone.
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return {static_cast<std::int32_t>(year), static_cast<std::int32_t>(month), static_cast<std::int32_t>(day),
          static_cast<std::int32_t>(rest / 3600), static_cast<std::int32_t>(rest / 60 % 60),
          static_cast<std::int32_t>(rest % 60)};
}

ProjectEnvironment environment_from_process() {
  ProjectEnvironment env;
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
    std::int64_t value = 0;
    const std::string_view text(epoch);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) {
      throw ProjectError("SOURCE_DATE_EPOCH: expected a non-negative number of seconds, got \"" + std::string(text) + "\"");
    }
    env.source_date_epoch = value;
  }
  return env;
}

std::array<std::int32_t, 6> default_project_date(const ProjectEnvironment& env,
                                                 std::optional<std::int64_t> fallback_time) {
  if (env.source_date_epoch) return date_from_epoch(*env.source_date_epoch);
  if (fallback_time) return date_from_epoch(*fallback_time);
  return {};
}

std::array<std::uint32_t, 6> file_date(const fs::path& path, const ProjectEnvironment& env) {
  const auto written = fs::last_write_time(path);
  const auto system = std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(written));
  std::int64_t seconds = system.time_since_epoch().count();
  if (env.source_date_epoch && seconds > *env.source_date_epoch) seconds = *env.source_date_epoch;
  auto date = date_from_epoch(seconds);
  std::array<std::uint32_t, 6> out{};
  for (int i = 0; i < 6; ++i) out[i] = static_cast<std::uint32_t>(date[i]);
  return out;
}

std::optional<std::int64_t> modification_time(const fs::path& path) {
  std::error_code ec;
  const auto written = fs::last_write_time(path, ec);
  if (ec) return std::nullopt;
  return std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(written))
      .time_since_epoch()
      .count();
}

}  // namespace hs::tools
