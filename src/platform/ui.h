// The user interface: the engine's message box, wizard pages, the progress
// page and the backdrop window.
//
// The engine decides what is shown and with which texts (all from its
// message table); a backend only shows it and returns the user's answer.
// Silent mode never reaches this interface: the engine answers for itself.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/types.h"

namespace hs::platform {

enum class BoxIcon { kNone, kError, kWarning, kQuestion, kInformation };
enum class BoxButtons { kOk, kOkCancel, kYesNo, kYesNoCancel, kRetryCancel, kAbortRetryIgnore };

// Button results, numbered as Windows' IDOK, IDCANCEL, ...
enum class BoxResult : int { kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7 };

// The results of a box's buttons, in the order the buttons stand.
inline std::vector<BoxResult> box_results(BoxButtons buttons) {
  switch (buttons) {
    case BoxButtons::kOk: return {BoxResult::kOk};
    case BoxButtons::kOkCancel: return {BoxResult::kOk, BoxResult::kCancel};
    case BoxButtons::kYesNo: return {BoxResult::kYes, BoxResult::kNo};
    case BoxButtons::kYesNoCancel: return {BoxResult::kYes, BoxResult::kNo, BoxResult::kCancel};
    case BoxButtons::kRetryCancel: return {BoxResult::kRetry, BoxResult::kCancel};
    case BoxButtons::kAbortRetryIgnore: return {BoxResult::kAbort, BoxResult::kRetry, BoxResult::kIgnore};
  }
  return {BoxResult::kOk};
}

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
  bool enabled = true;  // false: shown greyed out
  bool visible = true;  // false: hidden (a check box with nothing to offer)
};

// The shell's folder picker behind a page's browse button (control 1013).
struct FolderPicker {
  int edit_id = 0;              // edit control whose text a chosen folder replaces
  std::u16string title;         // text shown above the folder tree
  int root_csidl = -1;          // CSIDL of the tree's root; -1 = the desktop
  bool file_system_only = false;  // only file-system folders may be chosen
};

// Look of a page shared by every page of a run.
struct PageLook {
  int style = 1;                 // 0 plain, 1 side picture, 2 banner, 3 full side picture
  std::u16string font;           // dialog font face; "" = "MS Shell Dlg 2"
  bool has_colors = false;       // the page uses the colours below
  std::uint32_t background = 0;  // COLORREF of the page background
  std::uint32_t foreground = 0;  // COLORREF of the page texts
  std::uint32_t banner_text_color = 0;  // COLORREF of title and text in the banner
  int picture_frame = 0;         // 0 none, 1 sunken edge, 2 border, 3 sunken edge in style 1 only
  std::u16string banner_title;   // title in the banner (style 2), control 1034
  std::u16string banner_text;    // text in the banner (style 2), control 1035
  bool enlarge_heading = false;  // heading 1009 drawn 10 % larger
};

// A modal page from one of the executable's dialog templates.
struct PageRequest {
  std::string template_name;  // "LicenseDlg2", "LanguageDlg", ...
  std::u16string caption;
  std::vector<PageControl> controls;
  std::vector<std::u16string> list_items;  // items of the page's list, if any

  PageLook look;
  // Control that takes the focus once the page is up; 0 = the first one.
  int focus_id = 0;
  // Browse button 1013 opens this picker when set.
  std::optional<FolderPicker> browse;
  // Address opened by the link in control 1040; "" = no link.
  std::u16string link_url;
  // The text viewer 1005 shows its text as RTF.
  bool rich_text = false;
  // Accept 1001 starts disabled and is enabled once viewer 1005 has been
  // scrolled to the end of its text.
  bool accept_after_scroll = false;
  // Called when the user changes the text of an edit control (its id and
  // new text); returns the controls whose text or enabled state change.
  std::function<std::vector<PageControl>(int id, const std::u16string& text)> on_edit;
  // Called when the selection of the list changes; returns a request whose
  // texts replace the page's texts (the language page re-texts itself).
  std::function<PageRequest(int index)> on_select;
};

// The modeless progress page.
struct ProgressRequest {
  PageRequest page;    // template, caption, heading 1009, status 1011, cancel 1003
  int placement = 0;   // 1 left, 2 right, 3 centred; + 8 top, 16 bottom, 24 centred
};

// A text painted on the backdrop.
struct BackdropText {
  std::u16string text;     // lines separated by CR, LF or CR LF; blank = not painted
  std::u16string fonts;    // comma-separated face names; the first installed one is used
  std::uint32_t color = 0;  // COLORREF 0x00BBGGRR
  int position = 0;        // 0 not painted, 1-3 top left/centre/right, 4-6 bottom left/centre/right
  int shadow = 0;          // depth of the black drop shadow; 0 = none
  double points = 0;       // nominal size; shrunk one point at a time until the text fits
};

// The look of the backdrop window, complete: the backend draws exactly
// this and decides nothing.
struct Backdrop {
  std::u16string caption;          // window caption, shown in the taskbar
  std::uint32_t top_color = 0;     // COLORREF at the top; the whole fill when `solid`
  std::uint32_t bottom_color = 0;  // COLORREF at the bottom of the vertical gradient
  bool solid = false;              // one colour (top_color), no gradient
  BackdropText title;              // the product title
  BackdropText copyright;          // the second line
  Bytes bitmap;                    // picture as a DIB (header, colour table, rows); empty = none
  int stretch_mode = 0;            // 0 stretch, 1 fit keeping the aspect ratio, 2 integer zoom, 3 tile
  int bitmap_size = 0;             // box of the picture in percent of the client area; 0 or less = none
  int transparent_index = -1;      // palette entry drawn transparently; -1 = none
  bool maximize = false;           // shown maximized instead of sized to the work area
  bool start_minimized = false;    // created minimized
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

  // Loads the application icon (icon resource 1 of the executable) at the
  // system's large and small icon sizes; the backend gives it to every
  // window and dialog it makes from then on. False when it is missing.
  virtual bool load_application_icons() = 0;
  // Binds the window-subclassing functions of the common controls
  // ("SetWindowSubclass" and "DefSubclassProc" of comctl32.dll) for the
  // windows that subclass their controls. False when they are not there,
  // which is not an error.
  virtual bool bind_window_subclassing() = 0;

  // The modeless progress page. While it is open, the backend refuses
  // requests to log off or shut down Windows. open_progress returns false
  // when the page cannot be made; the other calls then do nothing.
  virtual bool open_progress(const ProgressRequest& request) = 0;
  virtual void set_progress_text(const std::u16string& text) = 0;
  // Bar position, 0 to 100.
  virtual void set_progress_position(int percent) = 0;
  // True once, after the user pressed the progress page's cancel button.
  virtual bool take_progress_cancel() = 0;
  virtual void close_progress() = 0;

  // The backdrop window; false when it could not be created (the run
  // then goes on without it). Owner of the pages once it exists.
  virtual bool create_backdrop(const Backdrop& backdrop) = 0;
  // Repaints the backdrop in a new look (its texts changed).
  virtual void repaint_backdrop(const Backdrop& backdrop) = 0;
  // Minimizes and destroys the backdrop (the exit routine).
  virtual void destroy_backdrop() = 0;

  // PlaySound of a WAV image from memory, asynchronously, without the
  // default sound and without stopping a sound already playing.
  virtual void play_sound(const Bytes& wav) = 0;
};

}  // namespace hs::platform
