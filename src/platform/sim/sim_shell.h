// Special and known folders and the environment of the simulated process,
// with Windows' defaults for the machine's version and user; each can be
// removed in machine.ini ([removed]) to try fallbacks.
#pragma once

#include <map>

#include "platform/shell.h"

namespace hs::platform::sim {

class SimMachine;

class SimShell : public Shell {
 public:
  explicit SimShell(SimMachine& machine) : machine_(machine) {}

  // Sets up the environment of the process from the machine's settings.
  void start();

  Result<std::u16string> special_folder(int csidl) override;
  Result<std::u16string> known_folder(const std::u16string& folder_id) override;
  std::u16string windows_folder() override;
  std::u16string system_folder() override;
  Result<std::u16string> system_wow64_folder() override;
  Result<std::u16string> environment_variable(const std::u16string& name) override;
  [[nodiscard]] SysError set_environment_variable(const std::u16string& name, const std::u16string& value) override;
  std::u16string expand_environment(const std::u16string& text) override;
  [[nodiscard]] SysError recycle(const std::u16string& path) override;
  void notify_associations_changed() override;

  // The default folder of a CSIDL on this machine, removed or not; "" when
  // the system has none.
  std::u16string default_special_folder(int csidl) const;
  // Every folder the machine has by default (to be created at set-up).
  std::vector<std::u16string> standard_folders() const;

 private:
  bool removed(const std::string& name) const;

  SimMachine& machine_;
  std::map<std::u16string, std::pair<std::u16string, std::u16string>> environment_;  // upper name -> (name, value)
};

}  // namespace hs::platform::sim
