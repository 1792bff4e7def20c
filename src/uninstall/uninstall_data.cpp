#include "uninstall/uninstall_data.h"

#include <algorithm>
#include <climits>

#include "support/files.h"
#include "support/paths.h"
#include "support/text.h"
#include "uninstall/csv_line.h"

namespace hs::uninstall {

namespace {

constexpr std::string_view kStrings = "[Strings]";
constexpr std::string_view kAutoClose = "[AutoClose]";
constexpr std::string_view kAssociations = "[Associations]";
constexpr std::string_view kFirewall = "[Firewall]";
constexpr std::string_view kInf = "[INF]";
constexpr std::string_view kMsi = "[MSI]";
constexpr std::string_view kRegistry2 = "[Registry2]";
constexpr std::string_view kConditional = "[ConditionalDelete]";
constexpr std::string_view kAssociationSeparator = "~!~";

enum class Section { kChanges, kStrings, kAutoClose, kAssociations, kFirewall, kInf, kMsi, kRegistry2, kConditional };

struct Header {
  std::string_view text;
  Section section;
};
constexpr Header kHeaders[] = {
    {kStrings, Section::kStrings},   {kAssociations, Section::kAssociations}, {kAutoClose, Section::kAutoClose},
    {kFirewall, Section::kFirewall}, {kInf, Section::kInf},                   {kRegistry2, Section::kRegistry2},
    {kMsi, Section::kMsi},           {kConditional, Section::kConditional},
};

// One line of the file: its text without the break, and where the next
// line starts.
struct Line {
  std::string_view text;
  std::string_view with_break;  // the text and its line break
};

// Splits at CR, LF, CR LF or LF CR, each counted as one break. A final
// line without a break is a line too; an empty tail is not.
std::vector<Line> split_lines(std::string_view bytes) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back({bytes.substr(start), bytes.substr(start)});
      break;
    }
    std::size_t next = end + 1;
    if (next < bytes.size() && (bytes[next] == '\r' || bytes[next] == '\n') && bytes[next] != bytes[end]) ++next;
    lines.push_back({bytes.substr(start, end - start), bytes.substr(start, next - start)});
    start = next;
  }
  return lines;
}

