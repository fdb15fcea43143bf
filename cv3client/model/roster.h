// The roster of games and pilots (tvObjects): `BuildRosterTree`, `AddRosterNode`, finding a node,
// and what a click on a node means. The model keeps the nodes in the order they were added (the
// tree's index order, which finding walks) and mirrors every change to its RosterView. Used by
// the session, presence and command controllers; UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <variant>
#include <vector>

#include "common/registry.h"
#include "cv3client/model/roster_view.h"
#include "cv3client/support/ignore_list.h"
#include "protocol/catalogue.h"

namespace cv3 {

inline constexpr std::string_view kTagUser = "user";
inline constexpr std::string_view kTagGame = "game";

// Entry kinds, the first argument of AddRosterNode: a pilot's are those of a "USER" item.
using msg::kKindAdmin;
using msg::kKindAway;
using msg::kKindOffline;
using msg::kKindOnline;
inline constexpr std::string_view kKindGame = "game";

// Image indexes of ilSmallIcons as the roster uses them.
inline constexpr int kImageGameUp = 1;  // also the games group
inline constexpr int kImageOnline = 2;  // also the online group
inline constexpr int kImageOfflineGroup = 3;
inline constexpr int kImageAway = 4;     // also the busy group
inline constexpr int kImageOffline = 6;  // offline pilot, game not running, ignored pilot
inline constexpr int kImageAdmin = 8;
inline constexpr int kImageGameDown = kImageOffline;

inline constexpr uint32_t kLightColour = 0xF8F8F8;  // over the tiled background
inline constexpr uint32_t kPlainColour = 0x000000;
inline constexpr uint32_t kIgnoredColour = 0x808080;

struct RosterGroup {
  std::string_view key;
  std::string_view text;
  int image;
};
// The four group nodes, in the order they are added (nodes 1 to 4 of the tree).
inline constexpr RosterGroup kRosterGroups[4] = {
    {"GAMES", "Skyrend Games", kImageGameUp},
    {"ONLINE", "Online Pilots", kImageOnline},
    {"AWAY", "Busy Pilots", kImageAway},
    {"OFFLINE", "Offline Pilots", kImageOfflineGroup},
};

struct RosterKind {
  std::string_view kind;
  int image;  // 0 for "game": the extra argument is the image
  std::string_view parentKey;
  std::string_view tag;
};
inline constexpr RosterKind kRosterKinds[5] = {
    {kKindOnline, kImageOnline, "ONLINE", kTagUser},
    {kKindAway, kImageAway, "AWAY", kTagUser},
    {kKindOffline, kImageOffline, "OFFLINE", kTagUser},
    {kKindAdmin, kImageAdmin, "ONLINE", kTagUser},
    {kKindGame, 0, "GAMES", kTagGame},
};

// AddRosterNode's extra argument: a number or a text. The number 1 (the default) means no extra
// text; for a game the number is its image (1 running, 6 not running).
using RosterExtra = std::variant<int, std::string>;

// The name a pilot or game node stands for: a pilot's text up to " (" (the extra text), else the
// whole text; a game's whole text.
std::string NodeName(const RosterNode& node);
// The date and time text with every " ", ":" and "/" removed.
std::string RosterTimeStamp(std::string_view dateTimeText);
// The current local date and time as text ("2024/05/01 18:07:42").
std::string SystemDateTimeText();

// What a click in the tree asks for.
struct RosterAction {
  enum class Kind { kNothing, kGameInfo, kPrivateChat, kPopupGames, kPopupUsers };
  Kind kind = Kind::kNothing;
  std::string text;  // the game's text for kGameInfo, the pilot name for kPrivateChat
  bool operator==(const RosterAction&) const = default;
};
// Double-click on the selected node (nullptr: none selected).
RosterAction DoubleClickAction(const RosterNode* selected);
// Right mouse button released, on the selected node.
RosterAction RightClickAction(const RosterNode* selected);

class RosterModel {
 public:
  using Clock = std::function<std::string()>;  // the current date and time as text

  // Reads the roster colour from SlowCPU now: the main window creates the model at its load.
  RosterModel(RosterView& view, Registry& registry, Clock clock = SystemDateTimeText);

  // 0xF8F8F8 for the tiled look, 0 for the plain one.
  uint32_t RosterColour() const { return rosterColour_; }

  // Adds the four group nodes (bold, coloured by SlowCPU read now).
  void BuildRosterTree();
  // Adds one pilot or game under its group; never looks for an existing node of the name, and
  // every node gets a key of its own. A kind outside the table or a missing group adds nothing
  // (false).
  bool AddRosterNode(std::string_view kind, std::string_view name, const RosterExtra& extra = 1);

  // The first pilot node (in addition order) whose pilot name equals the name, ignoring case;
  // the first game node whose text equals it, ignoring case. An empty name finds nothing.
  const RosterNode* FindPilot(std::string_view name) const;
  const RosterNode* FindGame(std::string_view name) const;
  const RosterNode* FindByKey(std::string_view key) const;
  // The node selected in the tree; nullptr when none is.
  const RosterNode* SelectedNode() const { return FindByKey(view_.SelectedNodeKey()); }

  void Remove(std::string key);  // by value: callers pass a key of the node it erases
  void SetImage(const std::string& key, int image);
  // A pilot taken off the ignore list: the first pilot node of the name that shows the ignored
  // icon gets the icon of its group back (online 2, busy 4); under the offline group it keeps 6,
  // the offline icon. The text colour stays until the node is added again.
  void GiveBackIcon(std::string_view pilotName);
  void SortAndExpandGroups();
  void Clear();

  const std::vector<RosterNode>& Nodes() const { return nodes_; }

  // While a batch is open (one arrival of server lines) the "Ignored" list is read once rather
  // than for every node: a list of thousands of pilots would otherwise cost a registry read each.
  class Batch {
   public:
    explicit Batch(RosterModel& model) : model_(model) { ++model_.batchDepth_; }
    ~Batch() {
      if (--model_.batchDepth_ == 0) model_.ignoredCopy_.reset();
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    RosterModel& model_;
  };
  // Whoever changes the "Ignored" list calls this, so an open batch reads it afresh.
  void IgnoredListChanged() { ignoredCopy_.reset(); }

 private:
  bool Add(RosterNode node);
  std::string UniqueKey(const std::string& key) const;
  bool IsIgnoredName(std::string_view name);

  RosterView& view_;
  Registry& registry_;
  Clock clock_;
  uint32_t rosterColour_;
  std::vector<RosterNode> nodes_;  // addition order
  std::unordered_set<std::string> keys_;
  int batchDepth_ = 0;
  std::optional<IgnoreList> ignoredCopy_;
};

}  // namespace cv3
