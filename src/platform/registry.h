// The Windows registry: roots, 32/64-bit views, values of every type.
//
// Values cross the boundary as Windows stores them: a type number and the
// raw bytes (UTF-16LE with terminating zeros for text types).
#pragma once

#include "platform/types.h"

namespace hs::platform {

enum class RegRoot : std::uint32_t {
  kClassesRoot,    // HKEY_CLASSES_ROOT
  kCurrentUser,    // HKEY_CURRENT_USER
  kLocalMachine,   // HKEY_LOCAL_MACHINE
  kUsers,          // HKEY_USERS
  kCurrentConfig,  // HKEY_CURRENT_CONFIG
};

// Which view of the registry a 32-bit process sees on 64-bit Windows.
enum class RegView {
  kDefault,  // no KEY_WOW64_* flag
  k32,       // KEY_WOW64_32KEY
  k64,       // KEY_WOW64_64KEY
};

// Value types, as Windows numbers them.
namespace regtype {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kSz = 1;
inline constexpr std::uint32_t kExpandSz = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kDwordBigEndian = 5;
inline constexpr std::uint32_t kLink = 6;
inline constexpr std::uint32_t kMultiSz = 7;
inline constexpr std::uint32_t kQword = 11;
}  // namespace regtype

struct RegValue {
  std::uint32_t type = regtype::kNone;
  Bytes data;
};

struct RegKeyPath {
  RegRoot root = RegRoot::kLocalMachine;
  std::u16string subkey;  // "Software\Microsoft\..." without leading backslash
  RegView view = RegView::kDefault;
};

class Registry {
 public:
  virtual ~Registry() = default;

  virtual bool key_exists(const RegKeyPath& key) = 0;
  // Creates the key and any missing parents. `created` tells whether the
  // key itself was new.
  [[nodiscard]] virtual SysError create_key(const RegKeyPath& key, bool* created = nullptr) = 0;
  // Deletes a key that has no subkeys.
  [[nodiscard]] virtual SysError delete_key(const RegKeyPath& key) = 0;
  // Deletes a key with everything below it.
  [[nodiscard]] virtual SysError delete_tree(const RegKeyPath& key) = 0;

  // An empty name is the key's default value.
  virtual Result<RegValue> get_value(const RegKeyPath& key, const std::u16string& name) = 0;
  [[nodiscard]] virtual SysError set_value(const RegKeyPath& key, const std::u16string& name, const RegValue& value) = 0;
  [[nodiscard]] virtual SysError delete_value(const RegKeyPath& key, const std::u16string& name) = 0;

  virtual Result<std::vector<std::u16string>> subkeys(const RegKeyPath& key) = 0;
  virtual Result<std::vector<std::u16string>> value_names(const RegKeyPath& key) = 0;
};

}  // namespace hs::platform
