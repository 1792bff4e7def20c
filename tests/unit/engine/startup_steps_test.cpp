// The start-up steps one by one against a configurable machine: the checks
// that end the run with their exit codes and boxes, the language choice, the
// existing installation and the settings-time rules.
#include "engine/startup.h"

#include <algorithm>
#include <gtest/gtest.h>

#include "support/fake_system.h"
#include "package/product_flags.h"

namespace hs::engine {
namespace {

using hs::testing::ExitCalled;
using hs::testing::FakeMachine;
using platform::RegRoot;
using support::utf16_to_utf8;

const std::u16string kUninstall = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class StartupTest : public ::testing::Test {
 protected:
  FakeMachine m;
  Session session{m.system};
  StartupState state;

  void SetUp() override {
    session.derived.product_name = u"Acme Tool";
    session.derived.uninstall_key_name = u"Acme Tool";
    session.derived.master_key_name = u"Acme Suite";
    session.derived.master_display_name = u"Acme Suite";
    session.settings.messages.languages = {u"English"};
    session.settings.messages.message_count = 1;
    session.settings.messages.texts = {u""};
  }

  void set_flag(int bit) { session.settings.product_flags |= std::uint64_t{1} << bit; }

  // Runs `step`; the exit code it ended with, or nothing when it went on.
  template <typename F>
  std::optional<int> exit_of(F step) {
    try {
      step();
    } catch (const ExitCalled& e) {
      return e.code;
    }
    return std::nullopt;
  }

  std::string box_text(std::size_t i = 0) const { return utf16_to_utf8(m.ui.boxes.at(i).text); }
};

TEST_F(StartupTest, Bitness) {
  struct Case {
    std::uint8_t bits;
    bool windows64;
    bool automatic;
    bool errors_in_automatic;  // ProductFlags bit 43
    std::optional<int> exit;
    const char* shown;  // the number in the box, nullptr = no box
  } cases[] = {
      {0, false, false, false, std::nullopt, nullptr},
      {0, true, false, false, std::nullopt, nullptr},
      {1, true, false, false, std::nullopt, nullptr},
      {2, false, false, false, std::nullopt, nullptr},
      {1, false, false, false, 5, "64"},
      {2, true, false, false, 5, "32"},
      // Automatic mode ends the run without a box, even when error boxes
      // are otherwise shown in automatic mode.
      {1, false, true, false, 5, nullptr},
      {2, true, true, true, 5, nullptr},
  };
  for (const auto& c : cases) {
    m.ui.boxes.clear();
    m.info.windows64 = c.windows64;
    session.settings.bits = c.bits;
    session.modes.automatic = c.automatic;
    session.errors_in_automatic_mode = c.errors_in_automatic;
    const std::string label = "bits " + std::to_string(c.bits) + (c.windows64 ? " on 64-bit" : " on 32-bit") +
                              (c.automatic ? " automatic" : "");
    EXPECT_EQ(exit_of([&] { check_bitness(session); }), c.exit) << label;
    if (c.shown) {
      ASSERT_EQ(m.ui.boxes.size(), 1u) << label;
      EXPECT_NE(box_text().find(std::string(c.shown) + "-bit"), std::string::npos) << box_text();
      EXPECT_EQ(m.ui.boxes[0].icon, platform::BoxIcon::kError);
    } else {
      EXPECT_TRUE(m.ui.boxes.empty()) << label;
    }
  }
}

TEST_F(StartupTest, BitnessMessageComesFromThePackage) {
  session.message = [](int n) { return n == 81 ? std::u16string(u"Needs %d bits") : std::u16string(); };
  m.info.windows64 = false;
  session.settings.bits = 1;
  EXPECT_EQ(exit_of([&] { check_bitness(session); }), 5);
  EXPECT_EQ(box_text(), "Needs 64 bits");
}

TEST_F(StartupTest, RedirectionIsSwitchedOffOnlyFor64BitProductsOn64BitWindows) {
  struct Case {
    std::uint8_t bits;
    bool windows64;
    int calls;
  } cases[] = {{1, true, 1}, {1, false, 0}, {0, true, 0}, {2, true, 0}};
  for (const auto& c : cases) {
    StartupState fresh;
    m.info.redirection_calls = 0;
    m.info.windows64 = c.windows64;
    disable_redirection_for_64bit_product(session, c.bits, fresh);
    EXPECT_EQ(m.info.redirection_calls, c.calls) << int(c.bits) << " " << c.windows64;
    EXPECT_EQ(fresh.redirection_disabled, c.calls == 1);
  }
  // A failure is fatal.
  StartupState fresh;
  m.info.windows64 = true;
  m.info.redirection_error = 1;
  EXPECT_EQ(exit_of([&] { disable_redirection_for_64bit_product(session, 1, fresh); }), -1);
  ASSERT_EQ(m.ui.boxes.size(), 1u);
  EXPECT_EQ(box_text(), "Wow64DisableWow64FsRedirection() failed");
}

TEST_F(StartupTest, ExcludedSystems) {
  m.info.version.build = 22631;
  struct Case {
    std::uint32_t mask;
    bool wine;
    std::optional<int> exit;
  } cases[] = {
      {0, false, std::nullopt},
      {0x8000, false, std::nullopt},     // Windows 10 excluded, this is 11
      {0x80000, false, 5},               // Windows 11 excluded
      {0x40000, false, std::nullopt},    // Wine excluded, not under Wine
      {0x40000, true, 5},                // Wine excluded, under Wine
      {0xFFFFFFFF & ~0xC0000u, true, std::nullopt},
  };
  for (const auto& c : cases) {
    StartupState fresh;
    m.ui.boxes.clear();
    m.info.wine = c.wine ? std::optional<std::string>("9.0") : std::nullopt;
    session.settings.excluded_systems = c.mask;
    EXPECT_EQ(exit_of([&] { check_excluded_systems(session, fresh); }), c.exit) << std::hex << c.mask;
    ASSERT_EQ(m.ui.boxes.size(), c.exit ? 1u : 0u);
    // The box names the running system.
    if (c.exit) {
      const char* name = c.wine ? "on WINE 9.0 reporting as Windows 11" : "on Windows 11";
      EXPECT_NE(box_text().find(name), std::string::npos) << box_text();
    }
  }
}

TEST_F(StartupTest, MasterProduct) {
  struct Case {
    const char16_t* uninstall_string;  // nullptr: the master is not installed
    const char16_t* version;
    const char16_t* location;
    const char16_t* minimum;
    bool master_folder;  // the default installation folder is "<master>"
    std::optional<int> exit;
    const char* box;
  } cases[] = {
      {nullptr, u"", u"", u"", false, 7, "Acme Suite must be installed"},
      {u"\"C:\\Suite\\uninst.exe\" /u:\"Acme Suite\"", u"3.1", u"", u"", false, std::nullopt, nullptr},
      {u"x", u"3.1", u"", u"3.1", false, std::nullopt, nullptr},
      {u"x", u"3.10", u"", u"3.9", false, std::nullopt, nullptr},
      {u"x", u"3.1", u"", u"3.2", false, 7, "Version 3.2 or later of Acme Suite"},
      {u"x", u"", u"", u"1", false, 7, "Version 1 or later of Acme Suite"},
      {u"x", u"3.1", u"", u"", true, 7, "Acme Suite must be installed"},
      {u"x", u"3.1", u"C:\\Suite", u"", true, std::nullopt, nullptr},
  };
  set_flag(package::pf::kMasterProduct);
  for (const auto& c : cases) {
    StartupState fresh;
    m.ui.boxes.clear();
    m.registry.keys.clear();
    const std::u16string key = kUninstall + u"Acme Suite";
    if (c.uninstall_string) {
      m.registry.set_text(RegRoot::kLocalMachine, key, u"UninstallString", c.uninstall_string);
      m.registry.set_text(RegRoot::kLocalMachine, key, u"DisplayVersion", c.version);
      m.registry.set_text(RegRoot::kLocalMachine, key, u"InstallLocation", c.location);
    }
    session.settings.master_min_version = c.minimum;
    session.settings.default_install_folder = c.master_folder ? u"<master>" : u"";
    EXPECT_EQ(exit_of([&] { check_master_product(session, fresh); }), c.exit) << utf16_to_utf8(c.minimum);
    if (c.box) {
      ASSERT_EQ(m.ui.boxes.size(), 1u);
      EXPECT_NE(box_text().find(c.box), std::string::npos) << box_text();
    } else {
      EXPECT_TRUE(m.ui.boxes.empty());
      EXPECT_EQ(fresh.master_folder, c.location);
      // With "<master>" the product goes into the master product's folder.
      EXPECT_EQ(fresh.default_folder, c.master_folder ? std::u16string(c.location) : u"");
    }
  }
  // Without bit 16 nothing is required.
  session.settings.product_flags = 0;
  m.registry.keys.clear();
  EXPECT_EQ(exit_of([&] { check_master_product(session, state); }), std::nullopt);
}

TEST_F(StartupTest, SingleInstallerMutex) {
  struct Case {
    platform::MutexTake answer;
    std::optional<int> exit;
  } cases[] = {{platform::MutexTake::kTaken, std::nullopt},
               {platform::MutexTake::kAbandoned, std::nullopt},
               {platform::MutexTake::kBusy, 8},
               {platform::MutexTake::kFailed, 8}};
  // Without bit 8 no mutex is made.
  EXPECT_EQ(exit_of([&] { take_single_installer_mutex(session); }), std::nullopt);
  EXPECT_TRUE(m.processes.mutexes_taken.empty());
  set_flag(package::pf::kSingleInstaller);
  for (const auto& c : cases) {
    m.ui.boxes.clear();
    m.processes.mutex_answer = c.answer;
    EXPECT_EQ(exit_of([&] { take_single_installer_mutex(session); }), c.exit);
    EXPECT_EQ(m.ui.boxes.size(), c.exit ? 1u : 0u);
  }
  EXPECT_EQ(m.processes.mutexes_taken.back(), u"Halvorend GCS");
  // In silent mode nothing is shown, the code is the same.
  m.ui.boxes.clear();
  session.modes.silent = session.modes.automatic = true;
  EXPECT_EQ(exit_of([&] { take_single_installer_mutex(session); }), 8);
  EXPECT_TRUE(m.ui.boxes.empty());
}

TEST_F(StartupTest, LanguageDialogTemplatesByStyle) {
  const std::pair<std::uint32_t, const char*> styles[] = {
      {0, "LanguageDlg2"}, {1, "LanguageDlg"}, {2, "LanguageDlg3"}, {3, "LanguageDlg4"}, {4, "LanguageDlg3"},
      {0xFFFFFFFF, "LanguageDlg3"}};
  for (const auto& [style, name] : styles) EXPECT_EQ(language_template(style), name) << style;
}

TEST_F(StartupTest, BackdropGoesUpWithTheSettingsAndTakesTheHeading) {
  session.settings.top_color = 0x00112233;
  session.settings.bottom_color = 0x00112233;
  session.settings.display_title = u"Acme Tool 2.0";
  session.settings.messages.texts = {u"Welcome to Acme Tool"};
  session.modes.minimized = true;
  create_backdrop(session, state, session.settings);
  ASSERT_TRUE(m.ui.backdrop);
  EXPECT_TRUE(m.ui.backdrop->start_minimized);
  EXPECT_TRUE(m.ui.backdrop->solid) << "equal colours paint one colour";
  EXPECT_EQ(m.ui.backdrop->title.text, u"Acme Tool 2.0");
  ASSERT_TRUE(state.backdrop);
  EXPECT_EQ(state.backdrop->heading_text, u"") << "no message table yet while the settings are read";

  session.message = [&](int n) { return n == 0 ? session.settings.messages.texts[0] : u""; };
  take_language(session, state);
  EXPECT_EQ(state.backdrop->heading_text, u"Welcome to Acme Tool");

  ASSERT_TRUE(session.exit_hooks.close_backdrop);
  session.exit_hooks.close_backdrop();
  EXPECT_TRUE(m.ui.backdrop_destroyed);
}

TEST_F(StartupTest, NoBackdropWhenThePackageAsksForNone) {
  set_flag(29);
  create_backdrop(session, state, session.settings);
  EXPECT_FALSE(m.ui.backdrop);
  EXPECT_FALSE(state.backdrop);
  EXPECT_FALSE(session.exit_hooks.close_backdrop);
}

TEST_F(StartupTest, OneLanguageNeverShowsTheDialog) {
  for (bool automatic : {false, true}) {
    session.modes.automatic = automatic;
    choose_language(session, state);
  }
  EXPECT_TRUE(m.ui.pages.empty());
}

TEST_F(StartupTest, LanguageChosenOnTheDialog) {
  session.settings.messages.languages = {u"Deutsch", u"English", u"Fran\u00e7ais"};
  session.settings.messages.default_language = session.settings.messages.chosen_language = 1;
  session.settings.dialog_styles.language = 3;
  // Automatic mode keeps the default without asking.
  session.modes.automatic = true;
  choose_language(session, state);
  EXPECT_TRUE(m.ui.pages.empty());

  session.modes.automatic = false;
  m.ui.page_answer = platform::PageResult{1001, {platform::PageControl{1017, u"", 2}}};
  choose_language(session, state);
  ASSERT_EQ(m.ui.pages.size(), 1u);
  EXPECT_EQ(m.ui.pages[0].template_name, "LanguageDlg4");
  EXPECT_EQ(m.ui.pages[0].list_items, session.settings.messages.languages);
  const auto& controls = m.ui.pages[0].controls;
  const auto list = std::find_if(controls.begin(), controls.end(), [](const auto& c) { return c.id == 1017; });
  ASSERT_NE(list, controls.end());
  EXPECT_EQ(list->state, 1) << "without the system's language the page starts at English";
  take_language(session, state);
  EXPECT_EQ(state.language, 2);
  EXPECT_EQ(state.language_name, u"Fran\u00e7ais");
  EXPECT_EQ(state.folders.language_name, u"Fran\u00e7ais");
}

TEST_F(StartupTest, LanguageDialogCancelledEndsWithTheAbortNotice) {
  session.settings.messages.languages = {u"English", u"Deutsch"};
  session.settings.web_texts[static_cast<int>(package::WebText::kCancelNotify)] = u"http://example.invalid/cancel";
  std::vector<std::u16string> requests;
  state.queue_request = [&](const std::u16string& address) { requests.push_back(address); };
  m.ui.page_answer = platform::PageResult{1003, {}};
  EXPECT_EQ(exit_of([&] { choose_language(session, state); }), 12);
  ASSERT_EQ(m.ui.boxes.size(), 1u);
  EXPECT_EQ(m.ui.boxes[0].icon, platform::BoxIcon::kWarning);
  EXPECT_EQ(box_text(), "The installation was cancelled. Nothing has been changed.");
  EXPECT_EQ(requests, std::vector<std::u16string>{u"http://example.invalid/cancel"});
}

TEST_F(StartupTest, AbortNoticeTextsAndAutomaticMode) {
  session.message = [](int n) -> std::u16string {
    switch (n) {
      case 98: return u"nothing changed";
      case 101: return u"already changed";
      case 111: return u"Cancelled";
      default: return u"";
    }
  };
  EXPECT_EQ(exit_of([&] { abort_notice(session, state, 12, true); }), 12);
  EXPECT_EQ(box_text(0), "already changed");
  EXPECT_EQ(utf16_to_utf8(m.ui.boxes[0].caption), "Cancelled");
  EXPECT_EQ(exit_of([&] { abort_notice(session, state, 12, false); }), 12);
  EXPECT_EQ(box_text(1), "nothing changed");
  session.modes.automatic = true;
  EXPECT_EQ(exit_of([&] { abort_notice(session, state, 12, false); }), 12);
  EXPECT_EQ(m.ui.boxes.size(), 2u) << "no notice in automatic mode";
}

TEST_F(StartupTest, PageTitleAndHeading) {
  session.settings.page_title = u"<product> on <os>";
  take_language(session, state);
  EXPECT_EQ(state.page_title, u"Acme Tool on C:\\Windows");
  session.message = [](int n) -> std::u16string { return n == 114 ? u"Title 114" : (n == 0 ? u"Heading" : u""); };
  take_language(session, state);
  EXPECT_EQ(state.page_title, u"Title 114");
  EXPECT_EQ(state.heading, u"Heading");
}

TEST_F(StartupTest, ExistingInstallation) {
  set_flag(package::pf::kHasUninstaller);
  const std::u16string key = kUninstall + u"Acme Tool";
  struct Case {
    const char16_t* install_location;  // nullptr: no value
    const char16_t* folder_value;      // value at the folder registry path; nullptr: none
    const char16_t* expected;
  } cases[] = {
      {u"D:\\Acme", u"E:\\Other", u"D:\\Acme"},
      {u"", u"%ProgramFiles%\\Acme", u"C:\\Program Files\\Acme"},
      {nullptr, u"E:\\Acme", u"E:\\Acme"},
      {nullptr, nullptr, u""},
  };
  m.shell.environment[u"PROGRAMFILES"] = u"C:\\Program Files";
  session.settings.folder_registry_path = u"HKLM\\Software\\Acme\\Tool\\InstallDir";
  for (const auto& c : cases) {
    StartupState fresh;
    m.registry.keys.clear();
    m.registry.set_text(RegRoot::kLocalMachine, key, u"DisplayVersion", u"3.2.1");
    if (c.install_location) m.registry.set_text(RegRoot::kLocalMachine, key, u"InstallLocation", c.install_location);
    if (c.folder_value) m.registry.set_text(RegRoot::kLocalMachine, u"Software\\Acme\\Tool", u"InstallDir", c.folder_value);
    read_existing_installation(session, fresh);
    EXPECT_EQ(fresh.existing_folder, c.expected);
    EXPECT_EQ(fresh.existing_version, u"3.2.1");
    EXPECT_EQ(fresh.existing_version_narrow, "3.2.1");
    EXPECT_TRUE(fresh.changes.empty());
  }
  // The folder's existence is noted; with ProductFlags2 bit 13 the folder
  // value is recorded for the uninstaller to delete.
  m.files.folders.insert(u"E:\\ACME");
  session.settings.product_flags2 |= 1u << package::pf2::kRemoveFolderRegistryValue;
  m.registry.set_text(RegRoot::kLocalMachine, u"Software\\Acme\\Tool", u"InstallDir", u"E:\\Acme");
  StartupState found;
  read_existing_installation(session, found);
  EXPECT_TRUE(found.existing_folder_exists);
  EXPECT_EQ(found.changes.text(), "!HKLM\\Software\\Acme\\Tool\\InstallDir\r\n");
}

TEST_F(StartupTest, NoExistingInstallationWithoutAnUninstaller) {
  m.registry.set_text(RegRoot::kLocalMachine, kUninstall + u"Acme Tool", u"InstallLocation", u"D:\\Acme");
  read_existing_installation(session, state);
  EXPECT_EQ(state.existing_folder, u"");
}

TEST(RegistryValuePath, Table) {
  struct Case {
    const char16_t* path;
    bool ok;
    RegRoot root;
    const char16_t* key;
    const char16_t* value;
  } cases[] = {
      {u"HKLM\\Software\\A\\Dir", true, RegRoot::kLocalMachine, u"Software\\A", u"Dir"},
      {u"\\HKCU\\Software\\A\\", true, RegRoot::kCurrentUser, u"Software\\A", u""},
      {u"HKEY_LOCAL_MACHINE\\Software\\A\\B\\Dir", true, RegRoot::kLocalMachine, u"Software\\A\\B", u"Dir"},
      {u"hklm\\Software\\Dir", true, RegRoot::kLocalMachine, u"Software", u"Dir"},
      {u"HKXX\\Software\\Dir", false, RegRoot::kLocalMachine, u"", u""},
      {u"HKLM\\Dir", false, RegRoot::kLocalMachine, u"", u""},
      {u"HKLM", false, RegRoot::kLocalMachine, u"", u""},
      {u"", false, RegRoot::kLocalMachine, u"", u""},
  };
  for (const auto& c : cases) {
    auto parsed = parse_registry_value_path(c.path);
    ASSERT_EQ(parsed.has_value(), c.ok) << utf16_to_utf8(c.path);
    if (!parsed) continue;
    EXPECT_EQ(parsed->key.root, c.root);
    EXPECT_EQ(parsed->key.subkey, c.key);
    EXPECT_EQ(parsed->value, c.value);
  }
}

TEST_F(StartupTest, StartSound) {
  session.settings.start_sound = "RIFF....WAVE";
  session.modes.automatic = true;
  play_start_sound(session);
  EXPECT_TRUE(m.ui.sounds.empty());
  session.modes.automatic = false;
  play_start_sound(session);
  ASSERT_EQ(m.ui.sounds.size(), 1u);
  EXPECT_EQ(m.ui.sounds[0].size(), 12u);
  session.settings.start_sound.clear();
  play_start_sound(session);
  EXPECT_EQ(m.ui.sounds.size(), 1u);
}

TEST_F(StartupTest, SilentModeChangesProductFlags) {
  session.settings.product_flags = (1ull << 7) | (1ull << 31) | (1ull << 34) | (1ull << 51) | (1ull << 2);
  apply_silent_mode(session, session.settings);
  EXPECT_EQ(session.settings.product_flags, (1ull << 7) | (1ull << 31) | (1ull << 34) | (1ull << 51) | (1ull << 2))
      << "unchanged outside silent mode";
  session.modes.silent = true;
  apply_silent_mode(session, session.settings);
  const std::uint64_t expected = (1ull << 2) | (1ull << 21) | (1ull << 22) | (1ull << 28) | (1ull << 29) | (1ull << 43);
  EXPECT_EQ(session.settings.product_flags, expected);
}

TEST(AutomaticModeByte, Table) {
  struct Case {
    bool automatic, silent;
    std::uint8_t value;
    bool expected;
  } cases[] = {
      {false, false, 1, true}, {true, false, 2, false}, {true, true, 2, true},
      {true, false, 0, true},  {false, false, 3, false}, {false, false, 2, false},
  };
  for (const auto& c : cases) {
    RunModes modes;
    modes.automatic = c.automatic;
    modes.silent = c.silent;
    apply_automatic_mode_byte(modes, c.value);
    EXPECT_EQ(modes.automatic, c.expected) << int(c.value) << " " << c.automatic << c.silent;
  }
}

TEST_F(StartupTest, RecentSystemsBitIsClearedOnOlderSystemsAndUnderWine) {
  struct Case {
    std::uint32_t major, minor, type;
    bool wine;
    bool kept;
  } cases[] = {
      {5, 1, 1, false, false}, {5, 2, 1, false, false}, {5, 2, 3, false, true}, {5, 2, 2, false, true},
      {6, 0, 1, false, true},  {10, 0, 1, false, true}, {10, 0, 1, true, false},
  };
  for (const auto& c : cases) {
    m.info.version.major = c.major;
    m.info.version.minor = c.minor;
    m.info.version.product_type = c.type;
    m.info.wine = c.wine ? std::optional<std::string>("8.0") : std::nullopt;
    session.settings.product_flags2 = 0xFFFFFFFF;
    apply_recent_systems_rule(session, session.settings);
    EXPECT_EQ((session.settings.product_flags2 >> 10) & 1u, c.kept ? 1u : 0u) << c.major << "." << c.minor;
    EXPECT_EQ(session.settings.product_flags2 | (1u << 10), 0xFFFFFFFFu) << "no other bit changes";
  }
}

}  // namespace
}  // namespace hs::engine
