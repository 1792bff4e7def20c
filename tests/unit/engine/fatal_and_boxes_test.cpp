// The fatal-error path, the exit routine and the engine's message box, run
// against the simulated machine.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <utility>
#include <vector>
#include <string>

#include "engine/exit.h"
#include "engine/fatal.h"
#include "package/damage.h"
#include "platform/sim/sim_machine.h"
#include "support/message_box.h"
#include "support/text.h"

namespace hs::engine {
namespace {

namespace fs = std::filesystem;
using platform::BoxButtons;
using platform::BoxIcon;
using platform::BoxResult;
using platform::MessageBoxRequest;
using platform::sim::ProcessExit;
using platform::sim::SimMachine;

class EngineBoxes : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(HS_BINARY_DIR) / "test-machines" /
            (std::string("engine-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
  }
  void start(const std::string& answers = "") {
    platform::sim::RunOptions options;
    options.answers = answers;
    machine_ = std::make_unique<SimMachine>(root_, options);
    session_ = std::make_unique<Session>(machine_->system());
  }
  // Runs `body` to its end of the process and returns the exit code.
  template <typename F>
  int exit_code_of(F body) {
    try {
      body();
    } catch (const ProcessExit& e) {
      return e.code;
    }
    ADD_FAILURE() << "the process did not end";
    return 0;
  }
  const auto& transcript() { return machine_->ui().transcript(); }

  fs::path root_;
  std::unique_ptr<SimMachine> machine_;
  std::unique_ptr<Session> session_;
};

MessageBoxRequest question() {
  MessageBoxRequest request;
  request.text = u"Overwrite?";
  request.caption = u"Setup";
  request.icon = BoxIcon::kQuestion;
  request.buttons = BoxButtons::kYesNoCancel;
  request.default_button = 1;
  return request;
}

TEST_F(EngineBoxes, FirstFatalErrorWinsAndEndsWithMinusOne) {
  start();
  std::vector<std::u16string> told;
  add_at_exit_notification(*session_, [&](const std::u16string& m) {
    told.push_back(m);
    fatal_error(*session_, std::string_view("second"));  // only ends the process
  });
  EXPECT_EQ(-1, exit_code_of([&] { fatal_error(*session_, std::string_view("first \xe9")); }));
  ASSERT_EQ(1u, told.size());
  EXPECT_EQ(u"first \u00e9", told[0]);  // 8-bit messages are code page 1252
  // The second fatal error ended the process before the first one's box.
  EXPECT_TRUE(transcript().empty());
}

TEST_F(EngineBoxes, FatalErrorShowsAnErrorBoxWithTheErrorCaption) {
  start();
  session_->message = [](int n) { return n == 21 ? std::u16string(u"Setup Error") : std::u16string(); };
  EXPECT_EQ(-1, exit_code_of([&] { fatal_error(*session_, std::u16string_view(u"broken")); }));
  ASSERT_EQ(1u, transcript().size());
  EXPECT_EQ(u"Setup Error", transcript()[0].caption);
  EXPECT_EQ(u"broken", transcript()[0].text);
  EXPECT_NE(std::string::npos, machine_->ui().transcript_text().find("icon: error"));
}

TEST_F(EngineBoxes, FatalErrorInSilentModeShowsNothing) {
  start();
  session_->modes.silent = session_->modes.automatic = true;
  EXPECT_EQ(-1, exit_code_of([&] { fatal_error(*session_, std::string_view("x")); }));
  EXPECT_TRUE(transcript().empty());
}

TEST_F(EngineBoxes, AtMostOneHundredNotifications) {
  start();
  int calls = 0;
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(add_at_exit_notification(*session_, [&](const std::u16string&) { ++calls; }));
  EXPECT_FALSE(add_at_exit_notification(*session_, [&](const std::u16string&) { ++calls; }));
  session_->modes.silent = true;
  exit_code_of([&] { fatal_error(*session_, std::string_view("x")); });
  EXPECT_EQ(100, calls);
}

TEST_F(EngineBoxes, ExitRoutineClosesInOrderAndEndsNormally) {
  start();
  std::string order;
  session_->exit_hooks.close_progress = [&] { order += "p"; };
  session_->exit_hooks.close_backdrop = [&] { order += "b"; };
  session_->exit_hooks.stop_worker = [&] { order += "w"; };
  session_->exit_hooks.closing_cleanup = [&] { order += "c"; };
  try {
    exit_run(*session_, 12);
  } catch (const ProcessExit& e) {
    EXPECT_EQ(12, e.code);
    EXPECT_FALSE(e.terminated);
  }
  EXPECT_EQ("pbwc", order);
}

// Whatever a closing step throws, of any type, the remaining steps are
// skipped and the process is terminated with the run's code.
TEST_F(EngineBoxes, ExitRoutineTerminatesWhenAnythingEscapesAStep) {
  const std::vector<std::pair<const char*, std::function<void()>>> throwers = {
      {"std::exception", [] { throw std::runtime_error("gone"); }},
      {"int", [] { throw 5; }},
      {"text", [] { throw "gone"; }},
  };
  for (const auto& [name, thrower] : throwers) {
    SCOPED_TRACE(name);
    start();
    std::string order;
    session_->exit_hooks.close_progress = [&] { order += "p"; };
    session_->exit_hooks.close_backdrop = [&, thrower = thrower] { order += "b"; thrower(); };
    session_->exit_hooks.stop_worker = [&] { order += "w"; };
    bool ended = false;
    try {
      exit_run(*session_, 12);
    } catch (const ProcessExit& e) {
      ended = true;
      EXPECT_EQ(12, e.code);
      EXPECT_TRUE(e.terminated);
    } catch (...) {
      ADD_FAILURE() << "the error escaped the exit routine";
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ("pb", order);
  }
}

// The damage report puts its text into the failure summary as it is, the
// same text the box shows, with nothing behind it.
TEST_F(EngineBoxes, DamageReportAddsExactlyItsTextToTheFailureSummary) {
  start();
  session_->modes.silent = true;
  session_->failure_summary = u"before\r\n";
  EXPECT_EQ(2, exit_code_of([&] { package::report_damage(*session_, 60); }));
  const std::u16string text = package::damage_report_text(*session_, 60, 0, u"");
  EXPECT_EQ(u"before\r\n" + text, session_->failure_summary);
  EXPECT_FALSE(text.ends_with(u"\r\n"));
}

TEST_F(EngineBoxes, RunModesDecideWhatTheBoxShows) {
  struct Case {
    const char* name;
    bool automatic, silent;
    BoxResult expected;
    bool shown;
  };
  const Case cases[] = {
      {"interactive: the script answers", false, false, BoxResult::kYes, true},
      {"automatic: the default button", true, false, BoxResult::kNo, false},
      {"silent: OK without showing", true, true, BoxResult::kOk, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    start("[answer]\nkind = question\nbutton = yes\n");
    session_->modes.automatic = c.automatic;
    session_->modes.silent = c.silent;
    EXPECT_EQ(c.expected, support::message_box(*session_, question()));
    EXPECT_EQ(c.shown, !transcript().empty());
  }
}

TEST_F(EngineBoxes, ErrorBoxInAutomaticModeOnlyWhenThePackageAsks) {
  for (bool asked : {false, true}) {
    start();
    session_->modes.automatic = true;
    session_->errors_in_automatic_mode = asked;
    support::error_box(*session_, u"failed");
    EXPECT_EQ(asked, transcript().size() == 1u);
  }
}

TEST(FormatMessage, FillsPlaceholdersInOrder) {
  using support::format_text;
  EXPECT_EQ(u"This product needs a 64-bit system.", format_text(u"This product needs a %d-bit system.", {u"64"}));
  EXPECT_EQ(u"a=1 b=two 100%", format_text(u"a=%u b=%s 100%%", {u"1", u"two"}));
  EXPECT_EQ(u"[  x] [%s] 5%!", format_text(u"[%3s] [%s] 5%!", {u"  x"}));
  EXPECT_EQ(u"%", format_text(u"%", {}));
}

}  // namespace
}  // namespace hs::engine
