#include <algorithm>

#include "project/sections.h"
#include "support/text.h"

namespace hs::tools {

namespace {

std::u16string registry_field(ProjectSection& s, std::string_view key) {
  const toml::node* n = s.node(key);
  if (!n) return {};
  std::u16string text;
  if (n->is_string()) {
    text = wide(n->as_string()->get());
  } else if (n->is_integer()) {
    text = wide(std::to_string(n->as_integer()->get()));
  } else {
    s.fail(*n, key, "expected a string or an integer, got " + std::string(toml_type_name(*n)));
  }
  if (text.find_first_of(u"\r\n") != std::u16string::npos) s.fail(*n, key, "expected a text without line breaks");
  return text;
}

}  // namespace

void read_registry(ProjectSection& s, std::vector<package::RegistryEntry>& entries) {
  package::RegistryEntry entry;
  std::u16string key = registry_field(s, "key");
  if (key.empty()) s.fail_here("a registry row needs a key");
  const bool has_value = s.node("name") || s.node("type") || s.node("data") || s.node("mode");
  entry.fields.push_back(key);
  if (has_value) {
    entry.fields.push_back(registry_field(s, "name"));
    auto type = s.choice("type", {{"sz", 1}, {"expand_sz", 2}, {"binary", 3}, {"dword", 4}, {"qword", 11}}, 0, 11).value_or(1);
    entry.fields.push_back(wide(std::to_string(type)));
    entry.fields.push_back(registry_field(s, "data"));
    auto mode = s.choice("mode", {{"none", 0}, {"write", 1}, {"remove_at_uninstall", 2}, {"write_and_remove", 3},
                                  {"delete", 4}, {"delete_always", 5}, {"write_if_missing", 6},
                                  {"write_if_missing_and_remove", 7}}, 0, 0xFFFF).value_or(3);
    entry.fields.push_back(wide(std::to_string(mode)));
  }
  entries.push_back(std::move(entry));
}

package::RegistryValue read_uninstall_value(ProjectSection& s) {
  package::RegistryValue v;
  v.name = registry_field(s, "name");
  if (v.name.empty()) s.fail_here("an uninstall value needs a name");
  if (v.name.size() > 127) s.fail_here("name: expected at most 127 characters");
  v.type = static_cast<std::uint8_t>(
      s.choice("type", {{"text", 1}, {"expandable", 2}, {"number", 3}}, 1, 3).value_or(1));
  v.data = registry_field(s, "data");
  return v;
}

package::ShortcutRecord read_shortcut(ProjectSection& s) {
  package::ShortcutRecord r;
  r.target = s.text("target");
  if (r.target.empty()) s.fail_here("a shortcut needs a target");
  r.name = s.text("name");
  r.icon_file = s.text("icon");
  r.arguments = s.text("arguments");
  r.start_in = s.text("start_in");
  r.on_desktop = s.flag("desktop");
  r.in_start_menu = s.flag("start_menu");
  r.in_startup = s.flag("startup");
  r.extra_folder = s.text("extra_folder");
  r.show_state = static_cast<std::uint8_t>(
      s.choice("show", {{"normal", 1}, {"minimized", 7}, {"maximized", 3}}, 0, 255).value_or(1));
  r.keep_at_uninstall = s.flag("keep_at_uninstall");
  r.expand_target = true;
  return r;
}

package::AssociationRecord read_association(ProjectSection& s) {
  package::AssociationRecord r;
  r.kind = static_cast<std::uint32_t>(
      s.choice("kind", {{"associate", 0}, {"default", 1}, {"open_with", 2}}, 0, 0xFFFFFFFF).value_or(1));
  r.extension = s.text("extension");
  if (r.extension.empty()) s.fail_here("an association needs an extension");
  r.class_name = s.text("class");
  r.description = s.text("description");
  r.verbs = s.text("verbs", u"open");
  r.verb_label = s.text("verb_label");
  r.command = s.text("command");
  r.language = s.text("language");
  r.icon = s.text("icon");
  return r;
}

std::string read_firewall(ProjectSection& s) {
  const toml::node* port = s.node("port");
  const toml::node* program = s.node("program");
  std::string first;
  if (port && program) s.fail(*program, "program", "expected either port or program, not both");
  if (port) {
    first = std::to_string(s.integer("port", 1, 65535).value());
  } else if (program) {
    std::u16string path = s.text("program");
    if (path.empty() || std::all_of(path.begin(), path.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
      s.fail(*program, "program", "expected a program path");
    }
    first = support::to_bar_form(path);
  } else {
    s.fail_here("a firewall entry needs a port or a program");
  }
  std::string name = support::utf16_to_utf8(s.text("name"));
  int protocols = (s.flag("tcp", true) ? 1 : 0) | (s.flag("udp") ? 2 : 0);
  std::string options = s.flag("permanent") ? "1" : "";
  for (const std::string* field : {&first, &name}) {
    if (field->find_first_of(";\r\n") != std::string::npos) s.fail_here("firewall fields cannot hold \";\" or line breaks");
  }
  return first + ";" + name + ";" + std::to_string(protocols) + ";" + options + "\r\n";
}

package::AutoCloseRule read_auto_close(ProjectSection& s) {
  package::AutoCloseRule r;
  r.window_class = s.text("window_class");
  r.window_title = s.text("window_title");
  if (r.window_class.empty() && r.window_title.empty()) s.fail_here("an auto-close rule needs window_class or window_title");
  if (r.window_class == package::kAutoCloseEndRow) s.fail_here("window_class: this text ends the rule table");
  r.program_name = s.text1252("program_name");
  r.action = static_cast<std::uint8_t>(
      s.choice("action", {{"close", 0}, {"quit", 1}, {"ask", 2}, {"terminate", 3}}, 0, 255).value_or(0));
  std::uint8_t phases = 0;
  for (const std::string& phase : s.strings("phases")) {
    if (phase == "install") phases |= 1;
    else if (phase == "uninstall_before") phases |= 2;
    else if (phase == "uninstall_after") phases |= 4;
    else s.fail(*s.node("phases"), "phases", "expected \"install\", \"uninstall_before\" or \"uninstall_after\"");
  }
  r.phases = phases ? phases : 1 | 2 | 4;
  return r;
}

package::ConditionalDeletion read_conditional_deletion(ProjectSection& s) {
  package::ConditionalDeletion r;
  r.path = s.text("path");
  if (r.path.empty()) s.fail_here("a conditional deletion needs a path");
  if (r.path == package::kConditionalDeletionEndRow) s.fail_here("path: this text ends the table");
  r.condition = static_cast<std::uint8_t>(
      s.choice("condition", {{"none", 0}, {"date_equal", 1}, {"date_from", 2}, {"date_until", 3}, {"size_equal", 4},
                             {"size_at_least", 5}, {"size_at_most", 6}}, 0, 255).value_or(0));
  r.argument = registry_field(s, "argument");
  std::uint8_t flags = 0;
  if (s.flag("defer")) flags |= 1;
  if (s.flag("defer_on_failure")) flags |= 2;
  if (s.flag("at_install", true)) flags |= 4;
  if (s.flag("at_uninstall")) flags |= 8;
  r.flags = static_cast<std::uint8_t>(s.integer("flags", 0, 255).value_or(flags));
  return r;
}
}  // namespace hs::tools
