#include "cv3client/model/roster.h"

#include <gtest/gtest.h>

#include <set>

#include "common/client_fakes.h"

namespace cv3 {
namespace {

using testing::kStamp;
using testing::Log;
using testing::RecordingViews;
using testing::TestRegistry;

struct Roster {
  Log log;
  RecordingViews view{log};
  TestRegistry settings;
  std::string now = "5/1/2024 6:07:42 PM";
  std::unique_ptr<RosterModel> model;

  explicit Roster(std::optional<int> slowCpu = std::nullopt, bool build = true) {
    if (slowCpu) settings.SetDWord("SlowCPU", *slowCpu);
    model = std::make_unique<RosterModel>(view, settings.registry, [this] { return now; });
    if (build) model->BuildRosterTree();
    log.clear();
  }
  Log Take() { return std::exchange(log, {}); }
  std::string Added(const std::string& keyName, const std::string& parent, const std::string& text,
                    int image, const std::string& tag, const std::string& colour = "F8F8F8") {
    return "tree add " + std::string(kStamp) + keyName + " under " + parent + " \"" + text +
           "\" image " + std::to_string(image) + " tag " + tag + " colour " + colour;
  }
};

TEST(BuildRosterTree, AddsTheFourGroupsInOrderLightUnlessThePlainLookIsChosen) {
  const struct {
    std::optional<int> slowCpu;
    std::string colour;
  } cases[] = {{std::nullopt, "F8F8F8"}, {0, "F8F8F8"}, {1, "000000"}};
  for (const auto& c : cases) {
    Roster roster(c.slowCpu, false);
    roster.model->BuildRosterTree();
    const std::string tail = " tag - colour " + c.colour + " bold";
    EXPECT_EQ(roster.Take(), (Log{"tree add GAMES under - \"Skyrend Games\" image 1" + tail,
                                  "tree add ONLINE under - \"Online Pilots\" image 2" + tail,
                                  "tree add AWAY under - \"Busy Pilots\" image 4" + tail,
                                  "tree add OFFLINE under - \"Offline Pilots\" image 3" + tail}))
        << c.colour;
    EXPECT_EQ(testing::Hex(roster.model->RosterColour()), c.colour);
  }
}

TEST(AddRosterNode, EntryKindsGiveImageGroupAndTag) {
  Roster roster;
  roster.model->AddRosterNode("online", "ann");
  roster.model->AddRosterNode("away", "bob", std::string("brb"));
  roster.model->AddRosterNode("offline", "cy");
  roster.model->AddRosterNode("admin", "di");
  roster.model->AddRosterNode("game", "Big Race", 1);
  roster.model->AddRosterNode("game", "Arena", 6);
  EXPECT_EQ(roster.Take(), (Log{roster.Added("ann", "ONLINE", "ann", 2, "user"),
                                roster.Added("bob", "AWAY", "bob (brb)", 4, "user"),
                                roster.Added("cy", "OFFLINE", "cy", 6, "user"),
                                roster.Added("di", "ONLINE", "di", 8, "user"),
                                roster.Added("BigRace", "GAMES", "Big Race", 1, "game"),
                                roster.Added("Arena", "GAMES", "Arena", 6, "game")}));
}

TEST(AddRosterNode, PlainLookGivesBlackPilots) {
  Roster roster(1);
  roster.model->AddRosterNode("online", "ann");
  EXPECT_EQ(roster.Take(), (Log{roster.Added("ann", "ONLINE", "ann", 2, "user", "000000")}));
}

TEST(AddRosterNode, ExtraTextOfOneCharacterOrTheNumberOneGivesTheBareName) {
  Roster roster;
  roster.now = "1";
  roster.model->AddRosterNode("online", "a", std::string("x"));
  roster.now = "2";
  roster.model->AddRosterNode("online", "b", 1);
  roster.now = "3";
  roster.model->AddRosterNode("online", "c", std::string(""));
  roster.now = "4";
  roster.model->AddRosterNode("online", "d", std::string("\xC3\xA9"));  // é: one character
  roster.now = "5";
  roster.model->AddRosterNode("online", "e", 42);
  roster.now = "6";
  roster.model->AddRosterNode("online", "f", std::string("ok"));
  std::vector<std::string> texts;
  for (const RosterNode& node : roster.model->Nodes()) texts.push_back(node.text);
  EXPECT_EQ(texts,
            (std::vector<std::string>{"Skyrend Games", "Online Pilots", "Busy Pilots",
                                      "Offline Pilots", "a", "b", "c", "d", "e (42)", "f (ok)"}));
}

TEST(AddRosterNode, InvisibleExtraCarriesItsOwnBrackets) {
  Roster roster;
  roster.model->AddRosterNode("online", "bob", std::string("(invisible)"));
  EXPECT_EQ(roster.model->Nodes().back().text, "bob ((invisible))");
}

TEST(AddRosterNode, KeyIsTheTimeStampAndTheNameWithoutSpaces) {
  Roster roster;
  roster.now = "12/31/2024 11:59:59 PM";
  roster.model->AddRosterNode("game", "The Big Race", 6);
  EXPECT_EQ(roster.model->Nodes().back().key, "12312024115959PMTheBigRace");
  EXPECT_EQ(RosterTimeStamp("2024/05/01 18:07:42"), "20240501180742");
}

TEST(AddRosterNode, UnknownKindOrBadGameImageOrMissingGroupAddsNothing) {
  Roster roster;
  EXPECT_FALSE(roster.model->AddRosterNode("busy", "bob"));
  EXPECT_FALSE(roster.model->AddRosterNode("game", "Arena", std::string("up")));
  EXPECT_FALSE(roster.model->AddRosterNode("game", "Arena", 70000));
  EXPECT_EQ(roster.Take(), Log{});
  EXPECT_TRUE(roster.model->AddRosterNode("game", "Arena", std::string("6")));
  EXPECT_EQ(roster.model->Nodes().back().image, 6);
  Roster unbuilt(std::nullopt, false);
  EXPECT_FALSE(unbuilt.model->AddRosterNode("online", "bob"));
  EXPECT_EQ(unbuilt.Take(), Log{});
  EXPECT_TRUE(unbuilt.model->Nodes().empty());
}

TEST(AddRosterNode, NodesWhoseStampAndNameCollideAllShowUnderKeysOfTheirOwn) {
  const struct {
    const char *firstKind, *firstName, *secondKind, *secondName;
  } cases[] = {{"online", "wingman", "game", "wingman"},
               {"game", "Big Race", "game", "BigRace"},
               {"online", "bob", "away", "bob"}};
  for (const auto& c : cases) {
    Roster roster;
    EXPECT_TRUE(roster.model->AddRosterNode(c.firstKind, c.firstName, 1));
    EXPECT_TRUE(roster.model->AddRosterNode(c.secondKind, c.secondName, 1));
    EXPECT_TRUE(roster.model->AddRosterNode(c.secondKind, c.secondName, 1));
    ASSERT_EQ(roster.Take().size(), 3u) << c.secondName;
    const auto& nodes = roster.model->Nodes();
    std::set<std::string> keys;
    for (const RosterNode& node : nodes) keys.insert(node.key);
    EXPECT_EQ(keys.size(), nodes.size()) << c.secondName;
    EXPECT_EQ(nodes[4].text, c.firstName);
    EXPECT_EQ(nodes[5].text, c.secondName);
    EXPECT_EQ(roster.model->FindByKey(nodes[5].key), &nodes[5]);
  }
}

TEST(Ignored, AListedPilotIsGreyWithTheOfflineImageUnderItsOwnGroup) {
  Roster roster;
  roster.settings.SetString("Ignored", "alice,bob,");
  roster.model->AddRosterNode("online", "alice");
  roster.model->AddRosterNode("away", "bob", std::string("brb"));
  EXPECT_EQ(roster.Take(), (Log{roster.Added("alice", "ONLINE", "alice", 6, "user", "808080"),
                                roster.Added("bob", "AWAY", "bob (brb)", 6, "user", "808080")}));
}

TEST(Ignored, WholeEntriesMatchIgnoringCaseAsTheChatHearsThem) {
  Roster roster;
  roster.settings.SetString("Ignored", "alice,bob,");
  for (const auto& [name, ignored] : {std::pair{"lic", false},
                                      {"alic", false},
                                      {"alicebob", false},
                                      {"ob", false},
                                      {"alice,bob", false},
                                      {"Alice", true},
                                      {"BOB", true}}) {
    roster.model->AddRosterNode("online", name);
    EXPECT_EQ(roster.model->Nodes().back().image, ignored ? 6 : 2) << name;
    EXPECT_EQ(roster.model->Nodes().back().foreColor, ignored ? kIgnoredColour : kLightColour)
        << name;
  }
}

TEST(Ignored, ABatchReadsTheListOnceUntilItIsChanged) {
  Roster roster;
  roster.settings.SetString("Ignored", "alice,");
  {
    RosterModel::Batch batch(*roster.model);
    roster.model->AddRosterNode("online", "alice");
    roster.settings.SetString("Ignored", "bob,");
    roster.model->AddRosterNode("online", "bob");  // the batch still holds the old list
    EXPECT_EQ(roster.model->Nodes().back().image, 2);
    roster.model->IgnoredListChanged();
    roster.now = "5/1/2024 6:07:43 PM";
    roster.model->AddRosterNode("online", "bob");
    EXPECT_EQ(roster.model->Nodes().back().image, 6);
  }
  EXPECT_EQ(roster.model->Nodes()[4].image, 6);  // alice, from the list read at the batch's start
  roster.settings.SetString("Ignored", "");
  roster.now = "5/1/2024 6:07:44 PM";
  roster.model->AddRosterNode("online", "bob");  // outside a batch every add reads afresh
  EXPECT_EQ(roster.model->Nodes().back().image, 2);
}

TEST(Ignored, MissingListIgnoresNobody) {
  Roster roster;
  roster.model->AddRosterNode("online", "Error");
  EXPECT_EQ(roster.model->Nodes().back().image, 2);
}

// The list's one type: stored text in, entries, membership, additions and stored text out.
TEST(IgnoreListType, ParsesTestsAddsAndFormatsOneWay) {
  const struct {
    const char* stored;
    std::vector<std::string> names;
    const char* formatted;
  } lists[] = {{"", {}, ""},
               {"alice,bob,", {"alice", "bob"}, "alice,bob,"},
               {"alice,bob", {"alice", "bob"}, "alice,bob,"},  // the last comma given back
               {"alice,,bob,", {"alice", "", "bob"}, "alice,,bob,"}};
  for (const auto& l : lists) {
    IgnoreList list = IgnoreList::Parse(l.stored);
    EXPECT_EQ(list.Names(), l.names) << l.stored;
    EXPECT_EQ(list.Format(), l.formatted) << l.stored;
  }
  IgnoreList list = IgnoreList::Parse("alice,x,bob,");
  for (const auto& [name, contained] : {std::pair{"alice", true},
                                        {"ALICE", true},
                                        {"lic", false},
                                        {"", false},
                                        {"x,bob", false},
                                        {"alice,", false}}) {
    EXPECT_EQ(list.Contains(name), contained) << name;
  }
  using enum IgnoreList::AddResult;
  for (const auto& [name, result] : {std::pair{"Bob", kAlreadyPresent},
                                     {"lic", kAdded},
                                     {"LIC", kAlreadyPresent},
                                     {"y,z", kUnusableName},
                                     {"", kUnusableName}}) {
    EXPECT_EQ(list.Add(name), result) << name;
  }
  EXPECT_EQ(list.Format(), "alice,x,bob,lic,");
}

TEST(Finding, APilotMatchesByItsWholeNameIgnoringCase) {
  Roster roster;
  roster.model->AddRosterNode("online", "bobby");
  roster.model->AddRosterNode("away", "Bob", std::string("back in 5"));
  roster.model->AddRosterNode("game", "bob", 1);
  const RosterNode* found = roster.model->FindPilot("BOB");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->text, "Bob (back in 5)");
  EXPECT_EQ(roster.model->FindPilot("bobb"), nullptr);
  EXPECT_EQ(roster.model->FindPilot("Online Pilots"), nullptr);
  EXPECT_EQ(roster.model->FindPilot(""), nullptr);
}

TEST(Finding, AGameMatchesByItsWholeTextIgnoringCase) {
  Roster roster;
  roster.model->AddRosterNode("game", "Arena 2", 1);
  roster.model->AddRosterNode("online", "arena");
  roster.model->AddRosterNode("game", "Arena", 6);
  const RosterNode* found = roster.model->FindGame("ARENA");
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->text, "Arena");
  EXPECT_EQ(found->image, 6);
  EXPECT_EQ(roster.model->FindGame("Aren"), nullptr);
  EXPECT_EQ(roster.model->FindGame(""), nullptr);
}

