#include "wizard/backdrop_layout.h"

#include <algorithm>
#include <cmath>

namespace hs::wizard {

namespace {

int channel(std::uint32_t color, int shift) { return static_cast<int>((color >> shift) & 0xFF); }

// Steps one colour channel from its top value towards its bottom value in
// `steps` equal integer steps, spreading the remainder.
struct ChannelStepper {
  int value;
  int step;       // whole part of each step (signed)
  int remainder;  // |remainder| of the division
  int sign;
  int steps;
  int accumulated = 0;

  ChannelStepper(int from, int to, int n)
      : value(from), step((to - from) / n), remainder(std::abs((to - from) % n)), sign(to >= from ? 1 : -1), steps(n) {}

  int next() {
    value += step;
    accumulated += remainder;
    if (accumulated >= steps) {
      accumulated -= steps;
      value += sign;
    }
    return value;
  }
};

// Rounds half away from zero.
int round_half_away(double value) { return static_cast<int>(value < 0 ? std::ceil(value - 0.5) : std::floor(value + 0.5)); }

Rect centred(const Rect& box, int width, int height) {
  Rect r;
  r.left = box.left + (box.width() - width) / 2;
  r.top = box.top + (box.height() - height) / 2;
  r.right = r.left + width;
  r.bottom = r.top + height;
  return r;
}

Rect fit_aspect(const Rect& box, int bitmap_width, int bitmap_height) {
  int width = box.width();
  int height = box.height();
  const long long lhs = static_cast<long long>(width) * bitmap_height;
  const long long rhs = static_cast<long long>(height) * bitmap_width;
  if (lhs > rhs)
    width = static_cast<int>(rhs / bitmap_height);  // box too wide
  else if (lhs < rhs)
    height = static_cast<int>(lhs / bitmap_width);  // box too tall
  return centred(box, width, height);
}

bool is_space(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

}  // namespace

int band_height(int client_height) {
  const int rect_height = client_height - 1;
  return std::clamp(rect_height / 224, 1, 3);
}

std::vector<Band> gradient_bands(int client_width, int client_height, std::uint32_t top, std::uint32_t bottom) {
  std::vector<Band> bands;
  const int rect_height = client_height - 1;
  if (client_width <= 0 || client_height <= 0) return bands;
  if (rect_height <= 0) {
    bands.push_back(Band{Rect{0, 0, client_width, client_height}, bottom});
    return bands;
  }
  const int h = band_height(client_height);
  const int n = (rect_height + h - 1) / h;
  ChannelStepper red(channel(top, 0), channel(bottom, 0), n);
  ChannelStepper green(channel(top, 8), channel(bottom, 8), n);
  ChannelStepper blue(channel(top, 16), channel(bottom, 16), n);
  bands.reserve(n);
  for (int i = 0; i < n; ++i) {
    const std::uint32_t color = static_cast<std::uint32_t>(red.next()) | (static_cast<std::uint32_t>(green.next()) << 8) |
                                (static_cast<std::uint32_t>(blue.next()) << 16);
    Rect rect{0, i * h, client_width, std::min((i + 1) * h, rect_height)};
    // The last band reaches the bottom edge so that no row stays unpainted.
    if (i == n - 1) rect.bottom = client_height;
    bands.push_back(Band{rect, color});
  }
  return bands;
}

Rect bitmap_destination(int client_width, int client_height, int bitmap_width, int bitmap_height,
                        int size_percent, int stretch_mode) {
  if (client_width <= 0 || client_height <= 0 || bitmap_width <= 0 || bitmap_height <= 0 || size_percent <= 0)
    return Rect{};
  const int percent = std::min(size_percent, 100);
  const int box_width = round_half_away(client_width * percent / 100.0);
  const int box_height = round_half_away(client_height * percent / 100.0);
  const Rect box = centred(Rect{0, 0, client_width, client_height}, box_width, box_height);
  if (stretch_mode == 1) return fit_aspect(box, bitmap_width, bitmap_height);
  if (stretch_mode == 2) {
    const int k = std::min(box.width() / bitmap_width, box.height() / bitmap_height);
    if (k < 1) return fit_aspect(box, bitmap_width, bitmap_height);
    return centred(box, k * bitmap_width, k * bitmap_height);
  }
  return box;
}

std::vector<Rect> tile_grid(int client_width, int client_height, int bitmap_width, int bitmap_height) {
  std::vector<Rect> tiles;
  if (client_width <= 0 || client_height <= 0 || bitmap_width <= 0 || bitmap_height <= 0) return tiles;
  const int columns = (client_width + bitmap_width - 1) / bitmap_width;
  const int rows = (client_height + bitmap_height - 1) / bitmap_height;
  tiles.reserve(static_cast<std::size_t>(columns) * rows);
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column)
      tiles.push_back(Rect{column * bitmap_width, row * bitmap_height, (column + 1) * bitmap_width,
                           (row + 1) * bitmap_height});
  return tiles;
}

std::u16string choose_font_face(std::u16string_view list, const std::function<bool(std::u16string_view)>& installed) {
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(u',', start);
    if (end == std::u16string_view::npos) end = list.size();
    std::u16string_view name = list.substr(start, end - start);
    while (!name.empty() && is_space(name.front())) name.remove_prefix(1);
    while (!name.empty() && is_space(name.back())) name.remove_suffix(1);
    if (!name.empty() && installed(name)) return std::u16string(name);
    start = end + 1;
  }
  if (installed(u"MS Shell Dlg 2")) return u"MS Shell Dlg 2";
  return u"Arial";
}

