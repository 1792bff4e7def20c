// Folder variables on the simulated machine: the release variables for the
// Windows versions the machine can be, and the folder queries with sources
// of the machine removed one at a time.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "install/folder_variables.h"
#include "platform/sim/sim_machine.h"
#include "support/text.h"

namespace hs::install {
namespace {

namespace fs = std::filesystem;
using platform::sim::MachineConfig;
using platform::sim::RunOptions;
using platform::sim::SimMachine;
using support::utf16_to_utf8;

std::string expand_on(const std::string& name, std::function<void(MachineConfig&)> configure, const char* text,
                      const std::function<void(SimMachine&)>& prepare = {}) {
  const fs::path root = fs::path(HS_BINARY_DIR) / "sim_folders" / name;
  fs::remove_all(root);
  RunOptions options;
  options.configure = std::move(configure);
  SimMachine machine(root, std::move(options));
  if (prepare) prepare(machine);
  FolderVariableState state;
  FolderCache cache;
  std::u16string expanded = support::utf8_to_utf16(text);
  expand_variables(machine.system(), state, cache, expanded);
  return utf16_to_utf8(expanded);
}

TEST(SimFolders, ReleaseVariablesFollowTheMachinesWindows) {
  struct Case {
    const char* windows;
    bool is_64bit;
    const char* wine;
    const char* expected_prefix;  // "%OS%|%OSName%|%OSServer%|%Bits%|"
    const char* description_starts;
  } cases[] = {
      {"xp", false, "", "20|XP|0|32|", "Windows XP"},
      {"vista", true, "", "30|Vista|0|64|", "Windows Vista"},
      {"7", true, "", "36|7|0|64|", "Windows 7"},
      {"2008r2", true, "", "34|2008 R2|1|64|", "Windows Server 2008 R2"},
      {"8.1", false, "", "44|8.1|0|32|", "Windows 8.1"},
      {"10", true, "", "48|10|0|64|", "Windows 10"},
      {"11", true, "", "56|11|0|64|", "Windows 11"},
      {"2016", true, "", "50|2016|1|64|", "Windows Server 2016"},
      {"2019", true, "", "52|2019|1|64|", "Windows Server 2019"},
      {"2022", true, "", "60|2022|1|64|", "Windows Server 2022"},
      {"10", true, "9.0", "48|10|0|64|", "WINE 9.0 reporting as Windows 10"},
  };
  for (const auto& c : cases) {
    const std::string got = expand_on(std::string("release-") + c.windows + (c.wine[0] ? "-wine" : ""),
                                      [&](MachineConfig& m) {
                                        m.version = *platform::sim::parse_windows_version(c.windows);
                                        m.is_64bit = c.is_64bit;
                                        m.wine_version = c.wine;
                                      },
                                      "%OS%|%OSName%|%OSServer%|%Bits%|%OSDescription%");
    EXPECT_EQ(got.substr(0, std::strlen(c.expected_prefix)), c.expected_prefix) << c.windows;
    EXPECT_EQ(got.substr(std::strlen(c.expected_prefix), std::strlen(c.description_starts)), c.description_starts)
        << got;
    if (c.is_64bit) EXPECT_NE(got.find(" x64"), std::string::npos) << got;
  }
}

TEST(SimFolders, ProgramFilesChainWithSourcesRemoved) {
  // A 32-bit Windows 10: the 32-bit chain is CSIDL, known folder, registry,
  // fixed text; the 64-bit forms are the same folder.
  auto removing = [](std::set<std::string> removed) {
    return [removed](MachineConfig& m) {
      m.is_64bit = false;
      m.removed = removed;
    };
  };
  const std::string csidl = "csidl.38", known = "known.{905E63B6-C1BF-494E-B29C-65B732D3D21A}";
  const std::string all = expand_on("pf-all", removing({}), "%ProgramsDir32%|%ProgramsDir64%");
  EXPECT_EQ(all, "C:\\Program Files|C:\\Program Files");
  EXPECT_EQ(expand_on("pf-no-csidl", removing({csidl}), "%ProgramsDir32%"), "C:\\Program Files");
  // The registry answer, its trailing backslash removed; without it the
  // fixed text.
  const platform::RegKeyPath current_version{platform::RegRoot::kLocalMachine,
                                             u"Software\\Microsoft\\Windows\\CurrentVersion"};
  auto registry_value = [&](const char16_t* text) {
    return [&current_version, text](SimMachine& machine) {
      platform::RegValue value{platform::regtype::kSz, {}};
      if (text) {
        for (const char16_t* c = text; *c; ++c) value.data.insert(value.data.end(), {static_cast<std::uint8_t>(*c), 0});
        value.data.insert(value.data.end(), {0, 0});
        machine.registry().set_value(current_version, u"ProgramFilesDir", value);
      } else {
        machine.registry().delete_value(current_version, u"ProgramFilesDir");
      }
    };
  };
  EXPECT_EQ(expand_on("pf-no-known", removing({csidl, known}), "%ProgramsDir32%", registry_value(u"D:\\Programs\\")),
            "D:\\Programs");
  EXPECT_EQ(expand_on("pf-nothing", removing({csidl, known}), "%ProgramsDir32%", registry_value(nullptr)),
            "c:\\Program Files");
}

TEST(SimFolders, SixtyFourBitFoldersFromTheEnvironment) {
  // A 32-bit process does not get the 64-bit known folders; the environment
  // gives them, and without it the 32-bit folder loses " (x86)".
  const auto on64 = [](std::set<std::string> removed) {
    return [removed](MachineConfig& m) {
      m.is_64bit = true;
      m.removed = removed;
    };
  };
  EXPECT_EQ(expand_on("pf64", on64({}), "%ProgramsDir64%|%CommonDir64%|%ProgramsDir32%"),
            "C:\\Program Files|C:\\Program Files\\Common Files|C:\\Program Files (x86)");
  EXPECT_EQ(expand_on("pf64-noenv", on64({"env.PROGRAMW6432", "env.COMMONPROGRAMW6432"}), "%ProgramsDir64%|%CommonDir64%"),
            "C:\\Program Files|C:\\Program Files\\Common Files");
}

TEST(SimFolders, UnknownNamesAndEnvironment) {
  EXPECT_EQ(expand_on("env", {}, "%NoSuchName%|%SystemRoot%|%WINDIR%|%windir%"),
            "%NoSuchName%|C:\\Windows|C:\\Windows|C:\\Windows");
}

}  // namespace
}  // namespace hs::install
