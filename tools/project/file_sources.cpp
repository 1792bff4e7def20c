#include "project/file_sources.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "project/project_dates.h"
#include "support/text.h"

namespace hs::tools {

namespace fs = std::filesystem;

bool glob_match(std::string_view pattern, std::string_view path) {
  while (!pattern.empty()) {
    if (pattern.starts_with("**")) {
      pattern.remove_prefix(2);
      if (pattern.starts_with("/")) pattern.remove_prefix(1);
      if (pattern.empty()) return true;
      for (std::size_t i = 0; i <= path.size(); ++i) {
        if ((i == 0 || path[i - 1] == '/') && glob_match(pattern, path.substr(i))) return true;
      }
      return false;
    }
    if (pattern.front() == '*') {
      pattern.remove_prefix(1);
      for (std::size_t i = 0; i <= path.size(); ++i) {
        if (glob_match(pattern, path.substr(i))) return true;
        if (i < path.size() && path[i] == '/') break;
      }
      return false;
    }
    if (path.empty()) return false;
    if (pattern.front() == '?' ? path.front() == '/' : pattern.front() != path.front()) return false;
    pattern.remove_prefix(1);
    path.remove_prefix(1);
  }
  return path.empty();
}

namespace {

std::string to_backslashes(std::string text) {
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

struct Match {
  fs::path path;         // host path
  std::string relative;  // '/'-separated path below the pattern's fixed folder
};

std::vector<Match> find_sources(ProjectSection& s, const toml::node& where_node, const std::string& shielded_source,
                                bool recursive) {
  const ProjectContext& ctx = s.context();
  const std::string source = unshield(shielded_source);
  std::string pattern = source;
  std::replace(pattern.begin(), pattern.end(), '\\', '/');
  std::vector<Match> found;
  const bool wild = pattern.find_first_of("*?") != std::string::npos;
  if (!wild) {
    const fs::path path = ctx.base / fs::path(pattern);
    std::error_code ec;
    if (fs::is_regular_file(path, ec)) {
      found.push_back({path, path.filename().string()});
    } else if (fs::is_directory(path, ec)) {
      if (!recursive) s.fail(where_node, "source", "\"" + source + "\" is a folder; set recursive = true to take all of its files");
      for (const auto& item : fs::recursive_directory_iterator(path)) {
        if (item.is_regular_file()) found.push_back({item.path(), fs::relative(item.path(), path).generic_string()});
      }
    } else {
      s.fail(where_node, "source", "no file or folder \"" + source + "\"");
    }
  } else {
    // The folders before the first wildcard are fixed; the rest is matched.
    std::size_t fixed_end = pattern.rfind('/', pattern.find_first_of("*?"));
    const std::string fixed = fixed_end == std::string::npos ? "" : pattern.substr(0, fixed_end);
    const std::string rest = fixed_end == std::string::npos ? pattern : pattern.substr(fixed_end + 1);
    const fs::path root = fixed.empty() ? ctx.base : ctx.base / fs::path(fixed);
    std::error_code ec;
    if (fs::is_directory(root, ec)) {
      for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (!item.is_regular_file()) continue;
        const std::string relative = fs::relative(item.path(), root).generic_string();
        if (glob_match(rest, relative) || (recursive && glob_match(rest, item.path().filename().string()))) {
          found.push_back({item.path(), relative});
        }
      }
    }
    if (found.empty()) s.fail(where_node, "source", "no file matches \"" + source + "\"");
  }
  std::sort(found.begin(), found.end(), [](const Match& a, const Match& b) { return a.relative < b.relative; });
  return found;
}

}  // namespace

void read_files(ProjectSection& s, std::vector<WriterEntry>& out) {
  const toml::node* source_node = s.node("source");
  if (!source_node || !source_node->is_string()) {
    if (source_node) s.fail(*source_node, "source", "expected a file, folder or pattern");
    s.fail_here("a [[files]] entry needs a source");
  }
  const std::string source = source_node->as_string()->get();
  const bool recursive = s.flag("recursive");
  const std::vector<Match> matches = find_sources(s, *source_node, source, recursive);

  WriterEntry base;
  base.kind = static_cast<std::uint32_t>(
      s.choice("kind", {{"program", 0}, {"shared", 1}, {"font", 4}, {"startup", 5}, {"system", 6},
                        {"com", 7}, {"type_library", 8}, {"versioned", 9}, {"driver", 10},
                        {"msi", 11}, {"control_panel", 12}}, 0, 12).value_or(0));
  if (base.kind == 2 || base.kind == 3) s.fail(*s.node("kind"), "kind", "kinds 2 and 3 do not exist");
  std::uint32_t flags = 0;
  if (s.flag("desktop_shortcut")) flags |= 1;
  if (s.flag("start_menu_shortcut")) flags |= 2;
  flags |= static_cast<std::uint32_t>(
      s.choice("existence", {{"always", 0}, {"never", 1}, {"only_if_exists", 2}, {"only_if_missing", 3},
                             {"unless_existing_newer", 4}}, 0, 7).value_or(0)) << 2;
  if (s.flag("keep_at_uninstall")) flags |= 1u << 5;
  if (s.flag("to_uninstall_folder")) flags |= 1u << 6;
  if (s.flag("remove_msi_at_uninstall")) flags |= 1u << 7;
  base.flags = static_cast<std::uint32_t>(s.integer("entry_flags", 0, 0xFFFFFFFF).value_or(flags));
  base.value = static_cast<std::uint32_t>(s.integer("attributes", -1, 0xFFFFFFFF).value_or(-1));
  const auto date = s.date("date");
  // The per-kind texts, by what they mean and by their raw names.
  auto eight_bit = [&](std::initializer_list<std::string_view> keys) {
    std::string out8;
    for (auto key : keys) {
      if (s.node(key)) out8 = support::to_bar_form(s.text(key));
    }
    return out8;
  };
  base.first_argument = eight_bit({"first_argument", "version", "shortcut_name", "font_name"});
  base.second_argument = eight_bit({"second_argument", "shortcut_start_in"});
  base.optional_text = s.text("shortcut_icon");
  if (s.node("optional_text")) base.optional_text = s.text("optional_text");
  base.shortcut_arguments = s.text1252("shortcut_arguments");
  base.destination = s.text("destination");
  base.kind11_value = static_cast<std::uint32_t>(s.integer("msi_value", 0, 0xFFFFFFFF).value_or(0));
  const std::string target = to_backslashes(s.string("target").value_or(""));
  const auto name = s.string("name");
  if (name && matches.size() != 1) s.fail(*s.node("name"), "name", "a name can only be given for a single file");

  for (const Match& match : matches) {
    WriterEntry e = base;
    std::string stored = name ? to_backslashes(*name) : to_backslashes(match.relative);
    if (!target.empty()) stored = target + (target.back() == '\\' ? "" : "\\") + stored;
    e.name = support::to_bar_form(wide(stored));
    if (e.name.empty()) s.fail_here("a stored file name cannot be empty");
    if (date) {
      for (int i = 0; i < 6; ++i) e.date[i] = static_cast<std::uint32_t>((*date)[i]);
    } else {
      e.date = file_date(match.path, s.context().env);
    }
    std::ifstream in(match.path, std::ios::binary);
    if (!in) s.fail(*source_node, "source", "cannot read \"" + match.path.filename().string() + "\"");
    e.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (e.data.size() > 0x40000000) s.fail(*source_node, "source", "a file may hold at most 1 GiB");
    out.push_back(std::move(e));
  }
}
}  // namespace hs::tools
