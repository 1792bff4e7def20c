// The user interface of the simulated machine: every call the engine makes
// to its user interface is written to a transcript, and every message box,
// page and progress page is answered from a script.
//
// The answers script is text, one block per answer:
//
//   # comment
//   [answer]
//   kind = question        # box, page, error, warning, question,
//                          # information, a page template name,
//                          # or progress (see below)
//   caption = Setup        # matches when the caption contains this
//   text = overwrite       # matches when the text contains this
//   button = no            # ok, cancel, yes, no, retry, abort, ignore,
//                          # next (1), back, or a button id for pages
//   set 1001 = D:\Target   # page: the text of control 1001
//   check 1002 = 1         # page: the state of control 1002
//   repeat = yes           # the answer is not used up
//
// (The remarks after "#" explain the lines here; in a script a comment
// takes a whole line.) Each box or page takes the first unused answer
// whose conditions all hold (texts compared without regard to case). When
// none does, a box takes its default button and a page is left with Next
// (button 1) as it came.
//
// An answer of kind "progress" (or the progress page's template name, such
// as "ProgressDlg2") presses the progress page's cancel button, once its
// conditions hold while the page is open:
//
//   [answer]
//   kind = progress
//   text = Copying         # when a status text contains this
//   position = 40          # when the bar has reached 40 (or more)
//   caption = Setup        # the page's caption contains this
//   button = cancel        # the only button there is; may be left out
//
// The conditions given must hold together, for the last status text and
// bar position; they are checked whenever either changes. With no
// condition the button is pressed as soon as the page is open. The
// engine then asks whether to cancel (a question box, default no), which a
// further answer such as "kind = question, button = yes" answers.
//
// The transcript is text. Every entry starts with "== " at the start of a
// line. Entries with details put them on "name: value" lines below and end
// with an empty line; texts of several lines go on indented lines under
// the first. One-line entries carry their value on the "==" line:
//
//   == message box                     caption, icon, buttons, the yes and
//                                      no labels, text, answer
//   == page LicenseDlg2                caption, "control ID [state]: text"
//                                      ("(disabled)", "(hidden)" after the
//                                      id when so), "item: " list entries,
//                                      the set/check lines used, answer
//   == progress page ProgressDlg2      caption and controls as a page,
//                                      placement
//   == progress status: Copying files  a status text
//   == progress position: 40           a bar position
//   == progress cancel pressed: text contains "Copying"
//                                      a scripted press and what made it
//   == progress page closed
//   == backdrop                        caption, title, copyright,
//                                      background, bitmap, window
//   == backdrop repainted              title and copyright as now painted
//   == backdrop destroyed
//   == sound: 3528 bytes, RIFF WAVE    the start sound played
//
// "(default)" after an answer means no scripted answer matched.
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
  std::string kind;     // "" = any box or page; "progress" or "progressdlg...": the progress page
  std::u16string caption;  // substring; "" = any
  std::u16string text;     // substring of a box's or page's texts, or of a status text; "" = any
  std::string button;   // as written; "" = the default
  std::vector<ControlChange> controls;  // set/check lines, in order
  std::optional<int> position;  // progress: pressed once the bar is at this position or beyond
  bool repeat = false;
  bool used = false;

  // Whether this answer presses the progress page's cancel button.
  bool is_progress() const;
};

// Reads an answers script; false with `error` naming the line when a line
// cannot be read.
bool read_answers(std::string_view text, std::vector<ScriptedAnswer>& answers, std::string& error);

// What was shown and how it was answered.
struct TranscriptEntry {
  // "message box", "page <template>", "progress page <template>",
  // "progress status", "progress position", "progress cancel",
  // "progress closed", "backdrop", "backdrop repainted",
  // "backdrop destroyed" or "sound".
  std::string kind;
  std::u16string caption;     // box, page, progress page, backdrop: the caption
  // Box: its text. Page, progress page: the texts of the controls, one a
  // line. Status: the text. Position: the number. Backdrop: the title.
  // Sound: the size in bytes.
  std::u16string text;
  std::string answer;         // "yes", "button 1", ...; for a cancel what pressed it
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

  // The progress page: shown in the transcript; its cancel button is
  // pressed by "progress" answers.
  bool open_progress(const ProgressRequest& request) override;
  void set_progress_text(const std::u16string& text) override;
  void set_progress_position(int percent) override;
  bool take_progress_cancel() override;
  void close_progress() override;

  bool create_backdrop(const Backdrop& backdrop) override;
  void repaint_backdrop(const Backdrop& backdrop) override;
  void destroy_backdrop() override;

  void play_sound(const Bytes& wav) override;

  // Whether the progress page is open, and what it shows now.
  bool progress_open() const { return progress_open_; }
  const std::u16string& progress_text() const { return progress_text_; }
  int progress_position() const { return progress_position_; }
  // Whether a backdrop exists, and the look it was last painted in.
  bool backdrop_open() const { return backdrop_open_; }
  const Backdrop& backdrop() const { return backdrop_; }

  const std::vector<TranscriptEntry>& transcript() const { return entries_; }
  // The transcript as written to its file.
  const std::string& transcript_text() const { return text_; }

 private:
  ScriptedAnswer* take_answer(const std::string& kind_names, const std::u16string& caption, const std::u16string& text);
  void write(const std::string& block);
  void record(TranscriptEntry entry, const std::string& block);
  // Presses cancel when a progress answer's conditions hold now.
  void check_progress_answers();

  std::vector<ScriptedAnswer> answers_;
  std::string transcript_path_;
  std::vector<TranscriptEntry> entries_;
  std::string text_;

  bool progress_open_ = false;
  std::string progress_kind_;     // template name of the open page, in lower case
  std::u16string progress_caption_;
  std::u16string progress_text_;  // last status text
  int progress_position_ = 0;     // last bar position
  bool cancel_pressed_ = false;   // pressed, not yet taken by the engine
  bool backdrop_open_ = false;
  Backdrop backdrop_;
};

}  // namespace hs::platform::sim
