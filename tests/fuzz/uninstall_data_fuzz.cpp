// Fuzz target: the reader of "Uninstall.DAT".
//
// Any bytes must read without a crash, and what is read must come back
// unchanged through one more write and read: the uninstaller rewrites the
// file from what it read, so a second rewrite may not change it again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "uninstall/uninstall_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string once = hs::uninstall::compose_uninstall_data(hs::uninstall::parse_uninstall_data(bytes));
  const std::string twice = hs::uninstall::compose_uninstall_data(hs::uninstall::parse_uninstall_data(once));
  if (once != twice) std::abort();
  return 0;
}
