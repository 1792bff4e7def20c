#include "package/registry_entry_list.h"

namespace hs::package {

namespace {

std::vector<std::u16string> split_fields(std::u16string_view line) {
  std::vector<std::u16string> fields;
  std::size_t at = 0;
  while (true) {
    while (at < line.size() && (line[at] == u' ' || line[at] == u'\t')) ++at;
    std::u16string field;
    if (at < line.size() && line[at] == u'"') {
      ++at;
      while (at < line.size()) {
        if (line[at] == u'"') {
          if (at + 1 < line.size() && line[at + 1] == u'"') {
            field.push_back(u'"');
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        field.push_back(line[at++]);
      }
      // Anything between the closing quote and the next comma belongs to
      // the field as written.
      while (at < line.size() && line[at] != u',') field.push_back(line[at++]);
    } else {
      while (at < line.size() && line[at] != u',') field.push_back(line[at++]);
    }
    fields.push_back(std::move(field));
    if (at >= line.size()) break;
    ++at;  // the comma
  }
  return fields;
}

bool needs_quotes(std::u16string_view field) {
  if (field.empty()) return false;
  if (field.front() == u' ' || field.front() == u'\t' || field.front() == u'"') return true;
  return field.find_first_of(u",\r\n") != std::u16string_view::npos;
}

}  // namespace

std::vector<RegistryEntry> parse_registry_entries(std::u16string_view text) {
  std::vector<RegistryEntry> entries;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find_first_of(u"\r\n", at);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view line = text.substr(at, end - at);
    if (!line.empty()) entries.push_back(RegistryEntry{split_fields(line)});
    at = end + 1;
  }
  return entries;
}

std::u16string format_registry_entries(const std::vector<RegistryEntry>& entries) {
  std::u16string out;
  for (const auto& entry : entries) {
    for (std::size_t i = 0; i < entry.fields.size(); ++i) {
      if (i != 0) out += u',';
      const auto& field = entry.fields[i];
      if (needs_quotes(field)) {
        out += u'"';
        for (char16_t c : field) {
          if (c == u'"') out += u'"';
          out += c;
        }
        out += u'"';
      } else {
        out += field;
      }
    }
    out += u"\r\n";
  }
  return out;
}

}  // namespace hs::package
