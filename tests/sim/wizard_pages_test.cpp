// Scenarios of the wizard's pages on the simulated machine: pages are
// answered from a script, and the transcript shows what was on them.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "engine/session.h"
#include "package/default_messages.h"
#include "package/product_flags.h"
#include "platform/sim/sim_machine.h"
#include "support/text.h"
#include "wizard/folder_check.h"
#include "wizard/pages.h"
#include "wizard/progress_page.h"

namespace hs::wizard {
namespace {

using platform::sim::ProcessExit;
using platform::sim::SimMachine;

std::filesystem::path machine_root(const std::string& name) {
  std::filesystem::path root = std::filesystem::path(HS_BINARY_DIR) / "sim_wizard" / name;
  std::filesystem::remove_all(root);
  return root;
}

// A session with the default English messages for "Sample Product".
struct WizardRun {
  explicit WizardRun(const std::string& name, std::string answers,
                     std::function<void(platform::sim::MachineConfig&)> configure = {})
      : machine(machine_root(name),
                platform::sim::RunOptions{.configure = std::move(configure), .answers = std::move(answers)}),
        session(machine.system()) {
    package::MessageTable& table = session.settings.messages;
    table.languages = {u"English"};
    for (std::string_view text : package::default_english_messages()) table.texts.push_back(support::utf8_to_utf16(text));
    table.message_count = table.texts.size();
    session.derived.product_name = u"Sample Product";
    session.derived.description = u"Sample Product";
    session.message = [this](int n) {
      return package::replace_message_macros(session.settings.messages.text(n), u"Sample Product", u"Sample Product",
                                             u"C:\\Windows");
    };
  }

  // The kinds of the transcript entries in order ("page EnterPassword", ...).
  std::vector<std::string> shown() const {
    std::vector<std::string> kinds;
    for (const auto& entry : machine_ui().transcript()) kinds.push_back(entry.kind);
    return kinds;
  }
  const platform::sim::SimUi& machine_ui() const { return const_cast<SimMachine&>(machine).ui(); }

  // Runs `body` and returns the exit code it ended the process with, or
  // -100 when it returned.
  template <typename F>
  int exit_code_of(F body) {
    try {
      body();
    } catch (const ProcessExit& exit) {
      return exit.code;
    }
    return -100;
  }

  SimMachine machine;
  engine::Session session;
};

bool contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// Keeps every page request for a look at what the page would do live.
class RecordingUi : public platform::sim::SimUi {
 public:
  platform::PageResult show_page(const platform::PageRequest& request) override {
    requests.push_back(request);
    return SimUi::show_page(request);
  }
  std::vector<platform::PageRequest> requests;
};

TEST(WizardPages, WrongPasswordKeepsThePageOpenRightOneGoesOnToTheLicence) {
  WizardRun run("password", R"(
[answer]
kind = EnterPassword
set 1019 = letmein
button = next
[answer]
kind = EnterPassword
set 1019 = Secret-42
button = next
[answer]
kind = LicenseDlg2
button = 1001
)");
  run.session.settings.licence_texts.push_back(std::string("T\0e\0r\0m\0s\0 \0o\0f\0 \0<\0p\0r\0o\0d\0u\0c\0t\0>\0", 36));
  const std::uint64_t slept_before = run.machine.clock().slept_ms();
  ASSERT_EQ(show_password_page(run.session, u"Secret-42"), PageAnswer::kNext);
  EXPECT_GE(run.machine.clock().slept_ms() - slept_before, 500u);  // the wait after the wrong one
  ASSERT_EQ(show_document_pages(run.session, true), PageAnswer::kNext);

  const auto& transcript = run.machine.ui().transcript();
  ASSERT_EQ(transcript.size(), 4u);
  EXPECT_EQ(transcript[0].kind, "page EnterPassword");
  EXPECT_EQ(transcript[1].kind, "message box");
  EXPECT_NE(transcript[1].text.find(u"The password is not correct."), std::u16string::npos);
  EXPECT_EQ(transcript[2].kind, "page EnterPassword");
  EXPECT_EQ(transcript[3].kind, "page LicenseDlg2");
  // The licence text has its macros replaced.
  EXPECT_NE(transcript[3].text.find(u"Terms of Sample Product"), std::u16string::npos);
}

TEST(WizardPages, CaseMattersInThePassword) {
  WizardRun run("password_case", R"(
[answer]
kind = EnterPassword
set 1019 = secret
button = next
[answer]
kind = EnterPassword
button = cancel
)");
  EXPECT_EQ(show_password_page(run.session, u"Secret"), PageAnswer::kCancel);
  EXPECT_EQ(run.shown(), (std::vector<std::string>{"page EnterPassword", "message box", "page EnterPassword"}));
}

TEST(WizardPages, DecliningTheLicenceEndsWithTwelve) {
  WizardRun run("decline", R"(
[answer]
kind = LicenseDlg3
button = 1003
)");
  run.session.settings.dialog_styles.licence = 7;  // any unknown style shows the banner look
  run.session.settings.licence_texts.push_back("{\\rtf1\\ansi Terms\\par}");
  const int code = run.exit_code_of([&] {
    if (show_document_pages(run.session, true) != PageAnswer::kNext) abort_run(run.session, false);
  });
  EXPECT_EQ(code, 12);
  const auto kinds = run.shown();
  ASSERT_EQ(kinds.size(), 2u);
  EXPECT_EQ(kinds[0], "page LicenseDlg3");
  EXPECT_EQ(kinds[1], "message box");  // the cancel notice
  EXPECT_NE(run.machine.ui().transcript()[1].text.find(u"was cancelled"), std::u16string::npos);
}

TEST(WizardPages, EmptyLicenceEntriesAreSkippedAndMessage63Follows) {
  WizardRun run("licence_list", "");
  run.session.settings.licence_texts = {"", std::string("A\0", 2)};
  run.session.settings.messages.texts[63] = u"Extra terms";
  ASSERT_EQ(show_document_pages(run.session, true), PageAnswer::kNext);
  EXPECT_EQ(run.shown(), (std::vector<std::string>{"page LicenseDlg2", "page LicenseDlg2"}));
}

// The progress page's cancel button, pressed during the run.
class CancellingUi : public platform::sim::SimUi {
 public:
  bool open_progress(const platform::ProgressRequest& request) override {
    opened = request;
    return true;
  }
  bool take_progress_cancel() override { return std::exchange(cancel_pressed, false); }
  void close_progress() override { ++closed; }

