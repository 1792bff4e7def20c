#include "uninstall/install_log.h"

#include <cstdio>

#include "support/message_box.h"
#include "support/paths.h"
#include "support/text.h"

namespace hs::uninstall {

namespace {

// `ProductFlags` bits this step reads.
constexpr std::uint64_t kHasUninstaller = 1ULL << 2;
constexpr std::uint64_t kAlwaysWriteLog = 1ULL << 6;
constexpr std::uint64_t kRestartRequired = 1ULL << 14;
constexpr std::uint64_t kNoSummary = 1ULL << 22;

constexpr std::string_view kEngineVersion = "45.0";

// UTF-16 to UTF-8 where an unpaired surrogate becomes "?".
std::string to_utf8(std::u16string_view text) {
  std::u16string cleaned(text);
  for (std::size_t i = 0; i < cleaned.size(); ++i) {
    const char16_t c = cleaned[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < cleaned.size() && cleaned[i + 1] >= 0xDC00 && cleaned[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      cleaned[i] = u'?';
    }
  }
  return support::utf16_to_utf8(cleaned);
}

void line(std::string& out, std::string_view label, std::u16string_view value) {
  out += label;
  out += to_utf8(value);
  out += "\r\n";
}


}  // namespace

void InstallLog::add(std::u16string_view text) { text_ += to_utf8(text); }

void InstallLog::add(std::initializer_list<std::u16string_view> pieces) {
  for (auto piece : pieces) add(piece);
}

void InstallLog::add_cp1252(std::string_view text) { add(support::cp1252_to_utf16(text)); }

void InstallLog::addf(std::u16string_view format, std::initializer_list<support::FormatArg> args) {
  add(support::format_text(format, args));
}

void InstallLog::addf(std::string_view format, std::initializer_list<support::FormatArg> args) {
  add_cp1252(support::format_text(format, args));
}

std::u16string_view install_type_word(InstallType type) {
  switch (type) {
    case InstallType::kReinstall: return u"Reinstall";
    case InstallType::kUpgrade: return u"Upgrade";
    case InstallType::kDowngrade: return u"Downgrade";
    case InstallType::kNew: break;
  }
  return u"New";
}

std::u16string log_date(const platform::CalendarTime& t) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  return support::ascii_to_utf16(buffer);
}

std::u16string os_description(platform::SystemInfo& info) {
  const platform::OsVersion v = info.os_version();
  std::string name = "Windows";
  if (v.platform != platform::OsPlatform::kNt) {
    name += " 9x";
  } else if (v.major == 10 && v.build >= 22000) {
    name += " 11";
  } else if (v.major == 10) {
    name += " 10";
  } else if (v.major == 6) {
    static constexpr const char* kSix[] = {" Vista", " 7", " 8", " 8.1"};
    name += v.minor < 4 ? kSix[v.minor] : "";
  } else if (v.major == 5) {
    name += v.minor == 0 ? " 2000" : " XP";
  }
  if (v.product_type != platform::product_type::kWorkstation) name += " Server";
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "%s (%u.%u.%u)", name.c_str(), static_cast<unsigned>(v.major),
                static_cast<unsigned>(v.minor), static_cast<unsigned>(v.build));
  std::u16string out = support::ascii_to_utf16(buffer);
  if (!v.service_pack.empty()) out += u" " + v.service_pack;
  out += info.is_64bit_windows() ? u", 64-bit" : u", 32-bit";
  if (auto wine = info.wine_version()) out += u", Wine " + support::utf8_to_utf16(*wine);
  return out;
}

std::string compose_log_record(const LogRecordHeader& h, std::string_view entries_utf8,
                               std::u16string_view failure_summary, std::u16string_view success_message) {
  std::string out;
  line(out, "Installation log for: ", h.product_name);
  line(out, "Install date: ", log_date(h.date));
  if (h.has_uninstaller) line(out, "Install type: ", install_type_word(h.install_type));
  line(out, "Install location: ", h.install_folder);
  out += "Installer version: ";
  out += kEngineVersion;
  out += "\r\n";
  if (!h.build_date.empty()) line(out, "Installer built: ", h.build_date);
  if (!h.product_version.empty()) line(out, "Product version: ", h.product_version);
  if (!h.overwriting_version.empty()) line(out, "Overwriting version: ", h.overwriting_version);
  line(out, "Operating system: ", h.os_description);
  out += "\r\n";
  out += entries_utf8;
  out += "\r\n";
  if (!failure_summary.empty()) {
    out += "*** FAILURE SUMMARY ***\r\n";
    out += to_utf8(failure_summary);
  } else {
    out += to_utf8(success_message);
    out += "\r\n";
  }
  return out;
}

