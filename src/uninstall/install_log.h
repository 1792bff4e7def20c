// The installation log: lines collected during the run and written at its
// end as one record appended to "Install.log".
//
// The file is UTF-8 with a byte-order mark and CR LF line ends. Each record
// is a header, the collected entries and either the failure summary or the
// success message; records after the first are set apart by a line of 46
// asterisks.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "engine/session.h"
#include "platform/system.h"
#include "support/format.h"

namespace hs::uninstall {

// The in-memory log: UTF-8 bytes. Every form converts to UTF-8 before
// storing; characters that cannot be converted become "?".
class InstallLog {
 public:
  // A wide text.
  void add(std::u16string_view text);
  // A wide text made of several pieces.
  void add(std::initializer_list<std::u16string_view> pieces);
  // An 8-bit text in code page 1252.
  void add_cp1252(std::string_view text);
  // A wide format with arguments ("%s" takes a wide text).
  void addf(std::u16string_view format, std::initializer_list<support::FormatArg> args);
  // An 8-bit format with arguments; the result is taken as code page 1252.
  void addf(std::string_view format, std::initializer_list<support::FormatArg> args);

  const std::string& utf8() const { return text_; }
  bool empty() const { return text_.empty(); }
  void clear() { text_.clear(); }

 private:
  std::string text_;
};

// How the existing installation relates to this one.
enum class InstallType { kNew = 0, kReinstall = 1, kUpgrade = 2, kDowngrade = 3 };
std::u16string_view install_type_word(InstallType type);

// The header lines of a record.
struct LogRecordHeader {
  std::u16string product_name;          // product display name
  platform::CalendarTime date;          // local date and time; year 0 = now (write_install_log)
  bool has_uninstaller = false;         // `ProductFlags` bit 2: the install type line is written
  InstallType install_type = InstallType::kNew;
  std::u16string install_folder;
  std::u16string build_date;            // the engine's build date "yyyy/MM/dd"; "" = unknown, no line
  std::u16string product_version;       // "" = no line
  std::u16string overwriting_version;   // version of the existing installation; "" = no line
  std::u16string os_description;        // "" = the running system's (write_install_log)
};

// The byte-order mark and the separator between records.
inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
inline constexpr std::string_view kRecordSeparator =
    "\r\n\r\n**********************************************\r\n";

// The date as the log shows it: "2024/03/05 14:07:09".
std::u16string log_date(const platform::CalendarTime& time);

// A readable description of Windows ("Windows 10 (10.0.19045), 64-bit").
std::u16string os_description(platform::SystemInfo& info);

// One record: header lines, an empty line, the entries and "\r\n", then
// "*** FAILURE SUMMARY ***" and the summary, or else the success message.
std::string compose_log_record(const LogRecordHeader& header, std::string_view entries_utf8,
                               std::u16string_view failure_summary, std::u16string_view success_message);

// What the file holds after appending `record` to `existing`: a new file gets
// the mark; an older file without the mark is taken as code page 1252,
// converted to UTF-8 and given the mark, once; every later record is set
// apart by the separator.
std::string append_log_record(std::string_view existing, std::string_view record);

// Appends a record to the file (created when missing). Fails with the
// file layer's error; nothing is written then.
[[nodiscard]] platform::SysError write_log_record(platform::Files& files, const std::u16string& path, std::string_view record);

// What the end of an installation knows for the log and its questions.
struct LogWriteRequest {
  std::u16string path;       // the "Install.log" path
  LogRecordHeader header;
  std::uint64_t product_flags = 0;
  // The summary page would offer nothing (no document, program or log to
  // open), so a plain information box says that the installation ended.
  bool nothing_more_to_offer = true;
  // Shows the wizard's summary page; called instead of the information box.
  std::function<void()> show_summary_page;
};

// Ends an installation's log: asks or informs the user as the run's mode
// and result say, appends the record when `ProductFlags` bit 6 is set or the
// failure summary is not empty, and shows the log when the user asked for
// it. Returns true when a record was written.
bool write_install_log(engine::Session& session, const InstallLog& log, const LogWriteRequest& request);

// Opens the log for the user: through the desktop shell (so the viewer runs
// with the user's normal rights), else a direct shell start, else Notepad.
void show_install_log(platform::System& sys, const std::u16string& path);

}  // namespace hs::uninstall
