// The user interface of the simulated machine: every message box and page
// is answered from a script and written to a transcript.
//
// The answers script is text, one block per answer:
//
//   # comment
//   [answer]
//   kind = question        # box, page, error, warning, question,
//                          # information, or a page template name
//   caption = Setup        # matches when the caption contains this
//   text = overwrite       # matches when the text contains this
//   button = no            # ok, cancel, yes, no, retry, abort, ignore,
//                          # next (1), back, or a button id for pages
//   set 1001 = D:\Target   # page: the text of control 1001
//   check 1002 = 1         # page: the state of control 1002
//   repeat = yes           # the answer is not used up
//
// Each box or page takes the first unused answer whose conditions all hold
// (texts compared without regard to case). When none does, a box takes its
// default button and a page is left with Next (button 1) as it came.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace hs::platform::sim {

// A page control an answer changes.
struct ControlChange {
  int id = 0;
  bool sets_text = true;  // "set": the text; "check": the state
  std::u16string text;
  int state = 0;
};

// One scripted answer.
struct ScriptedAnswer {
  std::string kind;     // "" = any
  std::u16string caption;  // substring; "" = any
  std::u16string text;     // substring; "" = any
  std::string button;   // as written; "" = the default
  std::vector<ControlChange> controls;  // set/check lines, in order
  bool repeat = false;
  bool used = false;
};

// Reads an answers script; false with `error` naming the line when a line
// cannot be read.
bool read_answers(std::string_view text, std::vector<ScriptedAnswer>& answers, std::string& error);

// What was shown and how it was answered.
struct TranscriptEntry {
  std::string kind;           // "message box" or "page <template>"
  std::u16string caption;
  std::u16string text;        // box text; for pages the texts of the controls
  std::string answer;         // "yes", "button 1", ...
  bool by_default = false;    // no scripted answer matched
};

class SimUi : public UserInterface {
 public:
  // `transcript_path`: a host file the transcript is appended to, "-" for
  // standard output, "" for memory only.
  void start(std::vector<ScriptedAnswer> answers, std::string transcript_path);

  BoxResult message_box(const MessageBoxRequest& request) override;
  PageResult show_page(const PageRequest& request) override;
  void pump_messages() override {}
  // The engine runs in this process, whose icon stands for the installer's.
  bool load_application_icons() override { return true; }
  bool bind_window_subclassing() override { return true; }

  const std::vector<TranscriptEntry>& transcript() const { return entries_; }
  // The transcript as written to its file.
  const std::string& transcript_text() const { return text_; }

 private:
  ScriptedAnswer* take_answer(const std::string& kind_names, const std::u16string& caption, const std::u16string& text);
  void write(const std::string& block);

  std::vector<ScriptedAnswer> answers_;
  std::string transcript_path_;
  std::vector<TranscriptEntry> entries_;
  std::string text_;
};

}  // namespace hs::platform::sim
