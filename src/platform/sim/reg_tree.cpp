#include "platform/sim/reg_tree.h"

#include <algorithm>
#include <cstdio>

#include "support/text.h"

namespace hs::platform::sim {

namespace {

std::u16string upper(std::u16string_view s) { return support::to_upper(s); }

// ---- writing ----------------------------------------------------------

std::string escape(std::u16string_view text) {
  std::string out;
  for (char c : support::utf16_to_utf8(text)) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

// A REG_SZ that regedit writes as a plain string: whole UTF-16 units, one
// terminating zero, no other zero and no line breaks.
bool plain_string(const RegValue& v, std::u16string& text) {
  if (v.type != regtype::kSz || v.data.size() < 2 || v.data.size() % 2) return false;
  text.clear();
  for (std::size_t i = 0; i + 1 < v.data.size(); i += 2) {
    text.push_back(static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8)));
  }
  if (text.back() != 0) return false;
  text.pop_back();
  return std::none_of(text.begin(), text.end(), [](char16_t c) { return c == 0 || c == u'\r' || c == u'\n'; });
}

void write_hex(std::string& out, std::size_t line_start, const Bytes& data) {
  char buf[4];
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", data[i]);
    out += buf;
    if (i + 1 < data.size()) {
      out += ',';
      if (out.size() - line_start > 76) {
        out += "\\\r\n  ";
        line_start = out.size() - 2;
      }
    }
  }
}

void write_value(std::string& out, const std::u16string& name, const RegValue& v) {
  const std::size_t line_start = out.size();
  out += name.empty() ? std::string("@") : "\"" + escape(name) + "\"";
  out += '=';
  std::u16string text;
  if (plain_string(v, text)) {
    out += "\"" + escape(text) + "\"";
  } else if (v.type == regtype::kDword && v.data.size() == 4) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "dword:%08x",
                  static_cast<unsigned>(v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<unsigned>(v.data[3]) << 24)));
    out += buf;
  } else {
    if (v.type == regtype::kBinary) {
      out += "hex:";
    } else {
      char buf[24];
      std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
      out += buf;
    }
    write_hex(out, line_start, v.data);
  }
  out += "\r\n";
}

void write_key(std::string& out, const RegKey& key, const std::u16string& path) {
  out += "[" + support::utf16_to_utf8(path) + "]\r\n";
  for (const auto& [name, value] : key.values) write_value(out, name, value);
  out += "\r\n";
  for (const auto& [upper_name, child] : key.children) write_key(out, *child, path + u"\\" + child->name);
}

// ---- reading ----------------------------------------------------------

std::string to_utf8_text(std::string_view text) {
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF && static_cast<unsigned char>(text[1]) == 0xFE) {
    std::u16string wide;
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
      wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i]) | (static_cast<unsigned char>(text[i + 1]) << 8)));
    }
    return support::utf16_to_utf8(wide);
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  return std::string(text);
}

std::vector<std::string> logical_lines(const std::string& text) {
  std::vector<std::string> physical;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    physical.push_back(std::move(line));
    pos = end + 1;
  }
  // A hex list may go on over lines that end in a backslash.
  std::vector<std::string> lines;
  bool continued = false;
  for (auto& line : physical) {
    if (continued) {
      const std::size_t first = line.find_first_not_of(" \t");
      lines.back() += first == std::string::npos ? "" : line.substr(first);
    } else {
      lines.push_back(line);
    }
    std::string& current = lines.back();
    continued = !current.empty() && current.back() == '\\' && current.find("=hex") != std::string::npos;
    if (continued) current.pop_back();
  }
  return lines;
}

// Reads a quoted string starting at `pos` (on the opening quote); leaves
// `pos` behind the closing quote. Escapes: \\ and \" as regedit writes
// them, and \r, \n and \0 as Wine's regedit writes line breaks and zeros;
// any other backslash stays as it is.
bool read_quoted(const std::string& line, std::size_t& pos, std::string& out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  ++pos;
  out.clear();
  while (pos < line.size()) {
    char c = line[pos++];
    if (c == '"') return true;
    if (c == '\\' && pos < line.size()) {
      const char next = line[pos];
      if (next == '\\' || next == '"') {
        c = next, ++pos;
      } else if (next == 'r' || next == 'n' || next == '0') {
        c = next == 'r' ? '\r' : next == 'n' ? '\n' : '\0';
        ++pos;
      }
    }
    out.push_back(c);
  }
  return false;
}

