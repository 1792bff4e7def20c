// The wizard's windows as a whole: their lifetime, the application icons
// they all carry, and the window-subclassing functions.
#include "platform/control_ids.h"
#include "platform/win32/library_loading.h"
#include "platform/win32/win32_page_window.h"
#include "platform/win32/win32_pages.h"

namespace hs::platform::win32 {

WizardWindows::WizardWindows() = default;

WizardWindows::~WizardWindows() {
  close_progress();
  destroy_backdrop();
}

bool WizardWindows::load_application_icons() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto load = [instance](int size_x, int size_y) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(control::kApplicationIcon), IMAGE_ICON,
                                         GetSystemMetrics(size_x), GetSystemMetrics(size_y), LR_DEFAULTCOLOR));
  };
  if (!large_icon_) large_icon_ = load(SM_CXICON, SM_CYICON);
  if (!small_icon_) small_icon_ = load(SM_CXSMICON, SM_CYSMICON);
  return large_icon_ && small_icon_;
}

void WizardWindows::give_icons(HWND window) const {
  if (large_icon_) SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large_icon_));
  if (small_icon_) SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
}

bool WizardWindows::bind_window_subclassing() {
  set_window_subclass_ = bind_system<SetWindowSubclassFn>(L"comctl32.dll", "SetWindowSubclass");
  def_subclass_proc_ = bind_system<DefSubclassProcFn>(L"comctl32.dll", "DefSubclassProc");
  if (!set_window_subclass_ || !def_subclass_proc_) {
    set_window_subclass_ = nullptr;
    def_subclass_proc_ = nullptr;
    return false;
  }
  return true;
}

}  // namespace hs::platform::win32
