#include "project/project.h"

#include <fstream>
#include <sstream>

#include "package/product_flags.h"
#include "project/file_sources.h"
#include "project/project_section.h"
#include "project/sections.h"

namespace hs::tools {

namespace fs = std::filesystem;
using package::Settings;

namespace {

// The whole document: the sections in their order, the rules that span
// sections, and the flag bits that follow from the content.
Project parse(const toml::table& root_table, ProjectContext& ctx) {
  Project p;
  Settings& st = p.settings;
  ProjectSection root(ctx, root_table, "");
  // Defaults of a professional installer.
  st.title_size = 1.0;
  st.title_color = 0xFFFFFF;
  st.top_color = 0x800000;
  st.bottom_color = 0x800000;
  st.bitmap_tpi = 0xFFFFFFFF;
  st.uninstaller_file_name = u"uninstall.exe";
  st.dialog_styles = package::DialogStyles{{0, 0, 0}, 1, 1, 1, 1, 1, 1, 1, 1};
  st.uninstaller_date = ctx.default_date;

  const toml::table* product = root.table("product");
  if (!product) root.fail_here("the project needs a [product] table");
  // Options first: the sections below add the bits that their content needs.
  if (const toml::table* t = root.table("options")) {
    ProjectSection s(ctx, *t, "options");
    read_options(s, st);
    s.finish();
  }
  {
    ProjectSection s(ctx, *product, "product");
    read_product(s, st);
    s.finish();
  }
  auto section = [&](std::string_view key, auto read) {
    if (const toml::table* t = root.table(key)) {
      ProjectSection s(ctx, *t, std::string(key));
      read(s);
      s.finish();
    }
  };
  section("wizard", [&](ProjectSection& s) { read_wizard(s, st); });
  section("backdrop", [&](ProjectSection& s) { read_backdrop(s, st); });
  section("batches", [&](ProjectSection& s) { read_batches(s, st); });
  section("web", [&](ProjectSection& s) { read_web(s, st); });
  section("build", [&](ProjectSection& s) { read_build(s, p); });
  section("registry_merge", [&](ProjectSection& s) { read_registry_merge(s, st); });

  std::vector<package::RegistryEntry> registry;
  root.tables("registry", [&](ProjectSection& s) { read_registry(s, registry); });
  st.registry_entries = package::format_registry_entries(registry);
  root.tables("uninstall_values", [&](ProjectSection& s) { st.uninstall_key_values.push_back(read_uninstall_value(s)); });
  root.tables("shortcuts", [&](ProjectSection& s) { st.shortcuts.push_back(read_shortcut(s)); });
  root.tables("associations", [&](ProjectSection& s) { st.associations.push_back(read_association(s)); });
  root.tables("firewall", [&](ProjectSection& s) { st.firewall_entries += read_firewall(s); });
  root.tables("auto_close", [&](ProjectSection& s) { st.auto_close_rules.push_back(read_auto_close(s)); });
  root.tables("conditional_deletions", [&](ProjectSection& s) { st.conditional_deletions.push_back(read_conditional_deletion(s)); });
  root.tables("files", [&](ProjectSection& s) { read_files(s, p.files); });
  read_messages(root, st);
  root.finish();

  const std::pair<std::size_t, std::string_view> limits[] = {
      {st.uninstall_key_values.size(), "uninstall_values"}, {st.shortcuts.size(), "shortcuts"},
      {st.associations.size(), "associations"}, {st.auto_close_rules.size(), "auto_close"},
      {st.conditional_deletions.size(), "conditional_deletions"}};
  for (const auto& [size, name] : limits) {
    if (size > package::kMaxListRows) root.fail_here(std::string(name) + ": expected at most 1000 entries");
  }
  // The uninstaller icon is stored only for a product with an uninstaller.
  if (!st.uninstaller_icon.empty() && !package::has_bit(st.product_flags, package::pf::kHasUninstaller)) {
    ProjectSection(ctx, *product, "product").fail(*product->get("uninstaller_icon"), "uninstaller_icon",
                                                  "needs the has_uninstaller option");
  }
  // The engine decides by ProductFlags bit 5 whether chunks are XZ streams.
  set_bit(st.product_flags, package::pf::kCompressedPayload, p.package.compress);
  if (p.package.cipher_key) {
    st.product_flags2 |= 1u << package::pf2::kEnciphered;
  } else {
    st.product_flags2 &= ~(1u << package::pf2::kEnciphered);
  }
  p.package.product_flags2 = st.product_flags2;
  return p;
}

Project parse_with_fallback(std::string_view text, std::string_view display_name, const fs::path& base,
                            const ProjectEnvironment& env, std::optional<std::int64_t> fallback_time) {
  ProjectContext ctx;
  ctx.file = std::string(display_name);
  ctx.base = base;
  ctx.env = env;
  // Where the project gives no date: SOURCE_DATE_EPOCH, else the project
  // file's own time, never the clock.
  ctx.default_date = default_project_date(env, fallback_time);
  toml::table root;
  try {
    root = toml::parse(shield(text, ctx.file), std::string(display_name));
  } catch (const toml::parse_error& error) {
    throw ProjectError(location(ctx, error.source()) + std::string(error.description()));
  }
  try {
    return parse(root, ctx);
  } catch (const fs::filesystem_error& error) {
    throw ProjectError(ctx.file + ": " + error.what());
  }
}

}  // namespace

Project parse_project(std::string_view text, std::string_view display_name, const fs::path& base,
                      const ProjectEnvironment& env) {
  return parse_with_fallback(text, display_name, base, env, std::nullopt);
}

Project load_project(const fs::path& path, const ProjectEnvironment& env) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ProjectError(path.string() + ": cannot read the project file");
  std::ostringstream text;
  text << in.rdbuf();
  const fs::path base = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  return parse_with_fallback(text.str(), path.filename().string(), base, env, modification_time(path));
}

}  // namespace hs::tools
