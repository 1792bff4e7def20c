// The start-up of real installers on the simulated machine: installers are
// built with the package writer, put on the machine as C:\setup.exe and run
// from the process entry to their exit code.
#include <gtest/gtest.h>

#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <sys/wait.h>

#include "engine/driver.h"
#include "engine/session.h"
#include "package/default_messages.h"
#include "package/product_flags.h"
#include "package/settings.h"
#include "packwriter/package_writer.h"
#include "packwriter/pe_image.h"
#include "platform/sim/sim_machine.h"
#include "support/pe_image.h"
#include "support/pe_builder.h"
#include "support/text.h"

namespace hs::engine {
namespace {

namespace fs = std::filesystem;
using platform::RegKeyPath;
using platform::RegRoot;
using platform::RegView;
using platform::sim::MachineConfig;
using platform::sim::ProcessExit;
using platform::sim::RunOptions;
using platform::sim::SimMachine;

// A PE32 engine stand-in with three sections, for the writer to extend:
// headers in the first 0x200 bytes, section i filled with the byte i + 1.
std::vector<std::uint8_t> engine_stub() {
  test::PeBuilder stub;
  stub.section(".text", 0x100, 1).section(".rdata", 0x100, 2).section(".data", 0x100, 3);
  return stub.bytes();
}

// Settings of "Sample Product" with the default English messages.
package::Settings sample_settings() {
  package::Settings s;
  s.product_name = u"Sample Product";
  s.product_version = u"2.0";
  for (std::string_view text : package::default_english_messages()) {
    s.messages.texts.push_back(support::utf8_to_utf16(text));
  }
  s.messages.languages = {u"English"};
  s.messages.message_count = s.messages.texts.size();
  return s;
}

// Adds a language whose messages are the English ones.
void add_language(package::Settings& s, const std::u16string& name) {
  const std::size_t languages = s.messages.languages.size();
  std::vector<std::u16string> texts;
  for (std::size_t m = 0; m < s.messages.message_count; ++m) {
    for (std::size_t l = 0; l < languages; ++l) texts.push_back(s.messages.texts[m * languages + l]);
    texts.push_back(s.messages.texts[m * languages]);
  }
  s.messages.texts = std::move(texts);
  s.messages.languages.push_back(name);
}

// English and a German whose heading (message 0) is its own.
package::Settings add_heading_languages(package::Settings s) {
  add_language(s, u"Deutsch");
  s.messages.texts[0] = u"Sample Product Setup";
  s.messages.texts[1] = u"Installation von Sample Product";
  s.dialog_styles.language = 1;
  return s;
}

std::vector<std::uint8_t> build_installer(const package::Settings& settings) {
  const std::string stream = package::write_settings(settings);
  const std::vector<std::uint8_t> bytes(stream.begin(), stream.end());
  tools::PackageOptions options;
  options.product_flags2 = settings.product_flags2;
  options.compress = false;
  options.threads = 1;
  options.preset = 0;
  const std::vector<std::uint8_t> package = tools::build_package(bytes, {}, options);
  return tools::attach_package(engine_stub(), package);
}

// One run of an installer on a fresh (or the named, kept) machine.
struct InstallerRun {
  InstallerRun(const std::string& name, const package::Settings& settings, RunOptions options = {}, bool fresh = true)
      : root(fs::path(HS_BINARY_DIR) / "sim_startup" / name) {
    if (fresh) fs::remove_all(root);
    fs::create_directories(root);
    const fs::path exe = root.parent_path() / (name + ".exe");
    const auto installer = build_installer(settings);
    std::ofstream(exe, std::ios::binary).write(reinterpret_cast<const char*>(installer.data()), installer.size());
    machine = std::make_unique<SimMachine>(root, std::move(options));
    machine->put_file(exe, u"C:\\setup.exe");
    session = std::make_unique<Session>(machine->system());
  }

  // Puts `installer` on the machine as C:\setup.exe in place of the one
  // built from the settings.
  void replace_installer(const std::vector<std::uint8_t>& installer) {
    const fs::path exe = root.parent_path() / (root.filename().string() + ".exe");
    std::ofstream(exe, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(installer.data()), static_cast<std::streamsize>(installer.size()));
    machine->put_file(exe, u"C:\\setup.exe");
  }

  // Runs the engine from its entry; the exit code.
  int start() {
    try {
      run_process(*session);
    } catch (const ProcessExit& exit) {
      return exit.code;
    }
    return -100;
  }