bool is_trim_char(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_trim_char(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_trim_char(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view trim_end(std::string_view s) {
  while (!s.empty() && is_trim_char(s.back())) s.remove_suffix(1);
  return s;
}

// Leading decimal integer as C's atol reads it, held within int's range;
// `ok` tells whether any digit was there.
long long leading_integer(std::string_view s, bool* ok = nullptr) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long value = 0;
  bool any = false;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    any = true;
    value = std::min<long long>(value * 10 + (s[i] - '0'), 1LL << 40);
  }
  if (ok) *ok = any;
  value = negative ? -value : value;
  return std::clamp<long long>(value, INT_MIN, INT_MAX);
}

// A number kept in one byte, as the records hold it; a value outside 0-255
// reads as 0 (no condition, no flags, close the window).
std::uint8_t small_number(std::string_view s) {
  const long long value = leading_integer(s);
  return value < 0 || value > 255 ? 0 : static_cast<std::uint8_t>(value);
}

// Flag value of a conditional deletion applied at uninstallation.
constexpr unsigned kApplyAtUninstallation = 8;

const Header* find_header(std::string_view trimmed) {
  for (const auto& h : kHeaders) {
    if (trimmed == h.text) return &h;
  }
  return nullptr;
}

// True when a raw line ends a [Strings] record: it opens the next record or
// starts with a header other than [Strings].
bool ends_string_record(std::string_view raw) {
  if (!raw.empty() && raw.front() == '~') return true;
  for (const auto& h : kHeaders) {
    if (h.section != Section::kStrings && raw.starts_with(h.text)) return true;
  }
  return false;
}

void append_section(std::string& out, std::string_view header, std::string_view body) {
  out += "\r\n\r\n";
  out += header;
  out += "\r\n";
  out += body;
}

std::string join_lines(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

}  // namespace

std::u16string UninstallData::message(int n) const {
  if (n < 0 || static_cast<std::size_t>(n) >= messages.size()) return {};
  return messages[static_cast<std::size_t>(n)];
}

std::string association_line(const UninstallAssociation& a) {
  std::string out = a.extension;
  out += kAssociationSeparator;
  out += a.prog_id;
  out += kAssociationSeparator;
  out += a.verb;
  out += kAssociationSeparator;
  out += support::to_bar_form(a.icon);
  out += "\r\n";
  return out;
}

std::string compose_uninstall_data(const UninstallData& data) {
  std::string out = data.changes;

  std::string strings;
  for (int n : kUninstallMessageNumbers) {
    strings += "~" + std::to_string(n) + "\r\n" + support::utf16_to_utf8(data.message(n)) + "\r\n";
  }
  strings += "~" + std::to_string(kCaptionRecord) + "\r\n" + support::utf16_to_utf8(data.caption) + "\r\n";
  append_section(out, kStrings, strings);

  if (!data.auto_close.empty()) {
    std::string body;
    for (const auto& rule : data.auto_close) {
      body += csv_line({support::utf16_to_utf8(rule.window_class), support::utf16_to_utf8(rule.window_title),
                        rule.program_name, std::to_string(rule.action)});
    }
    append_section(out, kAutoClose, body);
  }
  if (!data.associations.empty()) {
    std::string body;
    for (const auto& a : data.associations) body += association_line(a);
    append_section(out, kAssociations, body);
  }
  if (!data.firewall.empty()) append_section(out, kFirewall, join_lines(data.firewall));
  if (!data.inf.empty()) append_section(out, kInf, join_lines(data.inf));
  if (!data.msi.empty()) append_section(out, kMsi, join_lines(data.msi));
  if (!data.registry2.empty()) append_section(out, kRegistry2, data.registry2);

  std::string conditional;
  for (const auto& e : data.conditional) {
    if ((e.flags & kApplyAtUninstallation) == 0) continue;
    conditional += csv_line({support::to_bar_form(e.path), std::to_string(e.condition),
                             support::to_bar_form(e.argument), std::to_string(e.flags)});
  }
  if (!conditional.empty()) append_section(out, kConditional, conditional);
  return out;
}

namespace {

// Whether a text read from the file can be a Windows path (or pattern): not
// empty, and without "|", "<", ">", "\"" or control characters, none of
// which a path can hold. Anything else was not written by the engine, and
// would not read back as itself once rewritten ("||" decodes to "|", which
// is written plainly and then read as an empty UTF-8 text).
bool can_be_windows_path(std::u16string_view text) {
  if (text.empty()) return false;
  for (char16_t c : text) {
    if (c < 32 || c == 127 || c == u'|' || c == u'<' || c == u'>' || c == u'"') return false;
  }
  return true;
}

// An [Associations] line split at "~!~" into extension, ProgID, verb and
// the icon reference (bar form; "" when the line has fewer fields).
UninstallAssociation split_association(std::string_view line, const support::AnsiDecoder& ansi) {
  std::string_view rest = line;
  std::string parts[3];
  bool complete = true;
  for (auto& part : parts) {
    const auto at = rest.find(kAssociationSeparator);
    if (at == std::string_view::npos) {
      part = rest;
      rest = {};
      complete = false;
      break;
    }
    part = rest.substr(0, at);
    rest.remove_prefix(at + kAssociationSeparator.size());
  }
  UninstallAssociation a{parts[0], parts[1], parts[2], {}};
  if (complete) a.icon = support::from_bar_form(rest, ansi);
  return a;
}

// A condition's argument (a date or a size) holds none of those either;
// it may be empty.
bool can_be_condition_argument(std::u16string_view text) { return text.empty() || can_be_windows_path(text); }

}  // namespace

UninstallData parse_uninstall_data(std::string_view bytes, const support::AnsiDecoder& ansi) {
  UninstallData data;
  const std::vector<Line> lines = split_lines(bytes);
  Section section = Section::kChanges;

  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view trimmed = trim(lines[i].text);
    if (const Header* header = find_header(trimmed)) {
      section = header->section;
      continue;
    }
    if (section == Section::kStrings) {
      const std::string_view raw = lines[i].text;
      bool has_number = false;
      const long long number = raw.starts_with('~') ? leading_integer(raw.substr(1), &has_number) : 0;
      if (!has_number || number < 1 || number > 1000) continue;
      // The record's text is every raw line up to the one that ends it; that
      // line is then read again by the loop.
      std::string text;
      while (i + 1 < lines.size() && !ends_string_record(lines[i + 1].text)) {
        text += lines[i + 1].with_break;
        ++i;
      }
      std::u16string decoded = support::utf8_to_utf16(trim_end(text));
      if (number == kCaptionRecord) {
        data.caption = std::move(decoded);
      } else {
        const auto n = static_cast<std::size_t>(number);
        if (data.messages.size() < n + 1) data.messages.resize(n + 1);
        data.messages[n] = std::move(decoded);
      }
      continue;
    }
    if (trimmed.empty()) continue;
    switch (section) {
      case Section::kChanges:
        data.changes += trimmed;
        data.changes += "\r\n";
        break;
      case Section::kAutoClose: {
        auto fields = split_csv_line(trimmed);
        if (fields.size() != 4) break;
        package::AutoCloseRule rule;
        rule.window_class = support::utf8_to_utf16(fields[0]);
        rule.window_title = support::utf8_to_utf16(fields[1]);
        rule.program_name = std::move(fields[2]);
        rule.action = small_number(fields[3]);
        rule.phases = rule.action == 2 ? 4 : 2;
        data.auto_close.push_back(std::move(rule));
        break;
      }
      case Section::kAssociations: {
        UninstallAssociation a = split_association(trimmed, ansi);
        if (!can_be_windows_path(a.icon)) a.icon.clear();  // no icon file can be named so
        if (a.extension.empty() || a.prog_id.empty() || a.verb.empty()) break;
        // A field that runs into the separator ("o2en~!" before "~!~") would
        // be split elsewhere once written again: no association was made so.
        std::string line = association_line(a);
        line.resize(line.size() - 2);  // its CR LF
        const UninstallAssociation again = split_association(line, ansi);
        if (again.extension != a.extension || again.prog_id != a.prog_id || again.verb != a.verb ||
            again.icon != a.icon) {
          break;
        }
        data.associations.push_back(std::move(a));
        break;
      }
      case Section::kFirewall: data.firewall.emplace_back(trimmed); break;
      case Section::kInf: data.inf.emplace_back(trimmed); break;
      case Section::kMsi: data.msi.emplace_back(trimmed); break;
      case Section::kRegistry2:
        data.registry2 += trimmed;
        data.registry2 += "\r\n";
        break;
      case Section::kConditional: {
        auto fields = split_csv_line(trimmed);
        if (fields.size() != 4) break;
        package::ConditionalDeletion e;
        e.path = support::from_bar_form(fields[0], ansi);
        e.condition = small_number(fields[1]);
        e.argument = support::from_bar_form(fields[2], ansi);
        e.flags = small_number(fields[3]);
        // An entry that names no possible path, or whose argument could be
        // no date or size, is dropped: it deletes nothing.
        if (!can_be_windows_path(e.path) || !can_be_condition_argument(e.argument)) break;
        data.conditional.push_back(std::move(e));
        break;
      }
      default: break;
    }
  }
  return data;
}

