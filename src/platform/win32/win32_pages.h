// The wizard's windows on Windows: pages from the executable's dialog
// templates, the modeless progress page and the backdrop window.
//
// The engine decides every text and state (src/wizard); this code only
// creates the windows, wires their controls and draws. The pages are made
// in win32_page_*.cpp (win32_page_window.h), the progress page in
// win32_progress.cpp, the backdrop in win32_backdrop.cpp, and what they
// share in win32_wizard_windows.cpp.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "platform/ui.h"
#include "wizard/dib_image.h"

namespace hs::platform::win32 {

struct ProgressWindowState;  // win32_page_window.h

// What the backdrop window draws: the look and its picture, read once.
struct BackdropWindowState {
  Backdrop look;
  wizard::DibImage picture;  // empty when the look has none or it does not load
};

class WizardWindows {
 public:
  WizardWindows();
  WizardWindows(const WizardWindows&) = delete;
  WizardWindows& operator=(const WizardWindows&) = delete;
  ~WizardWindows();

  // A modal page; a template that cannot be created counts as cancelled
  // (button 1003).
  PageResult show_page(const PageRequest& request);

  bool open_progress(const ProgressRequest& request);
  void set_progress_text(const std::u16string& text);
  void set_progress_position(int percent);
  bool take_progress_cancel();
  void close_progress();
  HWND progress_window() const { return progress_; }

  // The backdrop window in `look`, kept by the window.
  bool create_backdrop(const Backdrop& look);
  // Paints the backdrop anew in `look`.
  void repaint_backdrop(const Backdrop& look);
  void destroy_backdrop();
  HWND backdrop_window() const { return backdrop_; }

  // Owner of new pages and boxes: the progress page while it exists, else
  // the backdrop, else none.
  HWND owner() const { return progress_ ? progress_ : backdrop_; }

  // The application icon (icon resource 1) at the large and small system
  // sizes, given to every window made from now on. False when missing.
  bool load_application_icons();
  // SetWindowSubclass and DefSubclassProc from comctl32.dll; false when
  // either is missing.
  bool bind_window_subclassing();

  using SetWindowSubclassFn = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
  using DefSubclassProcFn = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
  SetWindowSubclassFn set_window_subclass() const { return set_window_subclass_; }
  DefSubclassProcFn def_subclass_proc() const { return def_subclass_proc_; }

 private:
  HWND progress_ = nullptr;
  HWND backdrop_ = nullptr;
  bool cancel_pressed_ = false;  // the progress page's cancel, not yet taken
  std::unique_ptr<ProgressWindowState> progress_state_;  // request and state of the progress page
  std::unique_ptr<BackdropWindowState> backdrop_state_;  // what the backdrop draws, while it exists
  HICON large_icon_ = nullptr;  // application icon, SM_CXICON size; nullptr until loaded
  HICON small_icon_ = nullptr;  // application icon, SM_CXSMICON size
  SetWindowSubclassFn set_window_subclass_ = nullptr;  // nullptr when comctl32 lacks it
  DefSubclassProcFn def_subclass_proc_ = nullptr;
  // Gives `window` the application icons, when loaded.
  void give_icons(HWND window) const;
};

// Draws the backdrop into `dc` over a client area of the given size
// (background and bitmap, then the texts). Used by the window and by tests.
void paint_backdrop(HDC dc, int width, int height, const BackdropWindowState& backdrop);

}  // namespace hs::platform::win32