  // The kinds of the transcript's entries, in order.
  std::vector<std::string> transcript_kinds() const {
    std::vector<std::string> kinds;
    for (const auto& entry : machine->ui().transcript()) kinds.push_back(entry.kind);
    return kinds;
  }
  // The kinds of the boxes and pages the user saw, in order.
  std::vector<std::string> shown() const {
    std::vector<std::string> kinds;
    for (const auto& entry : machine->ui().transcript()) {
      if (entry.kind == "message box" || entry.kind.starts_with("page ")) kinds.push_back(entry.kind);
    }
    return kinds;
  }
  // The texts of the message boxes, in order.
  std::vector<std::u16string> box_texts() const {
    std::vector<std::u16string> texts;
    for (const auto& entry : machine->ui().transcript()) {
      if (entry.kind == "message box") texts.push_back(entry.text);
    }
    return texts;
  }

  void set_text(RegRoot root_key, const std::u16string& key, const std::u16string& name, const std::u16string& text,
                RegView view = RegView::kDefault) {
    platform::RegValue value{platform::regtype::kSz, {}};
    for (char16_t c : text) {
      value.data.push_back(static_cast<std::uint8_t>(c));
      value.data.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    value.data.insert(value.data.end(), {0, 0});
    const RegKeyPath path{root_key, key, view};
    ASSERT_EQ(machine->registry().create_key(path), 0u);
    ASSERT_EQ(machine->registry().set_value(path, name, value), 0u);
  }

  fs::path root;
  std::unique_ptr<SimMachine> machine;
  std::unique_ptr<Session> session;
};

RunOptions with(std::u16string command_line, std::function<void(MachineConfig&)> configure = {},
                std::string answers = {}) {
  RunOptions options;
  options.command_line = u"\"C:\\setup.exe\" " + command_line;
  options.configure = std::move(configure);
  options.answers = std::move(answers);
  return options;
}

const std::u16string kUninstallKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

TEST(StartupRun, PlainInstallerReachesTheInstallationRun) {
  InstallerRun run("plain", sample_settings());
  EXPECT_EQ(run.start(), 0);
  // The backdrop goes up while the settings are read, is repainted in the
  // chosen language and closed by the exit routine; nothing else is shown.
  EXPECT_EQ(run.transcript_kinds(),
            (std::vector<std::string>{"backdrop", "backdrop repainted", "backdrop destroyed"}));
  EXPECT_EQ(run.session->startup.language_name, u"English");
}

// Before its command line the process initialises COM (undone again by
// the exit routine), enables the take-ownership privilege, loads its icons,
// binds window subclassing and installs its crash handler.
TEST(StartupRun, ProcessIsPreparedAndCrashesEndThroughTheFatalPath) {
  InstallerRun run("prepared", sample_settings());
  ASSERT_EQ(run.start(), 0);
  platform::sim::SimProcesses& processes = run.machine->processes();
  EXPECT_EQ(processes.com_initialized(), 0);
  EXPECT_FALSE(run.session->com_initialized);
  EXPECT_EQ(processes.enabled_privileges(), std::vector<std::u16string>{u"SeTakeOwnershipPrivilege"});
  EXPECT_TRUE(run.session->application_icons);
  EXPECT_TRUE(run.session->window_subclassing);

  // A crash after the run had loaded its package: the report names the
  // product, ends up in the failure summary and in the fatal box; exit -1.
  platform::CrashInfo crash;
  crash.code = 0xC0000005;
  crash.address = 0x00401234;
  crash.module = u"setup.exe";
  crash.write = true;
  crash.memory_address = 0x10;
  int code = 0;
  try {
    processes.simulate_crash(crash);
  } catch (const ProcessExit& exit) {
    code = exit.code;
  }
  EXPECT_EQ(code, -1);
  const std::u16string report =
      u"Exception: access violation\r\nProduct: Sample Product\r\nException code: 0xC0000005\r\n"
      u"Address: 0x00401234\r\nModule: setup.exe\r\nRead/write: write\r\nMemory address: 0x00000010\r\n";
  EXPECT_EQ(run.session->failure_summary, u"\r\n\r\nINSTALLER CRASHED!\r\n" + report);
  EXPECT_EQ(run.box_texts(), std::vector<std::u16string>{report});
}

TEST(StartupRun, BitnessRefusal) {
  struct Case {
    const char* name;
    std::uint8_t bits;
    bool windows64;
    const char16_t* args;
    std::size_t boxes;
  } cases[] = {
      {"bits64-on-32", 1, false, u"", 1},
      {"bits64-on-32-auto", 1, false, u"/a", 0},
      {"bits32-on-64", 2, true, u"", 1},
      {"bits32-on-64-silent", 2, true, u"/silent", 0},
  };
  for (const auto& c : cases) {
    package::Settings s = sample_settings();
    s.bits = c.bits;
    InstallerRun run(c.name, s, with(c.args, [&](MachineConfig& m) { m.is_64bit = c.windows64; }));
    EXPECT_EQ(run.start(), 5) << c.name;
    EXPECT_EQ(run.shown().size(), c.boxes) << c.name;
  }
}

TEST(StartupRun, ExcludedSystem) {
  package::Settings s = sample_settings();
  s.excluded_systems = 0x1000;  // Windows 7
  InstallerRun on7("excluded-7", s, with(u"", [](MachineConfig& m) { m.version = *platform::sim::parse_windows_version("7"); }));
  EXPECT_EQ(on7.start(), 5);
  ASSERT_EQ(on7.box_texts().size(), 1u);
  EXPECT_NE(support::utf16_to_utf8(on7.box_texts()[0]).find("Windows 7"), std::string::npos);
  InstallerRun on10("excluded-7-on-10", s, with(u"", [](MachineConfig& m) { m.version = *platform::sim::parse_windows_version("10"); }));
  EXPECT_EQ(on10.start(), 0);
}

TEST(StartupRun, MasterProductMissingOrTooOld) {
  package::Settings s = sample_settings();
  s.product_flags |= 1ull << package::pf::kMasterProduct;
  s.master_key_name = u"Sample Suite";
  s.master_display_name = u"Sample Suite";
  s.master_min_version = u"4.0";
  {
    InstallerRun run("master-missing", s);
    EXPECT_EQ(run.start(), 7);
  }
  for (const auto& [version, code] : {std::pair{u"3.9", 7}, std::pair{u"4.0", 0}, std::pair{u"10.1", 0}}) {
    InstallerRun run("master-" + support::utf16_to_utf8(version), s);
    const std::u16string key = kUninstallKey + u"Sample Suite";
    run.set_text(RegRoot::kLocalMachine, key, u"UninstallString", u"\"C:\\Suite\\uninstall.exe\" /u:\"Sample Suite\"",
                 RegView::k32);
    run.set_text(RegRoot::kLocalMachine, key, u"DisplayVersion", version, RegView::k32);
    EXPECT_EQ(run.start(), code) << support::utf16_to_utf8(version);
  }
}

TEST(StartupRun, LanguageDialog) {
  package::Settings one = sample_settings();
  InstallerRun single("one-language", one);
  EXPECT_EQ(single.start(), 0);
  EXPECT_TRUE(single.shown().empty()) << "one language never shows the dialog";

  package::Settings two = sample_settings();
  add_language(two, u"Deutsch");
  two.dialog_styles.language = 1;
  InstallerRun chosen("language-chosen", two, with(u"", {}, "[answer]\nkind = LanguageDlg\ncheck 1017 = 1\nbutton = next\n"));
  EXPECT_EQ(chosen.start(), 0);
  ASSERT_EQ(chosen.shown().size(), 1u);
  EXPECT_EQ(chosen.shown()[0], "page LanguageDlg");
  EXPECT_EQ(chosen.session->startup.language_name, u"Deutsch");

  InstallerRun cancelled("language-cancelled", two, with(u"", {}, "[answer]\nkind = LanguageDlg\nbutton = 1003\n"));
  EXPECT_EQ(cancelled.start(), 12);
  const auto shown = cancelled.shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1], "message box") << "the abort notice";

