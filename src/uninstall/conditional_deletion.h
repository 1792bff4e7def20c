// Conditional deletion: the package's files to delete when their size or
// date meets a condition, at installation, at uninstallation, or both.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/session.h"
#include "package/conditional_deletion.h"
#include "package/damage_code.h"
#include "platform/types.h"

namespace hs::uninstall {

class InstallLog;

// The conditions, numbered as the package stores them.
namespace condition {
inline constexpr int kNone = 0;
inline constexpr int kDateEqual = 1;
inline constexpr int kDateOnOrAfter = 2;
inline constexpr int kDateOnOrBefore = 3;
inline constexpr int kSizeEqual = 4;
inline constexpr int kSizeAtLeast = 5;
inline constexpr int kSizeAtMost = 6;
}  // namespace condition

// The flag bits of an entry.
namespace conditional_flags {
inline constexpr std::uint32_t kAtNextStart = 1;        // never delete at once; schedule for the next start
inline constexpr std::uint32_t kScheduleOnFailure = 2;  // schedule when deleting at once fails
inline constexpr std::uint32_t kAtInstallation = 4;     // apply in the installation phase
inline constexpr std::uint32_t kAtUninstallation = 8;   // apply in the uninstallation phase
}  // namespace conditional_flags

// The damage code of a condition date that is no calendar date.
inline constexpr package::DamageCode kBadConditionDate = 65;

// A condition's date, with the time when one was given in range.
struct ConditionDate {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1 to the month's length
  bool has_time = false;  // the time counts only when hours 0-23 and minutes, seconds 0-59
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Parses "2024-03-05", "2024/03/05", "2024.03.05" or "05.03.2024", each
// optionally followed (after a blank or "T") by "14:07" or "14:07:09".
// Nothing, when the text is not such a date or not a calendar date (month
// 1-12, day 1 to the month's length, leap years counted). A time out of
// range is not an error: the date alone is then compared.
std::optional<ConditionDate> parse_condition_date(std::u16string_view text);

// What is known of a file that a condition tests.
struct FileFacts {
  std::uint64_t size = 0;
  platform::FileTime last_write = 0;  // UTC, as the file system stores it
};

enum class ConditionResult { kMet, kNotMet, kBadDate };

// Tests one condition. Sizes compare with the argument's leading decimal
// number (none reads as 0); dates with the parsed date, and with its time
// when it has one.
ConditionResult test_condition(int condition, std::u16string_view argument, const FileFacts& file);

// The pattern an entry may search, made absolute against the installation
// folder; nothing when it could reach beyond what it names: a relative
// pattern with no installation folder, a ".." component, or a folder part
// that is empty or a root ("\\*.x", "C:\\*.log", "\\\\server\\share\\*").
// "C:\\Program Files\\P\\*" and every other pattern inside a folder stay.
std::optional<std::u16string> confined_pattern(std::u16string_view pattern, std::u16string_view install_folder);

enum class DeletionPhase { kInstallation, kUninstallation };

struct ConditionalDeletionContext {
  DeletionPhase phase = DeletionPhase::kInstallation;
  std::u16string install_folder;  // base of relative paths
  // Expands folder variables in a path; unset leaves paths as they are.
  std::function<std::u16string(const std::u16string&)> expand;
  InstallLog* log = nullptr;       // the installation log (installation phase)
  std::uint64_t* product_flags = nullptr;  // receives the restart bit (14 at installation, 45 at uninstallation)
};

// Applies the entries of the phase in list order. At uninstallation an
// entry whose files were all handled without failure leaves the list. An
// entry whose pattern `confined_pattern` refuses deletes nothing, is logged
// and counts as failed. A
// condition date that is not a calendar date, in an entry whose files
// exist, stops at once with kBadConditionDate; 0 otherwise.
package::DamageCode apply_conditional_deletions(engine::Session& session,
                                                std::vector<package::ConditionalDeletion>& entries,
                                                const ConditionalDeletionContext& context);

}  // namespace hs::uninstall
