#include "package/payload_reader.h"

#include <algorithm>

#include "package/byte_cursor.h"
#include "package/checksum.h"
#include "package/xz_decoder.h"

namespace hs::package {
namespace {

std::uint32_t load_u32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

}  // namespace

DamageCode check_payload(std::span<const std::uint8_t> payload, const PackageHeader& header) {
  if (payload.size() != header.payload_size) return damage::kPayloadLength;
  if (crc32(payload) != header.payload_crc) return damage::kPayloadCrc;
  return damage::kNone;
}

int entry_progress_position(std::uint32_t index, std::uint32_t count) {
  if (count == 0) return 28;
  return 28 + static_cast<int>(std::uint64_t{62} * index / count);
}

PayloadReader::PayloadReader(std::span<const std::uint8_t> payload, std::span<const std::uint32_t> entry_sizes,
                             PayloadOptions options)
    : payload_(payload), entry_sizes_(entry_sizes), options_(options) {
  if (options.allocate) stream_ = ByteBuffer(options.allocate);
}

std::optional<std::span<const std::uint8_t>> PayloadReader::take_frame() {
  while (!chunk_ends_.empty() && chunk_ends_.front() <= begin_) chunk_ends_.pop_front();
  if (chunk_ends_.empty()) return std::nullopt;
  if (chunk_ends_.front() - begin_ < 4) return std::nullopt;  // the length may not span chunks
  const std::uint64_t length = load_u32(stream_.data() + begin_);
  if (end_ - begin_ - 4 < length) return std::nullopt;
  std::span<const std::uint8_t> frame(stream_.data() + begin_ + 4, static_cast<std::size_t>(length));
  begin_ += 4 + static_cast<std::size_t>(length);
  return frame;
}

void PayloadReader::drop_taken_bytes() {
  if (begin_ == 0) return;
  std::copy(stream_.data() + begin_, stream_.data() + end_, stream_.data());
  for (std::size_t& chunk_end : chunk_ends_) chunk_end -= begin_;
  end_ -= begin_;
  begin_ = 0;
}

DamageCode PayloadReader::read_chunk() {
  const std::size_t left = payload_.size() - payload_read_;
  if (left < 8) return damage::kChunkPastPayload;
  const std::uint32_t size = load_u32(&payload_[payload_read_]);
  const std::uint32_t crc = load_u32(&payload_[payload_read_ + 4]);
  if (size == 0 || (size & 0x80000000u) != 0) return damage::kChunkSizeZero;
  if (size > left - 8) return damage::kChunkPastPayload;
  std::span<const std::uint8_t> chunk = payload_.subspan(payload_read_ + 8, size);
  if (crc32(chunk) != crc) return damage::kChunkCrc;
  payload_read_ += 8 + size;

  if (options_.cipher) {
    deciphered_.assign(chunk.begin(), chunk.end());
    options_.cipher->decipher_buffer(deciphered_);  // failure leaves it empty
    chunk = deciphered_;
  }
  drop_taken_bytes();
  if (options_.compressed) {
    if (!decoder_.decompress_append(chunk, stream_, end_)) return damage::kChunkDecode;
  } else {
    stream_.grow(end_ + chunk.size(), end_);
    std::copy(chunk.begin(), chunk.end(), stream_.data() + end_);
    end_ += chunk.size();
  }
  chunk_ends_.push_back(end_);
  return damage::kNone;
}

Checked<PayloadEntry> PayloadReader::next_entry() {
  std::optional<std::span<const std::uint8_t>> frame;
  while (!(frame = take_frame())) {
    if (const DamageCode code = read_chunk()) return Checked<PayloadEntry>::fail(code);
  }
  auto entry = parse_entry(*frame);
  if (entry) ++entries_read_;
  return entry;
}

Checked<PayloadEntry> PayloadReader::parse_entry(std::span<const std::uint8_t> frame) const {
  using Result = Checked<PayloadEntry>;
  ByteCursor cursor(frame);
  PayloadEntry entry;

  auto name = cursor.text8();
  if (!name || name->empty()) return Result::fail(damage::kEntryName);
  entry.name = std::move(*name);

  const auto kind = cursor.u32();
  if (!kind) return Result::fail(damage::kEntryName);
  if (*kind > kMaxEntryKind) return Result::fail(damage::kEntryKind);
  entry.kind = *kind;

  const auto flags = cursor.u32();
  const auto value = cursor.u32();
  if (!flags || !value) return Result::fail(damage::kEntryName);
  entry.flags = *flags;
  entry.value = *value;
  for (auto& part : entry.date) {
    const auto field = cursor.u32();
    if (!field) return Result::fail(damage::kEntryName);
    part = *field;
  }

  auto first = cursor.text8();
  if (!first) return Result::fail(damage::kEntryName);
  entry.first_argument = std::move(*first);
  if ((entry.flags & 3) != 0) {
    auto optional = cursor.text16();
    if (!optional) return Result::fail(damage::kEntryName);
    entry.optional_text = std::move(*optional);
  }
  auto shortcut = cursor.text8();
  auto destination = shortcut ? cursor.text16() : std::nullopt;
  auto second = destination ? cursor.text8() : std::nullopt;
  if (!second) return Result::fail(damage::kEntryName);
  entry.shortcut_arguments = std::move(*shortcut);
  entry.destination = std::move(*destination);
  entry.second_argument = std::move(*second);
  if (entry.kind == kKindWithValue) {
    const auto kind11 = cursor.u32();
    if (!kind11) return Result::fail(damage::kEntryName);
    entry.kind11_value = options_.silent ? 2 : *kind11;
  }

  if (entries_read_ >= entry_sizes_.size()) return Result::fail(damage::kEntryDataSize);
  const std::uint32_t size = entry_sizes_[entries_read_];
  if ((size & 0x80000000u) != 0) return Result::fail(damage::kEntryDataNegative);
  if (size > kMaxEntrySize) return Result::fail(damage::kEntryDataSize);
  const auto data = cursor.bytes(size);
  if (!data) return Result::fail(damage::kEntryDataSize);
  entry.data = *data;
  const auto crc = cursor.u32();
  if (!crc || *crc != crc32(entry.data)) return Result::fail(damage::kEntryDataCrc);
  entry.data_crc = *crc;
  return entry;
}

DamageCode PayloadReader::finish() const {
  if (payload_read_ != payload_.size()) return damage::kPayloadLeft;
  if (end_ != begin_) return damage::kQueueLeft;
  return damage::kNone;
}

}  // namespace hs::package
