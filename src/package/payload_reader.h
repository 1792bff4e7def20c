// The payload: its checks, the chunk queue and the entries one by one.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "package/blowfish.h"
#include "package/byte_buffer.h"
#include "package/damage_code.h"
#include "package/package_header.h"
#include "package/payload_entry.h"
#include "package/xz_decoder.h"

namespace hs::package {

// How the payload's chunks and entries are decoded.
struct PayloadOptions {
  const Blowfish* cipher = nullptr;  // deciphers every chunk; nullptr when not enciphered
  bool compressed = false;           // chunks are XZ streams (`ProductFlags` bit 5)
  bool silent = false;               // silent mode: the kind-11 value is replaced by 2
  ByteBuffer::Allocate allocate = nullptr;  // memory of the chunk queue; nullptr: the heap
};

// Checks the payload as a whole: its length must equal the header's payload
// size (46) and its CRC the payload CRC (55). 0 when sound.
DamageCode check_payload(std::span<const std::uint8_t> payload, const PackageHeader& header);

// The progress position before entry `index` of `count`: 28 + 62 * index / count.
int entry_progress_position(std::uint32_t index, std::uint32_t count);

// Hands out the entries of a checked payload in order. Chunks are read,
// checked and decoded only when the queue does not hold the next frame.
class PayloadReader {
 public:
  PayloadReader(std::span<const std::uint8_t> payload, std::span<const std::uint32_t> entry_sizes,
                PayloadOptions options);

  // The next entry, its data CRC checked; damage codes 60, 61, 62, 63 (chunk),
  // 70, 71, 72, 100, 110 (entry). Its data view stays valid until the next
  // call. Throws std::bad_alloc when the memory for a chunk cannot be had:
  // a sound package is not damaged because the machine is short of memory.
  Checked<PayloadEntry> next_entry();

  // After the last entry: 80 when payload bytes were never read as chunks,
  // 83 when decoded bytes are left in the queue, else 0.
  DamageCode finish() const;

  // Number of entries handed out so far.
  std::uint32_t entries_read() const { return entries_read_; }

 private:
  // Takes one whole frame from the queue; nothing when the queue holds
  // less (the read position then stays where it was).
  std::optional<std::span<const std::uint8_t>> take_frame();
  // Moves the bytes not yet taken to the front of the stream buffer.
  void drop_taken_bytes();
  // Reads, checks and decodes the next chunk onto the queue.
  DamageCode read_chunk();
  Checked<PayloadEntry> parse_entry(std::span<const std::uint8_t> frame) const;

  std::span<const std::uint8_t> payload_;
  std::span<const std::uint32_t> entry_sizes_;
  PayloadOptions options_;
  std::size_t payload_read_ = 0;  // payload bytes read as chunks so far

  // The chunk queue: decoded chunks lie back to back in `stream_`, so that a
  // frame spanning chunks is read in place. Bytes before `begin_` have been
  // taken; those from `end_` on are free room. Before a chunk is added the
  // bytes not yet taken move to the front, so the buffer stays about the
  // size of one chunk plus the largest frame.
  ByteBuffer stream_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::deque<std::size_t> chunk_ends_;  // where each queued chunk ends in `stream_`, the first being current
  std::vector<std::uint8_t> deciphered_;  // a stored chunk while it is deciphered
  XzDecoder decoder_;                     // decodes the chunks when they are compressed
  std::uint32_t entries_read_ = 0;
};

}  // namespace hs::package
