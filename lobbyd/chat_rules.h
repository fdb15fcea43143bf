// Lobby chat (LMSG) and private messages (PMSG), under the chat flood control (the command
// table's limit; the buckets are the lobby's, LobbyContext::FloodAllows).
// Invisible pilots are reached only by those they have written to. io thread only.
#pragma once

#include <string>

#include "lobbyd/command_table.h"
#include "lobbyd/lobby_context.h"

namespace lobbyd {

class ChatRules {
 public:
  explicit ChatRules(LobbyContext& lobby) : lobby_(lobby) {}

  void Register(CommandTable& commands);

 private:
  void OnLobbyMessage(Participant& session, const std::string& args);
  void OnPrivateMessage(Participant& session, const std::string& args);

  LobbyContext& lobby_;
};

}  // namespace lobbyd
