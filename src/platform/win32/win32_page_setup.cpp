// A page's look and the set-up every page does as it comes up; its
// controls read back when it closes.
#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include <string>

#include "platform/control_ids.h"
#include "platform/win32/library_loading.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_fonts.h"
#include "platform/win32/win32_page_window.h"

namespace hs::platform::win32 {

namespace {

constexpr int kMaxFolderLength = 259;   // folder and Start-menu edits
constexpr int kMaxPasswordLength = 64;  // password edit

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

BOOL CALLBACK set_font(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

HBITMAP sized_bitmap(int resource, int width, int height) {
  return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_BITMAP, width,
                                         height, LR_CREATEDIBSECTION));
}

// Colours, font, enlarged heading, side picture and banner.
void set_up_look(HWND dialog, PageState& state) {
  const PageLook& look = state.request->look;
  if (look.has_colors) state.background = CreateSolidBrush(look.background);
  if (look.style == 3) state.panel = CreateSolidBrush(look.has_colors ? look.background : RGB(255, 255, 255));
  if ((state.font = font_from_list(dialog, look.font))) {
    SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    EnumChildWindows(dialog, set_font, reinterpret_cast<LPARAM>(state.font));
  }
  if (look.enlarge_heading) {
    if (HWND heading = GetDlgItem(dialog, control::kText)) {
      if ((state.heading_font = scaled_font(heading, 110, FW_BOLD)))
        SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(state.heading_font), TRUE);
    }
  }
  // Side picture, stretched to its control and framed as the package asks.
  if (HWND side = GetDlgItem(dialog, control::kSidePicture)) {
    RECT r = child_rect(dialog, control::kSidePicture);
    state.side = sized_bitmap(control::kSideBitmap, r.right - r.left, r.bottom - r.top);
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
  if (GetDlgItem(dialog, control::kBanner)) {
    state.banner_rect = child_rect(dialog, control::kBanner);
    state.title_rect = child_rect(dialog, control::kBannerTitle);
    state.text_rect = child_rect(dialog, control::kBannerText);
    state.banner = sized_bitmap(control::kBannerBitmap, state.banner_rect.right - state.banner_rect.left,
                                state.banner_rect.bottom - state.banner_rect.top);
    state.banner_title = look.banner_title;
    state.banner_text = look.banner_text;
    for (int id : {control::kBanner, control::kBannerTitle, control::kBannerText})
      ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    state.banner_font = scaled_font(dialog, 100, FW_BOLD);
  }
}

}  // namespace

PageState::~PageState() {
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(background), static_cast<HGDIOBJ>(panel), static_cast<HGDIOBJ>(font),
                    static_cast<HGDIOBJ>(heading_font), static_cast<HGDIOBJ>(banner_font), static_cast<HGDIOBJ>(side),
                    static_cast<HGDIOBJ>(banner)})
    if (o) DeleteObject(o);
}

void load_control_classes() {
  static bool done = false;
  if (done) return;
  done = true;
  // comctl32 by its bare name, so that the manifest's activation context
  // maps version 6 (the library search is already limited to the system
  // folder); the rich-edit library from the system folder.
  if (HMODULE comctl = LoadLibraryW(L"comctl32.dll")) {
    using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (auto init = reinterpret_cast<Init>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")))) {
      INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LINK_CLASS};
      init(&icc);
    }
  }
  load_system_library(L"riched20.dll");
}

std::u16string window_text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, buffer.data(), length + 1);
  return from_wide(buffer.data(), static_cast<std::size_t>(got < 0 ? 0 : got));
}

RECT child_rect(HWND dialog, int id) {
  RECT r{};
  HWND child = GetDlgItem(dialog, id);
  if (!child) return r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void apply_control(HWND dialog, const PageControl& c, bool rich) {
  HWND window = GetDlgItem(dialog, c.id);
  if (!window) return;
  if (c.id == control::kLanguageList) {
    SendMessageW(window, LB_SETCURSEL, static_cast<WPARAM>(c.state), 0);
  } else if (c.id == control::kProgressBar) {
    SendMessageW(window, PBM_SETRANGE32, 0, 100);
    SendMessageW(window, PBM_SETPOS, static_cast<WPARAM>(c.state), 0);
  } else if (c.id == control::kViewer) {
    if (rich) {
      set_rich_text(window, c.text);
    } else {
      const std::u16string text = crlf(c.text);
      SetWindowTextW(window, wide(text));
    }
  } else {
    SetWindowTextW(window, wide(c.text));
    if (is_check_box(window)) SendMessageW(window, BM_SETCHECK, c.state ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  EnableWindow(window, c.enabled);
  ShowWindow(window, c.visible ? SW_SHOW : SW_HIDE);
}

void collect(HWND dialog, PageState& state) {
  state.result.controls = state.request->controls;
  for (PageControl& c : state.result.controls) {
    HWND window = GetDlgItem(dialog, c.id);
    if (!window) continue;
    if (c.id == control::kLanguageList) {
      const LRESULT selection = SendMessageW(window, LB_GETCURSEL, 0, 0);
      if (selection != LB_ERR) c.state = static_cast<int>(selection);
    } else if (is_check_box(window)) {
      c.state = SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    } else if (_wcsicmp(class_name(window).c_str(), L"Edit") == 0) {
      c.text = window_text(window);
    }
    c.enabled = IsWindowEnabled(window) != FALSE;
  }
}

void set_up_page(HWND dialog, PageState& state) {
  const PageRequest& request = *state.request;
  EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  if (state.large_icon) SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state.large_icon));
  if (state.small_icon) SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.small_icon));
  SetWindowTextW(dialog, wide(request.caption));
  set_up_look(dialog, state);
  if (HWND list = GetDlgItem(dialog, control::kLanguageList)) {
    for (const std::u16string& item : request.list_items)
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item)));
  }
  if (HWND edit = GetDlgItem(dialog, control::kEdit)) SendMessageW(edit, EM_LIMITTEXT, kMaxFolderLength, 0);
  if (HWND edit = GetDlgItem(dialog, control::kPassword)) SendMessageW(edit, EM_LIMITTEXT, kMaxPasswordLength, 0);
  if (HWND viewer = GetDlgItem(dialog, control::kViewer)) SendMessageW(viewer, EM_SETEVENTMASK, 0, ENM_LINK);
  for (const PageControl& c : request.controls) apply_control(dialog, c, request.rich_text);
  if (request.accept_after_scroll) start_scroll_watch(dialog);
  const bool folder_page = GetDlgItem(dialog, control::kEdit) != nullptr;
  PostMessageW(dialog, WM_COMMAND, folder_page ? control::kFocusFolderCommand : control::kFocusCommand, 0);
}

void paint_banner(HWND dialog, HDC dc, const PageState& state) {
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
  RECT title = state.title_rect, text = state.text_rect;
  DrawTextW(dc, wide(state.banner_title), -1, &title, DT_LEFT | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, normal);
  DrawTextW(dc, wide(state.banner_text), -1, &text, DT_LEFT | DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, old_font);
}

}  // namespace hs::platform::win32
