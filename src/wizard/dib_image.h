// A device-independent bitmap: the backdrop picture and the pages' pictures.
//
// The object keeps a complete BMP image without its 14-byte file header:
// the BITMAPINFOHEADER (or the 12-byte core header of old files), the
// colour table and the pixel rows, exactly as Windows' DIB functions take
// them. Loading checks every size against the bytes present; anything it
// cannot vouch for leaves the object empty, and an empty bitmap is simply
// not drawn.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/files.h"

namespace hs::wizard {

// A colour as four bytes in memory order blue, green, red, alpha.
struct Bgra {
  std::uint8_t b = 0, g = 0, r = 0, a = 0;
  friend bool operator==(const Bgra&, const Bgra&) = default;
};

class DibImage {
 public:
  DibImage() = default;

  // A BMP file image: "BM", the 14-byte file header, then the DIB.
  bool load_file_bytes(std::span<const std::uint8_t> file);
  // A BMP file read through the platform; fails when it cannot be read.
  bool load_file(platform::Files& files, const std::u16string& path);
  // A DIB in memory (header, colour table, rows): an RT_BITMAP resource or
  // the backdrop bitmap of the package.
  bool load_memory(std::span<const std::uint8_t> dib);
  // An empty (transparent black) 32-bit bitmap of the given size.
  bool create(int width, int height);

  bool empty() const { return width_ <= 0; }
  int width() const { return width_; }
  int height() const { return height_; }  // always positive
  int bits_per_pixel() const { return bits_; }
  bool top_down() const { return top_down_; }
  // Colour-table entries (palette bitmaps), alpha 0.
  const std::vector<Bgra>& palette() const { return palette_; }

  // The whole image as Windows takes it (BITMAPINFO followed by the rows).
  const std::vector<std::uint8_t>& bytes() const { return data_; }
  // Offset of the pixel rows in bytes().
  std::size_t pixel_offset() const { return pixel_offset_; }
  // Bytes per row, padded to 4 bytes.
  std::size_t stride() const { return stride_; }

  // Palette index of a pixel of a palette bitmap (x, y from the top-left
  // corner); 0 for other bitmaps.
  int index_at(int x, int y) const;
  // Colour of a pixel (x, y from the top-left corner). Palette and 16/24-bit
  // bitmaps give alpha 255; 32-bit bitmaps give their stored alpha.
  Bgra pixel(int x, int y) const;
  // The whole picture top-down as colours, width × height.
  std::vector<Bgra> to_bgra() const;

 private:
  void clear();

  std::vector<std::uint8_t> data_;
  int width_ = 0;
  int height_ = 0;
  int bits_ = 0;
  bool top_down_ = false;
  int compression_ = 0;            // 0 BI_RGB, 3 BI_BITFIELDS
  std::uint32_t masks_[3] = {0, 0, 0};  // red, green, blue for 16 and 32 bits
  std::vector<Bgra> palette_;
  std::size_t pixel_offset_ = 0;
  std::size_t stride_ = 0;
};

// The mask of a palette bitmap's transparent entry: true where a pixel
// uses palette index `transparent_index` (row-major, top-down). Empty for
// bitmaps above 8 bits or an index below 0.
std::vector<bool> transparency_mask(const DibImage& image, int transparent_index);

// Per-pixel alpha over a background, as AlphaBlend does it with
// AC_SRC_OVER, constant alpha 255 and AC_SRC_ALPHA: the source colours are
// taken as premultiplied by their alpha; dst = src + dst × (255 − alpha) / 255.
Bgra blend_over(Bgra destination, Bgra source);

}  // namespace hs::wizard
