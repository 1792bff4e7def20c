// The dialog procedure of every page, and the modal page itself.
#include <windows.h>

#include <commctrl.h>

#include "platform/control_ids.h"
#include "platform/win32/win32_page_window.h"
#include "platform/win32/win32_pages.h"

namespace hs::platform::win32 {

namespace {

// Colours of the page and of the controls on the full-picture look's panel.
INT_PTR control_colors(HWND dialog, UINT message, HDC dc, HWND c, const PageState& state) {
  const PageLook& look = state.request->look;
  if (look.has_colors) SetTextColor(dc, look.foreground);
  if (state.panel && message != WM_CTLCOLORDLG) {
    RECT r = child_rect(dialog, GetDlgCtrlID(c));
    RECT panel = child_rect(dialog, control::kPanel);
    if (r.left >= panel.left && r.bottom <= panel.bottom) {
      SetBkMode(dc, TRANSPARENT);
      return reinterpret_cast<INT_PTR>(state.panel);
    }
  }
  if (look.has_colors) {
    SetBkColor(dc, look.background);
    return reinterpret_cast<INT_PTR>(state.background);
  }
  return FALSE;
}

// Closes a modal page with `button`, its controls read back first.
void close_with(HWND dialog, PageState& state, int button) {
  collect(dialog, state);
  state.result.button = button;
  EndDialog(dialog, button);
}

BOOL on_command(HWND dialog, PageState& state, int id, int code) {
  const PageRequest& request = *state.request;
  if (id == control::kFocusCommand || id == control::kFocusFolderCommand) {
    focus_main_control(dialog, request);
    return TRUE;
  }
  if (state.progress) {
    if (id == control::kCancel || id == IDCANCEL) {
      if (IsWindowEnabled(GetDlgItem(dialog, control::kCancel)) && state.cancel_pressed) *state.cancel_pressed = true;
      return TRUE;
    }
    return FALSE;
  }
  if (id == control::kNext || id == IDOK || (id == control::kLanguageList && code == LBN_DBLCLK)) {
    if (IsWindowEnabled(GetDlgItem(dialog, control::kNext))) close_with(dialog, state, control::kNext);
    return TRUE;
  }
  if (id == control::kCancel || id == IDCANCEL) {
    // Pages without cancel (the summary) close as with their button.
    const bool has_cancel = GetDlgItem(dialog, control::kCancel) != nullptr;
    close_with(dialog, state, id == IDCANCEL && !has_cancel ? control::kNext : control::kCancel);
    return TRUE;
  }
  if (id == control::kBrowse && request.browse) {
    browse(dialog, *request.browse);
    return TRUE;
  }
  if (id == control::kLanguageList && code == LBN_SELCHANGE && request.on_select) {
    retext_language_page(dialog, state);
    return TRUE;
  }
  if (code == EN_CHANGE && request.on_edit) {
    on_edit_change(dialog, request, id);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

INT_PTR CALLBACK page_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<PageState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<PageState*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      set_up_page(dialog, *state);
      return FALSE;
    case WM_TIMER:
      return on_scroll_timer(dialog, wparam);
    case WM_PAINT: {
      if (!state || !state->banner) return FALSE;
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(dialog, &paint);
      paint_banner(dialog, dc, *state);
      EndPaint(dialog, &paint);
      return TRUE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (!state) return FALSE;
      return control_colors(dialog, message, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam), *state);
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (state && header->idFrom == control::kLink && (header->code == NM_CLICK || header->code == NM_RETURN)) {
        open_link(dialog, *state->request);
        return TRUE;
      }
      return FALSE;
    }
    case WM_QUERYENDSESSION:
      // No log-off while the progress page exists.
      if (state && state->progress) {
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, FALSE);
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND:
      if (!state) return FALSE;
      return on_command(dialog, *state, LOWORD(wparam), HIWORD(wparam));
    default:
      return FALSE;
  }
}

PageResult WizardWindows::show_page(const PageRequest& request) {
  load_control_classes();
  PageState state;
  state.request = &request;
  state.large_icon = large_icon_;
  state.small_icon = small_icon_;
  state.result.button = control::kCancel;
  state.result.controls = request.controls;
  const std::wstring name(request.template_name.begin(), request.template_name.end());
  const INT_PTR answer = DialogBoxParamW(GetModuleHandleW(nullptr), name.c_str(), owner(), page_proc,
                                         reinterpret_cast<LPARAM>(&state));
  if (answer == -1 || answer == 0) state.result.button = control::kCancel;  // no such template
  return state.result;
}

}  // namespace hs::platform::win32
