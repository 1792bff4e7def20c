// The user interface: the engine's message box, wizard pages, the progress
// page and the backdrop window.
//
// The engine decides what is shown and with which texts (all from its
// message table); a backend only shows it and returns the user's answer.
// Silent mode never reaches this interface: the engine answers for itself.
#pragma once

#include "platform/types.h"

namespace hs::platform {

enum class BoxIcon { kNone, kError, kWarning, kQuestion, kInformation };
enum class BoxButtons { kOk, kOkCancel, kYesNo, kYesNoCancel, kRetryCancel, kAbortRetryIgnore };

// Button results, numbered as Windows' IDOK, IDCANCEL, ...
enum class BoxResult : int { kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7 };

struct MessageBoxRequest {
  std::u16string text;
  std::u16string caption;
  BoxIcon icon = BoxIcon::kNone;
  BoxButtons buttons = BoxButtons::kOk;
  int default_button = 0;     // 0-based index of the default button
  std::u16string yes_text;    // label of the yes button; "" means "Yes"
  std::u16string no_text;     // label of the no button; "" means "No"
};

// One control of a page, by its template id.
struct PageControl {
  int id = 0;
  std::u16string text;  // text shown or entered
  int state = 0;        // check state, selection index, ...: per control
};

// A modal page from one of the executable's dialog templates.
struct PageRequest {
  std::string template_name;  // "LicenseDlg2", "LanguageDlg", ...
  std::u16string caption;
  std::vector<PageControl> controls;
  std::vector<std::u16string> list_items;  // items of the page's list, if any
};

struct PageResult {
  int button = 0;  // id of the button that closed the page (1 = next/OK, 2 = cancel)
  std::vector<PageControl> controls;  // state of the controls when it closed
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  virtual BoxResult message_box(const MessageBoxRequest& request) = 0;
  virtual PageResult show_page(const PageRequest& request) = 0;

  // Lets pending window messages through (between files, during waits).
  virtual void pump_messages() = 0;

  // PlaySound of a WAV image from memory, asynchronously, without the
  // default sound and without stopping a sound already playing. Backends
  // without sound ignore it.
  virtual void play_sound(const Bytes& wav) { (void)wav; }
};

}  // namespace hs::platform
