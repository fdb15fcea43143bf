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

constexpr size_t kUtf16UnitBytes = 2;

void AppendUnit(std::string& bytes, char16_t unit) {
  bytes += static_cast<char>(unit & 0xFF);
  bytes += static_cast<char>(unit >> 8);
}

// UTF-8 text as a stored text value: UTF-16LE and its terminating zero.
std::string StoredText(std::string_view text) {
  std::string bytes;
  for (size_t pos = 0; pos < text.size();) {
    char32_t c = NextCodePoint(text, pos);
    if (c > 0xFFFF) {
      c -= 0x10000;
      AppendUnit(bytes, static_cast<char16_t>(0xD800 + (c >> 10)));
      AppendUnit(bytes, static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      AppendUnit(bytes, static_cast<char16_t>(c));
    }
  }
  AppendUnit(bytes, 0);
  return bytes;
}

// A stored text value as UTF-8, without its terminating zero (a value stored without one is read
// whole). A lone surrogate becomes U+FFFD.
std::string TextOfStored(std::string_view bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += kUtf16UnitBytes) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  if (!units.empty() && units.back() == 0) units.pop_back();
  std::string text;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(text, c);
  }
  return text;
}

// Four bytes, low byte first, whatever the stored type; a shorter value fills the low bytes.
uint32_t NumberOfStored(std::string_view bytes) {
  uint32_t n = 0;
  for (size_t i = 0; i < bytes.size() && i < 4; ++i) {
    n |= uint32_t(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return n;
}

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
  return backend_.CreateKey(*key.root, key.subkey);
}

void Registry::SetString(std::string_view path, std::string_view name, std::string_view text) {
  ParsedKey key = ParseKey(path);
  if (key.status != ParsedKey::Status::kOk) return;
  // The terminating zero is part of the stored size.
  backend_.SetValue(*key.root, key.subkey, name, {ValueType::kString, StoredText(text)});
}

void Registry::SetDWord(std::string_view path, std::string_view name, int32_t number) {
  ParsedKey key = ParseKey(path);
  if (key.status != ParsedKey::Status::kOk) return;
  auto u = static_cast<uint32_t>(number);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(u >> (8 * i));
  backend_.SetValue(*key.root, key.subkey, name, {ValueType::kDWord, std::move(bytes)});
}

std::string Registry::GetString(std::string_view path, std::string_view name, size_t bufferBytes) {
  ParsedKey key = ParseKey(path);
  if (key.status == ParsedKey::Status::kBadFormat) return std::string(kRegistryError);
  if (key.status == ParsedKey::Status::kUnknownRoot) return {};
  auto value = backend_.GetValue(*key.root, key.subkey, name, bufferBytes * kUtf16UnitBytes);
  if (!value) return std::string(kRegistryError);
  switch (value->type) {
    case ValueType::kDWord:
      return std::to_string(NumberOfStored(value->bytes));
    case ValueType::kExpandString:
      return backend_.ExpandEnvironment(TextOfStored(value->bytes));
    case ValueType::kString:
      break;
  }
  return TextOfStored(value->bytes);
}

bool Registry::HasValue(std::string_view path, std::string_view name) {
  ParsedKey key = ParseKey(path);
  if (key.status != ParsedKey::Status::kOk) return false;
  return backend_.HasValue(*key.root, key.subkey, name);
}

DWordValue Registry::GetDWord(std::string_view path, std::string_view name) {
  ParsedKey key = ParseKey(path);
  if (key.status == ParsedKey::Status::kBadFormat) return DWordValue::Marker();
  if (key.status == ParsedKey::Status::kUnknownRoot) return DWordValue::Empty();
  auto value = backend_.GetValue(*key.root, key.subkey, name, 4);
  if (!value) return DWordValue::Marker();
  return DWordValue::Number(static_cast<int32_t>(NumberOfStored(value->bytes)));
}

}  // namespace cv3