TEST(Finding, TheFirstInAdditionOrderWins) {
  Roster roster;
  roster.model->AddRosterNode("offline", "bob");
  roster.now = "later";
  roster.model->AddRosterNode("online", "bob");
  EXPECT_EQ(roster.model->FindPilot("bob")->image, 6);
}

TEST(RemoveAndImage, AreMirroredAndKeepTheOrder) {
  Roster roster;
  roster.model->AddRosterNode("online", "a");
  roster.model->AddRosterNode("online", "b");
  roster.model->AddRosterNode("game", "g", 1);
  roster.Take();
  roster.model->Remove(roster.model->FindPilot("a")->key);
  roster.model->SetImage(roster.model->FindGame("g")->key, 6);
  roster.model->Remove("no such key");
  EXPECT_EQ(roster.Take(), (Log{std::string("tree remove ") + kStamp + "a",
                                std::string("tree image ") + kStamp + "g 6"}));
  std::vector<std::string> texts;
  for (const RosterNode& node : roster.model->Nodes()) texts.push_back(node.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Skyrend Games", "Online Pilots", "Busy Pilots",
                                             "Offline Pilots", "b", "g"}));
  // The removed key is free again.
  EXPECT_TRUE(roster.model->AddRosterNode("online", "a"));
}

TEST(Clear, EmptiesModelAndTree) {
  Roster roster;
  roster.model->AddRosterNode("online", "a");
  roster.Take();
  roster.model->Clear();
  EXPECT_EQ(roster.Take(), (Log{"tree clear"}));
  EXPECT_TRUE(roster.model->Nodes().empty());
  EXPECT_EQ(roster.model->FindPilot("a"), nullptr);
}

