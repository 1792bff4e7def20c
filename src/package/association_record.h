// A file association the installation registers in HKEY_CLASSES_ROOT.
#pragma once

#include <cstdint>
#include <string>

namespace hs::package {

struct AssociationRecord {
  // 1 = default handler (also sets the class's default verb); 2 = "Open With"
  // only; any other value = associate without setting the default verb.
  std::uint32_t kind = 0;
  std::u16string extension;    // file extension; a leading "." is added when missing; "" skips the record
  std::u16string class_name;   // ProgID; "" = the extension's current class; "!name" = current class, else name
  std::u16string description;  // class display name; "" = not written
  std::u16string verbs;        // verb names separated by commas, e.g. "open"
  std::u16string verb_label;   // display text of the verb
  std::u16string command;      // verb command line (folder variables expanded)
  std::u16string language;     // "" = every language, else the one installation language it applies to
  std::u16string icon;         // DefaultIcon location relative to the installation folder; "" = not written

  bool operator==(const AssociationRecord&) const = default;
};

}  // namespace hs::package
