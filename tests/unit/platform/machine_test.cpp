// The simulated machine: its configuration, folders, processes, mutexes,
// scripted user interface and clock.
#include <gtest/gtest.h>

#include "support/machine_fixture.h"

namespace hs::platform::sim::testing {
namespace {

TEST(WindowsVersion, NamesAndNumbers) {
  struct Case {
    const char* text;
    OsPlatform platform;
    std::uint32_t major, minor, build, type;
  };
  const Case cases[] = {
      {"10", OsPlatform::kNt, 10, 0, 19045, product_type::kWorkstation},
      {"11", OsPlatform::kNt, 10, 0, 22631, product_type::kWorkstation},
      {"7", OsPlatform::kNt, 6, 1, 7601, product_type::kWorkstation},
      {"XP", OsPlatform::kNt, 5, 1, 2600, product_type::kWorkstation},
      {"98", OsPlatform::kWindows9x, 4, 10, 2222, product_type::kWorkstation},
      {"2019", OsPlatform::kNt, 10, 0, 17763, product_type::kServer},
      {"server 2022", OsPlatform::kNt, 10, 0, 20348, product_type::kServer},
      {"10.0.19045 server", OsPlatform::kNt, 10, 0, 19045, product_type::kServer},
      {"6.3.9600", OsPlatform::kNt, 6, 3, 9600, product_type::kWorkstation},
      {"2016 dc", OsPlatform::kNt, 10, 0, 14393, product_type::kDomainController},
  };
  for (const auto& c : cases) {
    auto v = parse_windows_version(c.text);
    ASSERT_TRUE(v) << c.text;
    EXPECT_EQ(c.platform, v->platform) << c.text;
    EXPECT_EQ(c.major, v->major) << c.text;
    EXPECT_EQ(c.minor, v->minor) << c.text;
    EXPECT_EQ(c.build, v->build) << c.text;
    EXPECT_EQ(c.type, v->product_type) << c.text;
  }
  for (const char* bad : {"", "12", "ten", "10.", "1.2.3.4", "10 potato"}) EXPECT_FALSE(parse_windows_version(bad)) << bad;
}

using Machine = MachineTest;

TEST_F(Machine, SettingsPersistInMachineIni) {
  RunOptions options;
  options.configure = [](MachineConfig& c) {
    std::string error;
    ASSERT_TRUE(apply_setting(c, "system.windows=xp", error)) << error;
    ASSERT_TRUE(apply_setting(c, "system.wine=9.0", error)) << error;
    ASSERT_TRUE(apply_setting(c, "drives.D=cdrom 0 0", error)) << error;
    ASSERT_TRUE(apply_setting(c, "drives.E=fixed 100 readonly", error)) << error;
    ASSERT_TRUE(apply_setting(c, "removed.csidl.0x1a", error)) << error;
    ASSERT_FALSE(apply_setting(c, "system.colour=blue", error));
    ASSERT_FALSE(apply_setting(c, "drives.D=floppy", error));
  };
  open(options);
  open();  // the next run keeps what the first one set
  EXPECT_EQ(5u, machine_->info().os_version().major);
  EXPECT_EQ(u"Service Pack 3", machine_->info().os_version().service_pack);
  EXPECT_EQ(std::optional<std::string>("9.0"), machine_->info().wine_version());
  EXPECT_EQ(DriveType::kCdRom, machine_->files().drive_type(u"d:\\"));
  EXPECT_EQ(volume::kReadOnlyVolume, *machine_->files().volume_flags(u"E:\\"));
  EXPECT_EQ(100u, machine_->files().free_space(u"E:\\")->free_to_caller);
  EXPECT_EQ(0u, *machine_->files().volume_flags(u"C:\\"));
  EXPECT_FALSE(machine_->files().volume_flags(u"D:\\"));  // no disc
  EXPECT_FALSE(machine_->shell().special_folder(0x1a));
  // Windows XP lays the profile out as it did then, and has no known folders.
  EXPECT_EQ(u"C:\\Documents and Settings\\User\\Local Settings\\Application Data", *machine_->shell().special_folder(0x1c));
  EXPECT_FALSE(machine_->shell().known_folder(u"{F1B32785-6FBA-4FCF-9D55-7B8E7F157091}"));
}

// 8-bit texts of the ANSI code page follow the machine's setting, as
// MultiByteToWideChar and WideCharToMultiByte with CP_ACP do.
TEST_F(Machine, AnsiCodePageIsTheMachineSetting) {
  const struct {
    std::uint32_t code_page;
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {1252, "\xC6\x80", u"\u00c6\u20ac"},
      {1251, "\xC6\xE0", u"\u0416\u0430"},
      {1253, "\xD9", u"\u03a9"},
      {932, "\x82\xA0\x93\xFA", u"\u3042\u65e5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code_page);
    RunOptions options;
    options.configure = [&](MachineConfig& config) { config.code_page = c.code_page; };
    open(options);
    EXPECT_EQ(c.code_page, machine_->info().ansi_code_page());
    EXPECT_EQ(u8(c.text), u8(machine_->info().ansi_to_utf16(c.bytes)));
    EXPECT_EQ(c.bytes, machine_->info().utf16_to_ansi(c.text));
  }
  // Code page 1252 reads the bytes it leaves undefined as Windows does.
  RunOptions western;
  western.configure = [](MachineConfig& config) { config.code_page = 1252; };
  open(western);
  EXPECT_EQ(u8(u"\u0081\u008d"), u8(machine_->info().ansi_to_utf16("\x81\x8D")));
  // What the code page cannot hold becomes "?"; a pair of surrogates is one character.
  RunOptions options;
  options.configure = [](MachineConfig& config) { config.code_page = 1251; };
  open(options);
  EXPECT_EQ("\xC6?x?", machine_->info().utf16_to_ansi(u"\u0416\u00e9x\U0001F600"));
}

TEST_F(Machine, FoldersAndEnvironmentHaveWindowsDefaults) {
  RunOptions options;
  options.configure = [](MachineConfig& c) { c.removed.insert("env.PROGRAMFILES(X86)"); };
  open(options);
  auto& shell = machine_->shell();
  EXPECT_EQ(u"C:\\Program Files (x86)", *shell.special_folder(0x26));  // as the 32-bit engine sees it
  EXPECT_EQ(u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs", *shell.special_folder(0x17));
  EXPECT_EQ(u"C:\\Users\\User\\AppData\\Local\\Programs", *shell.known_folder(u"{5cd7aee2-2219-4a67-b85d-6c9ce15660cb}"));
  EXPECT_FALSE(shell.known_folder(u"{6D809377-6AF0-444B-8957-A3773F02200E}"));  // not for 32-bit processes
  EXPECT_EQ(u"C:\\Program Files", *shell.environment_variable(u"programw6432"));
  EXPECT_FALSE(shell.environment_variable(u"ProgramFiles(x86)"));
  EXPECT_EQ(u"C:\\Windows\\x %NOPE% 100%", shell.expand_environment(u"%SystemRoot%\\x %NOPE% 100%"));
  EXPECT_EQ(u"%a%C:\\Windows", shell.expand_environment(u"%a%%windir%"));
  // Every default folder exists on the machine's disk.
  EXPECT_TRUE(std::filesystem::is_directory(root_ / "drives/C/Users/User/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"));
  EXPECT_TRUE(std::filesystem::is_directory(root_ / "drives/C/Windows/System32"));
}

TEST_F(Machine, StartedProgramsAreLoggedWithScriptedExitCodes) {
  RunOptions options;
  options.configure = [](MachineConfig& c) { c.exit_codes.emplace_back(u"regsvr32", 3); };
  open(options);
  auto started = machine_->processes().start(u"\"C:\\Windows\\system32\\REGSVR32.exe\" /s x.dll", u"C:\\Windows", 0);
  ASSERT_TRUE(started);
  EXPECT_TRUE((*started)->wait(-1));
  EXPECT_EQ(3u, (*started)->exit_code());
  EXPECT_EQ(0u, (*machine_->processes().start(u"notepad.exe", u"", 1))->exit_code());
  EXPECT_EQ(267u, machine_->processes().start(u"x.exe", u"C:\\nowhere", 1).error());
  EXPECT_EQ(0u, machine_->processes().shell_execute(u"open", u"C:\\readme.txt", u"", u"", 1));
  EXPECT_EQ(
      "start\n  command line: \"C:\\Windows\\system32\\REGSVR32.exe\" /s x.dll\n  folder: C:\\Windows\n  show: 0\n"
      "  exit code: 3\n"
      "start\n  command line: notepad.exe\n  folder: \n  show: 1\n  exit code: 0\n"
      "shell_execute open\n  file: C:\\readme.txt\n  parameters: \n  folder: \n  show: 1\n",
      read_host(root_ / "launches.log"));
}

TEST_F(Machine, NamedMutexIsTakenBusyAndAbandoned) {
  open();
  SimMachine second(root_);
  EXPECT_EQ(MutexTake::kTaken, machine_->processes().take_named_mutex(u"Halvorend GCS"));
  EXPECT_EQ(MutexTake::kBusy, second.processes().take_named_mutex(u"Halvorend GCS"));
  EXPECT_EQ(MutexTake::kTaken, second.processes().take_named_mutex(u"Other"));
  // A run that ends normally lets the mutex go.
  EXPECT_THROW(machine_->processes().exit_process(0), ProcessExit);
  EXPECT_EQ(MutexTake::kTaken, second.processes().take_named_mutex(u"halvorend gcs"));
  // A run that crashes leaves it abandoned, which the next one may take.
  second.simulate_crash();
  open();
  EXPECT_EQ(MutexTake::kAbandoned, machine_->processes().take_named_mutex(u"Halvorend GCS"));
}

TEST_F(Machine, MessageBoxesFollowTheScriptAndAreTranscribed) {
  RunOptions options;
  options.answers =
      "# the second question is answered first: answers match by text\n"
      "[answer]\nkind = question\ntext = overwrite\nbutton = no\n"
      "[answer]\nkind = page licensedlg2\ncheck 1001 = 1\nset 1002 = D:\\Target\nbutton = next\n"
      "[answer]\ncaption = never shown\nbutton = cancel\n";
  options.transcript_path = (root_ / "transcript.txt").string();
  open(options);
  MessageBoxRequest box;
  box.caption = u"Setup";
  box.text = u"Replace the file?\r\nIt is newer.";
  box.icon = BoxIcon::kQuestion;
  box.buttons = BoxButtons::kYesNo;
  EXPECT_EQ(BoxResult::kYes, machine_->ui().message_box(box));  // no answer matches: the default
  box.text = u"Overwrite it?";
  EXPECT_EQ(BoxResult::kNo, machine_->ui().message_box(box));
  PageRequest page;
  page.template_name = "LicenseDlg2";
  page.caption = u"Licence";
  page.controls = {PageControl{1001, u"I accept", 0}, PageControl{1002, u"C:\\", 0}};
  const PageResult result = machine_->ui().show_page(page);
  EXPECT_EQ(1, result.button);
  EXPECT_EQ(1, result.controls[0].state);
  EXPECT_EQ(u"D:\\Target", result.controls[1].text);
  EXPECT_EQ(
      "== message box\ncaption: Setup\nicon: question\nbuttons: yes no\ntext: Replace the file?\n      It is newer.\n"
      "answer: yes (default)\n\n"
      "== message box\ncaption: Setup\nicon: question\nbuttons: yes no\ntext: Overwrite it?\nanswer: no\n\n"
      "== page LicenseDlg2\ncaption: Licence\ncontrol 1001: I accept\ncontrol 1002: C:\\\n"
      "check 1001: 1\nset 1002: D:\\Target\nanswer: button 1\n\n",
      read_host(root_ / "transcript.txt"));
  EXPECT_EQ(read_host(root_ / "transcript.txt"), machine_->ui().transcript_text());
}

TEST(Answers, BadScriptsNameTheLine) {
  std::vector<ScriptedAnswer> answers;
  std::string error;
  EXPECT_FALSE(read_answers("button = yes\n", answers, error));
  EXPECT_EQ("answers line 1: [answer] expected first", error);
  EXPECT_FALSE(read_answers("[answer]\nbutton = maybe\n", answers, error));
  EXPECT_EQ("answers line 2: unknown button: maybe", error);
  EXPECT_FALSE(read_answers("[answer]\nset x = 1\n", answers, error));
  EXPECT_EQ("answers line 2: bad control line", error);
}

TEST(SimClock, CalendarFromFileTime) {
  struct Case {
    FileTime t;
    int year, month, day, day_of_week, hour, minute, second;
  };
  const Case cases[] = {
      {116444736000000000ULL, 1970, 1, 1, 4, 0, 0, 0},
      {125911584000000000ULL, 2000, 1, 1, 6, 0, 0, 0},
      {0ULL, 1601, 1, 1, 1, 0, 0, 0},
      {133800000000000000ULL, 2024, 12, 30, 1, 2, 40, 0},  // worked out with Python's datetime
  };
  for (const auto& c : cases) {
    const CalendarTime t = calendar_from_file_time(c.t);
    EXPECT_EQ(c.year, t.year);
    EXPECT_EQ(c.month, t.month);
    EXPECT_EQ(c.day, t.day);
    EXPECT_EQ(c.day_of_week, t.day_of_week);
    EXPECT_EQ(c.hour, t.hour);
    EXPECT_EQ(c.minute, t.minute);
    EXPECT_EQ(c.second, t.second);
  }
}

TEST(SimClock, SleepingMovesTheClockWithoutWaiting) {
  SimClock clock;
  const std::uint32_t before = clock.tick_count();
  const FileTime then = clock.now_utc();
  clock.sleep(60'000);
  EXPECT_GE(clock.tick_count() - before, 60'000u);
  EXPECT_GE(clock.now_utc() - then, 600'000'000u);
}

TEST(SystemErrors, TextsAreWindowsOwn) {
  EXPECT_EQ(u"The system cannot find the file specified.", system_error_text(2));
  EXPECT_EQ(u"Access is denied.", system_error_text(5));
  EXPECT_EQ(u"The process cannot access the file because it is being used by another process.", system_error_text(32));
  EXPECT_EQ(u"", system_error_text(0xDEAD));
}

}  // namespace
}  // namespace hs::platform::sim::testing
