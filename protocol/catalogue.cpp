#include "protocol/catalogue.h"

#include <algorithm>
#include <array>

namespace cv3::msg {
namespace {

using enum Direction;

constexpr std::array kEntries = {
    Entry{kAuth, kToServer, "sign in with ID and password digest"},
    Entry{kCreate, kToServer, "create an account and sign in with it"},
    Entry{kAuthAck, kToClient, "result of sign-in"},
    Entry{kUsers, kToServer, "ask for the user list"},
    Entry{kUser, kToClient, "one user of the user list"},
    Entry{kUsersAck, kToClient, "end of the user list"},
    Entry{kGames, kToServer, "ask for the game list"},
    Entry{kGame, kToClient, "one game of the game list"},
    Entry{kGamesAck, kToClient, "end of the game list"},
    Entry{kVersion, kToServer, "report the client's version"},
    Entry{kVersionAck, kToClient, "verdict on the version"},
    Entry{kQuit, kToServer, "the program is ending"},
    Entry{kQuitAck, kToClient, "the server let the client go"},
    Entry{kDisconnect, kToServer, "end the session, the program stays"},
    Entry{kDisconnectAck, kToClient, "the session is ended"},
    Entry{kGameUp, kToClient, "a game started"},
    Entry{kGameDown, kToClient, "a game stopped"},
    Entry{kGameRem, kToClient, "a game was removed"},
    Entry{kRemUser, kToClient, "a user was removed from the roster"},
    Entry{kIsAdmin, kToClient, "a user is in administrator mode"},
    Entry{kIsNvis, kToClient, "a user is invisible"},
    Entry{kIsOn, kToClient, "a user is online"},
    Entry{kIsOff, kToClient, "a user is offline"},
    Entry{kIsAway, kToClient, "a user is away"},
    Entry{kInvisibleAck, kToClient, "the client is now invisible"},
    Entry{kWarning, kToClient, "a warning for the user"},
    Entry{kError, kToClient, "an error for the user; the session ends"},
    Entry{kNothercation, kToClient, "signed on from another location"},
    Entry{kLmsg, kToServer, "lobby chat line"},
    Entry{kPmsg, kToServer, "private chat line"},
    Entry{kLmsg, kToClient, "lobby chat line"},
    Entry{kPmsg, kToClient, "private chat line"},
    Entry{kUserInfo, kToServer, "view a profile"},
    Entry{kEditProfile, kToServer, "fetch the own profile for editing"},
    Entry{kSaveProfile, kToServer, "store the own profile"},
    Entry{kUserInfoAck, kToClient, "profile contents"},
    Entry{kEditProfileAck, kToClient, "profile contents for editing"},
    Entry{kAway, kToServer, "own status: away with message"},
    Entry{kOnline, kToServer, "own status: online"},
    Entry{kInvisible, kToServer, "own status: invisible"},
    Entry{kAdminMode, kToServer, "enter administrator mode"},
    Entry{kRemUser, kToServer, "remove an account"},
    Entry{kSuspend, kToServer, "suspend an account"},
    Entry{kUnsuspend, kToServer, "lift a suspension"},
    Entry{kChngPass, kToServer, "set a password"},
    Entry{kGameInfo, kToServer, "ask for a game's details"},
    Entry{kGameInfoAck, kToClient, "a game's details"},
    Entry{kHostGame, kToServer, "announce a hosted game"},
    Entry{kHostGameAck, kToClient, "result of hosting"},
    Entry{kResumeInfo, kToServer, "saved-game details"},
    Entry{kResumeGame, kToServer, "resume a saved game"},
    Entry{kRemGame, kToServer, "remove a game"},
    Entry{kResumeInfoAck, kToClient, "saved-game details"},
    Entry{kResumeGameAck, kToClient, "result of resuming"},
};

}  // namespace

std::span<const Entry> Catalogue() { return kEntries; }

bool IsServerMessage(std::string_view name) {
  return std::any_of(kEntries.begin(), kEntries.end(), [&](const Entry& e) {
    return e.direction == kToClient && e.name == name;
  });
}

}  // namespace cv3::msg
