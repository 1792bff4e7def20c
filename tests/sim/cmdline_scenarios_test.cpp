// Scenarios of the command line and the walking skeleton: an installer
// without installation data, run against the simulated Windows in this
// process and through the hsetup-sim tool.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "engine/command_line.h"
#include "engine/driver.h"
#include "engine/session.h"
#include "platform/sim/sim_machine.h"
#include "support/pe_builder.h"
#include "support/text.h"

namespace hs {
namespace {

namespace fs = std::filesystem;
using platform::sim::ProcessExit;
using platform::sim::RunOptions;
using platform::sim::SimMachine;

constexpr char16_t kNoPackageMessage[] =
    u"This program performs installations and uninstallations.\r\n"
    u"There is no installation data present.\r\n"
    u"No uninstallation parameters were specified.\r\n\r\n"
    u"You should not delete this program or execute it directly.";

// A Windows executable with the usual four sections and no package
// section: what the engine is before a package has been added to it.
std::string executable_without_package() {
  test::PeBuilder exe;
  for (const char* name : {".text", ".rdata", ".data", ".rsrc"}) exe.section(name, 0x10, 0xCC);
  return std::string(exe.bytes().begin(), exe.bytes().end());
}

class CmdlineScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(HS_BINARY_DIR) / "test-machines" /
            (std::string("cmdline-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    installer_ = root_.parent_path() / (root_.filename().string() + "-setup.exe");
    std::ofstream(installer_, std::ios::binary) << executable_without_package();
  }

  struct Run {
    int exit_code = 0;
    std::vector<platform::sim::TranscriptEntry> shown;
  };

  // Runs the engine in this process as "C:\Users\User\Downloads\setup.exe"
  // with `args` after the program name.
  Run run_engine(const std::u16string& args) {
    const std::u16string module = u"C:\\Users\\User\\Downloads\\setup.exe";
    RunOptions options;
    options.module_path = module;
    options.command_line = u"\"" + module + u"\"" + (args.empty() ? u"" : u" " + args);
    SimMachine machine(root_, options);
    machine.put_file(installer_, module);
    engine::Session session(machine.system());
    Run run;
    try {
      engine::run_process(session);
      ADD_FAILURE() << "run_process returned";
    } catch (const ProcessExit& e) {
      run.exit_code = e.code;
    }
    run.shown = machine.ui().transcript();
    return run;
  }

  fs::path root_;
  fs::path installer_;
};

TEST_F(CmdlineScenario, WhatTheRunShowsAndItsExitCode) {
  struct Case {
    const char16_t* args;
    int exit_code;
    std::optional<std::u16string> shown;  // the one box's text; none: nothing shown
  };
  const Case cases[] = {
      {u"/silent /x", 15, std::nullopt},
      {u"/x", 15, engine::usage_text(u"Illegal command line atom:\r\n/x", u"setup.exe")},
      {u"foo", 15, engine::usage_text(u"Unexpected command line parameter:\r\nfoo", u"setup.exe")},
      {u"/uninstall", 15, engine::usage_text(u"Product name required", u"setup.exe")},
      {u"-SILENT /uninstall", 15, std::nullopt},
      {u"", -1, std::u16string(kNoPackageMessage)},
      {u"/silent", -1, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(support::utf16_to_utf8(c.args));
    const Run run = run_engine(c.args);
    EXPECT_EQ(c.exit_code, run.exit_code);
    if (!c.shown) {
      EXPECT_TRUE(run.shown.empty());
      continue;
    }
    ASSERT_EQ(1u, run.shown.size());
    EXPECT_EQ("message box", run.shown[0].kind);
    EXPECT_EQ(u"Error", run.shown[0].caption);
    EXPECT_EQ(support::utf16_to_utf8(*c.shown), support::utf16_to_utf8(run.shown[0].text));
  }
}

// ---- through the tool ---------------------------------------------------

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

#ifdef HS_SIM_TOOL
TEST_F(CmdlineScenario, ToolEndsWithTheEngineCodeAsAProcessWould) {
  struct Case {
    const char* args;
    int status;       // the tool's exit status
    bool shows_box;   // the transcript holds an error box
  };
  const Case cases[] = {
      {"/silent /x", 15, false},
      {"-silent", 255, false},
      {"", 255, true},
      {"'/d:C:\\Program Files\\App'", 15, true},  // one argument with a blank: quoted as a whole
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const fs::path transcript = root_ / "transcript.txt";
    fs::remove(transcript);
    const std::string command = std::string(HS_SIM_TOOL) + " --root " + quoted(root_.string()) + " --transcript " +
                                quoted(transcript.string()) + " " + quoted(installer_.string()) + " " + c.args;
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(c.status, WEXITSTATUS(status));
    const std::string shown = read_file(transcript);
    EXPECT_EQ(c.shows_box, shown.find("== message box\ncaption: Error\nicon: error\n") == 0) << shown;
  }
  // The installer was placed in the machine's Downloads folder.
  EXPECT_TRUE(fs::exists(root_ / "drives/C/Users/User/Downloads" / installer_.filename()));
}

TEST_F(CmdlineScenario, ToolRefusesWhatItCannotRun) {
  const std::string tool = HS_SIM_TOOL;
  const std::string root = " --root " + quoted(root_.string()) + " ";
  const std::pair<std::string, const char*> cases[] = {
      {tool + root + quoted((root_ / "missing.exe").string()), "no such installer"},
      {tool + root + "--windows 12 " + quoted(installer_.string()), "unknown Windows version: 12"},
      {tool + root + "--set drives.D=floppy " + quoted(installer_.string()), "unknown drive type"},
      {tool + root, "no installer given"},
  };
  for (const auto& [command, message] : cases) {
    const fs::path err = root_ / "stderr.txt";
    const int status = std::system((command + " 2>" + quoted(err.string()) + " >/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(status)) << command;
    EXPECT_EQ(125, WEXITSTATUS(status)) << command;
    EXPECT_NE(std::string::npos, read_file(err).find(message)) << read_file(err);
  }
}
#endif

}  // namespace
}  // namespace hs
