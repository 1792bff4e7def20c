// Shows every wizard page in every look, the password, crash and
// support-offer dialogs, the progress page and the backdrop, with the
// default English texts, and saves a picture of each as a BMP file.
//
//   page_shots.exe OUTPUT_FOLDER PICTURES_FOLDER
//
// A test program for looking at the real windows under Wine (run by
// scripts/screenshots.sh); it is not part of the product. It ends with
// exit code 1 when a page did not come up, closed by itself, or was drawn
// as one flat colour, and names each such picture on standard error.
#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "package/default_messages.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_pages.h"
#include "support/text.h"
#include "wizard/dib_image.h"
#include "wizard/page_style.h"
#include "wizard/pages.h"

using namespace hs;
using platform::PageControl;
using platform::PageRequest;
using platform::win32::wide;

namespace {

std::wstring g_out;
std::wstring g_name;  // name of the picture being taken
platform::win32::WizardWindows* g_windows = nullptr;
bool g_taken = false;   // the picture of the page being shown was taken
int g_tries = 0;        // timer ticks spent looking for the page being shown
int g_failures = 0;     // pictures not taken or blank

void fail(const std::wstring& name, const char* why) {
  std::fprintf(stderr, "page_shots: %s: %s\n", support::utf16_to_utf8(std::u16string(name.begin(), name.end())).c_str(), why);
  ++g_failures;
}

std::u16string msg(int n) {
  auto table = package::default_english_messages();
  std::u16string text = n >= 0 && static_cast<std::size_t>(n) < table.size() ? support::utf8_to_utf16(table[n]) : u"";
  for (std::size_t at; (at = text.find(u"<product>")) != std::u16string::npos;) text.replace(at, 9, u"Sample Product");
  return text;
}

// Saves the screen area of `window` (or the whole screen) as a BMP file;
// a picture of one colour only counts as a failure.
void capture(HWND window, const std::wstring& name) {
  RECT r{};
  if (window) {
    GetWindowRect(window, &r);
  } else {
    r = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, section);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  SelectObject(memory, old);
  const DWORD stride = (w * 3 + 3) & ~3;
  const DWORD size = stride * h;
  if (w <= 0 || h <= 0 || !bits) {
    fail(name, "nothing to take");
  } else {
    const auto* px = static_cast<const std::uint8_t*>(bits);
    bool flat = true;
    for (int y = 0; y < h && flat; ++y)
      for (int x = 0; x < w && flat; ++x)
        flat = std::equal(px, px + 3, px + y * stride + x * 3);
    if (flat) fail(name, "the picture is one colour only");
  }
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + size;
  std::ofstream out((g_out + L"\\" + name + L".bmp").c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
  out.write(static_cast<const char*>(bits), size);
  DeleteObject(section);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

BOOL CALLBACK find_dialog(HWND window, LPARAM found) {
  wchar_t cls[16] = {};
  GetClassNameW(window, cls, 15);
  if (IsWindowVisible(window) && wcscmp(cls, L"#32770") == 0 && window != g_windows->progress_window()) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

// Once the page is up and painted: its picture, then cancel (or next).
// A page that is not up after a few seconds is a failure; the program then
// ends, as the page's own loop would never return.
void CALLBACK take_picture(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), find_dialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) {
    if (++g_tries < 10) return;  // the timer ticks again
    KillTimer(nullptr, timer);
    fail(g_name, "the page did not come up");
    ExitProcess(1);
  }
  KillTimer(nullptr, timer);
  g_taken = true;
  RedrawWindow(dialog, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  capture(dialog, g_name);
  // The caption as the window holds it, to read beside the pictures.
  wchar_t caption[256] = {};
  GetWindowTextW(dialog, caption, 255);
  std::ofstream list((g_out + L"\\captions.txt").c_str(), std::ios::app | std::ios::binary);
  const std::string line = support::utf16_to_utf8(g_name.begin() == g_name.end() ? u"" : std::u16string(g_name.begin(), g_name.end())) +
                           ": " + support::utf16_to_utf8(std::u16string(caption, caption + wcslen(caption))) + "\n";
  list << line;
  PostMessageW(dialog, WM_COMMAND, GetDlgItem(dialog, 1003) ? 1003 : 1001, 0);
}

void shoot(PageRequest request, const std::wstring& name) {
  g_name = name;
  g_taken = false;
  g_tries = 0;
  const UINT_PTR timer = SetTimer(nullptr, 0, 500, take_picture);
  g_windows->show_page(request);
  if (!g_taken) {  // the template could not be made, or the page closed itself
    KillTimer(nullptr, timer);
    fail(name, "the page closed before its picture was taken");
  }
}

PageControl ctl(int id, std::u16string text, int state = 0, bool enabled = true) {
  PageControl c;
  c.id = id;
  c.text = std::move(text);
  c.state = state;
  c.enabled = enabled;
  return c;
}

PageRequest base(wizard::Page page, int style, int page_text) {
  PageRequest r;
  r.template_name = wizard::template_name(page, style);
  r.look.style = wizard::effective_style(style);
  r.look.banner_title = u"Sample Product 4.2";
  r.look.banner_text = msg(page_text);
  r.look.banner_text_color = RGB(29, 53, 87);
  r.look.picture_frame = 1;
  r.caption = wizard::caption_text(r.look.style == 2 ? msg(65) : msg(page_text));
  r.focus_id = page == wizard::Page::kLicense || page == wizard::Page::kReadme ? 1005 : 1001;
  return r;
}

const char16_t kLicence[] =
    u"SAMPLE PRODUCT LICENCE AGREEMENT\n\n"
    u"1. Grant. You may install and use one copy of Sample Product on each computer you own.\n\n"
    u"2. Restrictions. You may not rent, lease or lend the product, nor remove its notices.\n\n"
    u"3. No warranty. The product is provided as is, without warranty of any kind.\n\n"
    u"4. Limitation. In no event shall the maker be liable for any damages arising from the use of the product.\n\n"
    u"5. Termination. This licence ends when you fail to comply with it.\n\n6. Law. Whatever law applies.";

void pages() {
  for (int style = 0; style < 4; ++style) {
    const std::wstring suffix = L"_style" + std::to_wstring(style);
    {  // Language
      PageRequest r = base(wizard::Page::kLanguage, style, 94);
      r.list_items = {u"English", u"Deutsch", u"Français", u"Español", u"Suomi", u"日本語"};
      r.controls = {ctl(1017, u"", 0), ctl(1001, msg(48)), ctl(1003, msg(49))};
      shoot(r, L"language" + suffix);
    }
    if (style != 0) {  // Greeting
      PageRequest r = base(wizard::Page::kGreeting, style, style == 2 ? 103 : 65);
      r.controls = {ctl(1009, style == 2 ? u"\r\n\r\n" + msg(65) : msg(65)),
                    ctl(1040, u"For more information, visit <a href=\"https://example.com\">the product's web site</a>."),
                    ctl(1001, msg(48)), ctl(1003, msg(49))};
      r.link_url = u"https://example.com";
      shoot(r, L"greeting" + suffix);
    }
    {  // Licence: RTF in the banner look, plain text elsewhere
      PageRequest r = base(wizard::Page::kLicense, style, 44);
      std::u16string text = kLicence;
      if (style == 2) {
        text = u"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs18{\\b SAMPLE PRODUCT LICENCE}\\par\\par "
               u"1. {\\i Grant.} You may install one copy.\\par\\par 2. {\\i No warranty.} As is.\\par}";
        r.rich_text = true;
      }
      r.controls = {ctl(1009, msg(47)), ctl(1005, text), ctl(1001, msg(45), 0, style == 2),
                    ctl(1003, msg(46))};
      r.accept_after_scroll = style != 2;
      shoot(r, L"licence" + suffix);
    }
    {  // Read-me
      PageRequest r = base(wizard::Page::kReadme, style, 51);
      r.controls = {ctl(1009, msg(51)), ctl(1005, u"What is new in version 4.2\n\n- Faster start.\n- Fewer bugs."),
                    ctl(1001, msg(48)), ctl(1003, msg(49))};
      shoot(r, L"readme" + suffix);
    }
    {  // Folder
      PageRequest r = base(wizard::Page::kChooseDir, style, 24);
      r.controls = {ctl(1009, msg(11)), ctl(1015, u"C:\\Program Files\\Sample Product"), ctl(1013, msg(52)),
                    ctl(1036, u"Space required: 12.3 MB"), ctl(1037, u"Space available: 41.7 GB"),
                    ctl(1001, msg(90)), ctl(1003, msg(49))};
      shoot(r, L"folder" + suffix);
    }
    {  // Start menu
      PageRequest r = base(wizard::Page::kStartMenu, style, 89);
      r.controls = {ctl(1009, msg(88)), ctl(1015, u"Sample Company\\Sample Product"), ctl(1013, msg(52)),
                    ctl(1001, msg(90)), ctl(1003, msg(49))};
      shoot(r, L"startmenu" + suffix);
    }
    {  // Summary
      PageRequest r = base(wizard::Page::kSummary, style, 43);
      r.controls = {ctl(1009, msg(42)), ctl(1001, msg(95)), ctl(1025, msg(84), 1), ctl(1023, msg(83), 1),
                    ctl(1029, msg(87), 1), ctl(1027, msg(85), 0)};
      shoot(r, L"summary" + suffix);
    }
    {  // Progress (modeless)
      platform::ProgressRequest p;
      p.page = base(wizard::Page::kProgress, style, 54);
      p.page.look.enlarge_heading = style == 0 || style == 2;
      p.page.controls = {ctl(1009, msg(39)), ctl(1007, u"", 40), ctl(1011, u"Installing C:\\Program Files\\Sample Product\\bin\\sample.dll"),
                         ctl(1003, msg(49))};
      p.placement = 3 + 24;
      if (!g_windows->open_progress(p)) {
        fail(L"progress" + suffix, "the progress page did not open");
      } else {
        g_windows->set_progress_position(40);
        for (int i = 0; i < 20; ++i) {
          MSG m;
          while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
          }
          Sleep(25);
        }
        capture(g_windows->progress_window(), L"progress" + suffix);
        g_windows->close_progress();
      }
    }
  }
  {
    PageRequest r;
    r.template_name = "EnterPassword";
    r.caption = msg(75);
    r.controls = {ctl(1009, msg(76)), ctl(1039, msg(27)), ctl(1019, u"secret"), ctl(1001, u"OK"), ctl(1003, msg(49))};
    shoot(r, L"password");
  }
  {
    PageRequest r;
    r.template_name = "ExceptionDlg";
    r.caption = u"Illegal Operation";
    r.controls = {ctl(1009, u"We apologize for the inconvenience, but the program has performed an illegal operation and "
                            u"must close.  Please report this problem to Halvorend by clicking the \"Inform Us\" button below."),
                  ctl(1050, u"What were you doing when this happened?"), ctl(1051, u""),
                  ctl(1052, u"Your e-mail address (optional):"), ctl(1053, u""), ctl(1001, u"Inform Us"),
                  ctl(1003, u"Close")};
    shoot(r, L"exception");
  }
  {
    PageRequest r;
    r.template_name = "SupportOffer";
    r.caption = msg(110);
    r.controls = {ctl(1009, msg(109)), ctl(1001, msg(110)), ctl(1003, msg(104))};
    shoot(r, L"support_offer");
  }
}

std::vector<std::uint8_t> read_file(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void pump_for(int ms) {
  for (int i = 0; i < ms / 25; ++i) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    Sleep(25);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: page_shots OUTPUT_FOLDER PICTURES_FOLDER\n");
    return 2;
  }
  g_out = argv[1];
  const std::wstring pictures = argv[2];
  SetProcessDPIAware();
  CoInitialize(nullptr);
  {
    HDC screen = GetDC(nullptr);
    std::printf("page_shots: %d dots per inch, screen %d x %d\n", GetDeviceCaps(screen, LOGPIXELSY),
                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    std::fflush(stdout);
    ReleaseDC(nullptr, screen);
  }

  // Backdrops: each variant painted full screen and taken.
  struct Variant {
    const wchar_t* name;
    const wchar_t* bitmap;  // file in the pictures folder, "" = none
    int stretch, size, tpi;
    bool mono;
    int title_pos, copyright_pos;
    double title_size;
  } variants[] = {
      {L"backdrop_gradient_texts", L"", 0, 0, -1, false, 1, 6, 1.0},
      {L"backdrop_centre_bottom_texts", L"", 0, 0, -1, false, 5, 2, 1.6},
      {L"backdrop_huge_title", L"", 0, 0, -1, false, 2, 4, 9.0},
      {L"backdrop_mono", L"", 0, 0, -1, true, 3, 5, 1.0},
      {L"backdrop_stretch", L"photo24.bmp", 0, 60, -1, false, 1, 6, 1.0},
      {L"backdrop_fit", L"photo24.bmp", 1, 60, -1, false, 1, 6, 1.0},
      {L"backdrop_zoom", L"logo8.bmp", 2, 60, -1, false, 1, 6, 1.0},
      {L"backdrop_tile", L"logo8.bmp", 3, 10, -1, false, 1, 6, 1.0},
      {L"backdrop_palette_transparent", L"logo8.bmp", 2, 60, 0, false, 1, 6, 1.0},
      {L"backdrop_alpha", L"alpha32.bmp", 1, 60, -1, false, 1, 6, 1.0},
  };
  for (const Variant& v : variants) {
    platform::Backdrop s;
    s.caption = u"Sample Product Setup";
    s.title = platform::BackdropText{u"Sample Product 4.2", u"Cambria Bold Italic, Times New Roman Bold Italic",
                                     0xFFFEF7, v.title_pos, 40, v.title_size * 26};
    s.copyright = platform::BackdropText{u"Copyright 2026 Sample Company\nAll rights reserved.",
                                         u"Calibri Bold Italic, Verdana Bold Italic, Arial Bold Italic", 0xFEFCEC,
                                         v.copyright_pos, 0, 16};
    s.top_color = RGB(29, 53, 87);
    s.bottom_color = v.mono ? s.top_color : RGB(69, 123, 157);
    s.solid = v.mono;
    wizard::DibImage picture;
    if (*v.bitmap && picture.load_file_bytes(read_file(pictures + L"\\" + v.bitmap))) s.bitmap = picture.bytes();
    s.stretch_mode = v.stretch;
    s.bitmap_size = v.size;
    s.transparent_index = v.tpi;
    // Set up as the engine does at start: the application icons on every
    // window and subclassing for the controls.
    platform::win32::WizardWindows windows;
    windows.load_application_icons();
    windows.bind_window_subclassing();
    if (!windows.create_backdrop(s)) {
      fail(v.name, "the backdrop window was not made");
      return 1;
    }
    pump_for(600);
    capture(nullptr, v.name);
    if (v.name == std::wstring(L"backdrop_gradient_texts")) {
      // The pages over this backdrop.
      g_windows = &windows;
      pages();
      g_windows = nullptr;
    }
    windows.destroy_backdrop();
  }
  return g_failures == 0 ? 0 : 1;
}
