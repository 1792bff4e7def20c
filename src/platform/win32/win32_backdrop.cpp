// The backdrop window: gradient or solid colour, the optional bitmap, the
// product title with its shadow and the copyright line.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/library_loading.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_fonts.h"
#include "platform/win32/win32_pages.h"
#include "support/text.h"
#include "wizard/backdrop_layout.h"

namespace hs::platform::win32 {

namespace {

constexpr wchar_t kClassName[] = L"SEA Window Class";

using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

// msimg32 is bound at first use; its absence is kept for the rest of the run.
struct Msimg {
  bool looked = false;
  GradientFillFn gradient_fill = nullptr;
  AlphaBlendFn alpha_blend = nullptr;
};
Msimg& msimg() {
  static Msimg functions;
  if (!functions.looked) {
    functions.looked = true;
    functions.gradient_fill = bind_system<GradientFillFn>(L"msimg32.dll", "GradientFill");
    functions.alpha_blend = bind_system<AlphaBlendFn>(L"msimg32.dll", "AlphaBlend");
  }
  return functions;
}

void fill_solid(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  if (!brush) return;  // that band stays unpainted
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void draw_background(HDC dc, int width, int height, const Backdrop& s) {
  // The rectangle with inclusive right and bottom edges.
  const RECT inclusive{0, 0, width - 1, height - 1};
  if (s.solid) {
    RECT whole{0, 0, width, height};
    fill_solid(dc, whole, s.top_color);
    return;
  }
  if (GradientFillFn gradient = msimg().gradient_fill) {
    TRIVERTEX vertices[2] = {};
    vertices[0].x = inclusive.left;
    vertices[0].y = inclusive.top;
    vertices[0].Red = static_cast<COLOR16>(GetRValue(s.top_color) << 8);
    vertices[0].Green = static_cast<COLOR16>(GetGValue(s.top_color) << 8);
    vertices[0].Blue = static_cast<COLOR16>(GetBValue(s.top_color) << 8);
    vertices[1].x = inclusive.right + 1;
    vertices[1].y = inclusive.bottom + 1;
    vertices[1].Red = static_cast<COLOR16>(GetRValue(s.bottom_color) << 8);
    vertices[1].Green = static_cast<COLOR16>(GetGValue(s.bottom_color) << 8);
    vertices[1].Blue = static_cast<COLOR16>(GetBValue(s.bottom_color) << 8);
    GRADIENT_RECT rect{0, 1};
    if (gradient(dc, vertices, 2, &rect, 1, GRADIENT_FILL_RECT_V)) return;
  }
  for (const wizard::Band& band : wizard::gradient_bands(width, height, s.top_color, s.bottom_color)) {
    RECT r{band.rect.left, band.rect.top, band.rect.right, band.rect.bottom};
    fill_solid(dc, r, band.color);
  }
}

const BITMAPINFO* info_of(const std::vector<std::uint8_t>& bytes) {
  return reinterpret_cast<const BITMAPINFO*>(bytes.data());
}

void stretch(HDC dc, const wizard::Rect& to, const wizard::DibImage& image, const std::vector<std::uint8_t>& bytes,
             DWORD rop) {
  StretchDIBits(dc, to.left, to.top, to.width(), to.height(), 0, 0, image.width(), image.height(),
                bytes.data() + image.pixel_offset(), info_of(bytes), DIB_RGB_COLORS, rop);
}

// A 32-bit bitmap with per-pixel alpha, through a temporary DIB section.
void draw_alpha(HDC dc, const wizard::Rect& to, const wizard::DibImage& image) {
  AlphaBlendFn blend = msimg().alpha_blend;
  if (!blend) {
    stretch(dc, to, image, image.bytes(), SRCCOPY);
    return;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = image.width();
  info.bmiHeader.biHeight = -image.height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (memory && section && bits) {
    const std::vector<wizard::Bgra> pixels = image.to_bgra();
    memcpy(bits, pixels.data(), pixels.size() * sizeof(wizard::Bgra));
    HGDIOBJ old = SelectObject(memory, section);
    BLENDFUNCTION function{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    blend(dc, to.left, to.top, to.width(), to.height(), memory, 0, 0, image.width(), image.height(), function);
    SelectObject(memory, old);
  }
  if (section) DeleteObject(section);
  if (memory) DeleteDC(memory);
}

// A palette bitmap with one transparent entry: the mask (transparent white,
// the rest black) with SRCAND, then the picture with that entry black with
// SRCPAINT.
void draw_transparent(HDC dc, const wizard::Rect& to, const wizard::DibImage& image, int index) {
  const std::vector<bool> mask = wizard::transparency_mask(image, index);
  const int w = image.width(), h = image.height();
  const std::size_t stride = static_cast<std::size_t>((w + 31) / 32 * 4);
  struct MonoInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } mono{};
  mono.header.biSize = sizeof(BITMAPINFOHEADER);
  mono.header.biWidth = w;
  mono.header.biHeight = -h;
  mono.header.biPlanes = 1;
  mono.header.biBitCount = 1;
  mono.colors[1] = RGBQUAD{255, 255, 255, 0};
  std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(h), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (mask[static_cast<std::size_t>(y) * w + x]) rows[y * stride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  StretchDIBits(dc, to.left, to.top, to.width(), to.height(), 0, 0, w, h, rows.data(),
                reinterpret_cast<const BITMAPINFO*>(&mono), DIB_RGB_COLORS, SRCAND);
  std::vector<std::uint8_t> bytes = image.bytes();
  const std::size_t header = *reinterpret_cast<const std::uint32_t*>(bytes.data());
  const std::size_t entry = header == 12 ? 3 : 4;
  const std::size_t at = header + static_cast<std::size_t>(index) * entry;
  if (at + 3 <= image.pixel_offset()) {
    bytes[at] = bytes[at + 1] = bytes[at + 2] = 0;
  }
  stretch(dc, to, image, bytes, SRCPAINT);
}

void draw_bitmap(HDC dc, int width, int height, const BackdropWindowState& backdrop) {
  const Backdrop& s = backdrop.look;
  const wizard::DibImage& image = backdrop.picture;
  if (image.empty() || s.bitmap_size <= 0) return;
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  if (s.stretch_mode == 3) {
    for (const wizard::Rect& tile : wizard::tile_grid(width, height, image.width(), image.height()))
      stretch(dc, tile, image, image.bytes(), SRCCOPY);
    return;
  }
  const wizard::Rect to =
      wizard::bitmap_destination(width, height, image.width(), image.height(), s.bitmap_size, s.stretch_mode);
  if (to.width() <= 0 || to.height() <= 0) return;
  if (image.bits_per_pixel() == 32) {
    draw_alpha(dc, to, image);
  } else if (image.bits_per_pixel() <= 8 && s.transparent_index >= 0) {
    draw_transparent(dc, to, image, s.transparent_index);
  } else {
    stretch(dc, to, image, image.bytes(), SRCCOPY);
  }
}

HFONT make_font(const std::u16string& face, int height) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = 900;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_TT_PRECIS;
  lf.lfQuality = ANTIALIASED_QUALITY;
  wcsncpy_s(lf.lfFaceName, LF_FACESIZE, wide(face), LF_FACESIZE - 1);
  return CreateFontIndirectW(&lf);
}

int line_width(HDC dc, std::u16string_view line) {
  SIZE size{};
  std::u16string text(line);
  GetTextExtentPoint32W(dc, wide(text), static_cast<int>(text.size()), &size);
  return size.cx;
}

void draw_text(HDC dc, int width, int height, const BackdropText& t) {
  const std::u16string& text = t.text;
  if (t.position < 1 || t.position > 6 || wizard::is_blank(text)) return;
  const int margin = width / 200;
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  const std::u16string face = wizard::choose_font_face(t.fonts, font_installed);
  const std::vector<std::u16string> lines = wizard::split_lines(text);
  HFONT font = nullptr;
  const wizard::FittedFont fitted = wizard::fit_text(t.points, dpi, t.shadow, margin, width, [&](int font_height) {
    if (font) DeleteObject(font);
    font = make_font(face, font_height);
    HGDIOBJ old = SelectObject(dc, font);
    int widest = 0;
    for (const std::u16string& line : lines) widest = std::max(widest, line_width(dc, line));
    SelectObject(dc, old);
    return widest;
  });
  if (font) DeleteObject(font);
  font = make_font(face, fitted.height);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  const auto placed = wizard::place_text(text, t.position, width, height, fitted,
                                         [&](std::u16string_view line) { return line_width(dc, line); });
  for (const wizard::PlacedLine& line : placed) {
    if (fitted.shadow >= 1) {
      SetTextColor(dc, RGB(0, 0, 0));
      TextOutW(dc, line.x + fitted.shadow, line.y + fitted.shadow, wide(line.text), static_cast<int>(line.text.size()));
    }
    SetTextColor(dc, t.color);
    TextOutW(dc, line.x, line.y, wide(line.text), static_cast<int>(line.text.size()));
  }
  SelectObject(dc, old);
  DeleteObject(font);
}

void draw_texts(HDC dc, int width, int height, const Backdrop& s) {
  draw_text(dc, width, height, s.title);
  draw_text(dc, width, height, s.copyright);
}

LRESULT CALLBACK backdrop_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  const auto* backdrop = reinterpret_cast<const BackdropWindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (backdrop && message == WM_ERASEBKGND) {
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = reinterpret_cast<HDC>(wparam);
    draw_background(dc, client.right, client.bottom, backdrop->look);
    draw_bitmap(dc, client.right, client.bottom, *backdrop);
    return 1;
  }
  if (backdrop && message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    draw_texts(dc, client.right, client.bottom, backdrop->look);
    EndPaint(window, &paint);
    return 0;
  }
  return IsWindowUnicode(window) ? DefWindowProcW(window, message, wparam, lparam)
                                 : DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

void paint_backdrop(HDC dc, int width, int height, const BackdropWindowState& backdrop) {
  draw_background(dc, width, height, backdrop.look);
  draw_bitmap(dc, width, height, backdrop);
  draw_texts(dc, width, height, backdrop.look);
}

bool WizardWindows::create_backdrop(const Backdrop& look) {
  if (backdrop_) return true;
  auto state = std::make_unique<BackdropWindowState>();
  state->look = look;
  if (!look.bitmap.empty()) state->picture.load_memory(look.bitmap);
  const bool start_minimized = look.start_minimized;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  static bool registered = false;
  if (!registered) {
    WNDCLASSW cls{};
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = backdrop_proc;
    cls.hInstance = instance;
    cls.lpszClassName = kClassName;
    cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    registered = RegisterClassW(&cls) != 0;
  }
  bool maximize = look.maximize;
  RECT area{0, 0, 1, 1};
  if (!maximize && !SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) {
    maximize = true;
    area = RECT{0, 0, 1, 1};
  }
  const DWORD style = WS_POPUP | (start_minimized ? WS_MINIMIZE : 0);
  const int width = area.right - area.left + 1;
  const int height = area.bottom - area.top + 1;
  void* param = state.get();
  HWND window = CreateWindowExW(0, kClassName, wide(look.caption), style, area.left, area.top, width, height,
                                nullptr, nullptr, instance, param);
  if (!window) {
    // The same class through the ANSI functions, with the caption in code page 1252.
    WNDCLASSA cls{};
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = backdrop_proc;
    cls.hInstance = instance;
    cls.lpszClassName = "SEA Window Class";
    if (!RegisterClassA(&cls)) return false;
    const std::string caption = support::utf16_to_cp1252(look.caption);
    window = CreateWindowExA(0, "SEA Window Class", caption.c_str(), style, area.left, area.top, width, height, nullptr,
                             nullptr, instance, param);
    if (!window) return false;
  }
  backdrop_ = window;
  backdrop_state_ = std::move(state);
  give_icons(window);
  ShowWindow(window, SW_HIDE);
  ShowWindow(window, maximize ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  if (start_minimized) ShowWindow(window, SW_MINIMIZE);
  SetForegroundWindow(window);
  SetActiveWindow(window);
  InvalidateRect(window, nullptr, TRUE);
  return true;
}

void WizardWindows::repaint_backdrop(const Backdrop& look) {
  if (!backdrop_) return;
  if (look.bitmap != backdrop_state_->look.bitmap) {
    backdrop_state_->picture = wizard::DibImage();
    if (!look.bitmap.empty()) backdrop_state_->picture.load_memory(look.bitmap);
  }
  backdrop_state_->look = look;
  InvalidateRect(backdrop_, nullptr, TRUE);
}

void WizardWindows::destroy_backdrop() {
  if (!backdrop_) return;
  ShowWindow(backdrop_, SW_MINIMIZE);
  DestroyWindow(backdrop_);
  backdrop_ = nullptr;
  backdrop_state_.reset();
}

}  // namespace hs::platform::win32
