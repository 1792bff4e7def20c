// A simulated machine in a fresh folder, for the tests of what an
// installation leaves behind.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "engine/session.h"
#include "platform/sim/sim_machine.h"
#include "support/files.h"
#include "uninstall/uninstall_data.h"

namespace hs::records_test {

class RecordsMachine : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() / ("hs-records-" + std::to_string(random()));
    std::filesystem::remove_all(root_);
  }
  void TearDown() override {
    session_.reset();
    machine_.reset();
    std::filesystem::remove_all(root_);
  }

  // Starts (or starts again) the machine; `locked` files are held open by
  // another program for this run.
  platform::sim::SimMachine& boot(std::vector<std::u16string> locked = {}, std::string answers = {}) {
    session_.reset();
    machine_.reset();
    platform::sim::RunOptions options;
    options.configure = [locked](platform::sim::MachineConfig& config) { config.locked_files = locked; };
    options.answers = std::move(answers);
    machine_ = std::make_unique<platform::sim::SimMachine>(root_, options);
    session_ = std::make_unique<engine::Session>(machine_->system());
    session_->modes.automatic = true;
    return *machine_;
  }
  void shut_down() {
    session_.reset();
    machine_.reset();
  }

  platform::System& sys() { return machine_->system(); }
  engine::Session& session() { return *session_; }

  void put(const std::u16string& path, std::string_view bytes) {
    const auto slash = path.find_last_of(u'\\');
    std::u16string folder;
    for (std::size_t at = path.find(u'\\', 3); at != std::u16string::npos && at <= slash; at = path.find(u'\\', at + 1)) {
      sys().files.create_directory(path.substr(0, at));
    }
    ASSERT_EQ(uninstall::write_whole_file(sys().files, path, bytes), 0u);
  }
  std::string read(const std::u16string& path) {
    auto bytes = support::read_whole_file(sys().files, path);
    return bytes ? *bytes : std::string("<missing>");
  }
  bool exists(const std::u16string& path) {
    auto a = sys().files.attributes(path);
    return a.has_value();
  }

  std::filesystem::path root_;
  std::unique_ptr<platform::sim::SimMachine> machine_;
  std::unique_ptr<engine::Session> session_;
};

}  // namespace hs::records_test
