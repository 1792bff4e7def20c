#include "platform/sim/sim_system_info.h"

#include "platform/sim/sim_machine.h"
#include "platform/sim/code_page.h"
#include "support/text.h"

namespace hs::platform::sim {

namespace {

struct ErrorText {
  SysError number;
  const char16_t* text;
};

// The texts Windows gives in English for the errors an installer meets.
constexpr ErrorText kErrorTexts[] = {
    {0, u"The operation completed successfully."},
    {1, u"Incorrect function."},
    {2, u"The system cannot find the file specified."},
    {3, u"The system cannot find the path specified."},
    {4, u"The system cannot open the file."},
    {5, u"Access is denied."},
    {6, u"The handle is invalid."},
    {8, u"Not enough memory resources are available to process this command."},
    {14, u"Not enough memory resources are available to complete this operation."},
    {15, u"The system cannot find the drive specified."},
    {16, u"The directory cannot be removed."},
    {17, u"The system cannot move the file to a different disk drive."},
    {18, u"There are no more files."},
    {19, u"The media is write protected."},
    {21, u"The device is not ready."},
    {32, u"The process cannot access the file because it is being used by another process."},
    {33, u"The process cannot access the file because another process has locked a portion of the file."},
    {38, u"Reached the end of the file."},
    {39, u"The disk is full."},
    {50, u"The request is not supported."},
    {53, u"The network path was not found."},
    {80, u"The file exists."},
    {82, u"The directory or file cannot be created."},
    {87, u"The parameter is incorrect."},
    {112, u"There is not enough space on the disk."},
    {120, u"This function is not supported on this system."},
    {122, u"The data area passed to a system call is too small."},
    {123, u"The filename, directory name, or volume label syntax is incorrect."},
    {126, u"The specified module could not be found."},
    {127, u"The specified procedure could not be found."},
    {145, u"The directory is not empty."},
    {161, u"The specified path is invalid."},
    {183, u"Cannot create a file when that file already exists."},
    {193, u"%1 is not a valid Win32 application."},
    {203, u"The system could not find the environment option that was entered."},
    {206, u"The filename or extension is too long."},
    {234, u"More data is available."},
    {259, u"No more data is available."},
    {267, u"The directory name is invalid."},
    {740, u"The requested operation requires elevation."},
    {1010, u"The configuration registry key is invalid."},
    {1011, u"The configuration registry key could not be opened."},
    {1012, u"The configuration registry key could not be read."},
    {1013, u"The configuration registry key could not be written."},
    {1018, u"Illegal operation attempted on a registry key that has been marked for deletion."},
    {1223, u"The operation was canceled by the user."},
    {1314, u"A required privilege is not held by the client."},
    {1392, u"The file or directory is corrupted and unreadable."},
};

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000LL;

// Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm).
void civil_from_days(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

}  // namespace

std::u16string system_error_text(SysError error) {
  for (const auto& entry : kErrorTexts) {
    if (entry.number == error) return entry.text;
  }
  return {};
}

OsVersion SimSystemInfo::os_version() { return machine_.config().version; }
bool SimSystemInfo::is_64bit_windows() { return machine_.config().is_64bit; }

std::optional<std::string> SimSystemInfo::wine_version() {
  if (machine_.config().wine_version.empty()) return std::nullopt;
  return machine_.config().wine_version;
}

std::uint32_t SimSystemInfo::ansi_code_page() { return machine_.config().code_page; }

std::u16string SimSystemInfo::ansi_to_utf16(std::string_view text) {
  return code_page_to_utf16(machine_.config().code_page, text);
}

std::string SimSystemInfo::utf16_to_ansi(std::u16string_view text) {
  return utf16_to_code_page(machine_.config().code_page, text);
}
std::uint16_t SimSystemInfo::user_language() { return machine_.config().user_language; }
std::u16string SimSystemInfo::computer_name() { return machine_.config().computer_name; }
std::u16string SimSystemInfo::user_name() { return machine_.config().user_name; }
std::u16string SimSystemInfo::error_text(SysError error) { return system_error_text(error); }

SysError SimSystemInfo::disable_fs_redirection() {
  if (!machine_.config().is_64bit) return 1;  // ERROR_INVALID_FUNCTION
  machine_.fs_redirection = false;
  return err::kSuccess;
}

SimClock::SimClock(int utc_offset_minutes)
    : started_(std::chrono::steady_clock::now()), utc_offset_minutes_(utc_offset_minutes) {}

FileTime SimClock::now_utc() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const std::int64_t ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
  return static_cast<FileTime>(ticks + kUnixEpochAsFileTime + static_cast<std::int64_t>(slept_ms_) * 10'000);
}

CalendarTime calendar_from_file_time(FileTime t) {
  const std::int64_t since_1970 = static_cast<std::int64_t>(t) - kUnixEpochAsFileTime;
  std::int64_t seconds = since_1970 / kTicksPerSecond;
  std::int64_t rest = since_1970 % kTicksPerSecond;
  if (rest < 0) rest += kTicksPerSecond, --seconds;
  std::int64_t days = seconds / 86400;
  std::int64_t in_day = seconds % 86400;
  if (in_day < 0) in_day += 86400, --days;
  CalendarTime c;
  civil_from_days(days, c.year, c.month, c.day);
  c.day_of_week = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  c.hour = static_cast<int>(in_day / 3600);
  c.minute = static_cast<int>(in_day / 60 % 60);
  c.second = static_cast<int>(in_day % 60);
  c.milliseconds = static_cast<int>(rest / 10'000);
  return c;
}

CalendarTime SimClock::local_time() {
  return calendar_from_file_time(now_utc() + static_cast<std::int64_t>(utc_offset_minutes_) * 60 * kTicksPerSecond);
}

std::uint32_t SimClock::tick_count() {
  const auto elapsed = std::chrono::steady_clock::now() - started_;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ms) + slept_ms_);
}

void SimClock::sleep(int milliseconds) {
  if (milliseconds > 0) slept_ms_ += static_cast<std::uint64_t>(milliseconds);
}

}  // namespace hs::platform::sim
