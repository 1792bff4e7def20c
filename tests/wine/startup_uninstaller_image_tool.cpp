// Host helper of startup_uninstaller_image.sh: writes the uninstaller image
// the engine builds from an installer (the executable without its package).
//
//   startup_uninstaller_image_tool INSTALLER OUTPUT
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "package/package_section.h"
#include "support/uninstaller_image.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s INSTALLER OUTPUT\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const auto search = hs::package::find_package_section(file);
  if (!search || !*search) {
    std::fprintf(stderr, "%s: no package section\n", argv[1]);
    return 1;
  }
  const auto& section = **search;
  const std::span<const std::uint8_t> all(file);
  const std::size_t end = std::size_t{section.pointer_to_raw_data} + section.size_of_raw_data;
  if (end > file.size()) return 1;
  const auto image = hs::support::build_uninstaller_image(all.first(section.pointer_to_raw_data), all.subspan(end),
                                                      section.pointer_to_raw_data, section.size_of_raw_data);
  if (!image) {
    std::fprintf(stderr, "%s: headers do not describe the package\n", argv[1]);
    return 1;
  }
  std::ofstream(argv[2], std::ios::binary).write(reinterpret_cast<const char*>(image->data()),
                                                 static_cast<std::streamsize>(image->size()));
  return 0;
}