bool read_hex_bytes(std::string_view text, Bytes& out) {
  out.clear();
  std::string digits;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == '\t') {
      if (!digits.empty()) {
        if (digits.size() > 2) return false;
        out.push_back(static_cast<std::uint8_t>(std::stoul(digits, nullptr, 16)));
        digits.clear();
      }
    } else if (std::isxdigit(static_cast<unsigned char>(c))) {
      digits.push_back(c);
    } else {
      return false;
    }
  }
  if (!digits.empty()) {
    if (digits.size() > 2) return false;
    out.push_back(static_cast<std::uint8_t>(std::stoul(digits, nullptr, 16)));
  }
  return true;
}

bool read_value_data(std::string_view text, RegValue& v) {
  if (text.starts_with("\"")) {
    std::string s;
    std::size_t pos = 0;
    const std::string line(text);
    if (!read_quoted(line, pos, s) || line.find_first_not_of(" \t", pos) != std::string::npos) return false;
    v.type = regtype::kSz;
    v.data = sz_bytes(support::utf8_to_utf16(s));
    return true;
  }
  if (text.starts_with("dword:")) {
    const std::string digits(text.substr(6));
    if (digits.empty() || digits.size() > 8 || !std::all_of(digits.begin(), digits.end(), [](char c) {
          return std::isxdigit(static_cast<unsigned char>(c));
        })) {
      return false;
    }
    const std::uint32_t n = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
    v.type = regtype::kDword;
    v.data = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
              static_cast<std::uint8_t>(n >> 24)};
    return true;
  }
  if (text.starts_with("hex:")) {
    v.type = regtype::kBinary;
    return read_hex_bytes(text.substr(4), v.data);
  }
  if (text.starts_with("hex(")) {
    const std::size_t close = text.find("):");
    if (close == std::string_view::npos || close == 4 || close > 12) return false;
    const std::string type(text.substr(4, close - 4));
    if (!std::all_of(type.begin(), type.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
      return false;
    }
    v.type = static_cast<std::uint32_t>(std::stoul(type, nullptr, 16));
    return read_hex_bytes(text.substr(close + 2), v.data);
  }
  return false;
}

}  // namespace

RegKey* RegKey::child(std::u16string_view child_name) {
  auto it = children.find(upper(child_name));
  return it == children.end() ? nullptr : it->second.get();
}

RegKey& RegKey::make_child(std::u16string_view child_name, bool* created) {
  auto& slot = children[upper(child_name)];
  if (created) *created = !slot;
  if (!slot) slot = std::make_unique<RegKey>(RegKey{std::u16string(child_name), {}, {}});
  return *slot;
}

bool RegKey::remove_child(std::u16string_view child_name) { return children.erase(upper(child_name)) != 0; }

RegValue* RegKey::value(std::u16string_view value_name) {
  for (auto& [n, v] : values) {
    if (support::iequals(n, value_name)) return &v;
  }
  return nullptr;
}

void RegKey::set_value(std::u16string_view value_name, RegValue v) {
  if (RegValue* existing = value(value_name)) {
    *existing = std::move(v);
  } else {
    values.emplace_back(std::u16string(value_name), std::move(v));
  }
}

bool RegKey::remove_value(std::u16string_view value_name) {
  auto it = std::find_if(values.begin(), values.end(), [&](const auto& entry) { return support::iequals(entry.first, value_name); });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

RegKey* RegTree::root_for(std::u16string_view root_name, std::u16string& prefix) {
  prefix.clear();
  const std::u16string r = upper(root_name);
  if (r == u"HKEY_LOCAL_MACHINE" || r == u"HKLM") return &local_machine;
  if (r == u"HKEY_USERS" || r == u"HKU") return &users;
  if (r == u"HKEY_CURRENT_USER" || r == u"HKCU") return prefix = current_user_sid, &users;
  if (r == u"HKEY_CLASSES_ROOT" || r == u"HKCR") return prefix = u"SOFTWARE\\Classes", &local_machine;
  if (r == u"HKEY_CURRENT_CONFIG" || r == u"HKCC") {
    return prefix = u"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current", &local_machine;
  }
  return nullptr;
}

RegKey* RegTree::walk(RegKey& from, std::u16string_view path, bool create, bool* created) {
  RegKey* key = &from;
  if (created) *created = false;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find(u'\\', pos);
    if (end == std::u16string_view::npos) end = path.size();
    const std::u16string_view part = path.substr(pos, end - pos);
    pos = end + 1;
    if (!part.empty()) {
      if (create) {
        key = &key->make_child(part, created);
      } else {
        key = key->child(part);
        if (!key) return nullptr;
      }
    }
    if (end == path.size()) break;
  }
  return key;
}

