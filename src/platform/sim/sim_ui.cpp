#include "platform/sim/sim_ui.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <utility>

#include "platform/sim/config_text.h"
#include "support/text.h"

namespace hs::platform::sim {

namespace {

bool contains(const std::u16string& haystack, const std::u16string& needle) {
  return support::to_upper(haystack).find(support::to_upper(needle)) != std::u16string::npos;
}

const char* icon_name(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kError: return "error";
    case BoxIcon::kWarning: return "warning";
    case BoxIcon::kQuestion: return "question";
    case BoxIcon::kInformation: return "information";
    default: return "none";
  }
}

const char* buttons_name(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::kOk: return "ok";
    case BoxButtons::kOkCancel: return "ok cancel";
    case BoxButtons::kYesNo: return "yes no";
    case BoxButtons::kYesNoCancel: return "yes no cancel";
    case BoxButtons::kRetryCancel: return "retry cancel";
    case BoxButtons::kAbortRetryIgnore: return "abort retry ignore";
  }
  return "ok";
}

const char* result_name(BoxResult result) {
  switch (result) {
    case BoxResult::kOk: return "ok";
    case BoxResult::kCancel: return "cancel";
    case BoxResult::kAbort: return "abort";
    case BoxResult::kRetry: return "retry";
    case BoxResult::kIgnore: return "ignore";
    case BoxResult::kYes: return "yes";
    case BoxResult::kNo: return "no";
  }
  return "ok";
}

std::optional<BoxResult> result_from_name(const std::string& name) {
  for (BoxResult r : {BoxResult::kOk, BoxResult::kCancel, BoxResult::kAbort, BoxResult::kRetry, BoxResult::kIgnore,
                      BoxResult::kYes, BoxResult::kNo}) {
    if (name == result_name(r)) return r;
  }
  return std::nullopt;
}

// Page button ids by name.
std::optional<int> page_button(const std::string& name) {
  if (name == "next" || name == "ok") return 1;
  if (name == "cancel") return 2;
  if (name == "back") return 12324;  // the wizard's back button
  if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
    return std::stoi(name);
  }
  return std::nullopt;
}

// A text on a field line; continuation lines of a multi-line text are
// indented under the first.
std::string field(const std::string& name, const std::u16string& value) {
  std::string text = support::utf16_to_utf8(value);
  if (text.empty()) return name + ":\n";
  std::string out = name + ": ";
  const std::string indent(out.size(), ' ');
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
    if (text[i] == '\n') out += indent;
  }
  return out + "\n";
}

// A COLORREF (0x00BBGGRR) as the HTML-style "#RRGGBB".
std::string color_name(std::uint32_t color) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  return text;
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// A backdrop text and how it is painted.
std::string backdrop_text(const std::string& name, const BackdropText& t) {
  std::string out = field(name, t.text);
  out += std::string(name.size() + 2, ' ') + "(position " + std::to_string(t.position) + ", " + number(t.points) +
         " points, " + color_name(t.color);
  if (t.shadow) out += ", shadow " + std::to_string(t.shadow);
  out += ", fonts " + support::utf16_to_utf8(t.fonts) + ")\n";
  return out;
}

// The lines of a page's controls: "control ID [state] (disabled): text".
std::string control_lines(const std::vector<PageControl>& controls) {
  std::string out;
  for (const auto& control : controls) {
    std::string name = "control " + std::to_string(control.id);
    if (control.state) name += " [" + std::to_string(control.state) + "]";
    if (!control.enabled) name += " (disabled)";
    if (!control.visible) name += " (hidden)";
    out += field(name, control.text);
  }
  return out;
}

}  // namespace