  bool cancel_pressed = false;
  int closed = 0;
  platform::ProgressRequest opened;
};

TEST(WizardPages, CancelOnTheProgressPageAsksAndEndsWithTwelve) {
  for (const char* answer : {"no", "yes"}) {
    WizardRun run(std::string("progress_") + answer, "");
    CancellingUi ui;
    std::vector<platform::sim::ScriptedAnswer> answers;
    std::string error;
    ASSERT_TRUE(platform::sim::read_answers(std::string("[answer]\nkind = question\nbutton = ") + answer + "\n", answers, error));
    ui.start(answers, "");
    platform::System& base = run.machine.system();
    platform::System system{base.files, base.registry, base.shell, base.processes, ui, base.info, base.clock};
    engine::Session session(system);
    session.settings = run.session.settings;
    session.derived = run.session.derived;
    session.message = run.session.message;
    session.settings.product_flags |= std::uint64_t{1} << package::pf::kProgressWindow;

    ProgressPage page(session);
    ASSERT_TRUE(page.open(false));
    EXPECT_EQ(ui.opened.page.template_name, "ProgressDlg2");
    ui.cancel_pressed = true;
    const int code = run.exit_code_of([&] { page.set_status(113); });
    ASSERT_GE(ui.transcript().size(), 1u);
    EXPECT_EQ(ui.transcript()[0].kind, "message box");
    EXPECT_NE(ui.transcript()[0].text.find(u"Do you really want to cancel"), std::u16string::npos);
    if (std::string(answer) == "yes") {
      EXPECT_EQ(code, 12);
      EXPECT_EQ(ui.closed, 1);  // the exit routine closed the page
    } else {
      EXPECT_EQ(code, -100);  // the run goes on
      EXPECT_EQ(ui.closed, 0);
    }
  }
}

TEST(WizardPages, ProgressCancelIsDisabledWhileUninstalling) {
  WizardRun run("progress_uninstall", "");
  CancellingUi ui;
  ui.start({}, "");
  platform::System& base = run.machine.system();
  platform::System system{base.files, base.registry, base.shell, base.processes, ui, base.info, base.clock};
  engine::Session session(system);
  session.settings = run.session.settings;
  session.message = run.session.message;
  session.settings.product_flags |= std::uint64_t{1} << package::pf::kProgressWindow;
  session.settings.dialog_styles.progress = 2;
  ProgressPage page(session);
  ASSERT_TRUE(page.open(true));
  const auto& controls = ui.opened.page.controls;
  auto cancel = std::find_if(controls.begin(), controls.end(), [](const auto& c) { return c.id == id::kCancel; });
  ASSERT_NE(cancel, controls.end());
  EXPECT_FALSE(cancel->enabled);
  EXPECT_TRUE(ui.opened.page.look.enlarge_heading);
  EXPECT_EQ(ui.opened.page.caption, u"Sample Product Uninstall");  // message 55 in the banner look
  ui.cancel_pressed = true;
  page.set_status(68);  // ignored: no question while uninstalling
  EXPECT_TRUE(ui.transcript().empty());
}

TEST(WizardPages, MinimumStatusTimeIsWaitedInSteps) {
  WizardRun run("status_time", "");
  run.session.settings.min_status_time = 320;
  ProgressPage page(run.session);
  page.set_status(113);
  const std::uint64_t before = run.machine.clock().slept_ms();
  page.honour_minimum_time();
  const std::uint64_t slept = run.machine.clock().slept_ms() - before;
  EXPECT_GE(slept, 300u);
  EXPECT_LE(slept, 350u);
  EXPECT_EQ(slept % 50, 0u);
  run.session.modes.automatic = true;
  page.set_status(113);
  const std::uint64_t automatic_before = run.machine.clock().slept_ms();
  page.honour_minimum_time();
  EXPECT_EQ(run.machine.clock().slept_ms(), automatic_before);
}

TEST(WizardPages, FolderPageRefusesADriveRootAndTakesASubfolder) {
  WizardRun run("folder", R"(
[answer]
kind = ChooseDirDlg4
set 1015 = C:\
button = next
[answer]
kind = error
button = ok
[answer]
kind = ChooseDirDlg4
set 1015 = C:\Tools\Sample\
button = next
)");
  run.session.settings.dialog_styles.choose_folder = 3;
  run.session.settings.product_flags2 |= 1u << package::pf2::kShowDiskSpace;
  std::u16string folder = u"C:\\Program Files\\Sample Product";
  SystemFolderCheckHost host(run.session);
  FolderPageOptions options;
  options.base_space = 100000;
  options.file_sizes = {1, 5000};
  ASSERT_EQ(show_folder_page(run.session, folder, options, host), PageAnswer::kNext);
  EXPECT_EQ(folder, u"C:\\Tools\\Sample");
  const auto& transcript = run.machine.ui().transcript();
  ASSERT_EQ(transcript.size(), 3u);
  EXPECT_NE(transcript[0].text.find(u"Space required:"), std::u16string::npos);
  EXPECT_NE(transcript[1].text.find(u"not the root of a drive"), std::u16string::npos);
  // The folder was made, with its parent.
  auto attributes = run.machine.system().files.attributes(u"C:\\Tools\\Sample");
  ASSERT_TRUE(attributes);
  EXPECT_TRUE(*attributes & platform::attr::kDirectory);
}

// Check 7 reads the volume's own flags: a read-only volume is refused with
// message 96 though its free space can be read.
TEST(WizardPages, FolderCheckRefusesAReadOnlyVolume) {
  WizardRun run("read_only_volume", "", [](platform::sim::MachineConfig& config) {
    platform::sim::DriveConfig drive;
    drive.read_only = true;
    config.drives['D'] = drive;
  });
  SystemFolderCheckHost host(run.session);
  EXPECT_EQ(host.volume_read_only(u"D:\\"), std::optional<bool>(true));
  EXPECT_EQ(host.volume_read_only(u"C:\\"), std::optional<bool>(false));
  EXPECT_EQ(host.volume_read_only(u"Q:\\"), std::nullopt);
  const FolderCheckResult refused = check_install_folder(u"D:\\Product", {}, host, run.session.message);
  EXPECT_FALSE(refused.accepted);
  const auto& transcript = run.machine.ui().transcript();
  ASSERT_EQ(transcript.size(), 1u);
  EXPECT_NE(transcript[0].text.find(u"cannot be installed on drive D:"), std::u16string::npos);
  EXPECT_TRUE(check_install_folder(u"C:\\Product", {}, host, run.session.message).accepted);
}

TEST(WizardPages, StartMenuNameWithAColonIsNotTaken) {
  WizardRun run("start_menu", R"(
[answer]
kind = StartMenuDlg
set 1015 = Tools: Sample
button = next
[answer]
kind = StartMenuDlg
set 1015 = Company\Sample
button = next
)");
  run.session.settings.dialog_styles.start_menu = 1;
  std::u16string name = u"Sample Product";
  ASSERT_EQ(show_start_menu_page(run.session, name), PageAnswer::kNext);
  EXPECT_EQ(name, u"Company\\Sample");
  EXPECT_EQ(run.shown(), (std::vector<std::string>{"page StartMenuDlg", "page StartMenuDlg"}));

  // The page's live check: the next button follows the text as it is typed.
  RecordingUi ui;
  ui.start({}, "");
  platform::System& base = run.machine.system();
  platform::System system{base.files, base.registry, base.shell, base.processes, ui, base.info, base.clock};
  engine::Session session(system);
  session.settings = run.session.settings;
  session.message = run.session.message;
  std::u16string typed = u"Sample";
  ASSERT_EQ(show_start_menu_page(session, typed), PageAnswer::kNext);
  ASSERT_EQ(ui.requests.size(), 1u);
  const platform::PageRequest& request = ui.requests[0];
  ASSERT_TRUE(request.on_edit);
  ASSERT_TRUE(request.browse);
  EXPECT_EQ(request.browse->root_csidl, 0x02);  // the user's Programs folder
  for (auto [text, enabled] : {std::pair{u"Tools: Sample", false}, {u"Tools\\Sample", true}, {u"", true}}) {
    const auto changes = request.on_edit(1015, text);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].id, 1001);
    EXPECT_EQ(changes[0].enabled, enabled);
  }
}

