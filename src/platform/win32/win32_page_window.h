// The parts of a page window that the files making it up share:
//
//   win32_page_setup.cpp      creating a page's look and the common set-up
//                             every page does when it comes up, reading its
//                             controls back
//   win32_page_kinds.cpp      what single kinds of page do: the folder
//                             picker, the licence's scroll watch, the
//                             greeting's link, the language page's re-texting,
//                             the edits' live checks
//   win32_page_procedure.cpp  the dialog procedure of every page and the
//                             modal page itself
//   win32_progress.cpp        the modeless progress page
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/ui.h"

namespace hs::platform::win32 {

// State of one page while it is up.
struct PageState {
  const PageRequest* request = nullptr;
  PageResult result;
  HBRUSH background = nullptr;   // the package's dialog colour
  HBRUSH panel = nullptr;        // white content panel of the full-picture look
  HFONT font = nullptr;          // the package's dialog font
  HFONT heading_font = nullptr;  // enlarged heading
  HFONT banner_font = nullptr;   // bold banner title
  HBITMAP side = nullptr;        // side picture, sized to its control
  HBITMAP banner = nullptr;      // banner picture, sized to its control
  RECT banner_rect{}, title_rect{}, text_rect{};  // where the banner and its texts are drawn
  std::u16string banner_title, banner_text;      // texts drawn on the banner
  bool progress = false;           // the modeless progress page
  bool* cancel_pressed = nullptr;  // progress page: set when cancel is pressed
  HICON large_icon = nullptr;  // the application icons, when loaded (not owned)
  HICON small_icon = nullptr;

  PageState() = default;
  PageState(const PageState&) = delete;
  PageState& operator=(const PageState&) = delete;
  ~PageState();  // deletes the brushes, fonts and pictures
};

// A progress page's request and state live as long as its window.
struct ProgressWindowState {
  ProgressRequest request;
  PageState state;
};

// --- win32_page_setup.cpp ----------------------------------------------------

// Loads what the templates' control classes need: version 6 of the common
// controls (link and progress bar) and the rich-edit viewer.
void load_control_classes();

std::u16string window_text(HWND window);
// A control's rectangle in the dialog's client coordinates.
RECT child_rect(HWND dialog, int id);

// Puts a control's text, state, enabled and visible state on the page;
// `rich` streams the viewer's text in as RTF.
void apply_control(HWND dialog, const PageControl& control, bool rich);
// The controls' states as the page shows them now, into state.result.
void collect(HWND dialog, PageState& state);

// What every page does as it comes up (WM_INITDIALOG): the disabled Close
// item, icons, caption, the look, list items, edit limits, the controls'
// texts, and the focus command posted to itself.
void set_up_page(HWND dialog, PageState& state);
// Draws the banner picture and its two texts.
void paint_banner(HWND dialog, HDC dc, const PageState& state);

// --- win32_page_kinds.cpp ----------------------------------------------------

// The folder picker behind a browse button; a chosen folder replaces the
// text of its edit.
void browse(HWND dialog, const FolderPicker& picker);
// Accept 1001 stays disabled until the viewer has been scrolled to its end.
void start_scroll_watch(HWND dialog);
// A tick of one of the scroll-watch timers; false for other timers.
bool on_scroll_timer(HWND dialog, WPARAM timer);
// The greeting's link was clicked: its address opens with the shell.
void open_link(HWND dialog, const PageRequest& request);
// The language list's selection changed: the page takes the texts of the
// selected language.
void retext_language_page(HWND dialog, PageState& state);
// An edit's text changed: the controls the page's check changes.
void on_edit_change(HWND dialog, const PageRequest& request, int id);
// Brings the page to the foreground and focuses its main control; the
// viewer shows the start of its text.
void focus_main_control(HWND dialog, const PageRequest& request);

// --- win32_page_procedure.cpp ------------------------------------------------

// The dialog procedure of every page, modal or the progress page; the
// PageState comes as the creation parameter.
INT_PTR CALLBACK page_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace hs::platform::win32
