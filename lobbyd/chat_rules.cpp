// Lobby and private chat relay, with flood control.
#include "lobbyd/lobby.h"
#include "protocol/chat_messages.h"

namespace lobbyd {

bool Lobby::FloodAllows(Participant& session, Flood Floods::*kind, std::string_view what,
                        std::string_view warning) {
  auto now = clock_.Steady();
  // The account's buckets, then the address's: each outlives the connection.
  Flood::Verdict verdict =
      (accountFloods_.try_emplace(session.pilot.key).first->second.*kind).Take(now);
  if (verdict == Flood::Verdict::kPass) {
    double scale = options_.connectionsPerAddress;
    verdict = (addressFloods_.try_emplace(session.Address(), scale).first->second.*kind).Take(now);
  }
  switch (verdict) {
    case Flood::Verdict::kPass:
      return true;
    case Flood::Verdict::kDropAndWarn:
      Metrics::Add(metrics_.noticesDropped);
      session.Log(std::string(what) + " dropped (flood control)");
      Warn(session, warning);
      return false;
    case Flood::Verdict::kDrop:
      Metrics::Add(metrics_.noticesDropped);
      return false;
  }
  return false;
}

void Lobby::ForgetRestedFloods() {
  auto now = clock_.Steady();
  for (auto* floods : {&accountFloods_, &addressFloods_}) {
    std::erase_if(*floods, [now](const auto& entry) { return entry.second.Rested(now); });
  }
}

bool Lobby::ChatAllowed(Participant& session) {
  return FloodAllows(session, &Floods::chat, "chat lines",
                     "You are sending messages too fast; some were not delivered.");
}

void Lobby::OnLobbyMessage(Participant& session, const std::string& args) {
  if (args.empty()) {
    Ignore(session, msg::kLmsg, "no text");
    return;
  }
  if (!ChatAllowed(session)) return;
  roster_.Broadcast(cv3::ChatLineText(msg::kLmsg, {session.pilot.name, args}), nullptr,
                    Delivery::kNow);
}

void Lobby::OnPrivateMessage(Participant& session, const std::string& args) {
  auto line = cv3::ParseChatLine(args);
  if (!line) {
    Ignore(session, msg::kPmsg, "no partner");
    return;
  }
  if (!ChatAllowed(session)) return;
  Participant* receiver = roster_.Find(line->name);
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
