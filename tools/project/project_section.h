// Typed access to the tables of a project file, with every mistake located
// as "FILE:LINE:COLUMN: " and what was expected.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "project/project_dates.h"
#include "project/toml_text.h"

namespace hs::tools {

// Everything a section needs to report a mistake and to find its files.
struct ProjectContext {
  std::string file;            // project file name as shown in errors
  std::filesystem::path base;  // folder that sources are relative to
  ProjectEnvironment env;
  std::array<std::int32_t, 6> default_date{};  // date used where none is given
};

// "FILE:LINE:COLUMN: " of `region`.
std::string location(const ProjectContext& ctx, const toml::source_region& region);

// What a node is, as mistakes name it ("a string", "an integer", ...).
std::string_view toml_type_name(const toml::node& node);

// One table of the project file: typed access by key, every key used at
// most once, and an error for each key that nothing asked for.
class ProjectSection {
 public:
  ProjectSection(const ProjectContext& ctx, const toml::table& table, std::string path)
      : ctx_(ctx), table_(table), path_(std::move(path)) {}

  [[noreturn]] void fail(const toml::node& node, std::string_view key, const std::string& message) const;
  [[noreturn]] void fail_here(const std::string& message) const;

  const toml::node* node(std::string_view key);

  std::optional<std::string> string(std::string_view key);
  std::u16string text(std::string_view key, std::u16string_view fallback = u"");
  // An 8-bit text in code page 1252 (batches, program names).
  std::string text1252(std::string_view key);

  std::optional<std::int64_t> integer(std::string_view key, std::int64_t min, std::int64_t max);
  template <typename T>
  void integer_into(std::string_view key, T& out, std::int64_t min, std::int64_t max) {
    if (auto v = integer(key, min, max)) out = static_cast<T>(*v);
  }

  std::optional<bool> boolean(std::string_view key);
  bool flag(std::string_view key, bool fallback = false) { return boolean(key).value_or(fallback); }

  std::optional<double> real(std::string_view key, double min, double max);

  // A colour: "#RRGGBB" or a COLORREF integer (0x00BBGGRR).
  std::optional<std::uint32_t> color(std::string_view key);

  // A number given as an integer or as one of `names` (index = value
  // unless `values` are given).
  std::optional<std::int64_t> choice(std::string_view key,
                                     std::initializer_list<std::pair<std::string_view, std::int64_t>> names,
                                     std::int64_t min, std::int64_t max);

  const toml::table* table(std::string_view key);
  const toml::array* array(std::string_view key);
  // An array of tables ([[key]]), each handed to `each` as a section.
  template <typename Each>
  void tables(std::string_view key, Each each) {
    const toml::array* a = array(key);
    if (!a) return;
    std::size_t index = 0;
    for (const toml::node& item : *a) {
      if (!item.is_table()) fail(item, key, "expected a table ([[" + std::string(key) + "]])");
      ProjectSection s(ctx_, *item.as_table(), qualified(key) + "[" + std::to_string(index++) + "]");
      each(s);
      s.finish();
    }
  }
  // A list of strings, or one string.
  std::vector<std::string> strings(std::string_view key);

  // The bytes of the file named by `key` (relative to the project folder).
  std::optional<std::string> file(std::string_view key);
  std::string read(const toml::node& n, std::string_view key, const std::string& shielded_name) const;

  // A date: a TOML date-time or "YYYY-MM-DD HH:MM:SS".
  std::optional<std::array<std::int32_t, 6>> date(std::string_view key);

  void finish() const;

  const ProjectContext& context() const { return ctx_; }
  const std::string& path() const { return path_; }

 private:
  [[noreturn]] void expected(const toml::node& n, std::string_view key, std::string_view what) const;
  std::string qualified(std::string_view key) const;

  const ProjectContext& ctx_;
  const toml::table& table_;
  std::string path_;
  std::set<std::string> used_;
};

// Sets or clears bit `bit` of `word`.
void set_bit(std::uint64_t& word, int bit, bool on);

}  // namespace hs::tools
