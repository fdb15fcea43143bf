#include "common/registry.h"

#include <array>
#include <utility>

#include "protocol/cp1252.h"

namespace cv3 {
namespace {

constexpr std::array<std::pair<std::string_view, RootKey>, 7> kRoots = {{
    {"HKEY_CLASSES_ROOT", RootKey::kClassesRoot},
    {"HKEY_CURRENT_USER", RootKey::kCurrentUser},
    {"HKEY_LOCAL_MACHINE", RootKey::kLocalMachine},
    {"HKEY_USERS", RootKey::kUsers},
    {"HKEY_PERFORMANCE_DATA", RootKey::kPerformanceData},
    {"HKEY_CURRENT_CONFIG", RootKey::kCurrentConfig},
    {"HKEY_DYN_DATA", RootKey::kDynData},
}};

}  // namespace

std::string DWordValue::ToText() const {
  switch (kind_) {
    case Kind::kNumber:
      return std::to_string(number_);
    case Kind::kMarker:
      return std::string(kRegistryError);
    case Kind::kEmpty:
      break;
  }
  return {};
}

std::optional<RootKey> RootKeyFromName(std::string_view name) {
  for (const auto& [rootName, root] : kRoots) {
    if (rootName == name) return root;
  }
  return std::nullopt;
}

ParsedKey Registry::ParseKey(std::string_view path) {
  if (path.substr(0, 5) != "HKEY_" || path.empty() || path.back() == '\\') {
    if (sink_) {
      sink_({"Incorrect Format:\n\n" + std::string(path), appTitle_, BoxIcon::kNone,
             BoxButtons::kOk});
    }
    return {ParsedKey::Status::kBadFormat, std::nullopt, {}};
  }
  size_t slash = path.find('\\');
  std::string_view rootName = slash == std::string_view::npos ? path : path.substr(0, slash);
  std::string subkey =
      slash == std::string_view::npos ? std::string() : std::string(path.substr(slash + 1));
  auto root = RootKeyFromName(rootName);
  if (!root) return {ParsedKey::Status::kUnknownRoot, std::nullopt, {}};
  return {ParsedKey::Status::kOk, root, std::move(subkey)};
}

bool Registry::CreateKey(std::string_view path) {
  ParsedKey key = ParseKey(path);
  if (key.status != ParsedKey::Status::kOk) return false;
  return backend_.CreateKey(*key.root, Utf8ToCp1252Lossy(key.subkey));
}

void Registry::SetString(std::string_view path, std::string_view name, std::string_view text) {
  ParsedKey key = ParseKey(path);
  if (key.status != ParsedKey::Status::kOk) return;
  std::string bytes = Utf8ToCp1252Lossy(text);
  bytes.push_back('\0');  // the terminating zero is part of the stored size
  backend_.SetValue(*key.root, Utf8ToCp1252Lossy(key.subkey), Utf8ToCp1252Lossy(name),
                    {ValueType::kString, std::move(bytes)});
}

void Registry::SetDWord(std::string_view path, std::string_view name, int32_t number) {
  ParsedKey key = ParseKey(path);
  if (key.status != ParsedKey::Status::kOk) return;
  auto u = static_cast<uint32_t>(number);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(u >> (8 * i));
  backend_.SetValue(*key.root, Utf8ToCp1252Lossy(key.subkey), Utf8ToCp1252Lossy(name),
                    {ValueType::kDWord, std::move(bytes)});
}

std::string Registry::GetString(std::string_view path, std::string_view name, size_t bufferBytes) {
  ParsedKey key = ParseKey(path);
  if (key.status == ParsedKey::Status::kBadFormat) return std::string(kRegistryError);
  if (key.status == ParsedKey::Status::kUnknownRoot) return {};
  auto value = backend_.GetValue(*key.root, Utf8ToCp1252Lossy(key.subkey), Utf8ToCp1252Lossy(name),
                                 bufferBytes);
  if (!value) return std::string(kRegistryError);
  std::string& bytes = value->bytes;
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return Cp1252ToUtf8(bytes);
}

bool Registry::HasValue(std::string_view path, std::string_view name) {
  ParsedKey key = ParseKey(path);
  if (key.status != ParsedKey::Status::kOk) return false;
  return backend_.HasValue(*key.root, Utf8ToCp1252Lossy(key.subkey), Utf8ToCp1252Lossy(name));
}

DWordValue Registry::GetDWord(std::string_view path, std::string_view name) {
  ParsedKey key = ParseKey(path);
  if (key.status == ParsedKey::Status::kBadFormat) return DWordValue::Marker();
  if (key.status == ParsedKey::Status::kUnknownRoot) return DWordValue::Empty();
  auto value =
      backend_.GetValue(*key.root, Utf8ToCp1252Lossy(key.subkey), Utf8ToCp1252Lossy(name), 4);
  if (!value) return DWordValue::Marker();
  // Four bytes are read whatever the stored type; a shorter value fills the low bytes.
  uint32_t n = 0;
  for (size_t i = 0; i < value->bytes.size() && i < 4; ++i) {
    n |= uint32_t(static_cast<unsigned char>(value->bytes[i])) << (8 * i);
  }
  return DWordValue::Number(static_cast<int32_t>(n));
}

}  // namespace cv3
