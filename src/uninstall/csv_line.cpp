#include "uninstall/csv_line.h"

namespace hs::uninstall {

std::string csv_field(std::string_view field) {
  bool quote = field.find_first_of(",\"\t\r\n;|") != std::string_view::npos;
  if (!field.empty()) {
    const char first = field.front();
    if (first == ' ' || first == '\'' || first == '#' || field.back() == ' ') quote = true;
  }
  if (!quote) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string csv_line(const std::vector<std::string>& fields, char separator) {
  std::string out;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) out.push_back(separator);
    out += csv_field(fields[i]);
  }
  out += "\r\n";
  return out;
}

std::vector<std::string> split_csv_line(std::string_view line, char separator) {
  std::vector<std::string> fields;
  std::size_t i = 0;
  while (true) {
    std::string field;
    if (i < line.size() && line[i] == '"') {
      ++i;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field.push_back('"');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field.push_back(line[i++]);
      }
    }
    while (i < line.size() && line[i] != separator) field.push_back(line[i++]);
    fields.push_back(std::move(field));
    if (i >= line.size()) break;
    ++i;  // the separator
  }
  return fields;
}

}  // namespace hs::uninstall
