#include "packwriter/package_writer.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "package/blowfish.h"
#include "package/checksum.h"
#include "package/package_header.h"
#include "package/settings_block.h"
#include "packwriter/xz_encoder.h"

namespace hs::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put_u32(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void put_text8(Bytes& out, const std::string& text) {
  if (text.find('\0') != std::string::npos) throw std::invalid_argument("a text of an entry contains a NUL byte");
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

void put_text16(Bytes& out, const std::u16string& text) {
  for (char16_t unit : text) {
    if (unit == 0) throw std::invalid_argument("a text of an entry contains a NUL character");
    out.push_back(static_cast<std::uint8_t>(unit));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  out.push_back(0);
  out.push_back(0);
}

// The decoded entry stream: every frame (length word and body) back to
// back, with the offset of each frame's length word.
struct EntryStream {
  Bytes bytes;
  std::vector<std::size_t> frame_starts;
};

EntryStream entry_stream(std::span<const WriterEntry> entries) {
  EntryStream stream;
  std::size_t total = 0;
  for (const WriterEntry& e : entries) total += e.data.size() + 256;
  stream.bytes.reserve(total);
  for (const WriterEntry& e : entries) {
    Bytes frame = entry_frame(e);
    stream.frame_starts.push_back(stream.bytes.size());
    put_u32(stream.bytes, static_cast<std::uint32_t>(frame.size()));
    stream.bytes.insert(stream.bytes.end(), frame.begin(), frame.end());
  }
  return stream;
}

// Cuts the stream into chunks of about `chunk_size` bytes, never inside a
// frame's 4-byte length word (the engine only finds a length that lies in
// one chunk).
std::vector<std::pair<std::size_t, std::size_t>> cut_chunks(const EntryStream& stream, std::size_t chunk_size) {
  std::vector<std::pair<std::size_t, std::size_t>> chunks;
  const std::size_t total = stream.bytes.size();
  std::size_t begin = 0;
  while (begin < total) {
    std::size_t end = std::min(total, begin + chunk_size);
    // The last frame starting before `end`.
    auto it = std::upper_bound(stream.frame_starts.begin(), stream.frame_starts.end(), end - 1);
    if (it != stream.frame_starts.begin()) {
      const std::size_t frame = *(it - 1);
      if (end < total && end < frame + 4 && end > frame) end = frame > begin ? frame : frame + 4;
    }
    chunks.emplace_back(begin, end);
    begin = end;
  }
  return chunks;
}

}  // namespace

bool settings_compressed(std::span<const std::uint8_t> settings) {
  return settings.size() >= 8 && (settings[0] & kProductFlagCompressed) != 0;
}

void set_compression_flag(std::vector<std::uint8_t>& settings, bool compressed) {
  if (settings.size() < 8) throw std::invalid_argument("the settings are shorter than their product flags");
  if (compressed)
    settings[0] |= static_cast<std::uint8_t>(kProductFlagCompressed);
  else
    settings[0] &= static_cast<std::uint8_t>(~kProductFlagCompressed);
}

Bytes entry_frame(const WriterEntry& e) {
  if (e.name.empty()) throw std::invalid_argument("an entry has an empty name");
  if (e.kind > package::kMaxEntryKind)
    throw std::invalid_argument("entry \"" + e.name + "\": kind " + std::to_string(e.kind) + " is above 12");
  if (e.data.size() > package::kMaxEntrySize)
    throw std::invalid_argument("entry \"" + e.name + "\": data larger than 1 GiB");
  Bytes out;
  out.reserve(e.data.size() + 128);
  put_text8(out, e.name);
  put_u32(out, e.kind);
  put_u32(out, e.flags);
  put_u32(out, e.value);
  for (std::uint32_t part : e.date) put_u32(out, part);
  put_text8(out, e.first_argument);
  if ((e.flags & 3) != 0) put_text16(out, e.optional_text);
  put_text8(out, e.shortcut_arguments);
  put_text16(out, e.destination);
  put_text8(out, e.second_argument);
  if (e.kind == package::kKindWithValue) put_u32(out, e.kind11_value);
  out.insert(out.end(), e.data.begin(), e.data.end());
  put_u32(out, package::crc32(e.data));
  return out;
}

Bytes build_package(std::span<const std::uint8_t> settings, std::span<const WriterEntry> entries,
                    const PackageOptions& options) {
  if (options.chunk_size < 64) throw std::invalid_argument("the chunk size must be at least 64 bytes");
  if (entries.size() > 0x7FFFFFFF / 4) throw std::invalid_argument("too many entries");

  package::PackageHeader header;
  header.engine_version = package::kEngineVersion;
  header.product_flags2 = options.product_flags2 & ~package::kFlag2Enciphered;
  package::Blowfish cipher;
  const package::Blowfish* chunk_cipher = nullptr;
  if (options.cipher_key) {
    header.product_flags2 |= package::kFlag2Enciphered;
    header.cipher_key = options.cipher_key;
    cipher.set_key(*options.cipher_key);
    chunk_cipher = &cipher;
  }

  // Settings: XZ, then enciphered or scrambled with their CRC.
  header.settings_crc = package::crc32(settings);
  Bytes settings_block = xz_compress(settings, options.preset);
  package::encode_settings_block(settings_block, header.settings_crc, chunk_cipher);
  if (settings_block.empty() || settings_block.size() >= package::kSettingsSizeLimit)
    throw std::invalid_argument("the encoded settings block is too large");
  header.settings_size = static_cast<std::uint32_t>(settings_block.size());

  // Payload: the entry stream cut into chunks, each compressed and
  // enciphered on its own, in parallel.
  const EntryStream stream = entry_stream(entries);
  const auto cuts = cut_chunks(stream, options.chunk_size);
  std::vector<Bytes> chunks(cuts.size());
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::mutex failure_lock;
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < cuts.size();) {
      try {
        std::span<const std::uint8_t> raw(stream.bytes.data() + cuts[i].first, cuts[i].second - cuts[i].first);
        Bytes chunk = options.compress ? xz_compress(raw, options.preset) : Bytes(raw.begin(), raw.end());
        if (chunk_cipher) chunk_cipher->encipher_buffer(chunk);
        chunks[i] = std::move(chunk);
      } catch (...) {
        std::lock_guard<std::mutex> lock(failure_lock);
        if (!failure) failure = std::current_exception();
      }
    }
  };
  unsigned threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(1, cuts.size())));
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (auto& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);

  std::size_t payload_size = 0;
  for (const Bytes& c : chunks) payload_size += 8 + c.size();
  header.entry_sizes.reserve(entries.size());
  for (const WriterEntry& e : entries) header.entry_sizes.push_back(static_cast<std::uint32_t>(e.data.size()));

  const std::size_t head_size = package::kFixedHeaderSize + 4 * entries.size() + (header.cipher_key ? 8 : 0);
  const std::size_t package_size = head_size + settings_block.size() + payload_size;
  if (package_size > 0x7FFFFFFF) throw std::invalid_argument("the package would be larger than 2 GiB");

  Bytes payload;
  payload.reserve(payload_size);
  for (const Bytes& c : chunks) {
    put_u32(payload, static_cast<std::uint32_t>(c.size()));
    put_u32(payload, package::crc32(c));
    payload.insert(payload.end(), c.begin(), c.end());
  }
  header.payload_size = static_cast<std::uint32_t>(payload_size);
  header.payload_crc = package::crc32(payload);
  header.package_size = static_cast<std::uint32_t>(package_size);
  header.entry_count = static_cast<std::uint32_t>(entries.size());

  Bytes out = package::write_package_header(header);
  out.reserve(package_size);
  out.insert(out.end(), settings_block.begin(), settings_block.end());
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

}  // namespace hs::tools