TEST(WizardPages, SummaryOffersOnlyWhatIsSet) {
  WizardRun run("summary", R"(
[answer]
kind = SummaryDlg
check 1027 = 1
button = next
)");
  run.session.settings.dialog_styles.summary = 1;
  SummaryOffer offer;
  offer.launch_program = true;
  offer.show_log = true;
  SummaryChoice choice = show_summary(run.session, offer);
  EXPECT_TRUE(choice.launch_program);
  EXPECT_TRUE(choice.show_log);
  EXPECT_FALSE(choice.open_document);

  // With a restart pending the box takes the page's place.
  offer.restart_pending = true;
  choice = show_summary(run.session, offer);
  EXPECT_FALSE(choice.launch_program);
  EXPECT_EQ(run.shown(), (std::vector<std::string>{"page SummaryDlg", "message box"}));
}

TEST(WizardPages, GreetingStyleZeroIsAMessageBox) {
  WizardRun run("greeting", "[answer]\nkind = box\nbutton = cancel\n");
  EXPECT_EQ(show_greeting_page(run.session, 0, u""), PageAnswer::kCancel);
  EXPECT_EQ(show_greeting_page(run.session, 2, u"https://example.com/info"), PageAnswer::kNext);
  EXPECT_EQ(run.shown(), (std::vector<std::string>{"message box", "page GreetingDlg3"}));
  EXPECT_NE(run.machine.ui().transcript()[1].text.find(u"<a href=\"https://example.com/info\">"), std::u16string::npos);
  // The banner look's caption is the greeting's first line: a caption
  // cannot show line breaks.
  EXPECT_EQ(run.machine.ui().transcript()[1].caption, u"Welcome to the installation of Sample Product.");
}

