// Fuzz target: the bitmap reader (the backdrop picture comes from the
// package or from a file in the uninstall folder). Any input either loads
// or leaves the bitmap empty; a loaded one must give every pixel, its
// transparency mask and its placement without reading outside its bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "wizard/backdrop_layout.h"
#include "wizard/dib_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  hs::wizard::DibImage image;
  const bool loaded = (data[0] & 1) ? image.load_file_bytes(bytes) : image.load_memory(bytes);
  if (loaded != !image.empty()) std::abort();
  if (!loaded) return 0;
  // Keep the work per input small: pixel access on bounded pictures only.
  if (static_cast<long long>(image.width()) * image.height() <= 65536) {
    const auto pixels = image.to_bgra();
    if (pixels.size() != static_cast<std::size_t>(image.width()) * image.height()) std::abort();
    const auto mask = hs::wizard::transparency_mask(image, data[0] >> 1);
    if (image.bits_per_pixel() <= 8 && mask.size() != pixels.size()) std::abort();
  }
  for (int mode = 0; mode < 4; ++mode) {
    const hs::wizard::Rect r = hs::wizard::bitmap_destination(1920, 1080, image.width(), image.height(), 50, mode);
    if (r.width() > 1920 || r.height() > 1080) std::abort();
  }
  return 0;
}
