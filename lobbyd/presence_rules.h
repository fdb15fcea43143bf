// The lists a client loads after sign-in (USERS, GAMES, sent in parts as the connection takes
// them), the version check (VERSION) and the pilot's own status (ONLINE, AWAY, INVISIBLE,
// ADMINMODE). io thread only.
#pragma once

#include <string>

#include "lobbyd/command_table.h"
#include "lobbyd/lobby_context.h"

namespace lobbyd {

class PresenceRules {
 public:
  explicit PresenceRules(LobbyContext& lobby) : lobby_(lobby) {}

  void Register(CommandTable& commands);

 private:
  void OnUsers(Participant& session, const std::string& args);
  void OnGames(Participant& session, const std::string& args);
  // Whether a list request is answered: not while the same list is still on its way. Sets
  // `pending` when it is.
  static bool ListAllowed(bool& pending);
  void OnVersion(Participant& session, const std::string& args);
  void OnOnline(Participant& session, const std::string& args);
  void OnAway(Participant& session, const std::string& args);
  void OnInvisible(Participant& session, const std::string& args);
  void OnAdminMode(Participant& session, const std::string& args);

  LobbyContext& lobby_;
};

}  // namespace lobbyd
