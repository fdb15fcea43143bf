#include "lobbyd/chat_rules.h"

#include "protocol/chat_messages.h"

namespace lobbyd {

void ChatRules::Register(CommandTable& commands) {
  using When = CommandTable::When;
  // Chat has no answer to refuse with: the warning alone tells of lines dropped.
  const CommandTable::Limit chat{FloodKind::kChat, {}};
  commands.Add(msg::kLmsg, When::kSignedIn, this, &ChatRules::OnLobbyMessage, chat);
  commands.Add(msg::kPmsg, When::kSignedIn, this, &ChatRules::OnPrivateMessage, chat);
}

void ChatRules::OnLobbyMessage(Participant& session, const std::string& args) {
  if (args.empty()) {
    lobby_.Ignore(session, msg::kLmsg, "no text");
    return;
  }
  lobby_.BroadcastEverywhere(cv3::ChatLineText(msg::kLmsg, {session.pilot.name, args}),
                             Delivery::kNow);
}

void ChatRules::OnPrivateMessage(Participant& session, const std::string& args) {
  auto line = cv3::ParseChatLine(args);
  if (!line) {
    lobby_.Ignore(session, msg::kPmsg, "no partner");
    return;
  }
  Participant* receiver = lobby_.roster.Find(line->name);
  bool hidden =
      receiver && receiver->pilot.presence == Pilot::Presence::kInvisible &&
      !(receiver->pilot.writtenTo && receiver->pilot.writtenTo->contains(session.pilot.key));
  if (!receiver || hidden) {
    lobby_.Warn(session, line->name + " is not signed on; your message was not delivered.");
    return;
  }
  auto& writtenTo = session.pilot.writtenTo;
  if (!writtenTo) writtenTo = std::make_unique<std::set<std::string>>();
  writtenTo->insert(receiver->pilot.key);
  // Relayed with the sender in the partner's place.
  line->name = session.pilot.name;
  receiver->Send(cv3::ChatLineText(msg::kPmsg, *line));
}

}  // namespace lobbyd
