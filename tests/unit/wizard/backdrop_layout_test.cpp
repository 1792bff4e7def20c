#include "wizard/backdrop_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>

#include "wizard/backdrop_settings.h"

namespace hs::wizard {
namespace {

int red(std::uint32_t c) { return c & 0xFF; }
int green(std::uint32_t c) { return (c >> 8) & 0xFF; }
int blue(std::uint32_t c) { return (c >> 16) & 0xFF; }

TEST(GradientBands, BandHeightFollowsClientHeight) {
  const std::pair<int, int> cases[] = {{2, 1}, {100, 1}, {223, 1}, {224, 1}, {448, 1}, {449, 2},
                                       {673, 3}, {1080, 3}, {4000, 3}};
  for (auto [client, band] : cases) EXPECT_EQ(band_height(client), band) << client;
}

TEST(GradientBands, RunFromOneStepBelowTopToBottomColour) {
  struct Case {
    int height;
    std::uint32_t top, bottom;
  } cases[] = {
      {100, 0x000000, 0xFFFFFF}, {223, 0x102030, 0x0A0B0C}, {768, 0x800000, 0x0000FF},
      {1080, 0x123456, 0x123456}, {1079, 0xFF00FF, 0x00FF00}, {5, 0xFFFFFF, 0x000000},
  };
  for (const Case& c : cases) {
    std::vector<Band> bands = gradient_bands(640, c.height, c.top, c.bottom);
    ASSERT_FALSE(bands.empty());
    const int h = band_height(c.height);
    EXPECT_EQ(static_cast<int>(bands.size()), (c.height - 1 + h - 1) / h) << c.height;
    EXPECT_EQ(bands.back().color, c.bottom) << c.height;
    // Bands tile the client area top to bottom across the full width.
    int y = 0;
    for (const Band& band : bands) {
      EXPECT_EQ(band.rect.top, y);
      EXPECT_EQ(band.rect.left, 0);
      EXPECT_EQ(band.rect.right, 640);
      y = band.rect.bottom;
    }
    EXPECT_EQ(y, c.height);
    // Every step is the whole step or one more, and channels never overshoot.
    const int n = static_cast<int>(bands.size());
    std::uint32_t previous = c.top;
    for (const Band& band : bands) {
      for (auto channel : {red, green, blue}) {
        const int whole = (channel(c.bottom) - channel(c.top)) / n;
        const int step = channel(band.color) - channel(previous);
        EXPECT_LE(std::abs(step - whole), 1);
      }
      previous = band.color;
    }
  }
  // The first band is already one step from the top colour.
  std::vector<Band> bands = gradient_bands(10, 101, 0x000000, 0x0000FF);  // 100 steps of 2.55
  EXPECT_EQ(bands.size(), 100u);
  EXPECT_EQ(bands[0].color, 0x000002u);
  EXPECT_EQ(bands[1].color, 0x000005u);
}

TEST(BitmapDestination, EachStretchMode) {
  struct Case {
    const char* what;
    int client_w, client_h, bmp_w, bmp_h, percent, mode;
    Rect expected;
  } cases[] = {
      {"stretch to the box", 1000, 800, 100, 50, 50, 0, {250, 200, 750, 600}},
      {"unknown mode stretches", 1000, 800, 100, 50, 50, 9, {250, 200, 750, 600}},
      {"whole client", 1000, 800, 100, 50, 100, 0, {0, 0, 1000, 800}},
      {"box rounded half away", 1001, 801, 10, 10, 50, 0, {250, 200, 751, 601}},
      {"fit: box too tall", 1000, 800, 100, 50, 50, 1, {250, 275, 750, 525}},
      {"fit: box too wide", 1000, 800, 50, 100, 50, 1, {400, 200, 600, 600}},
      {"zoom by 4", 1000, 800, 120, 50, 50, 2, {260, 300, 740, 500}},
      {"zoom by 1", 1000, 800, 300, 300, 50, 2, {350, 250, 650, 550}},
      {"zoom, box smaller than bitmap: fit", 1000, 800, 1000, 500, 50, 2, {250, 275, 750, 525}},
      {"no bitmap size", 1000, 800, 100, 50, 0, 0, {}},
      {"negative size", 1000, 800, 100, 50, -5, 1, {}},
      {"empty bitmap", 1000, 800, 0, 0, 50, 0, {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(bitmap_destination(c.client_w, c.client_h, c.bmp_w, c.bmp_h, c.percent, c.mode), c.expected) << c.what;
}

TEST(BitmapDestination, TilesCoverTheClientFromTheTopLeft) {
  std::vector<Rect> tiles = tile_grid(250, 100, 100, 40);
  ASSERT_EQ(tiles.size(), 9u);  // 3 columns, 3 rows
  EXPECT_EQ(tiles[0], (Rect{0, 0, 100, 40}));
  EXPECT_EQ(tiles[4], (Rect{100, 40, 200, 80}));
  EXPECT_EQ(tiles[8], (Rect{200, 80, 300, 120}));
  EXPECT_EQ(tile_grid(200, 80, 100, 40).size(), 4u);
  EXPECT_TRUE(tile_grid(200, 80, 0, 40).empty());
}

TEST(BackdropText, FontFaceFromTheList) {
  auto only = [](std::initializer_list<std::u16string_view> names) {
    return [names](std::u16string_view face) {
      for (auto n : names)
        if (n == face) return true;
      return false;
    };
  };
  EXPECT_EQ(choose_font_face(u" Cambria Bold Italic ,  Times New Roman ", only({u"Times New Roman"})),
            u"Times New Roman");
  EXPECT_EQ(choose_font_face(u"Nope, Cambria", only({u"Cambria", u"MS Shell Dlg 2"})), u"Cambria");
  EXPECT_EQ(choose_font_face(u"Nope,,", only({u"MS Shell Dlg 2"})), u"MS Shell Dlg 2");
  EXPECT_EQ(choose_font_face(u"", only({})), u"Arial");
}

TEST(BackdropText, BlankTitleFallsBackToHeading) {
  EXPECT_EQ(title_text(u" \t\r\n", u"Heading"), u"Heading");
  EXPECT_EQ(title_text(u"", u"Heading"), u"Heading");
  EXPECT_EQ(title_text(u" Title", u"Heading"), u" Title");
}

TEST(BackdropText, FittingShrinksOnePointAtATimeDownToSix) {
  struct Case {
    const char* what;
    double nominal;
    int chars;  // text width = chars × height / 2
    double expected;
  } cases[] = {
      {"fits at once", 26, 10, 26},
      {"never fits: 6 points", 26, 100000, 6},
      {"nominal below 6 taken as is", 4.5, 100000, 4.5},
      {"shrinks", 40, 60, 16},
      {"not a number", std::nan(""), 10, 6},
      {"negative: none", -3, 10, 0},
      {"negative infinity: none", -std::numeric_limits<double>::infinity(), 10, 0},
      {"infinity: the largest size", std::numeric_limits<double>::infinity(), 0, 1000},
  };
  for (const Case& c : cases) {
    int calls = 0;
    FittedFont font = fit_text(c.nominal, 96, 0, 5, 640, [&](int height) {
      ++calls;
      return c.chars * height / 2;
    });
    EXPECT_DOUBLE_EQ(font.points, c.expected) << c.what;
    EXPECT_EQ(font.height, font_height(font.points, 96)) << c.what;
  }
  // A huge factor does not take billions of steps.
  int calls = 0;
  fit_text(1e300, 96, 0, 5, 640, [&](int) { return ++calls, 1000000; });
  EXPECT_LE(calls, 1000);
}

TEST(BackdropText, ShadowCountsAgainstTheWidth) {
  // Height at 26 pt and 96 dpi is 34 px; shadow 1300 gives d = 34.
  FittedFont without = fit_text(26, 96, 0, 0, 100, [](int) { return 80; });
  FittedFont with = fit_text(26, 96, 1300, 0, 100, [](int h) { return h >= 30 ? 80 : 10; });
  EXPECT_DOUBLE_EQ(without.points, 26);
  EXPECT_EQ(without.shadow, 0);
  EXPECT_LT(with.points, 26);
  EXPECT_EQ(with.shadow, with.height);
}

TEST(BackdropText, PlacementOfLines) {
  FittedFont font{20, 30, 4};
  auto width = [](std::u16string_view line) { return static_cast<int>(line.size()) * 10; };
  // Client 2000 × 1200: m = 10, v = 3, line width 2000 − 2 × (4 + 10) = 1972.
  struct Case {
    int position;
    std::vector<PlacedLine> expected;
  } cases[] = {
      {1, {{u"Title", 10, 3}, {u"Second line", 10, 33}}},
      {2, {{u"Title", 10 + (1972 - 50) / 2, 3}, {u"Second line", 10 + (1972 - 110) / 2, 33}}},
      {3, {{u"Title", 10 + 1972 - 50, 3}, {u"Second line", 10 + 1972 - 110, 33}}},
      {4, {{u"Title", 10, 1200 - 60 - 4 - 3}, {u"Second line", 10, 1200 - 30 - 4 - 3}}},
      {6, {{u"Title", 10 + 1972 - 50, 1133}, {u"Second line", 10 + 1972 - 110, 1163}}},
  };
  for (const Case& c : cases) {
    std::vector<PlacedLine> placed = place_text(u"Title\r\nSecond line", c.position, 2000, 1200, font, width);
    ASSERT_EQ(placed.size(), c.expected.size());
    for (std::size_t i = 0; i < placed.size(); ++i) {
      EXPECT_EQ(placed[i].text, c.expected[i].text);
      EXPECT_EQ(placed[i].x, c.expected[i].x) << c.position;
      EXPECT_EQ(placed[i].y, c.expected[i].y) << c.position;
    }
  }
  EXPECT_TRUE(place_text(u"Title", 0, 2000, 1200, font, width).empty());
  EXPECT_TRUE(place_text(u" \r\n", 1, 2000, 1200, font, width).empty());
  EXPECT_EQ(split_lines(u"a\rb\nc\r\nd"), (std::vector<std::u16string>{u"a", u"b", u"c", u"d"}));
}

}  // namespace
}  // namespace hs::wizard

namespace hs::wizard {
namespace {

TEST(BackdropSettings, FromThePackage) {
  package::Settings s;
  package::DerivedSettings d;
  s.taskbar_text = u"Sample Setup";
  s.title_position = 2;
  s.top_color = 0x102030;
  s.bottom_color = 0x102030;
  d.mono_color = true;
  s.bitmap_size = 40;
  s.stretch_mode = 2;
  s.bitmap_tpi = 0xFFFFFFFF;  // none
  s.product_flags = std::uint64_t{1} << 40;
  std::ifstream in(std::string(HS_SOURCE_DIR) + "/tests/unit/wizard/data/pal4.bmp", std::ios::binary);
  const std::string file((std::istreambuf_iterator<char>(in)), {});
  for (const std::string& bitmap : {file, file.substr(14)}) {  // a BMP file or a bare DIB
    s.backdrop_bitmap = bitmap;
    BackdropSettings b = backdrop_from_settings(s, d, u"Sample Product Setup", true);
    EXPECT_EQ(b.taskbar_text, u"Sample Setup");
    EXPECT_EQ(b.heading_text, u"Sample Product Setup");
    EXPECT_TRUE(b.mono_color);
    EXPECT_TRUE(b.maximize);
    EXPECT_TRUE(b.start_minimized);
    EXPECT_EQ(b.bitmap.width(), 4);
    EXPECT_EQ(b.bitmap_tpi, -1);
    EXPECT_EQ(b.title_font, u"Cambria Bold Italic, Times New Roman Bold Italic");  // empty list keeps the default
    EXPECT_EQ(b.copyright_position, 0);
    EXPECT_DOUBLE_EQ(b.copyright_size, 1.0);
  }
  s.backdrop_bitmap = "BM broken";
  EXPECT_TRUE(backdrop_from_settings(s, d, u"", false).bitmap.empty());
}

}  // namespace
}  // namespace hs::wizard
