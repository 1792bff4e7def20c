// Fuzz target over the package reader: PE section lookup, header, settings
// block, payload chunks and entries, and the low-level file list.
//
// The first input byte picks what the rest is:
//   0: a whole installer file (section lookup, then everything below)
//   1: the bytes of a `.setup` section (header, settings, payload, entries)
//   2: a payload whose chunk framing and CRCs are made valid here, so that
//      the chunk queue and the entry parser see deep inputs
//   3: a settings block to decipher and decompress
//   4: a hpack file list
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "package/blowfish.h"
#include "package/checksum.h"
#include "package/package_header.h"
#include "package/package_section.h"
#include "package/payload_reader.h"
#include "package/settings_block.h"
#include "package/xz_decoder.h"
#include "packwriter/file_list.h"

namespace {

using namespace hs::package;
using Bytes = std::vector<std::uint8_t>;

void read_section(std::span<const std::uint8_t> section, bool compressed) {
  HeaderRead read = read_package_header(section);
  if (!read) return;
  const PackageHeader& h = *read;
  Blowfish cipher;
  key_cipher(h, cipher);
  auto settings = load_settings_block(section, h, cipher);
  if (!settings) return;
  check_settings_crc(*settings, h);
  check_settings_end_marker(*settings);
  const std::size_t end = std::min<std::size_t>(h.package_size, section.size());
  const std::size_t begin = std::min(h.payload_offset, end);
  const auto payload = section.subspan(begin, end - begin);
  // Go on past a bad payload CRC: the reader must stay in bounds anyway.
  if (payload.size() != h.payload_size) return;
  PayloadReader reader(payload, h.entry_sizes, PayloadOptions{h.enciphered() ? &cipher : nullptr, compressed, false});
  for (std::uint32_t i = 0; i < h.entry_count; ++i)
    if (!reader.next_entry()) return;
  reader.finish();
}

void read_installer(std::span<const std::uint8_t> file, bool compressed) {
  const auto prefix = file.first(std::min(file.size(), kPeHeaderReadSize));
  const SectionSearch search = find_package_section(prefix);
  if (!search || !*search) return;
  const PackageSection& section = **search;
  if (section.pointer_to_raw_data > file.size()) return;
  const std::size_t start = section.pointer_to_raw_data;
  const std::size_t length = std::min<std::size_t>(section.size_of_raw_data, file.size() - start);
  read_section(file.subspan(start, length), compressed);
}

// Frames the input as chunks with valid sizes and CRCs: each chunk takes a
// length from one input byte and then that many bytes.
void read_framed_payload(std::span<const std::uint8_t> data, std::uint8_t mode) {
  Bytes payload;
  std::vector<std::uint32_t> sizes;
  std::size_t at = 0;
  // Entry sizes first: a count byte, then one byte per size.
  if (at < data.size()) {
    const std::size_t count = data[at++] % 8;
    for (std::size_t i = 0; i < count && at < data.size(); ++i) sizes.push_back(data[at++]);
  }
  while (at < data.size()) {
    const std::size_t asked = std::size_t{data[at]} + 1;
    ++at;
    const std::size_t want = std::min(asked, data.size() - at);
    const auto chunk = data.subspan(at, want);
    at += want;
    const std::uint32_t size = static_cast<std::uint32_t>(chunk.size());
    for (int i = 0; i < 4; ++i) payload.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    const std::uint32_t crc = crc32(chunk);
    for (int i = 0; i < 4; ++i) payload.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
    payload.insert(payload.end(), chunk.begin(), chunk.end());
  }
  Blowfish cipher;
  cipher.set_key(Bytes{1, 2, 3, 4, 5, 6, 7, 8});
  PayloadReader reader(payload, sizes, PayloadOptions{(mode & 1) ? &cipher : nullptr, (mode & 2) != 0, (mode & 4) != 0});
  for (std::size_t i = 0; i < sizes.size(); ++i)
    if (!reader.next_entry()) return;
  reader.finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t selector = data[0];
  const std::span<const std::uint8_t> rest(data + 1, size - 1);
  switch (selector % 5) {
    case 0: read_installer(rest, (selector & 0x80) != 0); break;
    case 1: read_section(rest, (selector & 0x80) != 0); break;
    case 2: read_framed_payload(rest, static_cast<std::uint8_t>(selector >> 5)); break;
    case 3: {
      Bytes block(rest.begin(), rest.end());
      PackageHeader h;
      h.settings_size = static_cast<std::uint32_t>(block.size());
      h.payload_offset = block.size();
      h.product_flags2 = (selector & 0x80) ? kFlag2Enciphered : 0;
      Blowfish cipher;
      cipher.set_key(Bytes{8, 7, 6, 5, 4, 3, 2, 1});
      // Only that it returns matters here, not what it found.
      if (!block.empty()) (void)load_settings_block(block, h, cipher);
      break;
    }
    case 4:
      try {
        hs::tools::parse_file_list(std::string_view(reinterpret_cast<const char*>(rest.data()), rest.size()));
      } catch (const std::runtime_error&) {
      }
      break;
  }
  return 0;
}
