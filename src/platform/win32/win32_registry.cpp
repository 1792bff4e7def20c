// The registry through advapi32, with the 32-bit and 64-bit views.
#include "platform/win32/library_loading.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_services.h"

namespace hs::platform::win32 {

namespace {

HKEY root_handle(RegRoot root) {
  switch (root) {
    case RegRoot::kClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::kCurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::kUsers: return HKEY_USERS;
    case RegRoot::kCurrentConfig: return HKEY_CURRENT_CONFIG;
  }
  return HKEY_LOCAL_MACHINE;
}

REGSAM view_flag(RegView view) {
  switch (view) {
    case RegView::kDefault: return 0;
    case RegView::k32: return KEY_WOW64_32KEY;
    case RegView::k64: return KEY_WOW64_64KEY;
  }
  return 0;
}

// An open key, closed when it goes out of scope.
class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  LONG open(const RegKeyPath& path, REGSAM access) {
    return RegOpenKeyExW(root_handle(path.root), wide(path.subkey), 0, access | view_flag(path.view), &key_);
  }
  HKEY get() const { return key_; }
  HKEY* out() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

SysError as_error(LONG status) { return static_cast<SysError>(status); }

RegKeyPath child_of(const RegKeyPath& parent, const std::u16string& name) {
  RegKeyPath child = parent;
  if (!child.subkey.empty()) child.subkey += u'\\';
  child.subkey += name;
  return child;
}

}  // namespace

bool Win32Registry::key_exists(const RegKeyPath& key) {
  OpenKey open;
  return open.open(key, KEY_READ) == ERROR_SUCCESS;
}

SysError Win32Registry::create_key(const RegKeyPath& key, bool* created) {
  OpenKey open;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExW(root_handle(key.root), wide(key.subkey), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_READ | KEY_WRITE | view_flag(key.view), nullptr, open.out(), &disposition);
  if (created) *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
  return as_error(status);
}

SysError Win32Registry::delete_key(const RegKeyPath& key) {
  // RegDeleteKeyExW (with the view) exists from Windows Vista and the 64-bit
  // editions of XP; without it there is only one view to delete from.
  using RegDeleteKeyExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
  auto delete_ex = bind_system<RegDeleteKeyExWFn>(L"advapi32.dll", "RegDeleteKeyExW");
  if (delete_ex) return as_error(delete_ex(root_handle(key.root), wide(key.subkey), view_flag(key.view), 0));
  return as_error(RegDeleteKeyW(root_handle(key.root), wide(key.subkey)));
}

SysError Win32Registry::delete_tree(const RegKeyPath& key) {
  auto children = subkeys(key);
  if (!children) return children.error();
  for (const std::u16string& name : *children) {
    SysError error = delete_tree(child_of(key, name));
    if (error != err::kSuccess) return error;
  }
  return delete_key(key);
}

Result<RegValue> Win32Registry::get_value(const RegKeyPath& key, const std::u16string& name) {
  OpenKey open;
  LONG status = open.open(key, KEY_QUERY_VALUE);
  if (status != ERROR_SUCCESS) return Result<RegValue>::fail(as_error(status));
  RegValue value;
  DWORD size = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD type = 0;
    value.data.resize(size);
    DWORD got = size;
    status = RegQueryValueExW(open.get(), wide(name), nullptr, &type, size ? value.data.data() : nullptr, &got);
    if (status == ERROR_SUCCESS && got <= size) {
      value.type = type;
      value.data.resize(got);
      return Result<RegValue>::ok(std::move(value));
    }
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return Result<RegValue>::fail(as_error(status));
    size = got + 2;  // the value may grow between the calls
  }
  return Result<RegValue>::fail(ERROR_MORE_DATA);
}

SysError Win32Registry::set_value(const RegKeyPath& key, const std::u16string& name, const RegValue& value) {
  OpenKey open;
  LONG status = open.open(key, KEY_SET_VALUE);
  if (status != ERROR_SUCCESS) return as_error(status);
  return as_error(RegSetValueExW(open.get(), wide(name), 0, value.type, value.data.data(),
                                 static_cast<DWORD>(value.data.size())));
}

SysError Win32Registry::delete_value(const RegKeyPath& key, const std::u16string& name) {
  OpenKey open;
  LONG status = open.open(key, KEY_SET_VALUE);
  if (status != ERROR_SUCCESS) return as_error(status);
  return as_error(RegDeleteValueW(open.get(), wide(name)));
}

Result<std::vector<std::u16string>> Win32Registry::subkeys(const RegKeyPath& key) {
  using Names = std::vector<std::u16string>;
  OpenKey open;
  LONG status = open.open(key, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE);
  if (status != ERROR_SUCCESS) return Result<Names>::fail(as_error(status));
  Names names;
  wchar_t buffer[256];  // key names are at most 255 characters
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;
    status = RegEnumKeyExW(open.get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return Result<Names>::fail(as_error(status));
    names.push_back(from_wide(buffer, length));
  }
  return Result<Names>::ok(std::move(names));
}

Result<std::vector<std::u16string>> Win32Registry::value_names(const RegKeyPath& key) {
  using Names = std::vector<std::u16string>;
  OpenKey open;
  LONG status = open.open(key, KEY_QUERY_VALUE);
  if (status != ERROR_SUCCESS) return Result<Names>::fail(as_error(status));
  DWORD longest = 0;
  status = RegQueryInfoKeyW(open.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longest,
                            nullptr, nullptr, nullptr);
  if (status != ERROR_SUCCESS) return Result<Names>::fail(as_error(status));
  std::wstring buffer(static_cast<std::size_t>(longest) + 2, L'\0');
  Names names;
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(buffer.size());
    status = RegEnumValueW(open.get(), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {  // a longer name was added meanwhile
      buffer.assign(buffer.size() * 2, L'\0');
      --index;
      continue;
    }
    if (status != ERROR_SUCCESS) return Result<Names>::fail(as_error(status));
    names.push_back(from_wide(buffer.data(), length));
  }
  return Result<Names>::ok(std::move(names));
}

}  // namespace hs::platform::win32
