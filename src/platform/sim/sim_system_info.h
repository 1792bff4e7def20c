// What the simulated machine tells of itself, and its clock.
#pragma once

#include <chrono>

#include "platform/system_info.h"

namespace hs::platform::sim {

class SimMachine;

class SimSystemInfo : public SystemInfo {
 public:
  explicit SimSystemInfo(SimMachine& machine) : machine_(machine) {}

  OsVersion os_version() override;
  bool is_64bit_windows() override;
  std::optional<std::string> wine_version() override;
  std::uint32_t ansi_code_page() override;
  std::u16string ansi_to_utf16(std::string_view text) override;
  std::string utf16_to_ansi(std::u16string_view text) override;
  std::uint16_t user_language() override;
  std::u16string computer_name() override;
  std::u16string user_name() override;
  std::u16string error_text(SysError error) override;
  [[nodiscard]] SysError disable_fs_redirection() override;

 private:
  SimMachine& machine_;
};

// Windows' English text of a system error number, without the line break
// FormatMessage ends it with; "" for a number the table does not hold (as
// when FormatMessage fails).
std::u16string system_error_text(SysError error);

// The machine's clock. Sleeping does not wait: it moves the clock on, so
// that runs with many short waits stay fast and their times consistent.
class SimClock : public Clock {
 public:
  explicit SimClock(int utc_offset_minutes = 0);
  void set_utc_offset(int minutes) { utc_offset_minutes_ = minutes; }

  FileTime now_utc() override;
  CalendarTime local_time() override;
  std::uint32_t tick_count() override;
  void sleep(int milliseconds) override;

  // Total time slept, in milliseconds.
  std::uint64_t slept_ms() const { return slept_ms_; }

 private:
  std::chrono::steady_clock::time_point started_;
  std::uint64_t slept_ms_ = 0;
  int utc_offset_minutes_ = 0;
};

// FILETIME <-> calendar time (proleptic Gregorian, UTC).
CalendarTime calendar_from_file_time(FileTime t);

}  // namespace hs::platform::sim
