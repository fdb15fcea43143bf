// Lobby and private chat relay, with flood control.
#include "lobbyd/lobby.h"
#include "protocol/chat_messages.h"

namespace lobbyd {

bool Lobby::ChatAllowed(Session& session) {
  switch (session.pilot.flood.Take(clock_.Steady())) {
    case ChatFlood::Verdict::kPass:
      return true;
    case ChatFlood::Verdict::kDropAndWarn:
      session.Log("chat lines dropped (flood control)");
      Warn(session, "You are sending messages too fast; some were not delivered.");
      return false;
    case ChatFlood::Verdict::kDrop:
      return false;
  }
  return false;
}

void Lobby::OnLobbyMessage(Session& session, const std::string& args) {
  if (args.empty()) {
    Ignore(session, msg::kLmsg, "no text");
    return;
  }
  if (!ChatAllowed(session)) return;
  Broadcast(cv3::ChatLineText(msg::kLmsg, {session.pilot.name, args}));
}

void Lobby::OnPrivateMessage(Session& session, const std::string& args) {
  auto line = cv3::ParseChatLine(args);
  if (!line) {
    Ignore(session, msg::kPmsg, "no partner");
    return;
  }
  if (!ChatAllowed(session)) return;
  Session* receiver = FindPilot(line->name);
  bool hidden = receiver && receiver->pilot.presence == Pilot::Presence::kInvisible &&
                !receiver->pilot.writtenTo.count(session.pilot.key);
  if (!receiver || hidden) {
    Warn(session, line->name + " is not signed on; your message was not delivered.");
    return;
  }
  session.pilot.writtenTo.insert(receiver->pilot.key);
  // Relayed with the sender in the partner's place.
  line->name = session.pilot.name;
  receiver->Send(cv3::ChatLineText(msg::kPmsg, *line));
}

}  // namespace lobbyd