std::vector<std::u16string> multi_sz_strings(const Bytes& data) {
  std::vector<std::u16string> out;
  std::u16string current;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (c == 0) {
      out.push_back(std::move(current));
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) {
    out.push_back(std::move(current));
  } else if (!out.empty() && out.back().empty()) {
    out.pop_back();  // the zero that ends the list
  }
  return out;
}

std::string write_reg_file(const RegTree& tree) {
  std::string out = "Windows Registry Editor Version 5.00\r\n\r\n";
  for (const RegKey* root : {&tree.local_machine, &tree.users}) {
    for (const auto& [upper_name, child] : root->children) write_key(out, *child, root->name + u"\\" + child->name);
  }
  return out;
}

std::string write_reg_file_utf16(const RegTree& tree) {
  std::string out = "\xFF\xFE";
  for (char16_t c : support::utf8_to_utf16(write_reg_file(tree))) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

bool read_reg_file(std::string_view raw, RegTree& tree, std::string& error) {
  const std::vector<std::string> lines = logical_lines(to_utf8_text(raw));
  std::size_t index = 0;
  while (index < lines.size() && lines[index].find_first_not_of(" \t") == std::string::npos) ++index;
  if (index >= lines.size() || (lines[index] != "Windows Registry Editor Version 5.00" && lines[index] != "REGEDIT4")) {
    error = "line 1: not a registry file (\"Windows Registry Editor Version 5.00\" expected)";
    return false;
  }
  RegKey* key = nullptr;
  for (++index; index < lines.size(); ++index) {
    const std::string& line = lines[index];
    const std::string where = "line " + std::to_string(index + 1) + ": ";
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == ';') continue;
    if (line[first] == '[') {
      const std::size_t close = line.rfind(']');
      if (close == std::string::npos || close < first) return error = where + "unclosed key name", false;
      std::string name = line.substr(first + 1, close - first - 1);
      const bool remove = !name.empty() && name[0] == '-';
      if (remove) name.erase(0, 1);
      const std::u16string path = support::utf8_to_utf16(name);
      const std::size_t slash = path.find(u'\\');
      std::u16string prefix;
      RegKey* root = tree.root_for(path.substr(0, slash), prefix);
      if (!root) return error = where + "unknown root key in " + name, false;
      std::u16string below = prefix;
      if (slash != std::u16string::npos) below += (below.empty() ? u"" : u"\\") + path.substr(slash + 1);
      if (remove) {
        key = nullptr;
        const std::size_t last = below.rfind(u'\\');
        RegKey* parent = last == std::u16string::npos ? root : RegTree::walk(*root, below.substr(0, last), false);
        if (parent) parent->remove_child(last == std::u16string::npos ? below : below.substr(last + 1));
        continue;
      }
      if (below.empty()) return error = where + "a root key cannot hold values", false;
      key = RegTree::walk(*root, below, true);
      continue;
    }
    if (!key) return error = where + "value outside a key", false;
    std::string name;
    std::size_t pos = first;
    if (line[pos] == '@') {
      ++pos;
    } else if (!read_quoted(line, pos, name)) {
      return error = where + "bad value name", false;
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') return error = where + "'=' expected", false;
    ++pos;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    std::string data = line.substr(pos);
    while (!data.empty() && (data.back() == ' ' || data.back() == '\t')) data.pop_back();
    const std::u16string value_name = support::utf8_to_utf16(name);
    if (data == "-") {
      key->remove_value(value_name);
      continue;
    }
    RegValue v;
    if (!read_value_data(data, v)) return error = where + "bad value data", false;
    key->set_value(value_name, std::move(v));
  }
  return true;
}

}  // namespace hs::platform::sim
