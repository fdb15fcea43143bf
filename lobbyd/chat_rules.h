// Lobby chat (LMSG) and private messages (PMSG), under the chat flood control: the buckets
// themselves are the lobby's (LobbyContext::FloodAllows), shared with lists and changes.
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
  bool ChatAllowed(Participant& session);

  LobbyContext& lobby_;
};

}  // namespace lobbyd