bool read_answers(std::string_view text, std::vector<ScriptedAnswer>& answers, std::string& error) {
  std::istringstream in{std::string(text)};
  std::string line;
  int number = 0;
  ScriptedAnswer* current = nullptr;
  while (std::getline(in, line)) {
    ++number;
    const std::string where = "answers line " + std::to_string(number) + ": ";
    std::string t = trim(line);
    if (t.empty() || t[0] == '#' || t[0] == ';') continue;
    if (lower(t) == "[answer]") {
      answers.emplace_back();
      current = &answers.back();
      continue;
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string::npos) return error = where + "'key = value' expected", false;
    if (!current) return error = where + "[answer] expected first", false;
    const std::string key = lower(trim(std::string_view(t).substr(0, eq)));
    const std::string value = trim(std::string_view(t).substr(eq + 1));
    if (key == "kind") {
      current->kind = lower(value);
    } else if (key == "caption") {
      current->caption = support::utf8_to_utf16(value);
    } else if (key == "text") {
      current->text = support::utf8_to_utf16(value);
    } else if (key == "button") {
      current->button = lower(value);
      if (!result_from_name(current->button) && !page_button(current->button)) {
        return error = where + "unknown button: " + value, false;
      }
    } else if (key == "position") {
      try {
        std::size_t used = 0;
        current->position = std::stoi(value, &used);
        if (used != value.size()) throw std::invalid_argument(value);
      } catch (const std::exception&) {
        return error = where + "bad position: " + value, false;
      }
    } else if (key == "repeat") {
      current->repeat = lower(value) == "yes" || value == "1" || lower(value) == "true";
    } else if (key.starts_with("set ") || key.starts_with("check ")) {
      const bool is_set = key.starts_with("set ");
      const std::string id_text = trim(std::string_view(key).substr(is_set ? 4 : 6));
      ControlChange change;
      change.sets_text = is_set;
      try {
        change.id = std::stoi(id_text);
        if (!is_set) change.state = std::stoi(value);
      } catch (const std::exception&) {
        return error = where + "bad control line", false;
      }
      if (is_set) change.text = support::utf8_to_utf16(value);
      current->controls.push_back(change);
    } else {
      return error = where + "unknown key: " + key, false;
    }
  }
  for (const ScriptedAnswer& answer : answers) {
    if (answer.is_progress() && !answer.button.empty() && answer.button != "cancel") {
      return error = "answers: the progress page has only its cancel button, not " + answer.button, false;
    }
    if (answer.position && !answer.is_progress()) {
      return error = "answers: position belongs to an answer of kind progress", false;
    }
  }
  return true;
}

bool ScriptedAnswer::is_progress() const { return kind == "progress" || kind.starts_with("progressdlg"); }

void SimUi::start(std::vector<ScriptedAnswer> answers, std::string transcript_path) {
  answers_ = std::move(answers);
  transcript_path_ = std::move(transcript_path);
  entries_.clear();
  text_.clear();
  progress_open_ = cancel_pressed_ = backdrop_open_ = false;
}

ScriptedAnswer* SimUi::take_answer(const std::string& kind_names, const std::u16string& caption,
                                   const std::u16string& text) {
  for (auto& answer : answers_) {
    if (answer.used || answer.is_progress()) continue;
    if (!answer.kind.empty() && (" " + kind_names + " ").find(" " + answer.kind + " ") == std::string::npos) continue;
    if (!answer.caption.empty() && !contains(caption, answer.caption)) continue;
    if (!answer.text.empty() && !contains(text, answer.text)) continue;
    if (!answer.repeat) answer.used = true;
    return &answer;
  }
  return nullptr;
}

void SimUi::write(const std::string& block) {
  text_ += block;
  if (transcript_path_.empty()) return;
  if (transcript_path_ == "-") {
    std::cout << block << std::flush;
    return;
  }
  std::ofstream out(transcript_path_, std::ios::app | std::ios::binary);
  out << block;
}

