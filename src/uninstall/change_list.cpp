#include "uninstall/change_list.h"

#include "support/text.h"

namespace hs::uninstall {

namespace {

// UTF-16 to UTF-8 where an unpaired surrogate becomes "?".
std::string to_utf8_or_question(std::u16string_view text) {
  std::u16string cleaned(text);
  for (std::size_t i = 0; i < cleaned.size(); ++i) {
    const char16_t c = cleaned[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < cleaned.size() && cleaned[i + 1] >= 0xDC00 &&
        cleaned[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      cleaned[i] = u'?';
    }
  }
  return support::utf16_to_utf8(cleaned);
}

}  // namespace

char change_prefix(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::kFolder: return '~';
    case ChangeKind::kRegistryValue: return '!';
    case ChangeKind::kRegistryKey: return '^';
    case ChangeKind::kRegistryKey64: return '*';
    case ChangeKind::kFile: break;
  }
  return '\0';
}

bool ChangeList::append(std::string_view text, ChangeKind kind) {
  if (text.size() < 4) return false;
  if (kind == ChangeKind::kFolder) {
    auto key = support::to_upper(support::from_bar_form(text, ansi_decode_));
    if (!folders_.insert(std::move(key)).second) return false;
  }
  if (const char prefix = change_prefix(kind)) text_.push_back(prefix);
  text_.append(text);
  text_.append("\r\n");
  return true;
}

bool ChangeList::append(std::u16string_view text, ChangeKind kind) {
  // The length rule counts the characters of the text as given.
  if (text.size() < 4) return false;
  switch (kind) {
    case ChangeKind::kRegistryValue: return append(to_utf8_or_question(text), kind);
    case ChangeKind::kRegistryKey64:
      return append(ansi_encode_ ? ansi_encode_(text) : support::utf16_to_cp1252(text), kind);
    default: return append(support::to_bar_form(text), kind);
  }
}

void ChangeList::clear() {
  text_.clear();
  folders_.clear();
}

}  // namespace hs::uninstall
