// Types shared by every service of the platform boundary.
//
// The engine speaks to Windows only through the interfaces in this folder.
// Paths and texts cross the boundary as UTF-16 (`std::u16string`), exactly as
// the engine keeps them; failures come back as Windows system error numbers
// (`SysError`, carried with a value in `Result<T>`), so that log lines and
// messages can quote the system's own number and text on every backend.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/expected.h"

namespace hs::platform {

// A Windows system error number (the value GetLastError would give).
// 0 means success.
using SysError = std::uint32_t;

// Common system error numbers used by the engine and by both backends.
namespace err {
inline constexpr SysError kSuccess = 0;
inline constexpr SysError kFileNotFound = 2;
inline constexpr SysError kPathNotFound = 3;
inline constexpr SysError kAccessDenied = 5;
inline constexpr SysError kInvalidHandle = 6;
inline constexpr SysError kNotEnoughMemory = 8;
inline constexpr SysError kNoMoreFiles = 18;
inline constexpr SysError kSharingViolation = 32;
inline constexpr SysError kLockViolation = 33;
inline constexpr SysError kHandleEof = 38;
inline constexpr SysError kFileExists = 80;
inline constexpr SysError kInvalidParameter = 87;
inline constexpr SysError kDirNotEmpty = 145;
inline constexpr SysError kAlreadyExists = 183;
inline constexpr SysError kMoreData = 234;
inline constexpr SysError kNoMoreItems = 259;
inline constexpr SysError kCancelled = 1223;
}  // namespace err

// The outcome of an operation that yields a value or a system error. A
// failure always carries a non-zero error (the backends map a missing
// system error to kInvalidParameter). Functions that return a bare
// `SysError` are [[nodiscard]] as well.
template <typename T>
using Result = support::Expected<T, SysError>;

// A point in time as Windows' FILETIME: 100-nanosecond intervals since
// 1601-01-01 UTC. 0 means "not set".
using FileTime = std::uint64_t;

// Calendar time with the fields of Windows' SYSTEMTIME.
struct CalendarTime {
  int year = 0;
  int month = 0;         // 1 to 12
  int day_of_week = 0;   // 0 = Sunday
  int day = 0;           // 1 to 31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};

using Bytes = std::vector<std::uint8_t>;

}  // namespace hs::platform
