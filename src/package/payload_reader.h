// The payload: its checks, the chunk queue and the entries one by one.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "package/blowfish.h"
#include "package/damage_code.h"
#include "package/package_header.h"
#include "package/payload_entry.h"

namespace hs::package {

// How the payload's chunks and entries are decoded.
struct PayloadOptions {
  const Blowfish* cipher = nullptr;  // deciphers every chunk; nullptr when not enciphered
  bool compressed = false;           // chunks are XZ streams (`ProductFlags` bit 5)
  bool silent = false;               // silent mode: the kind-11 value is replaced by 2
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
  // call.
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
  // Reads, checks and decodes the next chunk onto the queue.
  DamageCode read_chunk();
  Checked<PayloadEntry> parse_entry(std::span<const std::uint8_t> frame) const;

  std::span<const std::uint8_t> payload_;
  std::span<const std::uint32_t> entry_sizes_;
  PayloadOptions options_;
  std::size_t payload_read_ = 0;  // payload bytes read as chunks so far

  std::deque<std::vector<std::uint8_t>> queue_;  // decoded chunks, the front being read
  std::size_t position_ = 0;                     // read position in the front chunk
  std::uint64_t queued_ = 0;                     // decoded bytes in the queue not yet taken
  std::vector<std::uint8_t> joined_;             // a frame that spans chunks, joined
  std::uint32_t entries_read_ = 0;
};

}  // namespace hs::package