TEST(WizardPages, LanguagePagePreselectsTheSystemLanguage) {
  WizardRun run("language", "[answer]\nkind = LanguageDlg2\nbutton = next\n");
  package::MessageTable& table = run.session.settings.messages;
  const std::vector<std::u16string> english = table.texts;
  table.languages = {u"English", u"Deutsch", u"Français"};
  table.texts.clear();
  for (const auto& text : english)
    for (int l = 0; l < 3; ++l) table.texts.push_back(text);
  EXPECT_EQ(show_language_page(run.session, u"Deutsch (Deutschland)"), PageAnswer::kNext);
  EXPECT_EQ(table.chosen_language, 1u);
  EXPECT_EQ(preselected_language(table.languages, u"Italiano"), 0u);
  EXPECT_EQ(preselected_language(std::vector<std::u16string>{u"Dansk", u"Suomi"}, u"Italiano"), 0u);
  EXPECT_EQ(preselected_language(std::vector<std::u16string>{u"Dansk", u"English", u"Suomi"}, u" Suomi "), 2u);
}

// --- The progress page as the transcript shows it, cancelled by answers -------

// Opens the progress page of `run` and goes through ten files as the file
// phase does: a status text and a bar position each, with window messages
// let through after every file.
void run_files_on_the_progress_page(WizardRun& run) {
  run.session.settings.product_flags |= std::uint64_t{1} << package::pf::kProgressWindow;
  ProgressPage page(run.session);
  ASSERT_TRUE(page.open(false));
  for (int file = 1; file <= 10; ++file) {
    page.set_status_text(u"Installing C:\\Sample\\file" + support::utf8_to_utf16(std::to_string(file)) + u".dll");
    page.set_position(file * 10);
    page.pump();
  }
  page.close();
}

