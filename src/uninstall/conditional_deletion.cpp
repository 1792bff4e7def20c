#include "uninstall/conditional_deletion.h"

#include "support/format.h"
#include "support/paths.h"
#include "support/text.h"
#include "uninstall/deferred_deletion.h"
#include "uninstall/install_log.h"
#include "uninstall/uninstall_data.h"

namespace hs::uninstall {

namespace {

namespace err = platform::err;

constexpr std::uint64_t kRestartAfterInstallation = 1ULL << 14;
constexpr std::uint64_t kRestartAfterUninstallation = 1ULL << 45;

bool leap_year(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leap_year(year) ? 29 : kDays[month - 1];
}

// Reads 1 to `max_digits` digits; nothing when there is none or more.
std::optional<int> read_number(std::u16string_view& s, std::size_t max_digits) {
  std::size_t n = 0;
  int value = 0;
  while (n < s.size() && s[n] >= u'0' && s[n] <= u'9') {
    if (n == max_digits) return std::nullopt;
    value = value * 10 + (s[n] - u'0');
    ++n;
  }
  if (n == 0) return std::nullopt;
  s.remove_prefix(n);
  return value;
}

bool read_char(std::u16string_view& s, char16_t c) {
  if (s.empty() || s.front() != c) return false;
  s.remove_prefix(1);
  return true;
}

std::u16string_view trim(std::u16string_view s) {
  while (!s.empty() && (s.front() == u' ' || s.front() == u'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == u' ' || s.back() == u'\t')) s.remove_suffix(1);
  return s;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long days_from_civil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

// Seconds since 1970 of a FILETIME.
long long unix_seconds(platform::FileTime t) {
  constexpr long long kEpochDifference = 11644473600LL;  // 1601 to 1970
  return static_cast<long long>(t / 10000000ULL) - kEpochDifference;
}

long long floor_div(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

std::uint64_t leading_size(std::u16string_view s) {
  s = trim(s);
  std::uint64_t value = 0;
  for (char16_t c : s) {
    if (c < u'0' || c > u'9') break;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - u'0');
    if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
    value = value * 10 + digit;
  }
  return value;
}


bool is_absolute(std::u16string_view path) {
  return path.starts_with(u"\\") || (path.size() >= 2 && path[1] == u':');
}

bool is_separator(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

std::optional<std::u16string> confined_pattern(std::u16string_view pattern, std::u16string_view install_folder) {
  std::u16string full(pattern);
  if (!is_absolute(full)) {
    if (install_folder.empty()) return std::nullopt;  // relative to nothing: to wherever the process stands
    full = support::join_path(install_folder, full);
  }
  // "C:name" is relative to the drive's current folder, wherever that is.
  if (full.size() >= 2 && full[1] == u':' && (full.size() < 3 || !is_separator(full[2]))) return std::nullopt;
  // No ".." component anywhere: it would climb out of the folder named.
  for (std::size_t start = 0; start <= full.size();) {
    std::size_t end = start;
    while (end < full.size() && !is_separator(full[end])) ++end;
    if (std::u16string_view(full).substr(start, end - start) == u"..") return std::nullopt;
    start = end + 1;
  }
  // The folder part must name a folder below a drive root or a share.
  std::u16string_view folder(full);
  const std::size_t last = folder.find_last_of(u"\\/");
  folder = last == std::u16string_view::npos ? std::u16string_view{} : folder.substr(0, last);
  while (!folder.empty() && is_separator(folder.back())) folder.remove_suffix(1);
  if (folder.empty()) return std::nullopt;                                     // "\*.x", "C:*.x"
  if (folder.size() == 2 && folder[1] == u':') return std::nullopt;              // "C:\*.log"
  if (folder.find_first_not_of(u"\\/") == std::u16string_view::npos) return std::nullopt;
  if (folder.starts_with(u"\\\\")) {
    // "\\server\share" is a root as well: at least one folder below it.
    const std::size_t server_end = folder.find_first_of(u"\\/", 2);
    if (server_end == std::u16string_view::npos) return std::nullopt;
    std::size_t share_end = folder.find_first_of(u"\\/", server_end + 1);
    if (share_end == std::u16string_view::npos) return std::nullopt;
  }
  return full;
}

namespace {

struct FoundFile {
  std::u16string path;
  FileFacts facts;
  std::uint32_t attributes = 0;
};

// The files a pattern names; wild cards in the last component.
std::vector<FoundFile> find_files(platform::Files& files, const std::u16string& pattern) {
  std::vector<FoundFile> found;
  auto entries = files.find(pattern);
  if (!entries) return found;
  const std::u16string folder = support::folder_of(pattern);
  for (const auto& e : *entries) {
    if (e.attributes & platform::attr::kDirectory) continue;
    found.push_back({support::join_path(folder, e.name), {e.size, e.last_write_time}, e.attributes});
  }
  return found;
}

}  // namespace

std::optional<ConditionDate> parse_condition_date(std::u16string_view text) {
  std::u16string_view s = trim(text);
  ConditionDate d;
  std::u16string_view probe = s;
  auto first = read_number(probe, 4);
  if (!first) return std::nullopt;
  const std::size_t first_digits = s.size() - probe.size();
  s = probe;
  if (first_digits == 4) {
    // Year first: Y-M-D, Y/M/D or Y.M.D with one separator used twice.
    if (s.empty() || (s.front() != u'-' && s.front() != u'/' && s.front() != u'.')) return std::nullopt;
    const char16_t separator = s.front();
    s.remove_prefix(1);
    auto month = read_number(s, 2);
    if (!month || !read_char(s, separator)) return std::nullopt;
    auto day = read_number(s, 2);
    if (!day) return std::nullopt;
    d.year = *first, d.month = *month, d.day = *day;
  } else {
    // Day first with dots: D.M.Y.
    if (!read_char(s, u'.')) return std::nullopt;
    auto month = read_number(s, 2);
    if (!month || !read_char(s, u'.')) return std::nullopt;
    auto year = read_number(s, 4);
    if (!year) return std::nullopt;
    d.year = *year, d.month = *month, d.day = *first;
  }
  if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > days_in_month(d.year, d.month)) {
    return std::nullopt;
  }
  if (s.empty()) return d;

  if (s.front() != u' ' && s.front() != u'T' && s.front() != u't') return std::nullopt;
  while (!s.empty() && (s.front() == u' ' || s.front() == u'T' || s.front() == u't')) s.remove_prefix(1);
  auto hour = read_number(s, 2);
  if (!hour || !read_char(s, u':')) return std::nullopt;
  auto minute = read_number(s, 2);
  if (!minute) return std::nullopt;
  int second = 0;
  if (read_char(s, u':')) {
    auto sec = read_number(s, 2);
    if (!sec) return std::nullopt;
    second = *sec;
  }
  if (!s.empty()) return std::nullopt;
  if (*hour <= 23 && *minute <= 59 && second <= 59) {
    d.has_time = true;
    d.hour = *hour, d.minute = *minute, d.second = second;
  }
  return d;
}

ConditionResult test_condition(int condition_number, std::u16string_view argument, const FileFacts& file) {
  switch (condition_number) {
    case condition::kSizeEqual: return file.size == leading_size(argument) ? ConditionResult::kMet : ConditionResult::kNotMet;
    case condition::kSizeAtLeast: return file.size >= leading_size(argument) ? ConditionResult::kMet : ConditionResult::kNotMet;
    case condition::kSizeAtMost: return file.size <= leading_size(argument) ? ConditionResult::kMet : ConditionResult::kNotMet;
    case condition::kDateEqual:
    case condition::kDateOnOrAfter:
    case condition::kDateOnOrBefore: break;
    default: return ConditionResult::kMet;
  }
  const auto date = parse_condition_date(argument);
  if (!date) return ConditionResult::kBadDate;

  const long long file_seconds = unix_seconds(file.last_write);
  const long long date_days = days_from_civil(date->year, static_cast<unsigned>(date->month), static_cast<unsigned>(date->day));
  long long left = 0;
  long long right = 0;
  if (date->has_time) {
    left = file_seconds;
    right = date_days * 86400 + date->hour * 3600 + date->minute * 60 + date->second;
  } else {
    left = floor_div(file_seconds, 86400);
    right = date_days;
  }
  bool met = false;
  if (condition_number == condition::kDateEqual) met = left == right;
  if (condition_number == condition::kDateOnOrAfter) met = left >= right;
  if (condition_number == condition::kDateOnOrBefore) met = left <= right;
  return met ? ConditionResult::kMet : ConditionResult::kNotMet;
}

package::DamageCode apply_conditional_deletions(engine::Session& session,
                                                std::vector<package::ConditionalDeletion>& entries,
                                                const ConditionalDeletionContext& context) {
  platform::System& sys = session.sys;
  const bool installing = context.phase == DeletionPhase::kInstallation;
  const std::uint32_t phase_bit =
      installing ? conditional_flags::kAtInstallation : conditional_flags::kAtUninstallation;
  InstallLog* log = installing ? context.log : nullptr;
  bool attempted = false;

  for (auto it = entries.begin(); it != entries.end();) {
    const package::ConditionalDeletion& entry = *it;
    if ((entry.flags & phase_bit) == 0) {
      ++it;
      continue;
    }
    const std::u16string expanded = context.expand ? context.expand(entry.path) : entry.path;
    const std::optional<std::u16string> pattern = confined_pattern(expanded, context.install_folder);
    if (!pattern) {
      // A pattern that could reach beyond what it names deletes nothing;
      // the entry counts as failed and stays for a later run.
      if (log) log->addf(u"Refused to delete \"%s\": the pattern does not name files inside a folder.\r\n", {expanded});
      attempted = true;
      ++it;
      continue;
    }

    bool failed = false;
    for (const FoundFile& file : find_files(sys.files, *pattern)) {
      const ConditionResult result = test_condition(entry.condition, entry.argument, file.facts);
      if (result == ConditionResult::kBadDate) return kBadConditionDate;
      if (result == ConditionResult::kNotMet) continue;
      attempted = true;

      constexpr std::uint32_t kClear = platform::attr::kReadOnly | platform::attr::kHidden | platform::attr::kSystem;
      if (file.attributes & kClear) {
        const std::uint32_t rest = file.attributes & ~kClear;
        sys.files.set_attributes(file.path, rest == 0 ? platform::attr::kNormal : rest);
      }
      const bool at_next_start = (entry.flags & conditional_flags::kAtNextStart) != 0;
      platform::SysError error = err::kSuccess;
      if (!at_next_start) {
        error = sys.files.delete_file(file.path);
        if (error == err::kSuccess) {
          if (log) log->addf(u"Deleted file: %s\r\n", {file.path});
          continue;
        }
      }
      if (at_next_start || (entry.flags & conditional_flags::kScheduleOnFailure)) {
        if (log) {
          if (at_next_start) {
            log->addf(u"File \"%s\" will be deleted after rebooting%s%s\r\n", {file.path, u"", u"."});
          } else {
            log->addf(u"File \"%s\" will be deleted after rebooting%s%s\r\n",
                      {file.path, u": ", sys.info.error_text(error)});
          }
        }
        const platform::SysError scheduled = schedule_deletion_at_next_start(sys, file.path);
        if (scheduled == err::kSuccess) {
          if (context.product_flags) {
            *context.product_flags |= installing ? kRestartAfterInstallation : kRestartAfterUninstallation;
          }
        } else {
          failed = true;
          if (installing) {
            session.failure_summary += support::format_text(u"Failed to register \"%s\" for deletion: %s\r\n",
                                                   {file.path, sys.info.error_text(scheduled)});
          }
        }
        continue;
      }
      failed = true;
      if (log) log->addf(u"Failed to delete file \"%s\": %s\r\n", {file.path, sys.info.error_text(error)});
    }

    if (!installing && !failed) {
      it = entries.erase(it);
    } else {
      ++it;
    }
  }
  if (log && attempted) log->add(u"\r\n");
  return package::damage::kNone;
}

}  // namespace hs::uninstall
