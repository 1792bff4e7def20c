#include "packwriter/file_list.h"

#include <charconv>
#include <chrono>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/text.h"

namespace hs::tools {
namespace {

[[noreturn]] void bad_line(std::size_t line, const std::string& what) {
  throw std::runtime_error("line " + std::to_string(line) + ": " + what);
}

std::uint32_t parse_number(std::size_t line, std::string_view key, std::string_view text) {
  if (text == "-1") return 0xFFFFFFFF;
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty())
    bad_line(line, std::string(key) + " is not a number: \"" + std::string(text) + "\"");
  return value;
}

std::array<std::uint32_t, 6> parse_date(std::size_t line, std::string_view text) {
  std::array<std::uint32_t, 6> date{};
  // YYYY-MM-DD HH:MM:SS (a 'T' may stand for the space)
  const std::size_t widths[6] = {4, 2, 2, 2, 2, 2};
  const char separators[5] = {'-', '-', ' ', ':', ':'};
  std::size_t at = 0;
  for (int i = 0; i < 6; ++i) {
    if (at + widths[i] > text.size()) bad_line(line, "date is not YYYY-MM-DD HH:MM:SS");
    const auto [end, ec] = std::from_chars(text.data() + at, text.data() + at + widths[i], date[i]);
    if (ec != std::errc() || end != text.data() + at + widths[i]) bad_line(line, "date is not YYYY-MM-DD HH:MM:SS");
    at += widths[i];
    if (i < 5) {
      if (at >= text.size() || (text[at] != separators[i] && !(i == 2 && text[at] == 'T')))
        bad_line(line, "date is not YYYY-MM-DD HH:MM:SS");
      ++at;
    }
  }
  if (at != text.size()) bad_line(line, "date is not YYYY-MM-DD HH:MM:SS");
  return date;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

std::array<std::uint32_t, 6> modification_date(const std::filesystem::path& path) {
  const auto written = std::filesystem::last_write_time(path);
  const auto system = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
      std::chrono::file_clock::to_sys(written));
  const std::time_t t = std::chrono::system_clock::to_time_t(system);
  std::tm utc{};
  gmtime_r(&t, &utc);
  return {static_cast<std::uint32_t>(utc.tm_year + 1900), static_cast<std::uint32_t>(utc.tm_mon + 1),
          static_cast<std::uint32_t>(utc.tm_mday), static_cast<std::uint32_t>(utc.tm_hour),
          static_cast<std::uint32_t>(utc.tm_min), static_cast<std::uint32_t>(utc.tm_sec)};
}

}  // namespace

std::vector<ListedFile> parse_file_list(std::string_view text) {
  std::vector<ListedFile> list;
  std::size_t number = 0;
  for (std::string_view line : split(text, '\n')) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    const auto fields = split(line, '\t');
    if (fields[0].empty()) bad_line(number, "no source file");
    ListedFile file;
    file.source = std::filesystem::path(std::string(fields[0]));
    WriterEntry& e = file.entry;
    for (std::size_t i = 1; i < fields.size(); ++i) {
      const std::string_view field = fields[i];
      if (field.empty()) continue;
      const std::size_t eq = field.find('=');
      if (eq == std::string_view::npos) bad_line(number, "\"" + std::string(field) + "\" is not key=value");
      const std::string_view key = field.substr(0, eq);
      const std::string_view value = field.substr(eq + 1);
      const std::u16string wide = support::utf8_to_utf16(value);
      if (key == "name") {
        if (value.empty()) bad_line(number, "name is empty");
        e.name = support::to_bar_form(wide);
        file.name_given = true;
      } else if (key == "kind") {
        e.kind = parse_number(number, key, value);
        if (e.kind > package::kMaxEntryKind) bad_line(number, "kind must be 0 to 12");
      } else if (key == "flags") {
        e.flags = parse_number(number, key, value);
      } else if (key == "attributes") {
        e.value = parse_number(number, key, value);
      } else if (key == "date") {
        e.date = parse_date(number, value);
        file.date_given = true;
      } else if (key == "arg1") {
        e.first_argument = support::to_bar_form(wide);
      } else if (key == "text") {
        e.optional_text = wide;
      } else if (key == "shortcut") {
        e.shortcut_arguments = support::utf16_to_cp1252(wide);
      } else if (key == "dest") {
        e.destination = wide;
      } else if (key == "arg2") {
        e.second_argument = support::to_bar_form(wide);
      } else if (key == "kind11") {
        e.kind11_value = parse_number(number, key, value);
      } else {
        bad_line(number, "unknown key \"" + std::string(key) + "\"");
      }
    }
    list.push_back(std::move(file));
  }
  return list;
}

std::vector<WriterEntry> load_file_list(const std::vector<ListedFile>& list, const std::filesystem::path& base) {
  std::vector<WriterEntry> entries;
  entries.reserve(list.size());
  for (const ListedFile& file : list) {
    const std::filesystem::path path = file.source.is_absolute() ? file.source : base / file.source;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read \"" + path.string() + "\"");
    WriterEntry e = file.entry;
    e.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!file.name_given) e.name = support::to_bar_form(support::utf8_to_utf16(file.source.filename().string()));
    if (!file.date_given) e.date = modification_date(path);
    entries.push_back(std::move(e));
  }
  return entries;
}

}  // namespace hs::tools
