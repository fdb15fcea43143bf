// The registry backend over advapi32's W functions, so text does not depend on the system's code
// page. Every call opens and closes its own key.
#pragma once

#include "common/registry.h"

namespace cv3 {

class Win32Registry : public RegistryBackend {
 public:
  bool CreateKey(RootKey root, std::string_view subkey) override;
  bool SetValue(RootKey root, std::string_view subkey, std::string_view name,
                const RawValue& value) override;
  std::optional<RawValue> GetValue(RootKey root, std::string_view subkey, std::string_view name,
                                   size_t maxBytes) override;
  bool HasValue(RootKey root, std::string_view subkey, std::string_view name) override;
  std::string ExpandEnvironment(std::string_view text) override;
};

}  // namespace cv3
