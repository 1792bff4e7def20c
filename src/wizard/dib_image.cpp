#include "wizard/dib_image.h"

#include <algorithm>
#include <limits>

#include "support/files.h"
#include "support/little_endian.h"

namespace hs::wizard {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;
// Larger than any screen the engine will meet; keeps the arithmetic small.
constexpr std::int64_t kMaxDimension = 32768;

// Scales a masked channel value to 0..255.
std::uint8_t masked_channel(std::uint32_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const std::uint32_t top = mask >> shift;
  const std::uint32_t v = (value & mask) >> shift;
  return static_cast<std::uint8_t>((v * 255 + top / 2) / top);
}

}  // namespace

void DibImage::clear() { *this = DibImage(); }

bool DibImage::load_file_bytes(std::span<const std::uint8_t> file) {
  if (file.size() < kFileHeaderSize || file[0] != 'B' || file[1] != 'M') {
    clear();
    return false;
  }
  return load_memory(file.subspan(kFileHeaderSize));
}

bool DibImage::load_file(platform::Files& files, const std::u16string& path) {
  clear();
  const auto bytes = support::read_whole_file(files, path, std::uint64_t{1} << 30);
  if (!bytes) return false;
  return load_file_bytes({reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()});
}

bool DibImage::load_memory(std::span<const std::uint8_t> dib) {
  clear();
  if (dib.size() < 4) return false;
  const std::uint32_t header_size = support::load_u32(dib, 0);
  std::int64_t width = 0;
  std::int64_t height = 0;
  int bits = 0;
  int compression = 0;
  std::uint32_t colors_used = 0;
  std::size_t entry_size = 4;
  if (header_size == kCoreHeaderSize) {
    if (dib.size() < kCoreHeaderSize) return false;
    width = support::load_u16(dib, 4);
    height = support::load_u16(dib, 6);
    bits = support::load_u16(dib, 10);
    entry_size = 3;
  } else if (header_size >= kInfoHeaderSize && header_size <= 1024) {
    if (dib.size() < header_size) return false;
    width = static_cast<std::int32_t>(support::load_u32(dib, 4));
    height = static_cast<std::int32_t>(support::load_u32(dib, 8));
    bits = support::load_u16(dib, 14);
    compression = static_cast<int>(support::load_u32(dib, 16));
    colors_used = support::load_u32(dib, 32);
  } else {
    return false;
  }
  if (support::load_u16(dib, header_size == kCoreHeaderSize ? 8 : 12) != 1) return false;  // planes
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  // Uncompressed rows only, with channel masks allowed at 16 and 32 bits.
  if (compression != 0 && !(compression == 3 && (bits == 16 || bits == 32))) return false;
  bool top_down = false;
  if (height < 0) {
    top_down = true;
    height = -height;
  }
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return false;

  std::size_t offset = header_size;
  std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (bits == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0x00FF00;
    masks[2] = 0x0000FF;
  }
  if (compression == 3) {
    if (header_size == kInfoHeaderSize) {
      // The three masks follow a plain info header.
      if (dib.size() < offset + 12) return false;
      for (int i = 0; i < 3; ++i) masks[i] = support::load_u32(dib, offset + 4 * i);
      offset += 12;
    } else {
      if (header_size < 52) return false;
      for (int i = 0; i < 3; ++i) masks[i] = support::load_u32(dib, kInfoHeaderSize + 4 * i);
    }
  }

  std::vector<Bgra> palette;
  if (bits <= 8) {
    const std::uint32_t max_entries = 1u << bits;
    const std::uint32_t entries = colors_used == 0 ? max_entries : std::min(colors_used, max_entries);
    if (dib.size() < offset + std::size_t{entries} * entry_size) return false;
    palette.resize(entries);
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::size_t at = offset + i * entry_size;
      palette[i] = Bgra{dib[at], dib[at + 1], dib[at + 2], 0};
    }
    offset += entries * entry_size;
  } else if (colors_used > 0 && header_size != kCoreHeaderSize) {
    // An optional colour table before true-colour rows.
    if (colors_used > 256 || dib.size() < offset + std::size_t{colors_used} * 4) return false;
    offset += std::size_t{colors_used} * 4;
  }

  const std::size_t stride = static_cast<std::size_t>((width * bits + 31) / 32 * 4);
  const std::size_t rows_size = stride * static_cast<std::size_t>(height);
  if (dib.size() < offset || dib.size() - offset < rows_size) return false;

  data_.assign(dib.begin(), dib.begin() + static_cast<std::ptrdiff_t>(offset + rows_size));
  width_ = static_cast<int>(width);
  height_ = static_cast<int>(height);
  bits_ = bits;
  top_down_ = top_down;
  compression_ = compression;
  for (int i = 0; i < 3; ++i) masks_[i] = masks[i];
  palette_ = std::move(palette);
  pixel_offset_ = offset;
  stride_ = stride;
  return true;
}

