// Lobby and private chat relay, with flood control.
#include "lobbyd/lobby.h"
#include "protocol/text_helpers.h"

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
  Broadcast("LMSG:" + session.pilot.name + ":" + args);
}

void Lobby::OnPrivateMessage(Session& session, const std::string& args) {
  if (args.find(':') == std::string::npos) {
    Ignore(session, msg::kPmsg, "no partner");
    return;
  }
  std::string partner = cv3::TextBefore(args, ":");
  std::string text = cv3::TextAfter(args, ":");
  if (!ChatAllowed(session)) return;
  Session* receiver = FindPilot(partner);
  if (!receiver) {
    Warn(session, partner + " is not signed on; your message was not delivered.");
    return;
  }
  receiver->Send("PMSG:" + session.pilot.name + ":" + text);
}

}  // namespace lobbyd
