#include "support/paths.h"

namespace hs::support {

std::u16string join_path(std::u16string_view folder, std::u16string_view name) {
  if (folder.empty()) return std::u16string(name);
  std::u16string out(folder);
  while (!name.empty() && name.front() == u'\\') name.remove_prefix(1);
  if (name.empty()) return out;
  if (out.back() != u'\\') out.push_back(u'\\');
  out += name;
  return out;
}

std::u16string folder_of(std::u16string_view path) {
  const auto at = path.rfind(u'\\');
  if (at == std::u16string_view::npos) return {};
  std::u16string folder(path.substr(0, at));
  if (folder.size() == 2 && folder[1] == u':') folder.push_back(u'\\');
  return folder;
}

std::u16string without_trailing_backslash(std::u16string_view path) {
  if (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
  return std::u16string(path);
}

}  // namespace hs::support
