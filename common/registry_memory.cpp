#include "common/registry_memory.h"

namespace cv3 {

std::string MemoryRegistry::Fold(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

std::string MemoryRegistry::KeyId(RootKey root, std::string_view subkey) const {
  std::string id = std::to_string(static_cast<int>(root));
  // Empty components ("a\\b") name no extra key level.
  size_t pos = 0;
  while (pos <= subkey.size()) {
    size_t end = subkey.find('\\', pos);
    if (end == std::string_view::npos) end = subkey.size();
    if (end > pos) id += "\\" + Fold(subkey.substr(pos, end - pos));
    pos = end + 1;
  }
  return id;
}

MemoryRegistry::Values* MemoryRegistry::Find(RootKey root, std::string_view subkey) {
  std::string id = KeyId(root, subkey);
  if (id.find('\\') == std::string::npos) return &keys_[id];  // a root always exists
  auto it = keys_.find(id);
  return it == keys_.end() ? nullptr : &it->second;
}

bool MemoryRegistry::KeyExists(RootKey root, std::string_view subkey) const {
  std::string id = KeyId(root, subkey);
  return id.find('\\') == std::string::npos || keys_.count(id) > 0;
}

bool MemoryRegistry::CreateKey(RootKey root, std::string_view subkey) {
  if (denied_[static_cast<int>(root)]) return false;
  std::string id = KeyId(root, subkey);
  for (size_t slash = id.find('\\'); slash != std::string::npos; slash = id.find('\\', slash + 1)) {
    keys_.try_emplace(id.substr(0, slash));
  }
  keys_.try_emplace(id);
  return true;
}

bool MemoryRegistry::SetValue(RootKey root, std::string_view subkey, std::string_view name,
                              const RawValue& value) {
  if (denied_[static_cast<int>(root)]) return false;
  Values* values = Find(root, subkey);
  if (!values) return false;
  (*values)[Fold(name)] = value;
  return true;
}

std::optional<RawValue> MemoryRegistry::GetValue(RootKey root, std::string_view subkey,
                                                 std::string_view name, size_t maxBytes) {
  Values* values = Find(root, subkey);
  if (!values) return std::nullopt;
  auto it = values->find(Fold(name));
  if (it == values->end() || it->second.bytes.size() > maxBytes) return std::nullopt;
  return it->second;
}

bool MemoryRegistry::HasValue(RootKey root, std::string_view subkey, std::string_view name) {
  Values* values = Find(root, subkey);
  return values && values->count(Fold(name)) != 0;
}

std::string MemoryRegistry::ExpandEnvironment(std::string_view text) {
  std::string out;
  size_t pos = 0;
  for (size_t open; (open = text.find('%', pos)) != std::string_view::npos;) {
    size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    auto variable = variables_.find(Fold(text.substr(open + 1, close - open - 1)));
    if (variable == variables_.end()) {
      // An undefined name stays, and its closing "%" may open the next one.
      out.append(text.substr(open, close - open));
      pos = close;
    } else {
      out.append(variable->second);
      pos = close + 1;
    }
  }
  out.append(text.substr(pos));
  return out;
}

}  // namespace cv3
