// The lobby protocol's message catalogue: every line name the client sends or understands, the
// result words of the replies and the fixed words inside fields. For the client and lobbyd.
#pragma once

#include <string_view>

namespace cv3::msg {

// Client to server. Those with arguments are sent as name + ":" + fields.
inline constexpr std::string_view kAuth = "AUTH";
inline constexpr std::string_view kCreate = "CREATE";
inline constexpr std::string_view kUsers = "USERS";
inline constexpr std::string_view kGames = "GAMES";
inline constexpr std::string_view kVersion = "VERSION";
inline constexpr std::string_view kQuit = "QUIT";
inline constexpr std::string_view kDisconnect = "DISCONNECT";
inline constexpr std::string_view kLmsg = "LMSG";
inline constexpr std::string_view kPmsg = "PMSG";
inline constexpr std::string_view kUserInfo = "USERINFO";
inline constexpr std::string_view kEditProfile = "EDITPROFILE";
inline constexpr std::string_view kSaveProfile = "SAVEPROFILE";
inline constexpr std::string_view kAway = "AWAY";
inline constexpr std::string_view kOnline = "ONLINE";
inline constexpr std::string_view kInvisible = "INVISIBLE";
inline constexpr std::string_view kAdminMode = "ADMINMODE";
inline constexpr std::string_view kRemUser = "REMUSER";
inline constexpr std::string_view kSuspend = "SUSPEND";
inline constexpr std::string_view kUnsuspend = "UNSUSPEND";
inline constexpr std::string_view kChngPass = "CHNGPASS";
inline constexpr std::string_view kGameInfo = "GAMEINFO";
inline constexpr std::string_view kHostGame = "HOSTGAME";
inline constexpr std::string_view kResumeInfo = "RESUMEINFO";
inline constexpr std::string_view kResumeGame = "RESUMEGAME";
inline constexpr std::string_view kRemGame = "REMGAME";

// Server to client.
inline constexpr std::string_view kAuthAck = "AUTH_ACK";
inline constexpr std::string_view kUser = "USER";
inline constexpr std::string_view kUsersAck = "USERS_ACK";
inline constexpr std::string_view kGame = "GAME";
inline constexpr std::string_view kGamesAck = "GAMES_ACK";
inline constexpr std::string_view kVersionAck = "VERSION_ACK";
inline constexpr std::string_view kQuitAck = "QUIT_ACK";
inline constexpr std::string_view kDisconnectAck = "DISCONNECT_ACK";
inline constexpr std::string_view kGameUp = "GAMEUP";
inline constexpr std::string_view kGameDown = "GAMEDOWN";
inline constexpr std::string_view kGameRem = "GAMEREM";
inline constexpr std::string_view kIsAdmin = "ISADMIN";
inline constexpr std::string_view kIsNvis = "ISNVIS";
inline constexpr std::string_view kIsOn = "ISON";
inline constexpr std::string_view kIsOff = "ISOFF";
inline constexpr std::string_view kIsAway = "ISAWAY";
inline constexpr std::string_view kInvisibleAck = "INVISIBLE_ACK";
inline constexpr std::string_view kWarning = "WARNING";
inline constexpr std::string_view kError = "ERROR";
inline constexpr std::string_view kNothercation = "NOTHERCATION";  // signed on elsewhere
inline constexpr std::string_view kUserInfoAck = "USERINFO_ACK";
inline constexpr std::string_view kEditProfileAck = "EDITPROFILE_ACK";
inline constexpr std::string_view kGameInfoAck = "GAMEINFO_ACK";
inline constexpr std::string_view kHostGameAck = "HOSTGAME_ACK";
inline constexpr std::string_view kResumeInfoAck = "RESUMEINFO_ACK";
inline constexpr std::string_view kResumeGameAck = "RESUMEGAME_ACK";

// Result words.
inline constexpr std::string_view kOk = "OK";
inline constexpr std::string_view kFailed = "FAILED";
inline constexpr std::string_view kSuspended = "SUSPENDED";
inline constexpr std::string_view kPermban = "PERMBAN";
inline constexpr std::string_view kUpdate = "UPDATE";
inline constexpr std::string_view kDupName = "DUPNAME";
inline constexpr std::string_view kDupAddy = "DUPADDY";
inline constexpr std::string_view kNoAccess = "NOACCESS";
inline constexpr std::string_view kDone = "DONE";

// Words inside fields: the kinds of a "USER" item, the state of a game ("GAME" item and
// "GAMESTATE" key) and the term of a game ("GAMETERM" key).
inline constexpr std::string_view kKindOnline = "online";
inline constexpr std::string_view kKindAway = "away";
inline constexpr std::string_view kKindOffline = "offline";
inline constexpr std::string_view kKindAdmin = "admin";
inline constexpr std::string_view kStateUp = "up";
inline constexpr std::string_view kStateDown = "down";
inline constexpr std::string_view kTermLong = "long";
inline constexpr std::string_view kTermShort = "short";

}  // namespace cv3::msg
