// Lobby and private chat relay, with flood control.
#include "lobbyd/lobby.h"
#include "protocol/chat_messages.h"

namespace lobbyd {

bool Lobby::FloodAllows(Session& session, Flood& flood, std::string_view what,
                        std::string_view warning) {
  switch (flood.Take(clock_.Steady())) {
    case Flood::Verdict::kPass:
      return true;
    case Flood::Verdict::kDropAndWarn:
      session.Log(std::string(what) + " dropped (flood control)");
      Warn(session, warning);
      return false;
    case Flood::Verdict::kDrop:
      return false;
  }
  return false;
}

bool Lobby::ChatAllowed(Session& session) {
  return FloodAllows(session, session.pilot.flood, "chat lines",
                     "You are sending messages too fast; some were not delivered.");
}

void Lobby::OnLobbyMessage(Session& session, const std::string& args) {
  if (args.empty()) {
    Ignore(session, msg::kLmsg, "no text");
    return;
  }
  if (!ChatAllowed(session)) return;
  Broadcast(cv3::ChatLineText(msg::kLmsg, {session.pilot.name, args}), nullptr, Delivery::kNow);
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