BoxResult SimUi::message_box(const MessageBoxRequest& request) {
  const auto allowed = box_results(request.buttons);
  std::size_t default_index = request.default_button >= 0 ? static_cast<std::size_t>(request.default_button) : 0;
  if (default_index >= allowed.size()) default_index = 0;
  BoxResult result = allowed[default_index];
  ScriptedAnswer* answer =
      take_answer(std::string("box ") + icon_name(request.icon), request.caption, request.text);
  bool by_default = true;
  if (answer && !answer->button.empty()) {
    auto wanted = result_from_name(answer->button);
    if (wanted && std::find(allowed.begin(), allowed.end(), *wanted) != allowed.end()) {
      result = *wanted;
      by_default = false;
    }
  }

  TranscriptEntry entry{"message box", request.caption, request.text, result_name(result), by_default};
  std::string block = "== message box\n";
  block += field("caption", request.caption);
  block += std::string("icon: ") + icon_name(request.icon) + "\n";
  block += std::string("buttons: ") + buttons_name(request.buttons) + "\n";
  if (!request.yes_text.empty()) block += field("yes button", request.yes_text);
  if (!request.no_text.empty()) block += field("no button", request.no_text);
  block += field("text", request.text);
  block += std::string("answer: ") + entry.answer + (by_default ? " (default)" : "") + "\n\n";
  record(std::move(entry), block);
  return result;
}

PageResult SimUi::show_page(const PageRequest& request) {
  std::u16string texts;
  for (const auto& control : request.controls) texts += control.text + u"\n";
  ScriptedAnswer* answer = take_answer("page " + lower(request.template_name), request.caption, texts);

  PageResult result;
  result.button = 1;
  result.controls = request.controls;
  bool by_default = true;
  if (answer) {
    if (auto button = page_button(answer->button)) result.button = *button, by_default = false;
    for (const auto& change : answer->controls) {
      auto it = std::find_if(result.controls.begin(), result.controls.end(),
                             [&](const PageControl& c) { return c.id == change.id; });
      if (it == result.controls.end()) {
        PageControl added;
        added.id = change.id;
        result.controls.push_back(added);
        it = std::prev(result.controls.end());
      }
      if (change.sets_text) {
        it->text = change.text;
      } else {
        it->state = change.state;
      }
      by_default = false;
    }
  }

  std::string block = "== page " + request.template_name + "\n";
  block += field("caption", request.caption);
  block += control_lines(request.controls);
  for (const auto& item : request.list_items) block += field("item", item);
  if (answer) {
    for (const auto& change : answer->controls) {
      block += change.sets_text ? field("set " + std::to_string(change.id), change.text)
                              : "check " + std::to_string(change.id) + ": " + std::to_string(change.state) + "\n";
    }
  }
  const std::string answer_text = "button " + std::to_string(result.button);
  block += "answer: " + answer_text + (by_default ? " (default)" : "") + "\n\n";
  record(TranscriptEntry{"page " + request.template_name, request.caption, texts, answer_text, by_default}, block);
  return result;
}

void SimUi::record(TranscriptEntry entry, const std::string& block) {
  entries_.push_back(std::move(entry));
  write(block);
}

// --- The progress page -------------------------------------------------------

bool SimUi::open_progress(const ProgressRequest& request) {
  if (progress_open_) return true;
  progress_open_ = true;
  progress_kind_ = lower(request.page.template_name);
  progress_caption_ = request.page.caption;
  progress_text_.clear();
  progress_position_ = 0;
  cancel_pressed_ = false;
  std::u16string texts;
  for (const auto& control : request.page.controls) texts += control.text + u"\n";
  std::string block = "== progress page " + request.page.template_name + "\n";
  block += field("caption", request.page.caption);
  block += control_lines(request.page.controls);
  block += "placement: " + std::to_string(request.placement) + "\n\n";
  record(TranscriptEntry{"progress page " + request.page.template_name, request.page.caption, texts, "", false}, block);
  check_progress_answers();
  return true;
}

void SimUi::set_progress_text(const std::u16string& text) {
  if (!progress_open_) return;
  progress_text_ = text;
  std::string line = field("== progress status", text);
  record(TranscriptEntry{"progress status", u"", text, "", false}, line);
  check_progress_answers();
}

void SimUi::set_progress_position(int percent) {
  if (!progress_open_) return;
  progress_position_ = percent;
  const std::string value = std::to_string(percent);
  record(TranscriptEntry{"progress position", u"", support::utf8_to_utf16(value), "", false},
         "== progress position: " + value + "\n");
  check_progress_answers();
}

