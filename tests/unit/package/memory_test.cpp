// The reader when memory is short: a 32-bit engine holding a large file
// cannot always have twice the room it needs, and a sound package must not
// be reported as damaged because of that.
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "package/byte_buffer.h"
#include "support/package_fixture.h"

namespace hs::package::test {
namespace {

// An allocator that refuses every block larger than `cap` bytes, as a
// crowded 32-bit address space refuses a block it has no hole for.
std::size_t cap = 0;
std::unique_ptr<std::uint8_t[]> capped(std::size_t size) {
  if (size > cap) throw std::bad_alloc();
  return std::make_unique_for_overwrite<std::uint8_t[]>(size);
}

TEST(ShortMemory, BufferTakesLessRoomWhenTwiceTheSizeIsRefused) {
  const struct {
    const char* what;
    std::size_t cap, size;
    std::size_t capacity;  // 0: std::bad_alloc
  } cases[] = {
      {"twice the size", 4000, 1000, 2000},
      {"one and a half", 1999, 1000, 1500},
      {"one and an eighth", 1130, 1000, 1125},
      {"exactly the size", 1000, 1000, 1000},
      {"less than the size", 999, 1000, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    cap = c.cap;
    ByteBuffer buffer(capped);
    buffer.grow(100, 0);
    std::memcpy(buffer.data(), "kept", 4);
    if (c.capacity == 0) {
      EXPECT_THROW(buffer.grow(c.size, 4), std::bad_alloc);
      EXPECT_EQ(200u, buffer.capacity());  // as it was
    } else {
      buffer.grow(c.size, 4);
      EXPECT_EQ(c.capacity, buffer.capacity());
    }
    EXPECT_EQ(0, std::memcmp(buffer.data(), "kept", 4));
  }
}

// One entry of 3 MB spread over four chunks: the queue must hold the whole
// frame, which it cannot double once it is large.
TEST(ShortMemory, LargeEntryIsReadWhenOnlyItsOwnSizeFitsAndIsNoDamageWhenNothingFits) {
  const Bytes data(3 << 20, 0);
  const Bytes f = frame(entry("big.bin", data));
  for (const bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "compressed" : "stored");
    RawPackage p;
    const std::size_t quarter = f.size() / 4;
    for (std::size_t at = 0; at < f.size(); at += quarter) {
      const std::size_t end = std::min(f.size(), at + quarter);
      p.chunks.emplace_back(f.begin() + static_cast<std::ptrdiff_t>(at), f.begin() + static_cast<std::ptrdiff_t>(end));
    }
    p.entry_sizes = {static_cast<std::uint32_t>(data.size())};
    p.compress = compressed;
    const Bytes section = assemble(p);
    const PackageHeader h = *read_package_header(section);
    const auto payload = std::span(section).subspan(h.payload_offset);
    PayloadOptions options;
    options.compressed = compressed;
    options.allocate = capped;

    cap = f.size() + f.size() / 4;  // room for the frame, not for twice it
    PayloadReader reader(payload, h.entry_sizes, options);
    auto e = reader.next_entry();
    ASSERT_TRUE(e) << "damage code " << e.error();
    EXPECT_EQ(data.size(), e->data.size());
    EXPECT_EQ(damage::kNone, reader.finish());

    cap = f.size() / 2;  // not even the frame fits: no damage code
    PayloadReader short_of_memory(payload, h.entry_sizes, options);
    EXPECT_THROW((void)short_of_memory.next_entry(), std::bad_alloc);
  }
}

}  // namespace
}  // namespace hs::package::test
