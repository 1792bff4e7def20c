#include "wizard/dib_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace hs::wizard {
namespace {

std::vector<std::uint8_t> read_data(const std::string& name) {
  std::ifstream in(std::string(HS_SOURCE_DIR) + "/tests/unit/wizard/data/" + name, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Each fixture decodes to the pixels ImageMagick reads from it.
TEST(DibImage, DecodesLikeImageMagick) {
  const struct {
    const char* name;
    int bits;
  } cases[] = {{"mono1", 1}, {"pal4", 4}, {"pal8", 8}, {"rgb565", 16}, {"rgb24", 24}, {"argb32", 32}};
  for (const auto& c : cases) {
    DibImage image;
    ASSERT_TRUE(image.load_file_bytes(read_data(std::string(c.name) + ".bmp"))) << c.name;
    EXPECT_EQ(image.bits_per_pixel(), c.bits);
    std::vector<std::uint8_t> rgba = read_data(std::string(c.name) + ".rgba");
    ASSERT_EQ(rgba.size(), static_cast<std::size_t>(image.width()) * image.height() * 4) << c.name;
    std::vector<Bgra> pixels = image.to_bgra();
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      EXPECT_EQ(pixels[i].r, rgba[4 * i]) << c.name << " pixel " << i;
      EXPECT_EQ(pixels[i].g, rgba[4 * i + 1]) << c.name << " pixel " << i;
      EXPECT_EQ(pixels[i].b, rgba[4 * i + 2]) << c.name << " pixel " << i;
      EXPECT_EQ(pixels[i].a, rgba[4 * i + 3]) << c.name << " pixel " << i;
    }
  }
}

TEST(DibImage, RefusesWhatItCannotVouchFor) {
  std::vector<std::uint8_t> good = read_data("rgb24.bmp");
  ASSERT_FALSE(good.empty());
  std::vector<std::uint8_t> no_signature = good;
  no_signature[0] = 'X';
  std::vector<std::uint8_t> short_rows(good.begin(), good.end() - 1);
  std::vector<std::uint8_t> bad_bits = good;
  bad_bits[14 + 14] = 7;
  std::vector<std::uint8_t> zero_width = good;
  zero_width[14 + 4] = 0;
  std::vector<std::uint8_t> huge_height = good;
  huge_height[14 + 11] = 0x7F;
  std::vector<std::uint8_t> bad_header = good;
  bad_header[14] = 20;
  const std::vector<std::uint8_t>* cases[] = {&no_signature, &short_rows, &bad_bits, &zero_width, &huge_height, &bad_header};
  for (const auto* bytes : cases) {
    DibImage image;
    EXPECT_FALSE(image.load_file_bytes(*bytes));
    EXPECT_TRUE(image.empty());
  }
  DibImage rle;
  EXPECT_FALSE(rle.load_file_bytes(read_data("rle8.bmp")));  // compressed rows are not taken
  EXPECT_TRUE(rle.empty());
}

TEST(DibImage, MemoryResourcesAndEmptyBitmaps) {
  std::vector<std::uint8_t> file = read_data("pal4.bmp");
  DibImage from_memory;
  ASSERT_TRUE(from_memory.load_memory(std::span(file).subspan(14)));
  EXPECT_EQ(from_memory.width(), 4);
  EXPECT_EQ(from_memory.bytes().size(), file.size() - 14);

  // A 12-byte core header with a 3-byte colour table, 1 bit, 2 × 2.
  const std::uint8_t core[] = {12, 0, 0, 0, 2, 0, 2, 0, 1, 0, 1, 0,
                               0, 0, 0,  0xFF, 0xFF, 0xFF,
                               0x40, 0, 0, 0,   // bottom row: index 0, 1
                               0x80, 0, 0, 0};  // top row: index 1, 0
  DibImage old;
  ASSERT_TRUE(old.load_memory(core));
  EXPECT_EQ(old.pixel(0, 0), (Bgra{255, 255, 255, 255}));
  EXPECT_EQ(old.pixel(1, 0), (Bgra{0, 0, 0, 255}));
  EXPECT_EQ(old.index_at(1, 1), 1);

  DibImage blank;
  ASSERT_TRUE(blank.create(3, 2));
  EXPECT_EQ(blank.bits_per_pixel(), 32);
  EXPECT_EQ(blank.pixel(2, 1), Bgra{});
  EXPECT_FALSE(blank.create(0, 5));
  EXPECT_TRUE(blank.empty());
}

TEST(DibImage, PaletteTransparencyMask) {
  DibImage image;
  ASSERT_TRUE(image.load_file_bytes(read_data("mono1.bmp")));
  // mono.ppm rows: black white black white / white white black black.
  const int black = image.palette()[0] == Bgra{0, 0, 0, 0} ? 0 : 1;
  std::vector<bool> mask = transparency_mask(image, black);
  EXPECT_EQ(mask, (std::vector<bool>{true, false, true, false, false, false, true, true}));
  EXPECT_TRUE(transparency_mask(image, -1).empty());
  DibImage rgb;
  ASSERT_TRUE(rgb.load_file_bytes(read_data("rgb24.bmp")));
  EXPECT_TRUE(transparency_mask(rgb, 0).empty());
}

TEST(DibImage, PerPixelAlphaOverBackground) {
  const Bgra background{200, 100, 50, 255};
  EXPECT_EQ(blend_over(background, Bgra{0, 0, 0, 0}), background);            // transparent
  EXPECT_EQ(blend_over(background, Bgra{10, 20, 30, 255}), (Bgra{10, 20, 30, 255}));  // opaque
  // Half-transparent premultiplied red: red 128 + background × 127/255.
  EXPECT_EQ(blend_over(background, Bgra{0, 0, 128, 128}), (Bgra{100, 50, 153, 255}));
}

}  // namespace
}  // namespace hs::wizard