bool DibImage::create(int width, int height) {
  clear();
  if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return false;
  std::vector<std::uint8_t> dib(kInfoHeaderSize + static_cast<std::size_t>(width) * height * 4, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(0, kInfoHeaderSize);
  put32(4, static_cast<std::uint32_t>(width));
  put32(8, static_cast<std::uint32_t>(height));
  dib[12] = 1;   // planes
  dib[14] = 32;  // bits per pixel
  return load_memory(dib);
}

int DibImage::index_at(int x, int y) const {
  if (empty() || bits_ > 8 || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const int row = top_down_ ? y : height_ - 1 - y;
  const std::uint8_t* line = data_.data() + pixel_offset_ + stride_ * static_cast<std::size_t>(row);
  const std::size_t bit = static_cast<std::size_t>(x) * bits_;
  const std::uint8_t byte = line[bit / 8];
  const int shift = 8 - bits_ - static_cast<int>(bit % 8);
  return (byte >> shift) & ((1 << bits_) - 1);
}

Bgra DibImage::pixel(int x, int y) const {
  if (empty() || x < 0 || y < 0 || x >= width_ || y >= height_) return Bgra{};
  if (bits_ <= 8) {
    const int index = index_at(x, y);
    Bgra c = index < static_cast<int>(palette_.size()) ? palette_[index] : Bgra{};
    c.a = 255;
    return c;
  }
  const int row = top_down_ ? y : height_ - 1 - y;
  const std::uint8_t* p = data_.data() + pixel_offset_ + stride_ * static_cast<std::size_t>(row) +
                          static_cast<std::size_t>(x) * (bits_ / 8);
  if (bits_ == 24) return Bgra{p[0], p[1], p[2], 255};
  if (bits_ == 16) {
    const std::uint32_t v = support::load_u16({p, 2}, 0);
    return Bgra{masked_channel(v, masks_[2]), masked_channel(v, masks_[1]), masked_channel(v, masks_[0]), 255};
  }
  const std::uint32_t v = support::load_u32({p, 4}, 0);
  return Bgra{masked_channel(v, masks_[2]), masked_channel(v, masks_[1]), masked_channel(v, masks_[0]), p[3]};
}

std::vector<Bgra> DibImage::to_bgra() const {
  std::vector<Bgra> out;
  out.reserve(static_cast<std::size_t>(std::max(width_, 0)) * std::max(height_, 0));
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) out.push_back(pixel(x, y));
  return out;
}

std::vector<bool> transparency_mask(const DibImage& image, int transparent_index) {
  std::vector<bool> mask;
  if (image.empty() || image.bits_per_pixel() > 8 || transparent_index < 0) return mask;
  mask.reserve(static_cast<std::size_t>(image.width()) * image.height());
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) mask.push_back(image.index_at(x, y) == transparent_index);
  return mask;
}

Bgra blend_over(Bgra destination, Bgra source) {
  const int keep = 255 - source.a;
  auto mix = [&](std::uint8_t s, std::uint8_t d) {
    const int v = s + (d * keep + 127) / 255;
    return static_cast<std::uint8_t>(std::min(v, 255));
  };
  return Bgra{mix(source.b, destination.b), mix(source.g, destination.g), mix(source.r, destination.r),
              mix(source.a, destination.a)};
}

}  // namespace hs::wizard
