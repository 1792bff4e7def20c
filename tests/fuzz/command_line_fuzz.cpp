// Fuzz target: the command line parser.
//
// The input is the command line as UTF-16LE (an odd last byte is dropped).
// Any text must parse without a crash, and the parse must hold its own
// rules: a usage error or at most the switches' values, never both an
// uninstall mode without a name and no error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  const hs::engine::ParsedCommandLine parsed = hs::engine::parse_command_line(text);
  if (parsed.modes.uninstall && parsed.modes.uninstall_product.empty() && !parsed.error) std::abort();
  if (parsed.modes.silent && !parsed.modes.automatic) std::abort();
  if (parsed.error) {
    const std::u16string usage = hs::engine::usage_text(parsed.error->message, u"setup.exe");
    if (usage.find(parsed.error->message) != 0) std::abort();
  }
  // Splitting never grows the text: each atom comes out of the rest.
  std::u16string rest = text;
  while (!rest.empty()) {
    const std::size_t before = rest.size();
    const std::u16string atom = hs::engine::next_atom(rest);
    if (rest.size() >= before && !atom.empty()) std::abort();
    if (atom.empty()) break;
  }
  return 0;
}
