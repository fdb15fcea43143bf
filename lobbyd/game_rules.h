// The game registry's commands: hosting (HOSTGAME), details (GAMEINFO), resuming (RESUMEINFO,
// RESUMEGAME) and removing (REMGAME), with who may manage a game and how long its fields may
// be. Games going down with their hosts, and away with their owners' accounts, are the lobby's
// (LobbyContext), since signing off and removing accounts take them too. io thread only.
#pragma once

#include <string>

#include "lobbyd/command_table.h"
#include "lobbyd/lobby_context.h"
#include "protocol/game_messages.h"

namespace lobbyd {

class GameRules {
 public:
  explicit GameRules(LobbyContext& lobby) : lobby_(lobby) {}

  void Register(CommandTable& commands);

 private:
  void OnHostGame(Participant& session, const std::string& args);
  void OnGameInfo(Participant& session, const std::string& args);
  void OnResumeInfo(Participant& session, const std::string& args);
  void OnResumeGame(Participant& session, const std::string& args);
  void OnRemGame(Participant& session, const std::string& args);
  bool MayManage(const Participant& session, const Game& game) const;
  // A warning when a field is longer than a pilot may store; empty text otherwise.
  std::string TooLong(const cv3::HostedGame& game) const;

  LobbyContext& lobby_;
};

}  // namespace lobbyd
