// What single kinds of page do with their controls: the folder picker of
// the folder and Start-menu pages, the licence's scroll watch, the
// greeting's link, the language page's re-texting, the edits' live checks.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "platform/control_ids.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_page_window.h"

namespace hs::platform::win32 {

namespace {

// Timers of the licence's scroll watch: the first checks the viewer; the
// second keeps the check going when the first tick came before the text
// was laid out.
constexpr UINT_PTR kScrollTimer = 1;
constexpr UINT_PTR kScrollTimer2 = 2;

// Whether the viewer shows the end of its text.
bool scrolled_to_end(HWND viewer) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(viewer, SB_VERT, &info)) return true;  // nothing to scroll
  if (info.nMax <= 0 || static_cast<int>(info.nPage) > info.nMax - info.nMin) return true;
  return info.nPos + static_cast<int>(info.nPage) >= info.nMax;
}

}  // namespace

void browse(HWND dialog, const FolderPicker& picker) {
  BROWSEINFOW info{};
  info.hwndOwner = dialog;
  info.lpszTitle = wide(picker.title);
  info.ulFlags = BIF_NEWDIALOGSTYLE | (picker.file_system_only ? BIF_RETURNONLYFSDIRS : 0);
  PIDLIST_ABSOLUTE root = nullptr;
  if (picker.root_csidl >= 0 && SUCCEEDED(SHGetSpecialFolderLocation(dialog, picker.root_csidl, &root))) info.pidlRoot = root;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (chosen) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) {
      std::wstring text = path;
      if (picker.root_csidl >= 0 && root) {
        // Below the root, the name relative to it (a Start-menu folder).
        wchar_t root_path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(root, root_path)) {
          const std::size_t n = wcslen(root_path);
          if (_wcsnicmp(path, root_path, n) == 0) text = path[n] == L'\\' ? path + n + 1 : path + n;
        }
      }
      SetDlgItemTextW(dialog, picker.edit_id, text.c_str());
    }
    CoTaskMemFree(chosen);
  }
  if (root) CoTaskMemFree(root);
}

void start_scroll_watch(HWND dialog) {
  EnableWindow(GetDlgItem(dialog, control::kNext), FALSE);
  SetTimer(dialog, kScrollTimer, 200, nullptr);
  SetTimer(dialog, kScrollTimer2, 250, nullptr);
}

bool on_scroll_timer(HWND dialog, WPARAM timer) {
  if (timer != kScrollTimer && timer != kScrollTimer2) return false;
  if (scrolled_to_end(GetDlgItem(dialog, control::kViewer))) {
    EnableWindow(GetDlgItem(dialog, control::kNext), TRUE);
    KillTimer(dialog, kScrollTimer);
    KillTimer(dialog, kScrollTimer2);
  } else if (timer == kScrollTimer2) {
    KillTimer(dialog, kScrollTimer2);
  }
  return true;
}

void open_link(HWND dialog, const PageRequest& request) {
  if (!request.link_url.empty()) ShellExecuteW(dialog, L"open", wide(request.link_url), nullptr, nullptr, SW_SHOWNORMAL);
}

void retext_language_page(HWND dialog, PageState& state) {
  const int index = static_cast<int>(SendDlgItemMessageW(dialog, control::kLanguageList, LB_GETCURSEL, 0, 0));
  const PageRequest retexted = state.request->on_select(index);
  SetWindowTextW(dialog, wide(retexted.caption));
  for (const PageControl& c : retexted.controls)
    if (c.id != control::kLanguageList) apply_control(dialog, c, false);
  state.banner_text = retexted.look.banner_text;
  state.banner_title = retexted.look.banner_title;
  InvalidateRect(dialog, &state.banner_rect, TRUE);
}

void on_edit_change(HWND dialog, const PageRequest& request, int id) {
  for (const PageControl& c : request.on_edit(id, window_text(GetDlgItem(dialog, id)))) {
    HWND window = GetDlgItem(dialog, c.id);
    if (!window) continue;
    if (window_text(window) != c.text) SetWindowTextW(window, wide(c.text));
    EnableWindow(window, c.enabled);
  }
}

void focus_main_control(HWND dialog, const PageRequest& request) {
  SetForegroundWindow(dialog);
  HWND focus = request.focus_id ? GetDlgItem(dialog, request.focus_id) : nullptr;
  if (focus) SetFocus(focus);
  if (HWND viewer = GetDlgItem(dialog, control::kViewer)) {
    // The text is read from its start, nothing selected.
    SendMessageW(viewer, EM_SETSEL, 0, 0);
    SendMessageW(viewer, WM_VSCROLL, SB_TOP, 0);
  }
}

}  // namespace hs::platform::win32
