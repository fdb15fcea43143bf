// The structured lines both sides build and parse: what one side formats, the other reads back
// as the same value; fields with ":" in the last field, "¶" line breaks and missing fields.
#include <gtest/gtest.h>

#include <ostream>

#include "protocol/catalogue.h"
#include "protocol/chat_messages.h"
#include "protocol/game_messages.h"
#include "protocol/profile_messages.h"
#include "protocol/session_messages.h"
#include "protocol/text_helpers.h"
#include "protocol/wire.h"

namespace cv3 {

// Values print as the lines they travel as, so a failure shows the difference readably.
void PrintTo(const HostedGame& game, std::ostream* out) { *out << HostGameCommand(game); }
void PrintTo(const GameDetails& details, std::ostream* out) {
  for (const auto& line : GameInfoAckLines(details)) *out << line << " | ";
}

void PrintTo(const SaveProfile& save, std::ostream* out) { *out << SaveProfileCommand(save); }
void PrintTo(const ProfileInfo& profile, std::ostream* out) {
  for (const auto& line : ProfileAckLines(msg::kUserInfoAck, profile)) *out << line << " | ";
}

namespace {

const std::string kPara = "\xC2\xB6";  // "¶"

HostedGame Arena() {
  return {.name = "Arena",
          .address = "203.0.113.9",
          .version = "1.06",
          .announcement = "Named & Target",
          .includeCpus = true,
          .mothHopping = true,
          .godHanger = true,
          .longTerm = true,
          .fullDebug = true,
          .description = "Big" + kPara + "fight: all in"};
}

// Applies every line of a reply named `reply` and returns what did not apply.
template <typename Value, typename Apply>
std::vector<std::string> ApplyAll(const std::vector<std::string>& lines, std::string_view reply,
                                  Value& value, Apply apply) {
  std::vector<std::string> left;
  for (const auto& text : lines) {
    Line line = ParseLine(text);
    if (line.name != reply || !apply(value, line.args)) left.push_back(text);
  }
  return left;
}

TEST(SplitFields, LastFieldTakesTheRest) {
  EXPECT_EQ(SplitFields("a:b:c:d", 3), (std::vector<std::string>{"a", "b", "c:d"}));
  EXPECT_EQ(SplitFields("a::", 3), (std::vector<std::string>{"a", "", ""}));
  EXPECT_EQ(SplitFields("a:b", 3), std::nullopt);
  EXPECT_EQ(SplitFields("a\nb:c\nd", 2, '\n'), (std::vector<std::string>{"a", "b:c\nd"}));
}

TEST(HostedGame, CommandsCarryTheFifteenFieldsAndReadBack) {
  HostedGame game = Arena();
  EXPECT_EQ(HostGameCommand(game),
            "HOSTGAME:Arena:203.0.113.9:1.06:Named & Target:1:0:1:0:0:1:0:1:0:1:Big" + kPara +
                "fight: all in");
  EXPECT_EQ(ResumeGameCommand(game), "RESUMEGAME" + HostGameCommand(game).substr(8));
  EXPECT_EQ(ParseHostedGame(ParseLine(HostGameCommand(game)).args), game);
  game.description.clear();
  EXPECT_EQ(HostGameCommand(game).back(), ':');  // an empty last field after the fourteenth ":"
  EXPECT_EQ(ParseHostedGame(ParseLine(HostGameCommand(game)).args), game);
}

TEST(HostedGame, OnlyOneChecksABoxAndMissingFieldsGiveNothing) {
  auto game = ParseHostedGame("A:h:v:Named:2::1:0:0:0:0:0:0:0:d");
  ASSERT_TRUE(game);
  EXPECT_FALSE(game->includeCpus);
  EXPECT_FALSE(game->restrictAlpha);
  EXPECT_TRUE(game->mothHopping);
  EXPECT_EQ(ParseHostedGame("A:h:v:Named:0:0:0:0:0:0:0:0:0:0"), std::nullopt);
  EXPECT_EQ(ParseHostedGame(""), std::nullopt);
}

TEST(GameDetails, GameInfoLinesReadBackAsTheSameDetails) {
  GameDetails details{"host", Arena(), true, {"host", "ann"}};
  auto lines = GameInfoAckLines(details);
  ASSERT_EQ(lines.size(), 19u);
  EXPECT_EQ(lines[13], "GAMEINFO_ACK:GAMETERM:long");
  EXPECT_EQ(lines[17], "GAMEINFO_ACK:PLAYERS:host:ann:");
  GameDetails read;
  EXPECT_EQ(ApplyAll(lines, msg::kGameInfoAck, read, ApplyGameInfoLine),
            std::vector<std::string>{"GAMEINFO_ACK:OK"});
  EXPECT_EQ(read, details);
  details.up = false;
  details.game.longTerm = false;
  lines = GameInfoAckLines(details);
  EXPECT_EQ(lines[13], "GAMEINFO_ACK:GAMETERM:short");
  EXPECT_EQ(lines[16], "GAMEINFO_ACK:GAMESTATE:down");
  read = {};
  ApplyAll(lines, msg::kGameInfoAck, read, ApplyGameInfoLine);
  EXPECT_EQ(read, details);
}

TEST(GameDetails, KeyLinesAddUpTheWayTheWindowShowsThem) {
  GameDetails read;
  std::vector<std::string> left;
  for (const std::string& args : std::vector<std::string>{
           "GAMEDES:one" + kPara + kPara, "GAMEDES:two", "PLAYERS:a:b:", "PLAYERS:c",
           "GAMESTATE:up", "GAMESTATE:down", "GAMEADDRESS:203.0.113.9:9001", "GAMETERM:LONG", "OK",
           "NOACCESS", "HOSTPLAYER", "COLOUR:red"}) {
    if (!ApplyGameInfoLine(read, args)) left.push_back(args);
  }
  EXPECT_EQ(read.game.description, "one" + kPara + kPara + "two");
  EXPECT_EQ(ParagraphsToLineBreaks(read.game.description), "one\r\n\r\ntwo");
  EXPECT_EQ(read.players, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(read.up);
  EXPECT_EQ(read.game.address, "203.0.113.9:9001");
  EXPECT_FALSE(read.game.longTerm);
  EXPECT_EQ(left, (std::vector<std::string>{"OK", "NOACCESS", "HOSTPLAYER", "COLOUR:red"}));
}

TEST(HostedGame, ResumeInfoIsOkStoredSettingsDone) {
  auto lines = ResumeInfoAckLines(Arena());
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines.front(), "RESUMEINFO_ACK:OK");
  EXPECT_EQ(lines[1], "RESUMEINFO_ACK:GAMENAME:Arena");
  EXPECT_EQ(lines.back(), "RESUMEINFO_ACK:DONE");
  HostedGame read;
  EXPECT_EQ(ApplyAll(lines, msg::kResumeInfoAck, read, ApplyResumeInfoLine),
            (std::vector<std::string>{"RESUMEINFO_ACK:OK", "RESUMEINFO_ACK:DONE"}));
  EXPECT_EQ(read, Arena());
  for (std::string_view key : {"HOSTPLAYER:x", "GAMESTATE:up", "PLAYERS:x:"}) {
    EXPECT_FALSE(ApplyResumeInfoLine(read, key)) << key;
  }
}

TEST(SaveProfile, CommandReadsBackWithColonsInTheWebAddressAndTheBio) {
  SaveProfile save{"bob",
                   {"Crater B", "31", "bob@example.org", "http://bob.example:8080/x",
                    "line one" + kPara + "line two: with colon"}};
  EXPECT_EQ(SaveProfileCommand(save),
            "SAVEPROFILE:bob:Crater B:31:bob@example.org:http://bob.example:8080/x:line one" +
                kPara + "line two: with colon");
  EXPECT_EQ(ParseSaveProfile(ParseLine(SaveProfileCommand(save)).args), save);
  EXPECT_EQ(ParseSaveProfile("bob:::::"), (SaveProfile{"bob", {}}));
  EXPECT_EQ(ParseSaveProfile("bob:here:31:b@x"), std::nullopt);
}

TEST(SaveProfile, SchemeAndPortStayInTheWebAddress) {
  struct Case {
    std::string webAndBio;
    std::optional<std::pair<std::string, std::string>> split;
  } cases[] = {
      {"web:bio: with colon", {{"web", "bio: with colon"}}},
      {":bio", {{"", "bio"}}},
      {"http://x.example:bio", {{"http://x.example", "bio"}}},
      {"https://x.example:8080/p:bio", {{"https://x.example:8080/p", "bio"}}},
      {"http://x.example:8080:bio", {{"http://x.example:8080", "bio"}}},
      {"http://x.example/a:b", {{"http://x.example/a", "b"}}},
      {"://odd:bio", {{"", "//odd:bio"}}},
      {"no separator", std::nullopt},
  };
  for (const auto& c : cases) {
    auto save = ParseSaveProfile("bob:l:a:e:" + c.webAndBio);
    auto split = save ? std::optional(std::pair(save->fields.web, save->fields.bio)) : std::nullopt;
    EXPECT_EQ(split, c.split) << c.webAndBio;
  }
}

TEST(ProfileInfo, AckLinesReadBackAsTheSameProfile) {
  ProfileInfo profile{"bob",
                      "2023-11-14",
                      "Online now",
                      {"Crater B", "31", "b@x", "http://b.example:80/", "a" + kPara + "b: c"}};
  for (std::string_view reply : {msg::kUserInfoAck, msg::kEditProfileAck}) {
    auto lines = ProfileAckLines(reply, profile);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines.front(), std::string(reply) + ":USER:bob");
    EXPECT_EQ(lines.back(), std::string(reply) + ":OK");
    ProfileInfo read;
    EXPECT_EQ(ApplyAll(lines, reply, read, ApplyProfileLine),
              std::vector<std::string>{lines.back()});
    EXPECT_EQ(read, profile);
  }
}

TEST(ProfileInfo, ALongBioComesInSeveralLinesThatAddUpToIt) {
  std::string paragraph = std::string(150, 'x') + "\xC3\xA9" + kPara;  // 152 characters
  ProfileInfo profile;
  for (int i = 0; i < 4; ++i) profile.fields.bio += paragraph;
  profile.fields.bio += std::string(450, 'y');
  auto lines = ProfileAckLines(msg::kUserInfoAck, profile);
  std::vector<std::string> bios;
  for (const std::string& line : lines) {
    if (line.rfind("USERINFO_ACK:BIO:", 0) == 0) bios.push_back(line.substr(17));
  }
  // Cut after a line break where one falls inside the 200 characters, else at 200.
  ASSERT_EQ(bios.size(), 7u);
  EXPECT_EQ(bios[0], paragraph);
  EXPECT_EQ(bios[4], std::string(200, 'y'));
  EXPECT_EQ(bios[6], std::string(50, 'y'));
  ProfileInfo read;
  ApplyAll(lines, msg::kUserInfoAck, read, ApplyProfileLine);
  EXPECT_EQ(read, profile);
  EXPECT_EQ(BioPieces(""), std::vector<std::string>{""});
}

TEST(ProfileInfo, BioLinesAddUpAndUnknownKeysAreLeft) {
  ProfileInfo read;
  EXPECT_TRUE(ApplyProfileLine(read, "BIO:a" + kPara + "b"));
  EXPECT_TRUE(ApplyProfileLine(read, "BIO:c"));
  EXPECT_TRUE(ApplyProfileLine(read, "WEB:http://x:1/"));
  EXPECT_FALSE(ApplyProfileLine(read, "OK"));
  EXPECT_FALSE(ApplyProfileLine(read, "SHOE:9"));
  EXPECT_EQ(ParagraphsToLineBreaks(read.fields.bio), "a\r\nbc");
  EXPECT_EQ(read.fields.web, "http://x:1/");
}

TEST(SessionMessages, ListItemsReadBack) {
  for (const UserItem& item : {UserItem{"bob", "away", "back in 5: really"},
                               UserItem{"bob", "online", ""}, UserItem{"ann", "admin", ""}}) {
    EXPECT_EQ(ParseUserItem(ParseLine(UserItemLine(item)).args), item);
  }
  EXPECT_EQ(ParseUserItem("bob:away:"), (UserItem{"bob", "away", ""}));
  EXPECT_EQ(UserItemLine({"bob", "offline", ""}), "USER:bob:offline");
  EXPECT_EQ(GameItemLine({"Arena", true}), "GAME:Arena:up");
  EXPECT_EQ(GameItemLine({"Arena", false}), "GAME:Arena:down");
  EXPECT_EQ(ParseGameItem(ParseLine(GameItemLine({"Arena", false})).args),
            (GameItem{"Arena", false}));
  // Up only for "up".
  for (const char* item : {"Arena:", "Arena:UP"}) {
    EXPECT_EQ(ParseGameItem(item), (GameItem{"Arena", false})) << item;
  }
}

TEST(SessionMessages, CommandsWithADigestReadBack) {
  const std::string digest = "0123456789ABCDEF0123456789ABCDEF";
  EXPECT_EQ(AuthCommand("bob ", digest), "AUTH:bob :" + digest);
  EXPECT_EQ(CreateCommand("bob", digest, "b@x.org"), "CREATE:bob:" + digest + ":b@x.org");
  EXPECT_EQ(VersionCommand(3, 0, 0), "VERSION:300");
  EXPECT_EQ(VersionCommand(3, 10, 2), "VERSION:3102");
  EXPECT_EQ(ParseAuthCommand(ParseLine(AuthCommand("bob ", digest)).args),
            (AuthFields{"bob ", digest}));
  EXPECT_EQ(ParseAuthCommand(digest), (AuthFields{"", digest}));
  EXPECT_EQ(ParseCreateCommand(ParseLine(CreateCommand("bob", digest, "b:x@y")).args),
            (CreateFields{"bob", digest, "b:x@y"}));
  EXPECT_EQ(ParseCreateCommand("bob:" + digest), std::nullopt);
  EXPECT_EQ(ChngPassCommand("bob", digest), "CHNGPASS:bob:" + digest);
  EXPECT_EQ(ParseChngPassCommand(ParseLine(ChngPassCommand("bob", digest)).args),
            (ChngPassFields{"bob", digest}));
  EXPECT_EQ(ParseChngPassCommand("bob"), std::nullopt);
}

TEST(ChatLine, OnlyTheFirstColonSeparates) {
  ChatLine line{"bob", "see: this" + kPara};
  EXPECT_EQ(ChatLineText(msg::kPmsg, line), "PMSG:bob:see: this" + kPara);
  EXPECT_EQ(ChatLineText(msg::kLmsg, line), "LMSG:bob:see: this" + kPara);
  EXPECT_EQ(LobbyChatCommand(line.text), "LMSG:see: this" + kPara);
  EXPECT_EQ(ParseChatLine(ParseLine(ChatLineText(msg::kPmsg, line)).args), line);
  EXPECT_EQ(ParseChatLine("bob:"), (ChatLine{"bob", ""}));
  EXPECT_EQ(ParseChatLine("bob"), std::nullopt);
}

}  // namespace
}  // namespace cv3
