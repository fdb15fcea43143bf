// The lists a client loads after sign-in, the version check, and the pilot's own status.
#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/session_messages.h"

namespace lobbyd {

namespace {

// Lines a list's producer gives at a time; the next come once the connection has drained.
constexpr size_t kListChunk = 256;

// Produces a list from a sorted map as the connection drains, going on after the last key given,
// so accounts or games added or removed meanwhile neither stall nor break it. `line` gives an
// entry's line, or nothing to leave it out; `last` ends the list.
template <class Map, class LineOf>
Session::Producer ListProducer(const Map& map, LineOf line, std::string last) {
  return [&map, line, last, after = std::string(), started = false](
             std::vector<std::string>& lines) mutable {
    auto it = started ? map.upper_bound(after) : map.begin();
    started = true;
    for (; it != map.end() && lines.size() < kListChunk; ++it) {
      after = it->first;
      if (auto text = line(it->first, it->second)) lines.push_back(std::move(*text));
    }
    if (it != map.end()) return true;
    lines.push_back(last);
    return false;
  };
}

}  // namespace

void Lobby::OnUsers(Session& session, const std::string&) {
  auto line = [this, own = session.pilot.key](const std::string& key,
                                              const AccountRecord& account)
      -> std::optional<std::string> {
    if (key == own) return std::nullopt;
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
    return cv3::UserItemLine(item);
  };
  session.SendStream(ListProducer(accounts_, line, std::string(msg::kUsersAck)));
}

void Lobby::OnGames(Session& session, const std::string&) {
  auto line = [](const std::string&, const Game& game) -> std::optional<std::string> {
    return cv3::GameItemLine({game.record.name, game.up});
  };
  session.SendStream(ListProducer(games_, line, std::string(msg::kGamesAck)));
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
  if (CharacterCount(args) > options_.maxAwayLength) {
    Warn(session, "Your away message must be at most " + std::to_string(options_.maxAwayLength) +
                      " characters!");
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
