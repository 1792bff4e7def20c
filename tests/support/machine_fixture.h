// A fresh simulated machine per test, in the build folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/sim/sim_machine.h"
#include "support/text.h"

namespace hs::platform::sim::testing {

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::filesystem::path(HS_BINARY_DIR) / "test-machines" /
            (std::string(info->test_suite_name()) + "-" + info->name());
    std::filesystem::remove_all(root_);
  }
  // (Re)opens the machine, as a new process on the same machine would.
  SimMachine& open(RunOptions options = {}) {
    machine_.reset();
    machine_ = std::make_unique<SimMachine>(root_, std::move(options));
    return *machine_;
  }
  std::string read_host(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void write_host(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  // Writes `text` to a file of the machine through its own file service.
  void write_file(const std::u16string& path, const std::string& text) {
    auto file = machine_->files().open(path, OpenMode::kCreateAlways);
    ASSERT_TRUE(file) << "error " << file.error();
    ASSERT_TRUE((*file)->write(text.data(), text.size()));
  }

  std::filesystem::path root_;
  std::unique_ptr<SimMachine> machine_;
};

inline std::string u8(std::u16string_view text) { return support::utf16_to_utf8(text); }

}  // namespace hs::platform::sim::testing
