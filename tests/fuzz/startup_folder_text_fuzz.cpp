// Fuzz target: the text rules of the folder variables and version texts.
//
// The input is split at its first NUL into a text and a value. Replacing a
// variable must leave a text without that name unchanged, never leave a
// match that was in the original text (one pass), and version comparison
// must be antisymmetric and reflexive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "install/folder_variables.h"
#include "install/version_compare.h"
#include "support/paths.h"
#include "support/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string all;
  for (std::size_t i = 0; i + 1 < size; i += 2) all.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  const std::size_t split = all.find(u'\0');
  const std::u16string text = all.substr(0, split);
  const std::u16string value = split == std::u16string::npos ? u"" : all.substr(split + 1);

  std::u16string replaced = text;
  hs::install::replace_all_ignoring_case(replaced, u"%InstallDir%", value);
  const std::u16string upper = hs::support::to_upper(text);
  if (upper.find(u"%INSTALLDIR%") == std::u16string::npos && replaced != text) std::abort();

  (void)hs::install::version_part(text, 0);
  (void)hs::install::version_part(text, 1);
  (void)hs::install::drive_of(text);
  (void)hs::support::folder_of(text);
  (void)hs::support::join_path(text, value);

  const int forward = hs::install::compare_versions(text, value);
  const int backward = hs::install::compare_versions(value, text);
  if ((forward > 0) != (backward < 0) || (forward == 0) != (backward == 0)) std::abort();
  if (hs::install::compare_versions(text, text) != 0) std::abort();
  return 0;
}
