#include "wizard/backdrop_settings.h"

#include <algorithm>

#include "package/product_flags.h"

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

}  // namespace hs::wizard
