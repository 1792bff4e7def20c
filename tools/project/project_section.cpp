#include "project/project_section.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "project/project_error.h"
#include "support/text.h"

namespace hs::tools {

namespace fs = std::filesystem;

std::string location(const ProjectContext& ctx, const toml::source_region& region) {
  return ctx.file + ":" + std::to_string(region.begin.line) + ":" +
         std::to_string(region.begin.column) + ": ";
}

std::string_view toml_type_name(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number";
    case toml::node_type::boolean: return "a boolean";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date-time";
    default: return "nothing";
  }
}

void ProjectSection::fail(const toml::node& node, std::string_view key, const std::string& message) const {
  throw ProjectError(location(ctx_, node.source()) + qualified(key) + ": " + message);
}

void ProjectSection::fail_here(const std::string& message) const {
  throw ProjectError(location(ctx_, table_.source()) + (path_.empty() ? "" : "[" + path_ + "]: ") + message);
}

const toml::node* ProjectSection::node(std::string_view key) {
  used_.insert(std::string(key));
  return table_.get(key);
}

std::optional<std::string> ProjectSection::string(std::string_view key) {
  const toml::node* n = node(key);
  if (!n) return std::nullopt;
  if (!n->is_string()) expected(*n, key, "a string");
  return n->as_string()->get();
}

std::u16string ProjectSection::text(std::string_view key, std::u16string_view fallback) {
  auto s = string(key);
  return s ? wide(*s) : std::u16string(fallback);
}

std::string ProjectSection::text1252(std::string_view key) {
  const toml::node* n = node(key);
  if (!n) return {};
  if (!n->is_string()) expected(*n, key, "a string");
  std::u16string t = wide(n->as_string()->get());
  for (char16_t c : t) {
    if (support::cp1252_to_utf16(support::utf16_to_cp1252(std::u16string(1, c))) != std::u16string(1, c)) {
      fail(*n, key, "expected text that code page 1252 can hold");
    }
  }
  return support::utf16_to_cp1252(t);
}

std::optional<std::int64_t> ProjectSection::integer(std::string_view key, std::int64_t min, std::int64_t max) {
  const toml::node* n = node(key);
  if (!n) return std::nullopt;
  if (!n->is_integer()) expected(*n, key, "an integer");
  const std::int64_t v = n->as_integer()->get();
  if (v < min || v > max) {
    fail(*n, key, "expected an integer from " + std::to_string(min) + " to " + std::to_string(max) +
                      ", got " + std::to_string(v));
  }
  return v;
}

std::optional<bool> ProjectSection::boolean(std::string_view key) {
  const toml::node* n = node(key);
  if (!n) return std::nullopt;
  if (!n->is_boolean()) expected(*n, key, "true or false");
  return n->as_boolean()->get();
}

std::optional<double> ProjectSection::real(std::string_view key, double min, double max) {
  const toml::node* n = node(key);
  if (!n) return std::nullopt;
  double v = 0;
  if (n->is_floating_point()) {
    v = n->as_floating_point()->get();
  } else if (n->is_integer()) {
    v = static_cast<double>(n->as_integer()->get());
  } else {
    expected(*n, key, "a number");
  }
  if (!(v >= min && v <= max)) {
    std::ostringstream range;
    range << "expected a number from " << min << " to " << max;
    fail(*n, key, range.str());
  }
  return v;
}

std::optional<std::uint32_t> ProjectSection::color(std::string_view key) {
  const toml::node* n = node(key);
  if (!n) return std::nullopt;
  if (n->is_integer()) {
    std::int64_t v = n->as_integer()->get();
    if (v < 0 || v > 0xFFFFFF) fail(*n, key, "expected a colour from 0 to 0xFFFFFF (0x00BBGGRR)");
    return static_cast<std::uint32_t>(v);
  }
  if (n->is_string()) {
    const std::string& s = n->as_string()->get();
    std::uint32_t rgb = 0;
    if (s.size() == 7 && s[0] == '#') {
      auto [end, ec] = std::from_chars(s.data() + 1, s.data() + 7, rgb, 16);
      if (ec == std::errc() && end == s.data() + 7) {
        return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
      }
    }
  }
  fail(*n, key, "expected a colour \"#RRGGBB\" or a COLORREF integer");
}