  InstallerRun automatic("language-automatic", two, with(u"/a"));
  EXPECT_EQ(automatic.start(), 0);
  EXPECT_TRUE(automatic.shown().empty());
}

TEST(StartupRun, ExistingInstallationThroughInstallLocationAndTheFolderRegistryPath) {
  package::Settings s = sample_settings();
  s.product_flags |= 1ull << package::pf::kHasUninstaller;
  s.folder_registry_path = u"HKLM\\Software\\Sample\\Product\\Folder";
  const std::u16string key = kUninstallKey + u"Sample Product";
  {
    InstallerRun run("existing-location", s);
    run.set_text(RegRoot::kLocalMachine, key, u"InstallLocation", u"C:\\Apps\\Sample", RegView::k32);
    run.set_text(RegRoot::kLocalMachine, key, u"DisplayVersion", u"1.5", RegView::k32);
    run.machine->files().create_directory(u"C:\\Apps");
    run.machine->files().create_directory(u"C:\\Apps\\Sample");
    EXPECT_EQ(run.start(), 0);
    EXPECT_EQ(run.session->startup.existing_folder, u"C:\\Apps\\Sample");
    EXPECT_EQ(run.session->startup.existing_version, u"1.5");
    EXPECT_TRUE(run.session->startup.existing_folder_exists);
  }
  {
    InstallerRun run("existing-folder-path", s);
    run.set_text(RegRoot::kLocalMachine, key, u"InstallLocation", u"", RegView::k32);
    run.set_text(RegRoot::kLocalMachine, u"Software\\Sample\\Product", u"Folder", u"%SystemDrive%\\Sample");
    EXPECT_EQ(run.start(), 0);
    EXPECT_EQ(run.session->startup.existing_folder, u"C:\\Sample");
    EXPECT_FALSE(run.session->startup.existing_folder_exists);
  }
}

TEST(StartupRun, SecondInstallerWaitsForTheMutex) {
  package::Settings s = sample_settings();
  s.product_flags |= 1ull << package::pf::kSingleInstaller;
  auto first = std::make_unique<InstallerRun>("mutex", s);
  // The first run holds the mutex while its process lives.
  ASSERT_EQ(first->machine->processes().take_named_mutex(u"Halvorend GCS"), platform::MutexTake::kTaken);
  InstallerRun second("mutex", s, {}, false);
  EXPECT_EQ(second.start(), 8);
  ASSERT_EQ(second.shown().size(), 1u);
  // A holder that crashed leaves an abandoned mutex, which counts as taken.
  first->machine->simulate_crash();
  first.reset();
  InstallerRun third("mutex", s, {}, false);
  EXPECT_EQ(third.start(), 0);
}

TEST(StartupRun, BackdropIsPaintedInTheChosenLanguage) {
  package::Settings s = add_heading_languages(sample_settings());
  s.taskbar_text = u"Sample Product Setup";
  s.title_position = 2;
  s.title_shadow = 3;
  s.title_size = 1.5;
  s.title_color = 0x00FFFFFF;
  s.top_color = 0x00804020;
  s.bottom_color = 0x00000000;
  s.copyright_text = u"(c) 2026 Sample Company";
  s.copyright_pos = 6;
  InstallerRun run("backdrop-language", s,
                   with(u"", {}, "[answer]\nkind = LanguageDlg\ncheck 1017 = 1\nbutton = next\n"));
  ASSERT_EQ(run.start(), 0);
  EXPECT_EQ(run.transcript_kinds(), (std::vector<std::string>{"backdrop", "page LanguageDlg", "backdrop repainted",
                                                              "backdrop destroyed"}));
  const auto& transcript = run.machine->ui().transcript();
  // While the settings are read there is no message table yet, so the
  // title (DisplayTitle is empty) waits for the chosen language's heading.
  EXPECT_EQ(transcript[0].caption, u"Sample Product Setup");
  EXPECT_EQ(transcript[0].text, u"");
  EXPECT_EQ(transcript[2].text, u"Installation von Sample Product");
  const std::string& text = run.machine->ui().transcript_text();
  EXPECT_NE(text.find("== backdrop\ncaption: Sample Product Setup\ntitle:\n"), std::string::npos) << text;
  EXPECT_NE(text.find("background: gradient #204080 to #000000\nbitmap: none\nwindow: work area\n"),
            std::string::npos) << text;
  EXPECT_NE(text.find("== backdrop repainted\ntitle: Installation von Sample Product\n"
                      "       (position 2, 39 points, #FFFFFF, shadow 3, fonts Cambria Bold Italic, "
                      "Times New Roman Bold Italic)\n"
                      "copyright: (c) 2026 Sample Company\n"),
            std::string::npos) << text;
}

TEST(StartupRun, NoBackdropWhenThePackageOrSilentModeSaysSo) {
  package::Settings none = sample_settings();
  none.product_flags |= 1ull << package::pf::kNoBackdrop;
  InstallerRun asked("backdrop-none", none);
  EXPECT_EQ(asked.start(), 0);
  EXPECT_TRUE(asked.transcript_kinds().empty());

  InstallerRun silent("backdrop-silent", sample_settings(), with(u"/silent"));
  EXPECT_EQ(silent.start(), 0);
  EXPECT_TRUE(silent.transcript_kinds().empty());
}

TEST(StartupRun, StartSoundPlaysUnlessAutomatic) {
  package::Settings s = sample_settings();
  s.product_flags |= 1ull << package::pf::kNoBackdrop;
  s.start_sound = std::string("RIFF\x24\x00\x00\x00WAVEfmt ", 16) + std::string(28, '\x01');
  for (const char16_t* args : {u"", u"/a", u"/silent"}) {
    InstallerRun run("sound" + support::utf16_to_utf8(args).substr(std::u16string_view(args).empty() ? 0 : 1), s,
                     with(args));
    EXPECT_EQ(run.start(), 0);
    if (std::u16string_view(args).empty()) {
      EXPECT_EQ(run.transcript_kinds(), std::vector<std::string>{"sound"});
      EXPECT_EQ(run.machine->ui().transcript_text(), "== sound: 44 bytes, RIFF WAVE\n");
    } else {
      EXPECT_TRUE(run.transcript_kinds().empty()) << "no sound in automatic mode";
    }
  }
}

#ifdef HS_SIM_TOOL
// What the README promises of hsetup-sim: an answers file picks the
// language, and the transcript file holds every call in the order made.
TEST(StartupRun, ToolWritesEveryCallOfTheUserInterfaceToItsTranscript) {
  package::Settings s = add_heading_languages(sample_settings());
  s.start_sound = std::string("RIFF\x24\x00\x00\x00WAVEfmt ", 16) + std::string(28, '\x01');
  const fs::path work = fs::path(HS_BINARY_DIR) / "sim_startup" / "tool-transcript";
  fs::remove_all(work);
  fs::create_directories(work);
  const auto installer = build_installer(s);
  std::ofstream(work / "setup.exe", std::ios::binary)
      .write(reinterpret_cast<const char*>(installer.data()), static_cast<std::streamsize>(installer.size()));
  std::ofstream(work / "answers.txt") << "[answer]\nkind = LanguageDlg\ncheck 1017 = 1\nbutton = next\n";
  const std::string command = std::string(HS_SIM_TOOL) + " --root '" + (work / "machine").string() + "' --answers '" +
                              (work / "answers.txt").string() + "' --transcript '" +
                              (work / "transcript.txt").string() + "' '" + (work / "setup.exe").string() + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream in(work / "transcript.txt", std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  std::size_t at = 0;
  for (const char* entry : {"== backdrop\ncaption:", "== page LanguageDlg\n", "answer: button 1\n",
                            "== backdrop repainted\ntitle: Installation von Sample Product\n",
                            "== sound: 44 bytes, RIFF WAVE\n", "== backdrop destroyed\n"}) {
    const std::size_t found = text.find(entry, at);
    ASSERT_NE(found, std::string::npos) << "missing in order: " << entry << "\n" << text;
    at = found + 1;
  }
}
#endif

TEST(StartupRun, UninstallerImageWithoutThePackage) {
  package::Settings s = sample_settings();
  s.product_flags2 |= 1u << package::pf2::kUninstallerWithoutPackage;
  s.dialog_styles.engine_protection = 1;  // by CRC
  InstallerRun run("uninstaller-image", s);
  EXPECT_EQ(run.start(), 0);
  const auto& image = run.session->startup.uninstaller_image;
  const auto stub = engine_stub();
  ASSERT_EQ(image.size(), stub.size());
  EXPECT_EQ(run.session->startup.uninstaller_size, stub.size());
  // The headers are the stub's again, apart from the checksum fields the
  // writer filled in (CheckSum) and SizeOfInitializedData.
  EXPECT_EQ(image[0x40 + 6], 3);
  EXPECT_TRUE(std::equal(stub.begin() + 0x200, stub.end(), image.begin() + 0x200));
  EXPECT_EQ(image[0x40 + 24 + 56], stub[0x40 + 24 + 56]);
  EXPECT_EQ(image[0x40 + 24 + 57], stub[0x40 + 24 + 57]);

  // Signed: a certificate table behind the package and its directory
  // entry. The engine CRC does not see either, and the image is the same
  // unsigned one.
  {
    InstallerRun signed_run("uninstaller-image-signed", s);
    std::vector<std::uint8_t> installer = build_installer(s);
    const support::PeHeaders headers = *support::read_pe_headers(installer);
    const std::size_t directory = *support::data_directory_field(installer, headers, support::kCertificateDirectory);
    support::store_u32(installer, directory, static_cast<std::uint32_t>(installer.size()));
    support::store_u32(installer, directory + 4, 0x400);
    installer.resize(installer.size() + 0x400, 0x30);
    signed_run.replace_installer(installer);
    EXPECT_EQ(signed_run.start(), 0);
    EXPECT_EQ(signed_run.session->startup.uninstaller_image, image);
  }

  package::Settings whole = sample_settings();
  InstallerRun plain("uninstaller-whole", whole);
  EXPECT_EQ(plain.start(), 0);
  EXPECT_TRUE(plain.session->startup.uninstaller_image.empty());
  EXPECT_GT(plain.session->startup.uninstaller_size, stub.size());
}

}  // namespace
}  // namespace hs::engine
