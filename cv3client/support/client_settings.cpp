#include "cv3client/support/client_settings.h"

namespace cv3::settings {

bool FlagIsOn(Registry& registry, const Setting& flag) { return ReadFlag(registry, flag) == 1; }

std::string TextOrEmpty(Registry& registry, const Setting& text) {
  std::string value = ReadText(registry, text);
  return value == kRegistryError ? std::string() : value;
}

bool PlainLook(Registry& registry) { return FlagIsOn(registry, kSlowCpu); }

DWordValue ReadFlag(Registry& registry, const Setting& flag) {
  return registry.GetDWord(flag.key, flag.name);
}

TlsOptions ConnectionSecurity(Registry& registry) {
  return {FlagIsOn(registry, kCvTls), TextOrEmpty(registry, kCvTlsPin)};
}

std::string ReadText(Registry& registry, const Setting& text) {
  return registry.GetString(text.key, text.name, text.readBytes);
}

void WriteFlag(Registry& registry, const Setting& flag, bool on) {
  registry.SetDWord(flag.key, flag.name, on ? 1 : 0);
}

void WriteText(Registry& registry, const Setting& text, std::string_view value) {
  registry.SetString(text.key, text.name, value);
}

}  // namespace cv3::settings
