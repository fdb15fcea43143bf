#include "common/registry_win32.h"

#include <windows.h>

#include <vector>

#include "common/wide_text_win32.h"

namespace cv3 {
namespace {

HKEY RootHandle(RootKey root) {
  switch (root) {
    case RootKey::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RootKey::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RootKey::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RootKey::kUsers:
      return HKEY_USERS;
    case RootKey::kPerformanceData:
      return HKEY_PERFORMANCE_DATA;
    case RootKey::kCurrentConfig:
      return HKEY_CURRENT_CONFIG;
    case RootKey::kDynData:
      return HKEY_DYN_DATA;
  }
  return HKEY_CURRENT_USER;
}

// Closes the key on every path out.
class OpenKey {
 public:
  OpenKey(RootKey root, std::string_view subkey, REGSAM access) {
    if (RegOpenKeyExW(RootHandle(root), Widen(subkey).c_str(), 0, access, &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

bool Win32Registry::CreateKey(RootKey root, std::string_view subkey) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(RootHandle(root), Widen(subkey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool Win32Registry::SetValue(RootKey root, std::string_view subkey, std::string_view name,
                             const RawValue& value) {
  OpenKey key(root, subkey, KEY_WRITE);
  if (!key.get()) return false;
  DWORD type = value.type == ValueType::kDWord          ? REG_DWORD
               : value.type == ValueType::kExpandString ? REG_EXPAND_SZ
                                                        : REG_SZ;
  return RegSetValueExW(key.get(), Widen(name).c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(value.bytes.data()),
                        static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

std::optional<RawValue> Win32Registry::GetValue(RootKey root, std::string_view subkey,
                                                std::string_view name, size_t maxBytes) {
  OpenKey key(root, subkey, KEY_READ);
  if (!key.get()) return std::nullopt;
  std::vector<BYTE> buffer(maxBytes + 1);
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(maxBytes);
  if (RegQueryValueExW(key.get(), Widen(name).c_str(), nullptr, &type, buffer.data(), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;  // missing, or larger than the buffer (ERROR_MORE_DATA)
  }
  RawValue value{type == REG_DWORD       ? ValueType::kDWord
                 : type == REG_EXPAND_SZ ? ValueType::kExpandString
                                         : ValueType::kString,
                 std::string(reinterpret_cast<const char*>(buffer.data()), size)};
  return value;
}

bool Win32Registry::HasValue(RootKey root, std::string_view subkey, std::string_view name) {
  OpenKey key(root, subkey, KEY_READ);
  if (!key.get()) return false;
  // No buffer: only the value's presence is asked, so its size cannot fail the query.
  return RegQueryValueExW(key.get(), Widen(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

std::string Win32Registry::ExpandEnvironment(std::string_view text) {
  std::wstring wide = Widen(text);
  DWORD needed = ExpandEnvironmentStringsW(wide.c_str(), nullptr, 0);
  if (needed == 0) return std::string(text);
  std::wstring expanded(needed, L'\0');
  DWORD written = ExpandEnvironmentStringsW(wide.c_str(), expanded.data(), needed);
  if (written == 0 || written > needed) return std::string(text);
  expanded.resize(written - 1);  // without its terminating zero
  return Narrow(expanded);
}

}  // namespace cv3
