// Wizard pages and the progress page from the executable's dialog templates.
#include "platform/win32/win32_pages.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/library_loading.h"
#include "platform/win32/wide.h"
#include "wizard/backdrop_layout.h"

namespace hs::platform::win32 {

namespace {

constexpr int kNext = 1001;
constexpr int kCancel = 1003;
constexpr int kViewer = 1005;
constexpr int kProgressBar = 1007;
constexpr int kHeading = 1009;
constexpr int kStatus = 1011;
constexpr int kBrowse = 1013;
constexpr int kLanguageList = 1017;
constexpr int kPassword = 1019;
constexpr int kSidePicture = 1021;
constexpr int kBanner = 1032;
constexpr int kBannerTitle = 1034;
constexpr int kBannerText = 1035;
constexpr int kLink = 1040;
constexpr int kFocusFolderCommand = 1043;
constexpr int kFocusCommand = 1044;
constexpr UINT_PTR kScrollTimer = 1;
constexpr UINT_PTR kScrollTimer2 = 2;

// Loads what the templates' control classes need: version 6 of the common
// controls (link and progress bar) and the rich-edit viewer.
void load_control_classes() {
  static bool done = false;
  if (done) return;
  done = true;
  if (HMODULE comctl = LoadLibraryW(L"comctl32.dll")) {
    using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (auto init = reinterpret_cast<Init>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")))) {
      INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LINK_CLASS};
      init(&icc);
    }
  }
  LoadLibraryW(L"riched20.dll");
}

int CALLBACK font_found(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

}  // namespace

// Whether a font family is installed (shared with the backdrop).
bool font_installed(std::u16string_view face) {
  if (face.empty() || face.size() >= LF_FACESIZE) return false;
  LOGFONTW lf{};
  lf.lfCharSet = DEFAULT_CHARSET;
  std::u16string name(face);
  wcscpy_s(lf.lfFaceName, wide(name));
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(dc, &lf, font_found, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

namespace {

// State of one page while it is up.
struct PageState {
  const PageRequest* request = nullptr;
  PageResult result;
  HBRUSH background = nullptr;   // the package's dialog colour
  HBRUSH panel = nullptr;        // white content panel of the full-picture look
  HFONT font = nullptr;          // the package's dialog font
  HFONT heading_font = nullptr;  // enlarged heading
  HFONT banner_font = nullptr;   // bold banner title
  HBITMAP side = nullptr;
  HBITMAP banner = nullptr;
  RECT banner_rect{}, title_rect{}, text_rect{};
  std::u16string banner_title, banner_text;
  bool progress = false;
  bool* cancel_pressed = nullptr;
  HICON large_icon = nullptr;  // the application icons, when loaded (not owned)
  HICON small_icon = nullptr;
  ~PageState() {
    for (HGDIOBJ o : {static_cast<HGDIOBJ>(background), static_cast<HGDIOBJ>(panel), static_cast<HGDIOBJ>(font),
                      static_cast<HGDIOBJ>(heading_font), static_cast<HGDIOBJ>(banner_font),
                      static_cast<HGDIOBJ>(side), static_cast<HGDIOBJ>(banner)})
      if (o) DeleteObject(o);
  }
};

std::u16string window_text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, buffer.data(), length + 1);
  return from_wide(buffer.data(), static_cast<std::size_t>(got < 0 ? 0 : got));
}

std::wstring class_name(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 63);
  return name;
}

bool is_check_box(HWND window) {
  const LONG style = GetWindowLongW(window, GWL_STYLE) & BS_TYPEMASK;
  return _wcsicmp(class_name(window).c_str(), L"Button") == 0 &&
         (style == BS_AUTOCHECKBOX || style == BS_CHECKBOX || style == BS_AUTO3STATE);
}

// Streams RTF bytes (one per character of `text`) into a rich-edit viewer.
struct RtfSource {
  std::string bytes;
  std::size_t at = 0;
};
DWORD CALLBACK rtf_read(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
  auto* source = reinterpret_cast<RtfSource*>(cookie);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), source->bytes.size() - source->at);
  memcpy(buffer, source->bytes.data() + source->at, n);
  source->at += n;
  *read = static_cast<LONG>(n);
  return 0;
}

void set_rich_text(HWND viewer, const std::u16string& text) {
  RtfSource source;
  source.bytes.reserve(text.size());
  for (char16_t c : text) source.bytes += static_cast<char>(c & 0xFF);
  EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, rtf_read};
  SendMessageW(viewer, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
}

// Plain texts in an edit need CR LF line ends.
std::u16string crlf(const std::u16string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r')) out += u'\r';
    out += text[i];
  }
  return out;
}

