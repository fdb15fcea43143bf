// An in-memory registry backend with the Windows registry's behaviour at missing keys and
// values: keys and names compare case-insensitively, roots always exist, writes need an existing
// key. For tests and for platforms without a registry.
#pragma once

#include <map>
#include <string>

#include "common/registry.h"

namespace cv3 {

class MemoryRegistry : public RegistryBackend {
 public:
  bool CreateKey(RootKey root, std::string_view subkey) override;
  bool SetValue(RootKey root, std::string_view subkey, std::string_view name,
                const RawValue& value) override;
  std::optional<RawValue> GetValue(RootKey root, std::string_view subkey, std::string_view name,
                                   size_t maxBytes) override;
  bool HasValue(RootKey root, std::string_view subkey, std::string_view name) override;
  std::string ExpandEnvironment(std::string_view text) override;

  bool KeyExists(RootKey root, std::string_view subkey) const;
  // Makes a root refuse writes, as HKEY_LOCAL_MACHINE does without rights.
  void DenyWrites(RootKey root) { denied_[static_cast<int>(root)] = true; }
  // The environment that expandable texts name; empty unless set (names ignore case).
  void SetVariable(std::string_view name, std::string value) { variables_[Fold(name)] = value; }

 private:
  static std::string Fold(std::string_view text);
  using Values = std::map<std::string, RawValue>;  // by folded name
  std::string KeyId(RootKey root, std::string_view subkey) const;
  Values* Find(RootKey root, std::string_view subkey);

  std::map<std::string, Values> keys_;  // by folded "root\subkey"; roots are implicit
  bool denied_[7] = {};
  std::map<std::string, std::string> variables_;  // by folded name
};

}  // namespace cv3
