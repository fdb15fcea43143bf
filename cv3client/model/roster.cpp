#include "cv3client/model/roster.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <optional>

#include "cv3client/support/client_settings.h"
#include "protocol/text_helpers.h"

namespace cv3 {
namespace {

const RosterKind* FindKind(std::string_view kind) {
  for (const RosterKind& entry : kRosterKinds) {
    if (entry.kind == kind) return &entry;
  }
  return nullptr;
}

std::string WithoutSpaces(std::string_view text) {
  std::string out;
  std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return c != ' '; });
  return out;
}

// The extra as a game's image; a text that is no 16-bit number gives none.
std::optional<int> ExtraAsImage(const RosterExtra& extra) {
  if (const int* number = std::get_if<int>(&extra)) {
    if (*number < -32768 || *number > 32767) return std::nullopt;
    return *number;
  }
  const std::string& text = std::get<std::string>(extra);
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < -32768 || value > 32767) {
    return std::nullopt;
  }
  return value;
}

// The extra text: the number 1 stands for none.
std::string ExtraText(const RosterExtra& extra) {
  if (const int* number = std::get_if<int>(&extra)) {
    return *number == 1 ? std::string() : std::to_string(*number);
  }
  return std::get<std::string>(extra);
}

bool IsBusyOnlineOrGamesCaption(std::string_view text) {
  return text == kRosterGroups[2].text || text == kRosterGroups[1].text ||
         text == kRosterGroups[0].text;
}

}  // namespace

std::string NodeName(const RosterNode& node) {
  size_t at = node.tag == kTagUser ? node.text.find(" (") : std::string::npos;
  return node.text.substr(0, at);
}

std::string RosterTimeStamp(std::string_view dateTimeText) {
  std::string out;
  std::copy_if(dateTimeText.begin(), dateTimeText.end(), std::back_inserter(out),
               [](char c) { return c != ' ' && c != ':' && c != '/'; });
  return out;
}

std::string SystemDateTimeText() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  size_t length = std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
  return std::string(text, length);
}

RosterAction DoubleClickAction(const RosterNode* selected) {
  using enum RosterAction::Kind;
  if (!selected || IsBusyOnlineOrGamesCaption(selected->text)) return {};
  if (selected->tag == kTagGame) return {kGameInfo, NodeName(*selected)};
  if (selected->image == kImageOffline) return {};
  if (selected->image == kImageOnline || selected->image == kImageAway) {
    return {kPrivateChat, NodeName(*selected)};
  }
  return {};
}

RosterAction RightClickAction(const RosterNode* selected) {
  using enum RosterAction::Kind;
  if (!selected) return {};
  if (selected->tag == kTagGame) return {kPopupGames, {}};
  if (selected->tag == kTagUser) return {kPopupUsers, {}};
  return {};
}

RosterModel::RosterModel(RosterView& view, Registry& registry, Clock clock)
    : view_(view),
      registry_(registry),
      clock_(std::move(clock)),
      rosterColour_(settings::PlainLook(registry) ? kPlainColour : kLightColour) {}

void RosterModel::BuildRosterTree() {
  uint32_t colour = settings::PlainLook(registry_) ? kPlainColour : kLightColour;
  for (const RosterGroup& group : kRosterGroups) {
    Add({std::string(group.key), {}, std::string(group.text), group.image, {}, colour, true});
  }
}

bool RosterModel::IsIgnoredName(std::string_view name) {
  if (batchDepth_ == 0) return ReadIgnoreList(registry_).Contains(name);
  if (!ignoredCopy_) ignoredCopy_ = ReadIgnoreList(registry_);
  return ignoredCopy_->Contains(name);
}

bool RosterModel::AddRosterNode(std::string_view kind, std::string_view name,
                                const RosterExtra& extra) {
  const RosterKind* entry = FindKind(kind);
  if (!entry) return false;
  int image = entry->image;
  if (entry->kind == kKindGame) {
    std::optional<int> extraImage = ExtraAsImage(extra);
    if (!extraImage) return false;
    image = *extraImage;
  }
  uint32_t colour = rosterColour_;
  if (IsIgnoredName(name)) {
    colour = kIgnoredColour;
    image = kImageOffline;
  }
  std::string extraText = ExtraText(extra);
  std::string text(name);
  // Characters, not bytes: an extra of one accented letter is still one character.
  if (CharacterCount(extraText) > 1) text += " (" + extraText + ")";
  return Add({UniqueKey(RosterTimeStamp(clock_()) + WithoutSpaces(name)),
              std::string(entry->parentKey), std::move(text), image, std::string(entry->tag),
              colour, false});
}

// The time stamp and the name without spaces collide for two nodes of one name in one second,
// for a pilot and a game of one name, and for "Big Race" beside "BigRace": a taken key gets a
// number, so that every node shows.
std::string RosterModel::UniqueKey(const std::string& key) const {
  std::string unique = key;
  for (int n = 2; keys_.count(unique); ++n) unique = key + "#" + std::to_string(n);
  return unique;
}

bool RosterModel::Add(RosterNode node) {
  if (keys_.count(node.key)) return false;
  if (!node.parentKey.empty() && !keys_.count(node.parentKey)) return false;
  keys_.insert(node.key);
  nodes_.push_back(std::move(node));
  view_.TreeAdd(nodes_.back());
  return true;
}

const RosterNode* RosterModel::FindPilot(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const RosterNode& node : nodes_) {
    if (node.tag == kTagUser && SameName(NodeName(node), name)) return &node;
  }
  return nullptr;
}

const RosterNode* RosterModel::FindGame(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (const RosterNode& node : nodes_) {
    if (node.tag == kTagGame && SameName(NodeName(node), name)) return &node;
  }
  return nullptr;
}

const RosterNode* RosterModel::FindByKey(std::string_view key) const {
  if (key.empty() || !keys_.count(std::string(key))) return nullptr;
  for (const RosterNode& node : nodes_) {
    if (node.key == key) return &node;
  }
  return nullptr;
}

void RosterModel::Remove(std::string key) {
  auto it = std::find_if(nodes_.begin(), nodes_.end(),
                         [&](const RosterNode& node) { return node.key == key; });
  if (it == nodes_.end()) return;
  // A group's children go with it, as in the tree control.
  std::vector<std::string> gone{key};
  for (const RosterNode& node : nodes_) {
    if (node.parentKey == key) gone.push_back(node.key);
  }
  std::erase_if(nodes_, [&](const RosterNode& node) {
    return std::find(gone.begin(), gone.end(), node.key) != gone.end();
  });
  for (const std::string& k : gone) keys_.erase(k);
  view_.TreeRemove(key);
}

void RosterModel::SetImage(const std::string& key, int image) {
  for (RosterNode& node : nodes_) {
    if (node.key == key) {
      node.image = image;
      view_.TreeSetImage(key, image);
      return;
    }
  }
}

void RosterModel::GiveBackIcon(std::string_view pilotName) {
  const RosterNode* node = FindPilot(pilotName);
  if (!node || node->image != kImageOffline) return;
  for (const RosterGroup& group : kRosterGroups) {
    bool pilotsGroup = group.image == kImageOnline || group.image == kImageAway;
    if (pilotsGroup && group.key == node->parentKey) SetImage(node->key, group.image);
  }
}

void RosterModel::SortAndExpandGroups() { view_.TreeSortAndExpandGroups(); }

void RosterModel::Clear() {
  nodes_.clear();
  keys_.clear();
  view_.TreeClear();
}

}  // namespace cv3
