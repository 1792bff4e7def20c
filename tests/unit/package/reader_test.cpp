// The package reader on packages assembled field by field: every damage code
// a file can trigger, the boundary cases of each rule, and round trips
// through the package writer.
#include <gtest/gtest.h>

#include <functional>

#include "support/package_fixture.h"

namespace hs::package::test {
namespace {

// Three entries in two chunks; the second entry's frame starts in the first
// chunk and ends in the second; the last chunk exactly fills the payload.
RawPackage base_package() {
  RawPackage p;
  const auto e0 = entry("a.txt", to_bytes("0123456789"));
  const auto e1 = entry("b.bin", pattern(300, 1));
  const auto e2 = entry("empty", {});
  Bytes stream = frame(e0);
  const std::size_t cut = stream.size() + 100;
  for (const auto& e : {e1, e2}) {
    const Bytes f = frame(e);
    stream.insert(stream.end(), f.begin(), f.end());
  }
  p.chunks = {Bytes(stream.begin(), stream.begin() + cut), Bytes(stream.begin() + cut, stream.end())};
  p.entry_sizes = {10, 300, 0};
  return p;
}

Bytes chunk_record(const Bytes& stored, std::optional<std::uint32_t> size = {}, std::optional<std::uint32_t> crc = {}) {
  Bytes out;
  put_u32(out, size.value_or(static_cast<std::uint32_t>(stored.size())));
  put_u32(out, crc.value_or(crc32(stored)));
  out.insert(out.end(), stored.begin(), stored.end());
  return out;
}

// A base package whose first frame is changed by `patch` (offsets within
// the frame, the length word at 0).
RawPackage with_first_frame(const std::function<void(Bytes&)>& patch) {
  RawPackage p = base_package();
  Bytes f = frame(entry("x", to_bytes("data")));
  patch(f);
  p.chunks = {f};
  p.entry_sizes = {4};
  return p;
}

struct DamageCase {
  const char* what;
  std::function<void(RawPackage&)> change;
  DamageCode expected;
  bool read_compressed = false;
};

TEST(PackageReader, DamageTable) {
  const std::array<std::uint8_t, 8> key = {9, 8, 7, 6, 5, 4, 3, 2};
  const DamageCase cases[] = {
      {"sound package", [](RawPackage&) {}, damage::kNone},
      {"wrong magic", [](RawPackage& p) { p.magic = 0xA4F23DE4; }, damage::kBadMagic},
      {"settings size 0", [](RawPackage& p) { p.settings_size = 0; }, damage::kSettingsSize},
      {"settings size 0x3200000", [](RawPackage& p) { p.settings_size = 0x3200000; }, damage::kSettingsSize},
      {"settings past the section", [](RawPackage& p) { p.settings_size = 0x31FFFFF; }, damage::kSettingsSize},
      {"package size negative", [](RawPackage& p) { p.package_size = 0x80000000; }, damage::kPackageSize},
      {"package size past the section", [](RawPackage& p) { p.package_size = 100000; }, damage::kPackageSize},
      {"entry count negative", [](RawPackage& p) { p.entry_count = 0xFFFFFFFF; }, damage::kEntryCount},
      {"size table past the section", [](RawPackage& p) { p.entry_count = 0x10000000; }, damage::kEntryCount},
      {"payload size negative", [](RawPackage& p) { p.payload_size = 0x80000000; }, damage::kPayloadSize},
      {"entry size 0x40000001", [](RawPackage& p) { p.entry_sizes[1] = 0x40000001; }, damage::kEntrySizeTable},
      {"settings not XZ", [](RawPackage& p) { p.settings_block = Bytes(64, 0x5A); }, damage::kSettingsDecode},
      {"settings block not scrambled", [](RawPackage& p) { p.settings_block = tools::xz_compress(p.settings, 6); },
       damage::kSettingsDecode},
      {"settings CRC wrong (scrambled with the stored word)", [](RawPackage& p) { p.settings_crc = 0x12345678; },
       damage::kSettingsCrc},
      {"enciphered settings with a bad length word",
       [key](RawPackage& p) {
         p.key = key;
         Blowfish bf;
         bf.set_key(key);
         Bytes block = tools::xz_compress(p.settings, 6);
         block.resize((block.size() + 7) / 8 * 8 + 16, 0);  // length word 0: far below length - 12
         bf.encipher_blocks(block);
         p.settings_block = block;
       },
       damage::kSettingsDecode},
      {"enciphered settings of 7 bytes",
       [key](RawPackage& p) {
         p.key = key;
         p.settings_block = Bytes(7, 1);
       },
       damage::kSettingsDecode},
      {"settings CRC wrong (enciphered)",
       [key](RawPackage& p) {
         p.key = key;
         p.settings_crc = 0x12345678;
       },
       damage::kSettingsCrc},
      {"payload shorter than its size", [](RawPackage& p) { p.payload_size = 20; }, damage::kPayloadLength},
      {"payload CRC wrong", [](RawPackage& p) { p.payload_crc = 1; }, damage::kPayloadCrc},
      {"chunk size 0",
       [](RawPackage& p) {
         p.chunks.clear();
         p.payload_tail = chunk_record({}, 0);
       },
       damage::kChunkSizeZero},
      {"chunk size negative",
       [](RawPackage& p) {
         p.chunks.clear();
         p.payload_tail = chunk_record(Bytes(8, 0), 0xFFFFFFF8);
       },
       damage::kChunkSizeZero},
      {"chunk one byte past the payload",
       [](RawPackage& p) {
         p.chunks.clear();
         p.payload_tail = chunk_record(Bytes(8, 0), 9);
       },
       damage::kChunkPastPayload},
      {"chunk CRC wrong",
       [](RawPackage& p) {
         p.chunks = {frame(entry("a.txt", to_bytes("0123456789")))};
         p.payload_tail = chunk_record(frame(entry("more", {})), {}, 0);
         p.entry_sizes = {10, 0};
       },
       damage::kChunkCrc},
      {"chunk not XZ", [](RawPackage&) {}, damage::kChunkDecode, true},
      {"entry name empty", [](RawPackage& p) { p = with_first_frame([](Bytes& f) { f[4] = 0; }); },
       damage::kEntryName},
      {"entry kind 13", [](RawPackage& p) { p = with_first_frame([](Bytes& f) { f[6] = 13; }); },
       damage::kEntryKind},
      {"entry fields past the frame",
       [](RawPackage& p) {
         p = with_first_frame([](Bytes& f) {
           f.resize(20);
           set_u32(f, 0, 16);
         });
       },
       damage::kEntryName},
      {"entry data past the frame", [](RawPackage& p) { p.entry_sizes[0] = 10000; }, damage::kEntryDataSize},
      {"entry data CRC wrong", [](RawPackage& p) { p.chunks[1][10] ^= 1; },
       damage::kEntryDataCrc},
      {"a chunk left after the last entry", [](RawPackage& p) { p.chunks.push_back(Bytes(16, 1)); },
       damage::kPayloadLeft},
      {"bytes left in the queue", [](RawPackage& p) { p.chunks.back().push_back(0); }, damage::kQueueLeft},
      {"frame length split between chunks",
       [](RawPackage& p) {
         const Bytes f = frame(entry("x", to_bytes("data")));
         p.chunks = {Bytes(f.begin(), f.begin() + 2), Bytes(f.begin() + 2, f.end())};
         p.entry_sizes = {4};
       },
       damage::kChunkPastPayload},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.what);
    RawPackage p = base_package();
    c.change(p);
    const Bytes section = assemble(p);
    EXPECT_EQ(read_section(section, c.read_compressed).damage, c.expected);
  }
}

TEST(PackageReader, SoundPackageGivesEveryField) {
  RawPackage p = base_package();
  tools::WriterEntry rich = entry("|d\xC3\xA9j\xC3\xA0.dll", pattern(33, 3), 11);
  rich.flags = 0x21;
  rich.value = 0x80;
  rich.first_argument = "1.2.3";
  rich.optional_text = u"Shortcut \u00e9";
  rich.shortcut_arguments = "/x";
  rich.destination = u"%PROGRAMFILES%\\Demo";
  rich.second_argument = "C:\\start";
  rich.kind11_value = 7;
  p.chunks = {frame(rich)};
  p.entry_sizes = {33};
  for (bool silent : {false, true}) {
    const ReadOutcome out = read_section(assemble(p), false, silent);
    ASSERT_EQ(out.damage, damage::kNone);
    ASSERT_EQ(out.entries.size(), 1u);
    const PayloadEntry& e = out.entries[0];
    EXPECT_EQ(e.name, rich.name);
    EXPECT_EQ(e.kind, 11u);
    EXPECT_EQ(e.flags, 0x21u);
    EXPECT_EQ(e.value, 0x80u);
    EXPECT_EQ(e.date, rich.date);
    EXPECT_EQ(e.first_argument, "1.2.3");
    EXPECT_EQ(e.optional_text, rich.optional_text);
    EXPECT_EQ(e.shortcut_arguments, "/x");
    EXPECT_EQ(e.destination, rich.destination);
    EXPECT_EQ(e.second_argument, "C:\\start");
    EXPECT_EQ(e.kind11_value, silent ? 2u : 7u);
    EXPECT_EQ(out.data[0], rich.data);
  }
}

TEST(PackageReader, HeaderBoundaries) {
  RawPackage p = base_package();
  p.entry_sizes = {0x40000000};
  p.chunks.clear();
  EXPECT_TRUE(read_package_header(assemble(p)).has_value());

  // N = 0 with an empty payload is a valid package.
  RawPackage empty;
  const ReadOutcome out = read_section(assemble(empty), false);
  EXPECT_EQ(out.damage, damage::kNone);
  EXPECT_TRUE(out.entries.empty());

  // A section cut inside the fixed header.
  const Bytes section = assemble(empty);
  EXPECT_EQ(read_package_header(std::span(section).first(40)).error().damage, damage::kBadMagic);

  // Another version: the version message, not a damage code.
  Bytes other = section;
  other[5] = '6';
  const HeaderRead read = read_package_header(other);
  ASSERT_FALSE(read);
  EXPECT_TRUE(read.error().wrong_version);
  EXPECT_EQ(read.error().damage, damage::kNone);
  EXPECT_EQ(read.error().version, "46.0");
  // Without the key flag the settings follow the size table directly.
  const HeaderRead plain = read_package_header(section);
  EXPECT_EQ(plain->settings_offset, kFixedHeaderSize);
}

TEST(PackageReader, WholeFramesInAChunkDoNotReadTheNextChunk) {
  RawPackage p;
  const Bytes f0 = frame(entry("one", to_bytes("1"))), f1 = frame(entry("two", to_bytes("22")));
  Bytes first = f0;
  first.insert(first.end(), f1.begin(), f1.end());
  p.chunks = {first, frame(entry("three", to_bytes("333")))};
  p.entry_sizes = {1, 2, 3};
  const Bytes section = assemble(p);
  const PackageHeader h = *read_package_header(section);
  const auto payload = std::span(section).subspan(h.payload_offset);
  PayloadReader reader(payload, h.entry_sizes, {});
  ASSERT_TRUE(reader.next_entry());
  ASSERT_TRUE(reader.next_entry());
  EXPECT_EQ(reader.finish(), damage::kPayloadLeft);  // the second chunk is still unread
  auto third = reader.next_entry();
  ASSERT_TRUE(third);
  EXPECT_EQ(third->name, "three");
  EXPECT_EQ(reader.finish(), damage::kNone);
}

// Ways the entry stream can be laid over chunks; each must read back whole.
// A chunk that decodes to nothing (only a compressed one can: a stored chunk
// is never empty) is dropped like a used-up one; a frame may
// run through any number of chunks, and frames after it sit in its last one.
TEST(PackageReader, ChunkLayouts) {
  const Bytes f0 = frame(entry("big", pattern(5000, 3)));
  const Bytes f1 = frame(entry("small", to_bytes("xyz")));
  Bytes stream = f0;
  stream.insert(stream.end(), f1.begin(), f1.end());
  auto cut = [&](std::initializer_list<std::size_t> points) {
    std::vector<Bytes> chunks;
    std::size_t from = 0;
    for (std::size_t to : points) {
      chunks.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(from), stream.begin() + static_cast<std::ptrdiff_t>(to));
      from = to;
    }
    chunks.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(from), stream.end());
    return chunks;
  };
  const struct {
    const char* what;
    std::vector<Bytes> chunks;
    bool compressed_only = false;
  } cases[] = {
      {"one chunk", cut({})},
      {"empty chunk first and between", [&] {
         auto c = cut({f0.size()});
         c.insert(c.begin() + 1, Bytes{});
         c.insert(c.begin(), Bytes{});
         return c;
       }(),
       true},
      {"big frame through four chunks", cut({10, 1000, 2000, 4000})},
      {"second frame ends where the big one's last chunk ends", cut({100, f0.size() - 1})},
  };
  for (const auto& c : cases) {
    for (const bool compressed : {false, true}) {
      if (c.compressed_only && !compressed) continue;
      SCOPED_TRACE(std::string(c.what) + (compressed ? ", compressed" : ""));
      RawPackage p;
      p.chunks = c.chunks;
      p.entry_sizes = {5000, 3};
      p.compress = compressed;
      const ReadOutcome out = read_section(assemble(p), compressed);
      ASSERT_EQ(out.damage, damage::kNone);
      ASSERT_EQ(out.data.size(), 2u);
      EXPECT_EQ(out.data[0], pattern(5000, 3));
      EXPECT_EQ(out.data[1], to_bytes("xyz"));
    }
  }
}

