// The machine's registry, kept in root/registry.reg and saved after every
// change.
#pragma once

#include <filesystem>

#include "platform/registry.h"
#include "platform/sim/reg_tree.h"

namespace hs::platform::sim {

class SimRegistry : public Registry {
 public:
  // `is_64bit`: the machine is 64-bit Windows and the engine a 32-bit
  // process, so its default view of HKLM\Software is
  // HKLM\Software\WOW6432Node.
  void open(std::filesystem::path file, bool is_64bit);

  bool key_exists(const RegKeyPath& key) override;
  [[nodiscard]] SysError create_key(const RegKeyPath& key, bool* created = nullptr) override;
  [[nodiscard]] SysError delete_key(const RegKeyPath& key) override;
  [[nodiscard]] SysError delete_tree(const RegKeyPath& key) override;
  Result<RegValue> get_value(const RegKeyPath& key, const std::u16string& name) override;
  [[nodiscard]] SysError set_value(const RegKeyPath& key, const std::u16string& name, const RegValue& value) override;
  [[nodiscard]] SysError delete_value(const RegKeyPath& key, const std::u16string& name) override;
  Result<std::vector<std::u16string>> subkeys(const RegKeyPath& key) override;
  Result<std::vector<std::u16string>> value_names(const RegKeyPath& key) override;

  RegTree& tree() { return tree_; }
  // Writes root/registry.reg.
  void save();
  // True when the file existed when the machine started.
  bool loaded_from_file() const { return loaded_; }

  // The stored path of a key in a view: the hive and the path below it.
  std::pair<RegKey*, std::u16string> stored_path(const RegKeyPath& key);

 private:
  RegKey* find(const RegKeyPath& key);

  std::filesystem::path file_;
  bool is_64bit_ = true;
  bool loaded_ = false;
  RegTree tree_;
};

}  // namespace hs::platform::sim