void apply_control(HWND dialog, const PageControl& control, bool rich) {
  HWND window = GetDlgItem(dialog, control.id);
  if (!window) return;
  const std::wstring cls = class_name(window);
  if (control.id == kLanguageList) {
    SendMessageW(window, LB_SETCURSEL, static_cast<WPARAM>(control.state), 0);
  } else if (control.id == kProgressBar) {
    SendMessageW(window, PBM_SETRANGE32, 0, 100);
    SendMessageW(window, PBM_SETPOS, static_cast<WPARAM>(control.state), 0);
  } else if (control.id == kViewer) {
    if (rich) {
      set_rich_text(window, control.text);
    } else {
      const std::u16string text = crlf(control.text);
      SetWindowTextW(window, wide(text));
    }
  } else {
    SetWindowTextW(window, wide(control.text));
    if (is_check_box(window)) SendMessageW(window, BM_SETCHECK, control.state ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  EnableWindow(window, control.enabled);
  ShowWindow(window, control.visible ? SW_SHOW : SW_HIDE);
}

void collect(HWND dialog, PageState& state) {
  state.result.controls = state.request->controls;
  for (PageControl& control : state.result.controls) {
    HWND window = GetDlgItem(dialog, control.id);
    if (!window) continue;
    if (control.id == kLanguageList) {
      const LRESULT selection = SendMessageW(window, LB_GETCURSEL, 0, 0);
      if (selection != LB_ERR) control.state = static_cast<int>(selection);
    } else if (is_check_box(window)) {
      control.state = SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    } else if (_wcsicmp(class_name(window).c_str(), L"Edit") == 0) {
      control.text = window_text(window);
    }
    control.enabled = IsWindowEnabled(window) != FALSE;
  }
}

HFONT scaled_font(HWND window, int percent, int weight) {
  HFONT current = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  if (!current || !GetObjectW(current, sizeof lf, &lf)) return nullptr;
  lf.lfHeight = lf.lfHeight * percent / 100;
  if (weight) lf.lfWeight = weight;
  return CreateFontIndirectW(&lf);
}

// The package's dialog font: the first installed face of its list, at the
// template's size.
HFONT package_font(HWND dialog, const std::u16string& list) {
  if (list.empty()) return nullptr;
  std::u16string face;
  std::size_t start = 0;
  while (start <= list.size() && face.empty()) {
    std::size_t end = list.find(u',', start);
    if (end == std::u16string::npos) end = list.size();
    std::u16string name = list.substr(start, end - start);
    while (!name.empty() && name.front() == u' ') name.erase(0, 1);
    while (!name.empty() && name.back() == u' ') name.pop_back();
    if (font_installed(name)) face = name;
    start = end + 1;
  }
  if (face.empty()) return nullptr;
  HFONT current = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  if (!current || !GetObjectW(current, sizeof lf, &lf)) return nullptr;
  wcsncpy_s(lf.lfFaceName, LF_FACESIZE, wide(face), LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

BOOL CALLBACK set_font(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

RECT child_rect(HWND dialog, int id) {
  RECT r{};
  HWND child = GetDlgItem(dialog, id);
  if (!child) return r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HBITMAP sized_bitmap(int resource, int width, int height) {
  return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_BITMAP, width,
                                         height, LR_CREATEDIBSECTION));
}

void set_up_look(HWND dialog, PageState& state) {
  const PageLook& look = state.request->look;
  if (look.has_colors) state.background = CreateSolidBrush(look.background);
  if (look.style == 3) state.panel = CreateSolidBrush(look.has_colors ? look.background : RGB(255, 255, 255));
  if ((state.font = package_font(dialog, look.font))) {
    SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    EnumChildWindows(dialog, set_font, reinterpret_cast<LPARAM>(state.font));
  }
  if (look.enlarge_heading) {
    if (HWND heading = GetDlgItem(dialog, kHeading)) {
      if ((state.heading_font = scaled_font(heading, 110, FW_BOLD)))
        SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(state.heading_font), TRUE);
    }
  }
  // Side picture, stretched to its control and framed as the package asks.
  if (HWND side = GetDlgItem(dialog, kSidePicture)) {
    RECT r = child_rect(dialog, kSidePicture);
    state.side = sized_bitmap(2, r.right - r.left, r.bottom - r.top);
    if (state.side) SendMessageW(side, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(state.side));
    const int frame = look.picture_frame;
    if (frame == 1 || (frame == 3 && look.style == 1)) {
      SetWindowLongW(side, GWL_EXSTYLE, GetWindowLongW(side, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    } else if (frame == 2) {
      SetWindowLongW(side, GWL_STYLE, GetWindowLongW(side, GWL_STYLE) | WS_BORDER);
    }
    SetWindowPos(side, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  }
  // The banner and its two texts are drawn by the page itself.
  if (GetDlgItem(dialog, kBanner)) {
    state.banner_rect = child_rect(dialog, kBanner);
    state.title_rect = child_rect(dialog, kBannerTitle);
    state.text_rect = child_rect(dialog, kBannerText);
    state.banner = sized_bitmap(3, state.banner_rect.right - state.banner_rect.left,
                                state.banner_rect.bottom - state.banner_rect.top);
    state.banner_title = look.banner_title;
    state.banner_text = look.banner_text;
    for (int id : {kBanner, kBannerTitle, kBannerText}) ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    state.banner_font = scaled_font(dialog, 100, FW_BOLD);
  }
}

void paint_banner(HWND dialog, HDC dc, PageState& state) {
  if (!state.banner) return;
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, state.banner);
  BitBlt(dc, state.banner_rect.left, state.banner_rect.top, state.banner_rect.right - state.banner_rect.left,
         state.banner_rect.bottom - state.banner_rect.top, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, state.request->look.banner_text_color);
  HFONT normal = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  HGDIOBJ old_font = SelectObject(dc, state.banner_font ? state.banner_font : normal);
  DrawTextW(dc, wide(state.banner_title), -1, &state.title_rect, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, normal);
  DrawTextW(dc, wide(state.banner_text), -1, &state.text_rect, DT_LEFT | DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, old_font);
}

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

// Whether the viewer shows the end of its text.
bool scrolled_to_end(HWND viewer) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(viewer, SB_VERT, &info)) return true;  // nothing to scroll
  if (info.nMax <= 0 || static_cast<int>(info.nPage) > info.nMax - info.nMin) return true;
  return info.nPos + static_cast<int>(info.nPage) >= info.nMax;
}

void apply_changes(HWND dialog, const std::vector<PageControl>& changes) {
  for (const PageControl& c : changes) {
    HWND window = GetDlgItem(dialog, c.id);
    if (!window) continue;
    if (window_text(window) != c.text) SetWindowTextW(window, wide(c.text));
    EnableWindow(window, c.enabled);
  }
}

INT_PTR CALLBACK page_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<PageState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<PageState*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      const PageRequest& request = *state->request;
      EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
      if (state->large_icon) SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state->large_icon));
      if (state->small_icon) SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state->small_icon));
      SetWindowTextW(dialog, wide(request.caption));
      set_up_look(dialog, *state);
      if (HWND list = GetDlgItem(dialog, kLanguageList)) {
        for (const std::u16string& item : request.list_items)
          SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item)));
      }
      if (HWND edit = GetDlgItem(dialog, 1015)) SendMessageW(edit, EM_LIMITTEXT, 259, 0);
      if (HWND edit = GetDlgItem(dialog, kPassword)) SendMessageW(edit, EM_LIMITTEXT, 64, 0);
      if (HWND viewer = GetDlgItem(dialog, kViewer)) SendMessageW(viewer, EM_SETEVENTMASK, 0, ENM_LINK);
      for (const PageControl& control : request.controls) apply_control(dialog, control, request.rich_text);
      if (request.accept_after_scroll) {
        EnableWindow(GetDlgItem(dialog, kNext), FALSE);
        SetTimer(dialog, kScrollTimer, 200, nullptr);
        SetTimer(dialog, kScrollTimer2, 250, nullptr);
      }
      PostMessageW(dialog, WM_COMMAND, GetDlgItem(dialog, 1015) ? kFocusFolderCommand : kFocusCommand, 0);
      return FALSE;
    }
    case WM_TIMER:
      if (wparam == kScrollTimer || wparam == kScrollTimer2) {
        // The first timer checks the viewer; the second keeps the check
        // going when the first tick came before the text was laid out.
        if (scrolled_to_end(GetDlgItem(dialog, kViewer))) {
          EnableWindow(GetDlgItem(dialog, kNext), TRUE);
          KillTimer(dialog, kScrollTimer);
          KillTimer(dialog, kScrollTimer2);
        } else if (wparam == kScrollTimer2) {
          KillTimer(dialog, kScrollTimer2);
        }
      }
      return TRUE;
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
    case WM_CTLCOLORBTN: {
      if (!state) return FALSE;
      HDC dc = reinterpret_cast<HDC>(wparam);
      HWND control = reinterpret_cast<HWND>(lparam);
      const PageLook& look = state->request->look;
      if (look.has_colors) SetTextColor(dc, look.foreground);
      // Controls on the content panel of the full-picture look.
      if (state->panel && message != WM_CTLCOLORDLG) {
        RECT r = child_rect(dialog, GetDlgCtrlID(control));
        RECT panel = child_rect(dialog, 1042);
        if (r.left >= panel.left && r.bottom <= panel.bottom) {
          SetBkMode(dc, TRANSPARENT);
          return reinterpret_cast<INT_PTR>(state->panel);
        }
      }
      if (look.has_colors) {
        SetBkColor(dc, look.background);
        return reinterpret_cast<INT_PTR>(state->background);
      }
      return FALSE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (state && header->idFrom == kLink && (header->code == NM_CLICK || header->code == NM_RETURN)) {
        if (!state->request->link_url.empty())
          ShellExecuteW(dialog, L"open", wide(state->request->link_url), nullptr, nullptr, SW_SHOWNORMAL);
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
    case WM_COMMAND: {
      if (!state) return FALSE;
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      const PageRequest& request = *state->request;
      if (id == kFocusCommand || id == kFocusFolderCommand) {
        SetForegroundWindow(dialog);
        HWND focus = request.focus_id ? GetDlgItem(dialog, request.focus_id) : nullptr;
        if (focus) SetFocus(focus);
        if (HWND viewer = GetDlgItem(dialog, kViewer)) {
          // The text is read from its start, nothing selected.
          SendMessageW(viewer, EM_SETSEL, 0, 0);
          SendMessageW(viewer, WM_VSCROLL, SB_TOP, 0);
        }
        return TRUE;
      }
      if (state->progress) {
        if (id == kCancel || id == IDCANCEL) {
          if (IsWindowEnabled(GetDlgItem(dialog, kCancel)) && state->cancel_pressed) *state->cancel_pressed = true;
          return TRUE;
        }
        return FALSE;
      }
      if (id == kNext || id == IDOK || (id == kLanguageList && code == LBN_DBLCLK)) {
        if (!IsWindowEnabled(GetDlgItem(dialog, kNext))) return TRUE;
        collect(dialog, *state);
        state->result.button = kNext;
        EndDialog(dialog, kNext);
        return TRUE;
      }
      if (id == kCancel || id == IDCANCEL) {
        if (id == IDCANCEL && !GetDlgItem(dialog, kCancel)) {
          // Pages without cancel (the summary) close as with their button.
          collect(dialog, *state);
          state->result.button = kNext;
          EndDialog(dialog, kNext);
          return TRUE;
        }
        collect(dialog, *state);
        state->result.button = kCancel;
        EndDialog(dialog, kCancel);
        return TRUE;
      }
      if (id == kBrowse && request.browse) {
        browse(dialog, *request.browse);
        return TRUE;
      }
      if (id == kLanguageList && code == LBN_SELCHANGE && request.on_select) {
        const int index = static_cast<int>(SendDlgItemMessageW(dialog, kLanguageList, LB_GETCURSEL, 0, 0));
        const PageRequest retexted = request.on_select(index);
        SetWindowTextW(dialog, wide(retexted.caption));
        for (const PageControl& c : retexted.controls)
          if (c.id != kLanguageList) apply_control(dialog, c, false);
        state->banner_text = retexted.look.banner_text;
        state->banner_title = retexted.look.banner_title;
        InvalidateRect(dialog, &state->banner_rect, TRUE);
        return TRUE;
      }
      if (code == EN_CHANGE && request.on_edit) {
        apply_changes(dialog, request.on_edit(id, window_text(GetDlgItem(dialog, id))));
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

WizardWindows::~WizardWindows() {
  close_progress();
  destroy_backdrop();
}

PageResult WizardWindows::show_page(const PageRequest& request) {
  load_control_classes();
  PageState state;
  state.request = &request;
  state.large_icon = large_icon_;
  state.small_icon = small_icon_;
  state.result.button = kCancel;
  state.result.controls = request.controls;
  const std::wstring name(request.template_name.begin(), request.template_name.end());
  const INT_PTR answer = DialogBoxParamW(GetModuleHandleW(nullptr), name.c_str(), owner(), page_proc,
                                         reinterpret_cast<LPARAM>(&state));
  if (answer == -1 || answer == 0) state.result.button = kCancel;  // no such template
  return state.result;
}

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

namespace {
// A progress page's request and state live as long as its window.
struct ProgressHolder {
  ProgressRequest request;
  PageState state;
};
}  // namespace

bool WizardWindows::open_progress(const ProgressRequest& request) {
  if (progress_) return true;
  load_control_classes();
  auto holder = std::make_unique<ProgressHolder>();
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
  progress_state_ = holder.release();
  cancel_pressed_ = false;
  return true;
}

void WizardWindows::set_progress_text(const std::u16string& text) {
  if (progress_) SetDlgItemTextW(progress_, kStatus, wide(text));
}

void WizardWindows::set_progress_position(int percent) {
  if (progress_) PostMessageW(GetDlgItem(progress_, kProgressBar), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
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
  delete static_cast<ProgressHolder*>(progress_state_);
  progress_state_ = nullptr;
}

bool WizardWindows::load_application_icons() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto load = [instance](int size_x, int size_y) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(size_x),
                                         GetSystemMetrics(size_y), LR_DEFAULTCOLOR));
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
