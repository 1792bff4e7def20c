// The modeless progress page: placed in the work area, its status line and
// bar set by the run, its cancel button noted for the run to take.
#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "platform/control_ids.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_page_window.h"
#include "platform/win32/win32_pages.h"

namespace hs::platform::win32 {

namespace {

// Places the progress page in the work area: 1 left, 2 right, 3 centred;
// 8 top, 16 bottom, 24 centred.
void place_progress(HWND window, int placement) {
  RECT area{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return;
  RECT r{};
  GetWindowRect(window, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  int x = r.left, y = r.top;
  switch (placement & 7) {
    case 1: x = area.left; break;
    case 2: x = area.right - width; break;
    case 3: x = (area.left + area.right - width) / 2; break;
    default: break;
  }
  switch (placement & 24) {
    case 8: y = area.top; break;
    case 16: y = area.bottom - height; break;
    case 24: y = (area.top + area.bottom - height) / 2; break;
    default: break;
  }
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

bool WizardWindows::open_progress(const ProgressRequest& request) {
  if (progress_) return true;
  load_control_classes();
  auto holder = std::make_unique<ProgressWindowState>();
  holder->request = request;
  holder->state.request = &holder->request.page;
  holder->state.progress = true;
  holder->state.cancel_pressed = &cancel_pressed_;
  holder->state.large_icon = large_icon_;
  holder->state.small_icon = small_icon_;
  const std::wstring name(request.page.template_name.begin(), request.page.template_name.end());
  progress_ = CreateDialogParamW(GetModuleHandleW(nullptr), name.c_str(), backdrop_, page_proc,
                                 reinterpret_cast<LPARAM>(&holder->state));
  if (!progress_) return false;
  place_progress(progress_, request.placement);
  ShowWindow(progress_, SW_SHOW);
  UpdateWindow(progress_);
  progress_state_ = std::move(holder);
  cancel_pressed_ = false;
  return true;
}

void WizardWindows::set_progress_text(const std::u16string& text) {
  if (progress_) SetDlgItemTextW(progress_, control::kStatus, wide(text));
}

void WizardWindows::set_progress_position(int percent) {
  if (progress_) PostMessageW(GetDlgItem(progress_, control::kProgressBar), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

bool WizardWindows::take_progress_cancel() {
  const bool pressed = cancel_pressed_;
  cancel_pressed_ = false;
  return pressed;
}

void WizardWindows::close_progress() {
  if (!progress_) return;
  DestroyWindow(progress_);
  progress_ = nullptr;
  progress_state_.reset();
}

}  // namespace hs::platform::win32