std::u16string uninstall_data_folder(std::u16string_view install_folder, std::u16string_view uninstall_subdir) {
  if (uninstall_subdir.empty()) return std::u16string(install_folder);
  return support::join_path(install_folder, uninstall_subdir);
}

std::u16string uninstall_data_path(std::u16string_view install_folder, std::u16string_view uninstall_subdir) {
  return support::join_path(uninstall_data_folder(install_folder, uninstall_subdir), u"Uninstall.DAT");
}

std::u16string install_log_path(std::u16string_view install_folder, std::u16string_view uninstall_subdir) {
  return support::join_path(uninstall_data_folder(install_folder, uninstall_subdir), u"Install.log");
}

std::string install_log_path_bar(std::u16string_view install_folder, std::u16string_view uninstall_subdir) {
  return support::to_bar_form(install_log_path(install_folder, uninstall_subdir));
}

platform::SysError write_whole_file(platform::Files& files, const std::u16string& path, std::string_view bytes) {
  auto file = files.open(path, platform::OpenMode::kCreateAlways);
  if (!file) return file.error();
  if (bytes.empty()) return platform::err::kSuccess;
  auto wrote = (*file)->write(bytes.data(), bytes.size());
  if (!wrote) return wrote.error();
  if (*wrote != bytes.size()) return platform::err::kHandleEof;
  return platform::err::kSuccess;
}

platform::SysError write_uninstall_data(platform::Files& files, const std::u16string& path, const UninstallData& data) {
  return write_whole_file(files, path, compose_uninstall_data(data));
}

platform::Result<UninstallData> read_uninstall_data(platform::Files& files, const std::u16string& path,
                                                    const support::AnsiDecoder& ansi) {
  auto bytes = support::read_whole_file(files, path);
  if (!bytes) return platform::Result<UninstallData>::fail(bytes.error());
  return platform::Result<UninstallData>::ok(parse_uninstall_data(*bytes, ansi));
}

}  // namespace hs::uninstall
