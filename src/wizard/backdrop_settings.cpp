#include "wizard/backdrop_settings.h"

#include <algorithm>

#include "package/product_flags.h"
#include "wizard/backdrop_layout.h"

namespace hs::wizard {

BackdropSettings backdrop_from_settings(const package::Settings& settings, const package::DerivedSettings& derived,
                                        std::u16string heading_text, bool start_minimized) {
  BackdropSettings b;
  b.taskbar_text = settings.taskbar_text;
  b.display_title = settings.display_title;
  b.heading_text = std::move(heading_text);
  b.title_size = settings.title_size;
  b.title_color = settings.title_color;
  b.title_shadow = settings.title_shadow;
  b.title_position = settings.title_position;
  if (!settings.title_font.empty()) b.title_font = settings.title_font;
  b.top_color = settings.top_color;
  b.bottom_color = settings.bottom_color;
  b.mono_color = derived.mono_color;
  b.copyright_position = settings.copyright_pos;
  if (settings.copyright_pos != 0) {
    b.copyright_color = settings.copyright_color;
    b.copyright_size = settings.copyright_size;
    b.copyright_text = settings.copyright_text;
    if (!settings.copyright_font.empty()) b.copyright_font = settings.copyright_font;
  }
  b.maximize = (settings.product_flags >> package::pf::kMaximizeBackdrop) & 1;
  b.start_minimized = start_minimized;
  const std::string& bytes = settings.backdrop_bitmap;
  if (!bytes.empty()) {
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    if (!(bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M' && b.bitmap.load_file_bytes(data)))
      b.bitmap.load_memory(data);
  }
  b.stretch_mode = static_cast<std::uint8_t>(settings.stretch_mode > 255 ? 0 : settings.stretch_mode);
  b.bitmap_size = static_cast<int>(std::min<std::uint32_t>(settings.bitmap_size, 100));
  b.bitmap_tpi = settings.bitmap_tpi > 255 ? -1 : static_cast<int>(settings.bitmap_tpi);
  return b;
}

platform::Backdrop backdrop_look(const BackdropSettings& settings) {
  platform::Backdrop look;
  look.caption = settings.taskbar_text;
  look.top_color = settings.top_color;
  look.bottom_color = settings.bottom_color;
  look.solid = settings.mono_color;
  look.title = platform::BackdropText{title_text(settings.display_title, settings.heading_text), settings.title_font,
                                      settings.title_color, settings.title_position, settings.title_shadow,
                                      settings.title_size * 26};
  look.copyright = platform::BackdropText{settings.copyright_text, settings.copyright_font, settings.copyright_color,
                                          settings.copyright_position, 0, settings.copyright_size * 16};
  if (!settings.bitmap.empty()) look.bitmap = settings.bitmap.bytes();
  look.stretch_mode = settings.stretch_mode;
  look.bitmap_size = settings.bitmap_size;
  look.transparent_index = settings.bitmap_tpi;
  look.maximize = settings.maximize;
  look.start_minimized = settings.start_minimized;
  return look;
}

}  // namespace hs::wizard