std::optional<std::int64_t> ProjectSection::choice(std::string_view key, std::initializer_list<std::pair<std::string_view, std::int64_t>> names, std::int64_t min, std::int64_t max) {
  const toml::node* n = node(key);
  if (!n) return std::nullopt;
  if (n->is_integer()) return integer(key, min, max);
  std::string list;
  for (const auto& [name, value] : names) {
    if (n->is_string() && n->as_string()->get() == name) return value;
    list += (list.empty() ? "\"" : ", \"") + std::string(name) + "\"";
  }
  fail(*n, key, "expected one of " + list + " or an integer from " + std::to_string(min) + " to " +
                    std::to_string(max));
}

const toml::table* ProjectSection::table(std::string_view key) {
  const toml::node* n = node(key);
  if (!n) return nullptr;
  if (!n->is_table()) expected(*n, key, "a table");
  return n->as_table();
}

const toml::array* ProjectSection::array(std::string_view key) {
  const toml::node* n = node(key);
  if (!n) return nullptr;
  if (!n->is_array()) expected(*n, key, "an array");
  return n->as_array();
}

std::vector<std::string> ProjectSection::strings(std::string_view key) {
  const toml::node* n = node(key);
  std::vector<std::string> out;
  if (!n) return out;
  if (n->is_string()) return {n->as_string()->get()};
  if (!n->is_array()) expected(*n, key, "a string or an array of strings");
  for (const toml::node& item : *n->as_array()) {
    if (!item.is_string()) fail(item, key, "expected a string, got " + std::string(toml_type_name(item)));
    out.push_back(item.as_string()->get());
  }
  return out;
}

std::optional<std::string> ProjectSection::file(std::string_view key) {
  const toml::node* n = node(key);
  if (!n) return std::nullopt;
  if (!n->is_string()) expected(*n, key, "a file name");
  return read(*n, key, n->as_string()->get());
}

std::string ProjectSection::read(const toml::node& n, std::string_view key, const std::string& shielded_name) const {
  const std::string name = unshield(shielded_name);
  const fs::path path = ctx_.base / fs::path(name);
  std::ifstream in(path, std::ios::binary);
  if (!in || fs::is_directory(path)) fail(n, key, "cannot read the file \"" + name + "\"");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::optional<std::array<std::int32_t, 6>> ProjectSection::date(std::string_view key) {
  const toml::node* n = node(key);
  if (!n) return std::nullopt;
  if (n->is_date_time()) {
    const auto dt = n->as_date_time()->get();
    return std::array<std::int32_t, 6>{dt.date.year, dt.date.month, dt.date.day,
                                       dt.time.hour, dt.time.minute, dt.time.second};
  }
  if (n->is_date()) {
    const auto d = n->as_date()->get();
    return std::array<std::int32_t, 6>{d.year, d.month, d.day, 0, 0, 0};
  }
  if (n->is_string()) {
    std::array<std::int32_t, 6> out{};
    const std::string& s = n->as_string()->get();
    char tail = 0;
    if (s.size() == 19 && std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &out[0], &out[1], &out[2],
                                      &out[3], &out[4], &out[5], &tail) == 6 &&
        out[1] >= 1 && out[1] <= 12 && out[2] >= 1 && out[2] <= 31 && out[3] <= 23 &&
        out[4] <= 59 && out[5] <= 59) {
      return out;
    }
  }
  fail(*n, key, "expected a date such as 2024-05-06T07:08:09 or \"2024-05-06 07:08:09\"");
}

void ProjectSection::finish() const {
  for (auto&& [key, value] : table_) {
    if (!used_.contains(std::string(key.str()))) {
      throw ProjectError(location(ctx_, key.source()) + "unknown key \"" + qualified(key.str()) + "\"");
    }
  }
}

void ProjectSection::expected(const toml::node& n, std::string_view key, std::string_view what) const {
  fail(n, key, "expected " + std::string(what) + ", got " + std::string(toml_type_name(n)));
}

std::string ProjectSection::qualified(std::string_view key) const {
  return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

void set_bit(std::uint64_t& word, int bit, bool on) {
  if (on) {
    word |= std::uint64_t{1} << bit;
  } else {
    word &= ~(std::uint64_t{1} << bit);
  }
}

}  // namespace hs::tools
