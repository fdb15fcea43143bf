// The lists a client loads after sign-in, the version check, and the pilot's own status.
#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/session_messages.h"

namespace lobbyd {

void Lobby::OnUsers(Session& session, const std::string&) {
  std::vector<std::string> lines;
  lines.reserve(accounts_.size() + 1);
  for (const auto& [key, account] : accounts_) {
    if (key == session.pilot.key) continue;
    auto online = pilots_.find(key);
    const Pilot* pilot = online == pilots_.end() ? nullptr : &online->second->pilot;
    // An invisible pilot is listed as offline, as the others were told.
    cv3::UserItem item{account.name, std::string(msg::kKindOnline), {}};
    if (!pilot || pilot->presence == Pilot::Presence::kInvisible) {
      item.kind = msg::kKindOffline;
    } else if (pilot->presence == Pilot::Presence::kAway) {
      item.kind = msg::kKindAway;
      item.note = pilot->awayMessage;  // never empty: an away message must say something
    } else if (pilot->presence == Pilot::Presence::kAdmin) {
      item.kind = msg::kKindAdmin;
    }
    lines.push_back(cv3::UserItemLine(item));
  }
  lines.emplace_back(msg::kUsersAck);
  session.SendLines(lines);
}

void Lobby::OnGames(Session& session, const std::string&) {
  std::vector<std::string> lines;
  lines.reserve(games_.size() + 1);
  for (const auto& [key, game] : games_) {
    lines.push_back(cv3::GameItemLine({game.record.name, game.up}));
  }
  lines.emplace_back(msg::kGamesAck);
  session.SendLines(lines);
}

void Lobby::OnVersion(Session& session, const std::string& args) {
  auto lower = VersionIsLower(args, options_.clientVersion);
  if (!lower) {
    Ignore(session, msg::kVersion, "not a version number");
    return;
  }
  session.Send(cv3::FormatLine(msg::kVersionAck, *lower ? msg::kUpdate : msg::kOk));
}

void Lobby::OnOnline(Session& session, const std::string&) {
  session.pilot.presence = Pilot::Presence::kOnline;
  session.pilot.awayMessage.clear();
  Broadcast(cv3::FormatLine(msg::kIsOn, session.pilot.name));
}

void Lobby::OnAway(Session& session, const std::string& args) {
  if (TrimSpaces(args).empty()) {
    Warn(session, "You must enter an away message!");
    return;
  }
  session.pilot.presence = Pilot::Presence::kAway;
  session.pilot.awayMessage = args;
  Broadcast(cv3::FormatLine(msg::kIsAway, session.pilot.name + ":" + args));
}

void Lobby::OnInvisible(Session& session, const std::string&) {
  session.pilot.presence = Pilot::Presence::kInvisible;
  session.pilot.awayMessage.clear();
  session.Send(msg::kInvisibleAck);
  Broadcast(cv3::FormatLine(msg::kIsOff, session.pilot.name), &session);
}

void Lobby::OnAdminMode(Session& session, const std::string&) {
  const AccountRecord* account = FindAccount(session.pilot.name);
  if (!account || !account->admin) {
    session.Log("admin mode refused (no rights)");
    Warn(session, "You do not have administrator rights!");
    return;
  }
  session.pilot.presence = Pilot::Presence::kAdmin;
  session.pilot.awayMessage.clear();
  session.Log("admin mode");
  Broadcast(cv3::FormatLine(msg::kIsAdmin, session.pilot.name));
}

}  // namespace lobbyd
