// The look of the backdrop window.
//
// Filled once before the window is created (by the start-up from the
// package, by the uninstaller from the product's uninstall key) and only
// read afterwards; repainting uses the same record.
#pragma once

#include <cstdint>
#include <string>

#include "package/settings.h"
#include "platform/ui.h"
#include "wizard/dib_image.h"

namespace hs::wizard {

struct BackdropSettings {
  std::u16string taskbar_text;   // `TaskbarText`: window caption shown in the taskbar
  std::u16string display_title;  // `DisplayTitle`: title painted on the backdrop
  std::u16string heading_text;   // message 0 of the chosen language; painted when the title is blank
  double title_size = 0;         // `TitleSize`: 1.0 means 26 points
  std::uint32_t title_color = 0xFFFEF7;  // `TitleColor`, COLORREF 0x00BBGGRR
  std::uint8_t title_shadow = 0;         // `TitleShadow`: shadow depth, 0 = no shadow
  std::uint8_t title_position = 0;       // `TitlePosition`: 0 not painted, 1-3 top left/centre/right, 4-6 bottom
  std::u16string title_font = u"Cambria Bold Italic, Times New Roman Bold Italic";  // `TitleFont`
  std::uint32_t top_color = 0;           // `TopColor`; the solid colour when mono_color is set
  std::uint32_t bottom_color = 0;        // `BottomColor`
  bool mono_color = false;               // `MonoColor`: fill with top_color only
  std::u16string copyright_text;         // `CopyrightText`
  double copyright_size = 1.0;           // `CopyrightSize`: 1.0 means 16 points
  std::uint32_t copyright_color = 0xFEFCEC;  // `CopyrightColor`
  std::uint8_t copyright_position = 0;       // `CopyrightPos`: codes as title_position
  std::u16string copyright_font = u"Calibri Bold Italic, Verdana Bold Italic, Arial Bold Italic";  // `CopyrightFont`
  bool maximize = false;         // show maximized instead of sized to the work area
  bool start_minimized = false;  // /MIN on the command line
  DibImage bitmap;               // optional picture; empty = none
  std::uint8_t stretch_mode = 0;  // `StretchMode`: 0 stretch, 1 fit, 2 integer zoom, 3 tile
  int bitmap_size = 0;            // `BitmapSize`: box in percent of the client area; 0 or less = no bitmap
  int bitmap_tpi = -1;            // `BitmapTPI`: transparent palette index; -1 = none
};

// The backdrop of an installation, from the package's settings:
// `heading_text` is message 0 of the chosen language, `start_minimized`
// the command line's /MIN. The picture is taken as a BMP file image when
// it starts with "BM", else as a DIB; one that does not load is left out.
BackdropSettings backdrop_from_settings(const package::Settings& settings, const package::DerivedSettings& derived,
                                        std::u16string heading_text, bool start_minimized);

// The look as the user interface draws it: the title chosen (`DisplayTitle`,
// or the heading text when that is blank), sizes in points (title 26 and
// copyright 16 points per unit of their factor), the bitmap as its DIB.
platform::Backdrop backdrop_look(const BackdropSettings& settings);

}  // namespace hs::wizard
