// The lists a client loads after sign-in, the version check, and the pilot's own status.
#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/session_messages.h"

namespace lobbyd {

namespace {

// Entries a list's producer looks at a time; the next come once the connection has drained.
constexpr size_t kListChunk = 256;

// Produces a list from a sorted map as the connection drains, going on after the last key given,
// so accounts or games added or removed meanwhile neither stall nor break it. `line` appends an
// entry's line in wire form, or nothing to leave it out, and learns where each chunk starts
// (iterators into other maps do not outlive a chunk); `last` ends the list.
template <class Map, class LineOf>
Session::Producer ListProducer(const Map& map, LineOf line, std::string last) {
  return [&map, line, last, after = std::string(), started = false](std::string& wire) mutable {
    auto it = started ? map.upper_bound(after) : map.begin();
    started = true;
    for (size_t taken = 0; it != map.end() && taken < kListChunk; ++it, ++taken) {
      line(it, taken == 0, wire);
    }
    if (it != map.end()) {
      after = std::prev(it)->first;
      return true;
    }
    AppendWireLine(wire, last);
    return false;
  };
}

std::string ListedLine(const std::string& name, const Pilot* pilot) {
  // An invisible pilot is listed as offline, as the others were told.
  cv3::UserItem item{name, std::string(msg::kKindOffline), {}};
  if (pilot && pilot->presence == Pilot::Presence::kOnline) {
    item.kind = msg::kKindOnline;
  } else if (pilot && pilot->presence == Pilot::Presence::kAway) {
    item.kind = msg::kKindAway;
    item.note = pilot->awayMessage;  // never empty: an away message must say something
  } else if (pilot && pilot->presence == Pilot::Presence::kAdmin) {
    item.kind = msg::kKindAdmin;
  }
  std::string wire;
  AppendWireLine(wire, cv3::UserItemLine(item));
  return wire;
}

}  // namespace

void Lobby::SetPresence(Pilot& pilot, Pilot::Presence presence, std::string awayMessage) {
  pilot.presence = presence;
  pilot.awayMessage = std::move(awayMessage);
  pilot.listed = ListedLine(pilot.name, &pilot);
}

void Lobby::OnUsers(Session& session, const std::string&) {
  // The signed-in pilots are walked in step with the accounts: both are sorted by name key.
  auto line = [this, own = session.pilot.key, online = pilots_.end()](
                  std::map<std::string, AccountRecord>::const_iterator account, bool chunkStart,
                  std::string& wire) mutable {
    const std::string& key = account->first;
    if (chunkStart) online = pilots_.lower_bound(key);
    while (online != pilots_.end() && online->first < key) ++online;
    if (key == own) return;
    if (online != pilots_.end() && online->first == key) {
      wire += online->second->pilot.listed;
    } else {
      wire += ListedLine(account->second.name, nullptr);
    }
  };
  session.SendStream(ListProducer(accounts_, line, std::string(msg::kUsersAck)));
}

void Lobby::OnGames(Session& session, const std::string&) {
  auto line = [](std::map<std::string, Game>::const_iterator game, bool, std::string& wire) {
    AppendWireLine(wire, cv3::GameItemLine({game->second.record.name, game->second.up}));
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
  SetPresence(session.pilot, Pilot::Presence::kOnline);
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
  SetPresence(session.pilot, Pilot::Presence::kAway, args);
  Broadcast(cv3::FormatLine(msg::kIsAway, session.pilot.name + ":" + args));
}

void Lobby::OnInvisible(Session& session, const std::string&) {
  SetPresence(session.pilot, Pilot::Presence::kInvisible);
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
  SetPresence(session.pilot, Pilot::Presence::kAdmin);
  session.Log("admin mode");
  Broadcast(cv3::FormatLine(msg::kIsAdmin, session.pilot.name));
}

}  // namespace lobbyd
