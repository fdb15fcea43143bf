#include "cv3client/support/client_settings.h"

namespace cv3::settings {

bool FlagIsOn(Registry& registry, std::string_view name) {
  return registry.GetDWord(kClientKey, name) == 1;
}

std::string TextOrEmpty(Registry& registry, std::string_view name) {
  std::string text = registry.GetString(kClientKey, name);
  return text == kRegistryError ? std::string() : text;
}

bool PlainLook(Registry& registry) { return FlagIsOn(registry, kSlowCpu); }

}  // namespace cv3::settings
