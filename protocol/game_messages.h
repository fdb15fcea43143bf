// Hosted games as values: the fifteen fields of "HOSTGAME:" and "RESUMEGAME:", and the key lines
// of "GAMEINFO_ACK" and "RESUMEINFO_ACK" that give them back. Built and parsed here for both the
// client and lobbyd, so neither side writes the other's format. Pure functions.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cv3 {

// What the host window sends and the server keeps. Texts as they travel: the description has
// "¶" for its line breaks (LineBreaksToParagraphs and ParagraphsToLineBreaks convert).
struct HostedGame {
  std::string name;
  std::string address;
  std::string version;       // the game's version, "SKYRENDVER"
  std::string announcement;  // "Anonymous", "Named" or "Named & Target"
  // The ten check boxes, in the order they travel.
  bool includeCpus = false;
  bool restrictAlpha = false;
  bool mothHopping = false;
  bool bloodMoney = false;
  bool passwords = false;
  bool godHanger = false;
  bool dedicated = false;
  bool longTerm = false;
  bool fileLogging = false;
  bool fullDebug = false;
  std::string description;
  bool operator==(const HostedGame&) const = default;
};

// The keys of the detail lines other than the check boxes'.
inline constexpr std::string_view kHostPlayerKey = "HOSTPLAYER";
inline constexpr std::string_view kGameNameKey = "GAMENAME";
inline constexpr std::string_view kGameAddressKey = "GAMEADDRESS";
inline constexpr std::string_view kSkyrendVerKey = "SKYRENDVER";
inline constexpr std::string_view kGameDesKey = "GAMEDES";
inline constexpr std::string_view kPlayerAnnounceKey = "PLAYERANNOUNCE";
inline constexpr std::string_view kGameStateKey = "GAMESTATE";
inline constexpr std::string_view kPlayersKey = "PLAYERS";

// A check box: its key in the detail lines and its member. The ten, in the order they travel in
// "HOSTGAME:". In the detail lines a box is "0" or "1", except "GAMETERM": "long" or "short".
struct GameCheckBox {
  std::string_view key;
  bool HostedGame::*value;
};
inline constexpr std::array<GameCheckBox, 10> kGameCheckBoxes = {{
    {"INCLUDECPUS", &HostedGame::includeCpus},
    {"ALPHARESTRICT", &HostedGame::restrictAlpha},
    {"MOTHHOPPING", &HostedGame::mothHopping},
    {"BLOODMONEY", &HostedGame::bloodMoney},
    {"PASSWORDS", &HostedGame::passwords},
    {"GODHANGER", &HostedGame::godHanger},
    {"DEDICATED", &HostedGame::dedicated},
    {"GAMETERM", &HostedGame::longTerm},
    {"FILELOGGING", &HostedGame::fileLogging},
    {"DEBUGMODE", &HostedGame::fullDebug},
}};

// "HOSTGAME:" and "RESUMEGAME:" with the fifteen fields; a check box is "0" or "1".
std::string HostGameCommand(const HostedGame& game);
std::string ResumeGameCommand(const HostedGame& game);
// The fifteen fields of either command; only "1" checks a box. The description is the rest of
// the line and may hold ":". Nothing when fields are missing.
std::optional<HostedGame> ParseHostedGame(std::string_view args);

// What "GAMEINFO_ACK" tells about a listed game.
struct GameDetails {
  std::string hostPlayer;
  HostedGame game;
  bool up = false;  // "GAMESTATE" is "up": the game is running and may be joined
  std::vector<std::string> players;
  bool operator==(const GameDetails&) const = default;
};

// The server's answer to "GAMEINFO:": the key lines, then "GAMEINFO_ACK:OK".
std::vector<std::string> GameInfoAckLines(const GameDetails& details);
// The server's answer to "RESUMEINFO:" for a pilot who may resume the game: "RESUMEINFO_ACK:OK",
// the key lines of the stored settings (no host, state or players), then "RESUMEINFO_ACK:DONE".
std::vector<std::string> ResumeInfoAckLines(const HostedGame& game);

// Applies one "GAMEINFO_ACK" or "RESUMEINFO_ACK" line (its argument text) the way the windows do:
// "GAMEDES" and "PLAYERS" add to what came before, "GAMESTATE" other than "up" changes nothing,
// the other keys set their field. The key is the text before the first ":", the value all after
// it. False, with nothing changed, for a result word ("OK", "DONE", "NOACCESS") or a key that
// reply does not have.
bool ApplyGameInfoLine(GameDetails& details, std::string_view args);
bool ApplyResumeInfoLine(HostedGame& game, std::string_view args);

}  // namespace cv3
