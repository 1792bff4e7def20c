// Fuzz target: the settings stream reader. Any input either loads or gives
// a damage code; a stream that loads is written again by the settings
// writer and must load to the same state (compared by its bytes, so that a
// NaN size factor compares equal to itself).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "package/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte stands for the header word: it decides field 48.
  hs::package::Settings settings;
  settings.product_flags2 = (data[0] & 1) ? (1u << 24) : 0;
  const std::span<const std::uint8_t> stream(data + 1, size - 1);
  const hs::package::LoadResult result = hs::package::load_settings(stream, settings);
  if (!result) return 0;

  const std::string again = hs::package::write_settings(settings);
  hs::package::Settings reloaded;
  reloaded.product_flags2 = settings.product_flags2;
  const auto second = hs::package::load_settings(
      {reinterpret_cast<const std::uint8_t*>(again.data()), again.size()}, reloaded);
  if (!second || hs::package::write_settings(reloaded) != again) std::abort();
  return 0;
}