void SimUi::check_progress_answers() {
  if (cancel_pressed_) return;
  for (auto& answer : answers_) {
    if (answer.used || !answer.is_progress()) continue;
    if (answer.kind != "progress" && answer.kind != progress_kind_) continue;
    if (!answer.caption.empty() && !contains(progress_caption_, answer.caption)) continue;
    if (!answer.text.empty() && !contains(progress_text_, answer.text)) continue;
    if (answer.position && progress_position_ < *answer.position) continue;
    if (!answer.repeat) answer.used = true;
    std::string why;
    if (!answer.text.empty()) why = "status contains \"" + support::utf16_to_utf8(answer.text) + "\"";
    if (answer.position) why += (why.empty() ? "" : ", ") + ("position " + std::to_string(progress_position_));
    if (why.empty()) why = "page open";
    cancel_pressed_ = true;
    record(TranscriptEntry{"progress cancel", u"", u"", why, false}, "== progress cancel pressed: " + why + "\n");
    return;
  }
}

bool SimUi::take_progress_cancel() { return std::exchange(cancel_pressed_, false); }

void SimUi::close_progress() {
  if (!progress_open_) return;
  progress_open_ = false;
  cancel_pressed_ = false;
  record(TranscriptEntry{"progress closed", u"", u"", "", false}, "== progress page closed\n");
}

// --- The backdrop and the sound ------------------------------------------------

bool SimUi::create_backdrop(const Backdrop& backdrop) {
  if (backdrop_open_) return true;
  backdrop_open_ = true;
  backdrop_ = backdrop;
  std::string block = "== backdrop\n";
  block += field("caption", backdrop.caption);
  block += backdrop_text("title", backdrop.title);
  block += backdrop_text("copyright", backdrop.copyright);
  block += "background: " +
           (backdrop.solid ? "solid " + color_name(backdrop.top_color)
                           : "gradient " + color_name(backdrop.top_color) + " to " + color_name(backdrop.bottom_color)) +
           "\n";
  if (backdrop.bitmap.empty()) {
    block += "bitmap: none\n";
  } else {
    block += "bitmap: DIB of " + std::to_string(backdrop.bitmap.size()) + " bytes, box " +
             std::to_string(backdrop.bitmap_size) + " %, stretch mode " + std::to_string(backdrop.stretch_mode) +
             ", transparent index " + std::to_string(backdrop.transparent_index) + "\n";
  }
  block += std::string("window: ") + (backdrop.maximize ? "maximized" : "work area") +
           (backdrop.start_minimized ? ", minimized" : "") + "\n\n";
  record(TranscriptEntry{"backdrop", backdrop.caption, backdrop.title.text, "", false}, block);
  return true;
}

void SimUi::repaint_backdrop(const Backdrop& backdrop) {
  if (!backdrop_open_) return;
  backdrop_ = backdrop;
  std::string block = "== backdrop repainted\n";
  block += backdrop_text("title", backdrop.title);
  block += backdrop_text("copyright", backdrop.copyright);
  record(TranscriptEntry{"backdrop repainted", backdrop.caption, backdrop.title.text, "", false}, block + "\n");
}

void SimUi::destroy_backdrop() {
  if (!backdrop_open_) return;
  backdrop_open_ = false;
  record(TranscriptEntry{"backdrop destroyed", u"", u"", "", false}, "== backdrop destroyed\n");
}

void SimUi::play_sound(const Bytes& wav) {
  const bool riff = wav.size() >= 12 && std::equal(wav.begin(), wav.begin() + 4, "RIFF") &&
                    std::equal(wav.begin() + 8, wav.begin() + 12, "WAVE");
  const std::string size = std::to_string(wav.size());
  record(TranscriptEntry{"sound", u"", support::utf8_to_utf16(size), "", false},
         "== sound: " + size + " bytes" + (riff ? ", RIFF WAVE" : ", not a RIFF WAVE image") + "\n");
}

}  // namespace hs::platform::sim