RosterNode Node(std::string text, int image, std::string tag) {
  return {"k", "P", std::move(text), image, std::move(tag), 0, false};
}

TEST(DoubleClick, GroupsAndGamesAndPilotsByImage) {
  using enum RosterAction::Kind;
  EXPECT_EQ(DoubleClickAction(nullptr), RosterAction{});
  for (const char* group : {"Busy Pilots", "Online Pilots", "Skyrend Games", "Offline Pilots"}) {
    RosterNode node = Node(group, group[0] == 'O' && group[1] == 'f' ? 3 : 2, "");
    EXPECT_EQ(DoubleClickAction(&node), RosterAction{}) << group;
  }
  auto game = Node("Big Race", 6, "game");
  EXPECT_EQ(DoubleClickAction(&game), (RosterAction{kGameInfo, "Big Race"}));
  auto online = Node("bob", 2, "user");
  EXPECT_EQ(DoubleClickAction(&online), (RosterAction{kPrivateChat, "bob"}));
  auto away = Node("bob (out to lunch)", 4, "user");
  EXPECT_EQ(DoubleClickAction(&away), (RosterAction{kPrivateChat, "bob"}));
  auto offlineOrIgnored = Node("bob", 6, "user");
  EXPECT_EQ(DoubleClickAction(&offlineOrIgnored), RosterAction{});
  auto admin = Node("boss", 8, "user");
  EXPECT_EQ(DoubleClickAction(&admin), RosterAction{});
}

TEST(RightClick, PopsUpTheMenuOfTheNodesTag) {
  using enum RosterAction::Kind;
  auto game = Node("Arena", 1, "game");
  auto user = Node("bob", 6, "user");
  auto group = Node("Online Pilots", 2, "");
  EXPECT_EQ(RightClickAction(&game).kind, kPopupGames);
  EXPECT_EQ(RightClickAction(&user).kind, kPopupUsers);
  EXPECT_EQ(RightClickAction(&group).kind, kNothing);
  EXPECT_EQ(RightClickAction(nullptr).kind, kNothing);
}

TEST(NodeNameRule, APilotIsTheTextBeforeTheExtraAGameItsText) {
  EXPECT_EQ(NodeName(Node("bob (brb)", 4, "user")), "bob");
  EXPECT_EQ(NodeName(Node("bob", 2, "user")), "bob");
  EXPECT_EQ(NodeName(Node("bob ((invisible))", 2, "user")), "bob");
  EXPECT_EQ(NodeName(Node("Race (night)", 1, "game")), "Race (night)");
}

}  // namespace
}  // namespace cv3
