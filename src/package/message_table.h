// The package's message table: every user-visible text in every language.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace hs::package {

struct MessageTable {
  // Language names in package order (1 to 200 of them once loaded).
  std::vector<std::u16string> languages;
  // Messages per language (1 to 9999 once loaded).
  std::size_t message_count = 0;
  // texts[m * languages.size() + l] is message m in language l, the order
  // of the settings stream.
  std::vector<std::u16string> texts;
  // Index of the default language: the last one named exactly "English",
  // else 0.
  std::size_t default_language = 0;
  // Index of the language the user chose; starts at the default.
  std::size_t chosen_language = 0;

  bool loaded() const { return !languages.empty() && message_count != 0; }

  // Message `n` in language `language`, without macro replacement; "" for
  // numbers outside 0 to count - 1, an unknown language or an unloaded
  // table.
  std::u16string_view text(int n, std::size_t language) const;
  // Message `n` in the chosen language.
  std::u16string_view text(int n) const { return text(n, chosen_language); }

  bool operator==(const MessageTable&) const = default;
};

// The default language of `languages`: the last index whose name equals
// "English" exactly (case-sensitive); without one, 0.
std::size_t default_language_index(const std::vector<std::u16string>& languages);

// Replaces every "<product>", "<description>" and "<os>" in `text`.
std::u16string replace_message_macros(std::u16string_view text, std::u16string_view product,
                                      std::u16string_view description,
                                      std::u16string_view windows_folder);

}  // namespace hs::package
