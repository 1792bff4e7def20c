#include "platform/sim/sim_registry.h"

#include <fstream>
#include <sstream>

#include "platform/sim/sim_machine.h"
#include "support/text.h"

namespace hs::platform::sim {

namespace {

// Keys under HKLM\Software that both views share.
bool shared_between_views(std::u16string_view first) {
  return support::iequals(first, u"Classes") || support::iequals(first, u"WOW6432Node");
}

std::u16string first_component(std::u16string_view path) {
  while (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
  return std::u16string(path.substr(0, path.find(u'\\')));
}

}  // namespace

void SimRegistry::open(std::filesystem::path file, bool is_64bit) {
  file_ = std::move(file);
  is_64bit_ = is_64bit;
  tree_ = RegTree{};
  std::ifstream in(file_, std::ios::binary);
  loaded_ = static_cast<bool>(in);
  if (!in) return;
  std::stringstream text;
  text << in.rdbuf();
  std::string error;
  if (!read_reg_file(text.str(), tree_, error)) throw MachineError("registry " + file_.string() + ": " + error);
}

void SimRegistry::save() {
  if (file_.empty()) return;
  const std::filesystem::path temp = file_.string() + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << write_reg_file(tree_);
  }
  std::filesystem::rename(temp, file_);
}

std::pair<RegKey*, std::u16string> SimRegistry::stored_path(const RegKeyPath& key) {
  static constexpr const char16_t* kRootNames[] = {u"HKEY_CLASSES_ROOT", u"HKEY_CURRENT_USER", u"HKEY_LOCAL_MACHINE",
                                                   u"HKEY_USERS", u"HKEY_CURRENT_CONFIG"};
  std::u16string prefix;
  RegKey* root = tree_.root_for(kRootNames[static_cast<std::size_t>(key.root)], prefix);
  std::u16string path = key.subkey;
  while (!path.empty() && path.front() == u'\\') path.erase(0, 1);

  // A 32-bit process on 64-bit Windows sees HKLM\Software\X as
  // HKLM\Software\WOW6432Node\X unless it asks for the 64-bit view.
  if (is_64bit_ && key.view != RegView::k64 && key.root == RegRoot::kLocalMachine &&
      support::iequals(first_component(path), u"Software")) {
    const std::size_t slash = path.find(u'\\');
    const std::u16string rest = slash == std::u16string::npos ? u"" : path.substr(slash + 1);
    if (!rest.empty() && !shared_between_views(first_component(rest))) {
      path = path.substr(0, slash) + u"\\WOW6432Node\\" + rest;
    }
  }
  if (!prefix.empty()) path = path.empty() ? prefix : prefix + u"\\" + path;
  return {root, path};
}

RegKey* SimRegistry::find(const RegKeyPath& key) {
  auto [root, path] = stored_path(key);
  return RegTree::walk(*root, path, false);
}

bool SimRegistry::key_exists(const RegKeyPath& key) { return find(key) != nullptr; }

SysError SimRegistry::create_key(const RegKeyPath& key, bool* created) {
  auto [root, path] = stored_path(key);
  bool made = false;
  RegTree::walk(*root, path, true, &made);
  if (created) *created = made;
  if (made) save();
  return err::kSuccess;
}

SysError SimRegistry::delete_key(const RegKeyPath& key) {
  auto [root, path] = stored_path(key);
  RegKey* target = RegTree::walk(*root, path, false);
  if (!target) return err::kFileNotFound;
  if (!target->children.empty()) return err::kAccessDenied;
  return delete_tree(key);
}

SysError SimRegistry::delete_tree(const RegKeyPath& key) {
  auto [root, path] = stored_path(key);
  const std::size_t last = path.rfind(u'\\');
  if (path.empty()) return err::kAccessDenied;
  RegKey* parent = last == std::u16string::npos ? root : RegTree::walk(*root, path.substr(0, last), false);
  if (!parent || !parent->remove_child(last == std::u16string::npos ? path : path.substr(last + 1))) {
    return err::kFileNotFound;
  }
  save();
  return err::kSuccess;
}

Result<RegValue> SimRegistry::get_value(const RegKeyPath& key, const std::u16string& name) {
  RegKey* k = find(key);
  if (!k) return Result<RegValue>::fail(err::kFileNotFound);
  RegValue* v = k->value(name);
  if (!v) return Result<RegValue>::fail(err::kFileNotFound);
  return Result<RegValue>::ok(*v);
}

SysError SimRegistry::set_value(const RegKeyPath& key, const std::u16string& name, const RegValue& value) {
  RegKey* k = find(key);
  if (!k) return err::kFileNotFound;
  k->set_value(name, value);
  save();
  return err::kSuccess;
}

SysError SimRegistry::delete_value(const RegKeyPath& key, const std::u16string& name) {
  RegKey* k = find(key);
  if (!k) return err::kFileNotFound;
  if (!k->remove_value(name)) return err::kFileNotFound;
  save();
  return err::kSuccess;
}

Result<std::vector<std::u16string>> SimRegistry::subkeys(const RegKeyPath& key) {
  RegKey* k = find(key);
  if (!k) return Result<std::vector<std::u16string>>::fail(err::kFileNotFound);
  std::vector<std::u16string> names;
  for (const auto& [upper, child] : k->children) names.push_back(child->name);
  return Result<std::vector<std::u16string>>::ok(std::move(names));
}

Result<std::vector<std::u16string>> SimRegistry::value_names(const RegKeyPath& key) {
  RegKey* k = find(key);
  if (!k) return Result<std::vector<std::u16string>>::fail(err::kFileNotFound);
  std::vector<std::u16string> names;
  for (const auto& [name, value] : k->values) names.push_back(name);
  return Result<std::vector<std::u16string>>::ok(std::move(names));
}

}  // namespace hs::platform::sim
