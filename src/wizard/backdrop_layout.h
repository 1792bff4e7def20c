// Geometry and colours of the backdrop window, apart from drawing.
//
// The win32 backend asks these functions where bands, the bitmap and the
// texts go and only draws the answers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace hs::wizard {

// A rectangle with exclusive right and bottom edges.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// One horizontal band of the fall-back gradient.
struct Band {
  Rect rect;
  std::uint32_t color = 0;  // COLORREF
};

// Height of one band for a client area `client_height` pixels high: the
// rectangle height (client height − 1) / 224, at least 1 and at most 3.
int band_height(int client_height);

// The bands that paint a vertical gradient from `top` to `bottom` over a
// client area of the given size. Each channel moves in equal integer
// steps with the remainder spread by an error accumulator; the first band
// is already one step from `top`, the last band is exactly `bottom`, and
// the bands cover the whole client area.
std::vector<Band> gradient_bands(int client_width, int client_height, std::uint32_t top, std::uint32_t bottom);

// Where the bitmap goes in a client area (left/top 0) for `stretch_mode`
// 0 (stretch to the box), 1 (fit keeping the aspect ratio), 2 (integer
// zoom; acts as 1 when the box is smaller than the bitmap) or any other
// value but 3 (as 0). The box is `size_percent` of the client width and
// height, rounded half away from zero, centred. Mode 3 (tile) is
// `tile_grid`. An empty rectangle means nothing is drawn.
Rect bitmap_destination(int client_width, int client_height, int bitmap_width, int bitmap_height,
                        int size_percent, int stretch_mode);

// Tile positions for mode 3: top-left corners of ceil(W/w) × ceil(H/h)
// unscaled copies starting at the client's top-left corner.
std::vector<Rect> tile_grid(int client_width, int client_height, int bitmap_width, int bitmap_height);

// Face for a comma-separated font list: the first name, trimmed, that
// `installed` knows; else "MS Shell Dlg 2" if installed, else "Arial".
std::u16string choose_font_face(std::u16string_view list, const std::function<bool(std::u16string_view)>& installed);

// Whether a backdrop text counts as blank (only spaces, tabs, CR, LF).
bool is_blank(std::u16string_view text);

// The title painted: `display_title`, or `heading_text` when it is blank.
std::u16string title_text(std::u16string_view display_title, std::u16string_view heading_text);

// Result of fitting a text to the client width.
struct FittedFont {
  double points = 0;  // size accepted
  int height = 0;     // font height in pixels (LOGPIXELSY × points / 72)
  int shadow = 0;     // shadow offset d in pixels
};

// Pixel height of a font of `points` on a screen of `dpi` pixels per inch.
int font_height(double points, int dpi);

// Fits a text: starting at `nominal_points`, one point smaller each time,
// until `measure(height)` (the widest line in pixels at that font height)
// + shadow offset + `margin` is below `client_right`. At 6 points or less
// the size is taken without measuring. A nominal size that is not a
// number becomes 6 points; a negative one 0 (the font's default height),
// an absurdly large one 1000.
FittedFont fit_text(double nominal_points, int dpi, int shadow_depth, int margin, int client_right,
                    const std::function<int(int height)>& measure);

// One line of a laid-out backdrop text.
struct PlacedLine {
  std::u16string text;
  int x = 0;  // left edge of the text (the shadow is at x + shadow)
  int y = 0;  // top edge
};

// Splits a text into lines at CR, LF or CR LF.
std::vector<std::u16string> split_lines(std::u16string_view text);

// Places the lines of a text at `position` (1-3 top left/centre/right,
// 4-6 bottom). `line_width` measures one line at the fitted height.
std::vector<PlacedLine> place_text(std::u16string_view text, int position, int client_width, int client_height,
                                   const FittedFont& font, const std::function<int(std::u16string_view)>& line_width);

}  // namespace hs::wizard