TEST(PackageReader, ProgressPositions) {
  EXPECT_EQ(entry_progress_position(0, 3), 28);
  EXPECT_EQ(entry_progress_position(1, 3), 48);
  EXPECT_EQ(entry_progress_position(2, 3), 69);
  EXPECT_EQ(entry_progress_position(99, 100), 89);
}

// Round trips through the writer: every combination of compression and
// cipher, with chunks much smaller than the entries (frames spanning many
// chunks) and larger than all of them.
TEST(PackageWriter, RoundTrips) {
  std::vector<tools::WriterEntry> entries = {entry("small.txt", to_bytes("hello")), entry("big.bin", pattern(5000, 2)),
                                             entry("zero", {}), entry("text.txt", Bytes(3000, 'z'), 6)};
  entries[3].first_argument = "2.0";
  for (bool compress : {false, true}) {
    for (bool cipher : {false, true}) {
      for (std::size_t chunk : {64u, 1000u, 1u << 20}) {
        SCOPED_TRACE(std::to_string(compress) + " " + std::to_string(cipher) + " " + std::to_string(chunk));
        tools::PackageOptions options;
        options.compress = compress;
        if (cipher) options.cipher_key = std::array<std::uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8};
        options.chunk_size = chunk;
        options.threads = 2;
        const Bytes settings = settings_bytes(compress);
        const Bytes package = tools::build_package(settings, entries, options);
        const ReadOutcome out = read_section(package, compress);
        ASSERT_EQ(out.damage, damage::kNone);
        EXPECT_EQ(out.settings, settings);
        ASSERT_EQ(out.entries.size(), entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
          EXPECT_EQ(out.entries[i].name, entries[i].name);
          EXPECT_EQ(out.data[i], entries[i].data);
          EXPECT_EQ(out.entries[i].first_argument, entries[i].first_argument);
        }
      }
    }
  }
}

TEST(PackageWriter, OutputDoesNotDependOnThreads) {
  std::vector<tools::WriterEntry> entries;
  for (int i = 0; i < 20; ++i) entries.push_back(entry("f" + std::to_string(i), pattern(700 + i * 13, i)));
  tools::PackageOptions options;
  options.chunk_size = 1500;
  options.threads = 1;
  const Bytes one = tools::build_package(settings_bytes(), entries, options);
  options.threads = 3;
  EXPECT_EQ(tools::build_package(settings_bytes(), entries, options), one);
}

TEST(PackageWriter, RefusesWhatTheEngineWouldRefuse) {
  tools::PackageOptions options;
  EXPECT_THROW(tools::build_package(settings_bytes(), std::vector{entry("", {})}, options), std::invalid_argument);
  EXPECT_THROW(tools::build_package(settings_bytes(), std::vector{entry("k", {}, 13)}, options), std::invalid_argument);
  options.chunk_size = 8;
  EXPECT_THROW(tools::build_package(settings_bytes(), std::vector{entry("a", {})}, options), std::invalid_argument);
}

}  // namespace
}  // namespace hs::package::test
