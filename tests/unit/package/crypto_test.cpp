// The package's primitives against outside references: Blowfish against the
// published test vectors, CRC-32 against its check value, XZ decoding of
// streams made by the xz command line.
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "package/blowfish.h"
#include "package/checksum.h"
#include "package/scramble.h"
#include "package/xz_decoder.h"

namespace hs::package {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(const std::string& text) {
  Bytes out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) out.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  return out;
}

// The engine takes key words little-endian; the published vectors pack them
// big-endian: reverse each 4-byte group of the published key.
Bytes engine_key(const std::string& published) {
  Bytes key = hex(published);
  for (std::size_t i = 0; i + 4 <= key.size(); i += 4) std::reverse(key.begin() + i, key.begin() + i + 4);
  return key;
}

TEST(Blowfish, PublishedVectors) {
  struct Vector {
    const char* key;
    const char* clear;
    const char* cipher;
  };
  const Vector vectors[] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
      {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
      {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
      {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
      {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
  };
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.key);
    Blowfish bf;
    ASSERT_TRUE(bf.set_key(engine_key(v.key)));
    Bytes block = hex(v.clear);
    bf.encipher_blocks(block);
    EXPECT_EQ(block, hex(v.cipher));
    bf.decipher_blocks(block);
    EXPECT_EQ(block, hex(v.clear));
  }
}

TEST(Blowfish, KeyLengths) {
  Blowfish bf;
  EXPECT_TRUE(bf.set_key(Bytes(1, 7)));    // padded to 8
  EXPECT_TRUE(bf.set_key(Bytes(9, 7)));    // padded to 12
  EXPECT_TRUE(bf.set_key(Bytes(56, 7)));
  EXPECT_FALSE(bf.set_key(Bytes(57, 7)));  // padded to 60: above 448 bits
  EXPECT_FALSE(bf.set_key(Bytes{}));
  // A short key is the same key padded with zero bytes.
  Blowfish a, b;
  a.set_key(Bytes{1, 2, 3});
  b.set_key(Bytes{1, 2, 3, 0, 0, 0, 0, 0});
  Bytes x(8, 0x55), y(8, 0x55);
  a.encipher_blocks(x);
  b.encipher_blocks(y);
  EXPECT_EQ(x, y);
}

TEST(Blowfish, BufferLengthWord) {
  Blowfish bf;
  bf.set_key(Bytes{1, 2, 3, 4, 5, 6, 7, 8});
  for (std::size_t n : {0u, 1u, 3u, 4u, 5u, 8u, 12u, 100u}) {
    Bytes data(n, 0xAB);
    Bytes buffer = data;
    bf.encipher_buffer(buffer);
    EXPECT_EQ(buffer.size() % 8, 0u);
    EXPECT_TRUE(bf.decipher_buffer(buffer));
    EXPECT_EQ(buffer, data);
  }
  // A deciphered length word from length - 12 to length - 4 is accepted,
  // anything else rejected and the buffer emptied.
  struct Case {
    std::size_t length;
    std::uint32_t word;
    bool ok;
  };
  const Case cases[] = {{16, 4, true}, {16, 12, true}, {16, 3, false}, {16, 13, false}, {8, 0, true},
                        {8, 4, true},  {8, 5, false},  {24, 0xFFFFFFFF, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    Bytes plain(c.length, 0);
    for (int i = 0; i < 4; ++i) plain[c.length - 4 + i] = static_cast<std::uint8_t>(c.word >> (8 * i));
    bf.encipher_blocks(plain);
    EXPECT_EQ(bf.decipher_buffer(plain), c.ok);
    EXPECT_EQ(plain.size(), c.ok ? c.word : 0u);
  }
  for (std::size_t bad : {0u, 7u, 9u}) {
    Bytes buffer(bad, 1);
    EXPECT_FALSE(bf.decipher_buffer(buffer));
    EXPECT_TRUE(buffer.empty());
  }
}

TEST(Checksum, CheckValueAndContinuation) {
  const std::string digits = "123456789";
  const Bytes data(digits.begin(), digits.end());
  EXPECT_EQ(crc32(data), 0xCBF43926u);
  EXPECT_EQ(crc32(std::span(data).subspan(4), crc32(std::span(data).first(4))), 0xCBF43926u);
  EXPECT_EQ(crc32({}), 0u);
}

TEST(Unscramble, WordsThenLowBytesOfTheTail) {
  const std::uint32_t word = 0x44332211;
  struct Case {
    Bytes in, out;
  };
  const Case cases[] = {
      {{0x00}, {0x11}},
      {{0x00, 0x00}, {0x11, 0x22}},
      {{0x00, 0x00, 0x00}, {0x11, 0x22, 0x33}},
      {{0x00, 0x00, 0x00, 0x00, 0xFF}, {0x11, 0x22, 0x33, 0x44, 0xEE}},
      {{0x11, 0x22, 0x33, 0x44, 0x11, 0x22, 0x33}, {0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    Bytes data = c.in;
    unscramble(data, word);
    EXPECT_EQ(data, c.out);
    unscramble(data, word);
    EXPECT_EQ(data, c.in);
  }
}

// Streams made by the xz command line.
class XzStreams : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::system("xz --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "xz not installed";
  }

  Bytes xz(const Bytes& input, const std::string& args) {
    const auto dir = std::filesystem::path(HS_BINARY_DIR) / ("package_test_xz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto in = dir / "in.bin";
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(input.data()), input.size());
    const std::string command = "xz " + args + " -c " + in.string() + " > " + (dir / "out.xz").string();
    EXPECT_EQ(std::system(command.c_str()), 0);
    Bytes made;
    {
      std::ifstream out(dir / "out.xz", std::ios::binary);
      made.assign(std::istreambuf_iterator<char>(out), std::istreambuf_iterator<char>());
    }
    std::filesystem::remove_all(dir);
    return made;
  }
};

TEST_F(XzStreams, SingleStreamsOfManySizes) {
  for (std::size_t size : {0u, 1u, 16383u, 16384u, 16385u, 200000u}) {
    SCOPED_TRACE(size);
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 9));
    Bytes buffer = xz(data, "-6");
    ASSERT_TRUE(decompress(buffer));
    EXPECT_EQ(buffer, data);
  }
}

TEST_F(XzStreams, ChecksAndConcatenation) {
  const Bytes a(5000, 'a'), b(70000, 'b');
  Bytes joined = xz(a, "--check=crc64");
  const Bytes second = xz(b, "--check=sha256 -1");
  joined.insert(joined.end(), second.begin(), second.end());
  ASSERT_TRUE(decompress(joined));
  Bytes expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(joined, expected);
}

TEST_F(XzStreams, DamagedStreamsFailAndLeaveTheBuffer) {
  Bytes data(100000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31 + (i >> 7));
  const Bytes good = xz(data, "-6");
  struct Case {
    const char* what;
    Bytes stream;
  };
  std::vector<Case> cases;
  cases.push_back({"truncated", Bytes(good.begin(), good.end() - 20)});
  cases.push_back({"cut in half", Bytes(good.begin(), good.begin() + good.size() / 2)});
  Bytes flipped = good;
  flipped[flipped.size() / 2] ^= 0x40;
  cases.push_back({"flipped byte", flipped});
  Bytes magic = good;
  magic[0] = 'X';
  cases.push_back({"bad magic", magic});
  cases.push_back({"empty", {}});
  Bytes trailing = good;
  trailing.push_back(0x42);
  cases.push_back({"garbage after the stream", trailing});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes buffer = c.stream;
    EXPECT_FALSE(decompress(buffer));
    EXPECT_EQ(buffer, c.stream);
  }
}

}  // namespace
}  // namespace hs::package
