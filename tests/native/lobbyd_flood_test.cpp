// Flood control as a pilot who signs in again meets it: the buckets are the account's, the
// warning is the connection's, and a dropped command that has an answer is answered.
#include <gtest/gtest.h>

#include "lobbyd/testing/lobby_rig.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;

const std::string kChanges = "WARNING:You are making changes too fast; some were not made.";
const std::string kLists = "WARNING:You are asking for lists too fast; some were not sent.";
const std::string kChat = "WARNING:You are sending messages too fast; some were not delivered.";
const std::string kGameTail = ":Named:0:0:0:0:0:0:0:1:0:0:desc";

TEST(FloodAcrossConnections, ANewConnectionIsWarnedAndEveryDroppedCommandAnswered) {
  struct Case {
    std::string command;
    std::string drain;    // a command of the same kind that empties the account's bucket
    std::string warning;  // once per run of drops on a connection
    std::string refusal;  // every time; none for chat, which has no answer
  };
  const std::string kStatus = "WARNING:Your status was not changed; please try again in a moment.";
  const Case cases[] = {
      {"ONLINE", "AWAY:brb", kChanges, kStatus},
      {"AWAY:out", "ONLINE", kChanges, kStatus},
      {"INVISIBLE", "AWAY:brb", kChanges, kStatus},
      {"ADMINMODE", "AWAY:brb", kChanges, kStatus},
      {"HOSTGAME:Arena:203.0.113.5:1.2" + kGameTail, "AWAY:brb", kChanges,
       "WARNING:Your game was not hosted; please try again in a moment."},
      {"RESUMEGAME:Arena:203.0.113.5:1.2" + kGameTail, "AWAY:brb", kChanges,
       "WARNING:Your game was not resumed; please try again in a moment."},
      {"REMGAME:Arena", "AWAY:brb", kChanges,
       "WARNING:The game was not removed; please try again in a moment."},
      {"SAVEPROFILE:bob:Crater B:31:bob@example.org:web:bio", "AWAY:brb", kChanges,
       "WARNING:Your profile was not saved; please try again in a moment."},
      {"USERS", "GAMES", kLists, "USERS_ACK:FAILED"},
      {"GAMES", "USERS", kLists, "GAMES_ACK:FAILED"},
      {"LMSG:hi", "LMSG:hello", kChat, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    LobbyRig lobby;
    ASSERT_EQ(lobby.Start(), "");
    auto first = lobby.Join("bob");
    ASSERT_TRUE(first);
    for (int i = 0; i < 6; ++i) first->Send(c.drain);
    auto before = first->Sync();
    ASSERT_TRUE(before);
    ASSERT_EQ(std::count(before->begin(), before->end(), c.warning), 1);

    auto again = lobby.SignIn("bob");
    ASSERT_TRUE(again);
    ASSERT_TRUE(again->Sync());
    Lines refused = c.refusal.empty() ? Lines{} : Lines{c.refusal};
    Lines warned = {c.warning};
    warned.insert(warned.end(), refused.begin(), refused.end());
    again->Send(c.command);
    EXPECT_EQ(again->Sync(), warned);
    again->Send(c.command);
    EXPECT_EQ(again->Sync(), refused);
  }
}

}  // namespace
}  // namespace lobbyd::testing
