// A growable byte buffer whose new room is left uninitialised, for buffers
// that are filled right after they grow (decoded chunks). Growing a vector
// would first clear every new byte and then copy all of the old ones.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace hs::package {

class ByteBuffer {
 public:
  std::uint8_t* data() { return bytes_.get(); }
  const std::uint8_t* data() const { return bytes_.get(); }
  // Bytes of room; those not yet written hold unspecified values.
  std::size_t capacity() const { return capacity_; }

  // Makes room for at least `size` bytes, keeping the first `keep` bytes.
  // Throws std::bad_alloc. The room at least doubles, from the first
  // request on: a buffer that holds one decoded chunk usually has to take a
  // second one behind the first one's last frame, and room that is never
  // written costs no memory, while moving to a larger block would.
  void grow(std::size_t size, std::size_t keep) {
    if (size <= capacity_) return;
    const std::size_t room = std::max(size, capacity_) <= SIZE_MAX / 2 ? std::max(size, capacity_) * 2 : size;
    auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(room);
    std::copy_n(bytes_.get(), std::min(keep, capacity_), bytes.get());
    bytes_ = std::move(bytes);
    capacity_ = room;
  }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t capacity_ = 0;
};

}  // namespace hs::package
