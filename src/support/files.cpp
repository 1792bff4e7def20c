#include "support/files.h"

namespace hs::support {

bool is_folder(platform::Files& files, const std::u16string& path) {
  const auto attributes = files.attributes(path);
  return attributes && (*attributes & platform::attr::kDirectory) != 0;
}

platform::Result<std::string> read_whole_file(platform::Files& files, const std::u16string& path,
                                              std::uint64_t max_size) {
  auto file = files.open(path, platform::OpenMode::kRead);
  if (!file) return support::failure(file.error());
  std::string bytes;
  if (max_size != UINT64_MAX) {
    auto size = (*file)->size();
    if (!size) return support::failure(size.error());
    if (*size > max_size) return support::failure(platform::err::kNotEnoughMemory);
    bytes.reserve(static_cast<std::size_t>(*size));
  }
  char buffer[65536];
  while (true) {
    auto got = (*file)->read(buffer, sizeof buffer);
    if (!got) return support::failure(got.error());
    if (*got == 0) break;
    bytes.append(buffer, *got);
  }
  return bytes;
}

}  // namespace hs::support
