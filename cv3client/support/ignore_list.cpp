#include "cv3client/support/ignore_list.h"

#include "cv3client/support/client_settings.h"
#include "protocol/text_helpers.h"

namespace cv3 {

IgnoreList::IgnoreList(std::vector<std::string> entries) : names_(std::move(entries)) {
  for (const std::string& name : names_) folded_.insert(FoldedName(name));
}

IgnoreList IgnoreList::Parse(std::string_view stored) {
  std::vector<std::string> names;
  while (!stored.empty()) {
    size_t comma = stored.find(',');
    names.emplace_back(stored.substr(0, comma));
    if (comma == std::string_view::npos) break;
    stored.remove_prefix(comma + 1);
  }
  return IgnoreList(std::move(names));
}

bool IgnoreList::Contains(std::string_view name) const {
  if (name.empty() || name.find(',') != std::string_view::npos) return false;
  return folded_.count(FoldedName(name)) != 0;
}

IgnoreList::AddResult IgnoreList::Add(std::string_view name) {
  if (name.empty() || name.find(',') != std::string_view::npos) return AddResult::kUnusableName;
  if (Contains(name)) return AddResult::kAlreadyPresent;
  names_.emplace_back(name);
  folded_.insert(FoldedName(name));
  return AddResult::kAdded;
}

std::string IgnoreList::Format() const {
  std::string text;
  for (const std::string& name : names_) text += name + ",";
  return text;
}

IgnoreList ReadIgnoreList(Registry& registry) {
  return IgnoreList::Parse(settings::TextOrEmpty(registry, settings::kIgnored));
}

std::optional<IgnoreList> ReadIgnoreListToChange(Registry& registry) {
  std::string stored = settings::ReadText(registry, settings::kIgnored);
  if (stored != kRegistryError) return IgnoreList::Parse(stored);
  if (registry.HasValue(settings::kIgnored.key, settings::kIgnored.name)) return std::nullopt;
  return IgnoreList();
}

void WriteIgnoreList(Registry& registry, const IgnoreList& list) {
  settings::WriteText(registry, settings::kIgnored, list.Format());
}

}  // namespace cv3