bool is_blank(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), is_space);
}

std::u16string title_text(std::u16string_view display_title, std::u16string_view heading_text) {
  return std::u16string(is_blank(display_title) ? heading_text : display_title);
}

int font_height(double points, int dpi) { return static_cast<int>(dpi * points / 72.0); }

FittedFont fit_text(double nominal_points, int dpi, int shadow_depth, int margin, int client_right,
                    const std::function<int(int height)>& measure) {
  double points = nominal_points;
  if (!(points == points)) points = 6;  // not a number
  // No size is negative, and none is absurdly large; either would also
  // make the pixel height a number no int holds (a TitleSize of -inf read
  // from the registry, say).
  points = std::clamp(points, 0.0, 1000.0);
  while (true) {
    FittedFont font;
    font.points = points;
    font.height = font_height(points, dpi);
    font.shadow = shadow_depth * font.height / 1300;
    if (points <= 6) return font;
    if (measure(font.height) + font.shadow + margin < client_right) return font;
    points -= 1;
  }
}

std::vector<std::u16string> split_lines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  std::u16string line;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      lines.push_back(line);
      line.clear();
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      line += c;
    }
  }
  lines.push_back(line);
  return lines;
}

std::vector<PlacedLine> place_text(std::u16string_view text, int position, int client_width, int client_height,
                                   const FittedFont& font, const std::function<int(std::u16string_view)>& line_width) {
  std::vector<PlacedLine> placed;
  if (position < 1 || position > 6 || is_blank(text)) return placed;
  const int m = client_width / 200;
  const int v = client_height / 400;
  const int d = font.shadow;
  const int width = client_width - 2 * (d + m);
  const std::vector<std::u16string> lines = split_lines(text);
  const int text_height = static_cast<int>(lines.size()) * font.height;
  int y = position <= 3 ? v : client_height - text_height - d - v;
  const int column = (position - 1) % 3;  // 0 left, 1 centre, 2 right
  for (const std::u16string& line : lines) {
    const int w = line_width(line);
    int x = m;
    if (column == 1) x = m + (width - w) / 2;
    if (column == 2) x = m + width - w;
    placed.push_back(PlacedLine{line, x, y});
    y += font.height;
  }
  return placed;
}

}  // namespace hs::wizard