TEST(WizardPages, ProgressPageCallsAreInTheTranscript) {
  WizardRun run("progress_transcript", "");
  run.session.settings.product_flags |= std::uint64_t{1} << package::pf::kProgressWindow;
  run.session.settings.progress_page_value = 3 + 24;
  ProgressPage page(run.session);
  ASSERT_TRUE(page.open(false));
  page.set_status_text(u"Copying files\r\nto C:\\Sample");
  page.set_position(40);
  page.set_position(250);  // clamped to the bar's end
  page.close();
  EXPECT_EQ(run.machine.ui().transcript_text(),
            "== progress page ProgressDlg2\n"
            "caption: Installing...\n"
            "control 1009: Installing Sample Product\n"
            "control 1007:\n"
            "control 1011:\n"
            "control 1003: Cancel\n"
            "placement: 27\n"
            "\n"
            "== progress status: Copying files\n"
            "                    to C:\\Sample\n"
            "== progress position: 40\n"
            "== progress position: 100\n"
            "== progress page closed\n");
  EXPECT_FALSE(run.machine.ui().progress_open());
}

TEST(WizardPages, AnswersCancelTheProgressPageAtAPointOfTheRun) {
  const std::string yes = "[answer]\nkind = question\nbutton = yes\n";
  struct Case {
    const char* name;
    std::string answers;
    int exit_code;            // -100: the run went on to its end
    std::string pressed;      // why the cancel was pressed; "" = never
    std::u16string last_position;  // the last position the page was given
  } cases[] = {
      {"at_position", "[answer]\nkind = progress\nposition = 40\n" + yes, 12, "position 40", u"40"},
      {"at_status", "[answer]\nkind = progress\ntext = FILE7.dll\nbutton = cancel\n" + yes, 12,
       "status contains \"FILE7.dll\"", u"60"},
      {"both_conditions", "[answer]\nkind = progress\ntext = file9\nposition = 50\n" + yes, 12,
       "status contains \"file9\", position 80", u"80"},
      {"named_page", "[answer]\nkind = ProgressDlg2\n" + yes, 12, "page open", u""},
      {"other_page", "[answer]\nkind = ProgressDlg4\n" + yes, -100, "", u"100"},
      {"caption", "[answer]\nkind = progress\ncaption = installing\nposition = 20\n" + yes, 12, "position 20", u"20"},
      {"answered_no", "[answer]\nkind = progress\nposition = 40\n[answer]\nkind = question\nbutton = no\n", -100,
       "position 40", u"100"},
      {"question_by_default", "[answer]\nkind = progress\nposition = 40\n", -100, "position 40", u"100"},
  };
  for (const Case& c : cases) {
    WizardRun run(std::string("progress_cancel_") + c.name, c.answers);
    const int code = run.exit_code_of([&] { run_files_on_the_progress_page(run); });
    EXPECT_EQ(code, c.exit_code) << c.name;
    std::vector<std::string> presses;
    std::u16string last_position;
    int questions = 0;
    for (const auto& entry : run.machine.ui().transcript()) {
      if (entry.kind == "progress cancel") presses.push_back(entry.answer);
      if (entry.kind == "progress position") last_position = entry.text;
      if (entry.kind == "message box" && entry.text.find(u"Do you really want to cancel") != std::u16string::npos)
        ++questions;
    }
    EXPECT_EQ(presses, c.pressed.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.pressed}) << c.name;
    EXPECT_EQ(questions, c.pressed.empty() ? 0 : 1) << c.name;
    EXPECT_EQ(last_position, c.last_position) << c.name;
    // Whether cancelled or finished, the page is closed at the end: by the
    // run, or by the exit routine after the abort notice.
    EXPECT_EQ(run.shown().back(), "progress closed") << c.name;
    EXPECT_FALSE(run.machine.ui().progress_open()) << c.name;
    if (c.exit_code == 12) {
      EXPECT_TRUE(contains(run.shown(), "message box")) << c.name;
      EXPECT_NE(run.machine.ui().transcript_text().find("was cancelled"), std::string::npos) << c.name;
    }
  }
}

TEST(WizardPages, ProgressAnswersThatCannotWork) {
  for (const char* text : {"[answer]\nkind = progress\nbutton = next\n", "[answer]\nkind = ProgressDlg3\nbutton = yes\n",
                           "[answer]\nkind = question\nposition = 10\n", "[answer]\nkind = progress\nposition = 4x\n",
                           "[answer]\nkind = progress\nposition =\n"}) {
    std::vector<platform::sim::ScriptedAnswer> answers;
    std::string error;
    EXPECT_FALSE(platform::sim::read_answers(text, answers, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
}  // namespace hs::wizard
