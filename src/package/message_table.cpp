#include "package/message_table.h"

namespace hs::package {

std::u16string_view MessageTable::text(int n, std::size_t language) const {
  if (n < 0 || static_cast<std::size_t>(n) >= message_count || language >= languages.size()) {
    return {};
  }
  std::size_t index = static_cast<std::size_t>(n) * languages.size() + language;
  if (index >= texts.size()) return {};
  return texts[index];
}

std::size_t default_language_index(const std::vector<std::u16string>& languages) {
  std::size_t index = 0;
  for (std::size_t i = 0; i < languages.size(); ++i) {
    if (languages[i] == u"English") index = i;
  }
  return index;
}

std::u16string replace_message_macros(std::u16string_view text, std::u16string_view product,
                                      std::u16string_view description,
                                      std::u16string_view windows_folder) {
  struct Macro {
    std::u16string_view name;
    std::u16string_view value;
  };
  const Macro macros[] = {{u"<product>", product},
                          {u"<description>", description},
                          {u"<os>", windows_folder}};
  std::u16string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    bool replaced = false;
    if (text[at] == u'<') {
      for (const auto& macro : macros) {
        if (text.substr(at, macro.name.size()) == macro.name) {
          out += macro.value;
          at += macro.name.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[at++];
  }
  return out;
}

}  // namespace hs::package