std::string append_log_record(std::string_view existing, std::string_view record) {
  std::string out;
  if (existing.empty()) {
    out = kUtf8Mark;
  } else if (existing.starts_with(kUtf8Mark)) {
    out = existing;
    out += kRecordSeparator;
  } else {
    out = kUtf8Mark;
    out += support::utf16_to_utf8(support::cp1252_to_utf16(existing));
    out += kRecordSeparator;
  }
  out += record;
  return out;
}

platform::SysError write_log_record(platform::Files& files, const std::u16string& path, std::string_view record) {
  auto opened = files.open(path, platform::OpenMode::kOpenAlways);
  if (!opened) return opened.error();
  platform::File& file = **opened;
  std::string existing;
  char buffer[65536];
  while (true) {
    auto got = file.read(buffer, sizeof buffer);
    if (!got) return got.error();
    if (*got == 0) break;
    existing.append(buffer, *got);
  }
  const std::string whole = append_log_record(existing, record);
  // A file that keeps its bytes only gets the tail; one that was converted
  // is written again from the start.
  const bool kept = whole.compare(0, existing.size(), existing) == 0;
  const std::size_t from = kept ? existing.size() : 0;
  if (auto sought = file.seek(from); !sought) return sought.error();
  const std::string_view tail = std::string_view(whole).substr(from);
  auto wrote = file.write(tail.data(), tail.size());
  if (!wrote) return wrote.error();
  if (*wrote != tail.size()) return platform::err::kHandleEof;
  if (!kept) {
    if (auto e = file.truncate(); e != platform::err::kSuccess) return e;
  }
  return platform::err::kSuccess;
}

bool write_install_log(engine::Session& session, const InstallLog& log, const LogWriteRequest& request) {
  const bool has_errors = !session.failure_summary.empty();
  bool show_afterwards = false;

  if (!session.modes.automatic && !session.modes.silent) {
    if (has_errors) {
      platform::MessageBoxRequest box;
      box.text = session.message_or(40, u"The installation finished with errors. Do you want to see the log?\r\n\r\n") +
                 request.path;
      box.caption = session.message_or(41, u"Installation log");
      box.icon = platform::BoxIcon::kQuestion;
      box.buttons = platform::BoxButtons::kYesNo;
      show_afterwards = support::message_box(session, box) == platform::BoxResult::kYes;
    } else if ((request.product_flags & kNoSummary) == 0) {
      if (request.nothing_more_to_offer || (request.product_flags & kRestartRequired) != 0 ||
          !request.show_summary_page) {
        platform::MessageBoxRequest box;
        box.text = session.message_or(42, u"The installation has finished.");
        box.caption = session.message_or(43, u"Installation complete");
        box.icon = platform::BoxIcon::kInformation;
        support::message_box(session, box);
      } else {
        request.show_summary_page();
      }
    }
  }

  if (!has_errors && (request.product_flags & kAlwaysWriteLog) == 0) return false;

  LogRecordHeader header = request.header;
  header.has_uninstaller = (request.product_flags & kHasUninstaller) != 0;
  if (header.date.year == 0) header.date = session.sys.clock.local_time();
  if (header.os_description.empty()) header.os_description = os_description(session.sys.info);
  const std::string record =
      compose_log_record(header, log.utf8(), session.failure_summary, session.message_or(43, u"Installation complete"));
  if (write_log_record(session.sys.files, request.path, record) != platform::err::kSuccess) return false;
  if (show_afterwards) show_install_log(session.sys, request.path);
  return true;
}

void show_install_log(platform::System& sys, const std::u16string& path) {
  if (sys.shell.open_with_desktop_shell(path) == platform::err::kSuccess) return;
  const std::u16string own_folder = support::folder_of(sys.processes.module_path());
  if (sys.processes.shell_execute(u"", path, u"", own_folder, platform::show::kNormal) == platform::err::kSuccess) return;
  const std::u16string command = path.empty() ? u"notepad.exe " : u"notepad.exe \"" + path + u"\"";
  // The last way to show the log; when it fails too, the log stays unshown
  // and the run goes on.
  (void)sys.processes.start(command, u"", platform::show::kNormal);
}

}  // namespace hs::uninstall
