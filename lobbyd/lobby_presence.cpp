// The lists a client loads after sign-in, the version check, and the pilot's own status.
#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/session_messages.h"

namespace lobbyd {

namespace {

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
  PilotListChanged(pilot.key);
}

void Lobby::PilotListChanged(const std::string& key) {
  auto it = listChunks_.upper_bound(key);
  if (it == listChunks_.begin()) return;
  --it;
  if (key <= it->second.last) listChunks_.erase(it);
}

bool Lobby::NextListChunk(const std::string& own, std::string& after, bool started,
                          std::string& wire) {
  auto first = started ? accounts_.upper_bound(after) : accounts_.begin();
  if (first == accounts_.end()) {
    AppendWireLine(wire, msg::kUsersAck);
    return false;
  }
  const std::string& start = first->first;
  if (auto cached = listChunks_.find(start);
      cached != listChunks_.end() && !(start <= own && own <= cached->second.last)) {
    wire += cached->second.wire;
    after = cached->second.last;
    return true;
  }
  // Built from the accounts, with the signed-in pilots walked in step (both sorted by name key).
  ListChunk chunk;
  bool hasOwn = false;
  auto online = pilots_.lower_bound(start);
  auto account = first;
  for (size_t taken = 0; account != accounts_.end() && taken < kListChunk; ++account, ++taken) {
    const std::string& key = account->first;
    while (online != pilots_.end() && online->first < key) ++online;
    size_t before = chunk.wire.size();
    if (online != pilots_.end() && online->first == key) {
      chunk.wire += online->second->pilot.listed;
    } else {
      chunk.wire += ListedLine(account->second.name, nullptr);
    }
    // A pilot is not listed to himself.
    if (key == own) {
      hasOwn = true;
      wire += std::string_view(chunk.wire).substr(0, before);
    } else if (hasOwn) {
      wire += std::string_view(chunk.wire).substr(before);
    }
  }
  if (!hasOwn) wire += chunk.wire;
  chunk.last = std::prev(account)->first;
  after = chunk.last;
  // Kept for the next requesters, unless it overlaps a kept chunk (lists under way while
  // accounts came or went step differently): each pilot must be in one kept chunk at most.
  auto next = listChunks_.upper_bound(start);
  bool overlaps = (next != listChunks_.end() && next->first <= chunk.last) ||
                  (next != listChunks_.begin() && std::prev(next)->second.last >= start);
  if (!overlaps) listChunks_.emplace(start, std::move(chunk));
  return true;
}

bool Lobby::ListAllowed(Session& session, bool& pending) {
  // The list on its way is built from the lobby as it is when each part goes, and what changes
  // meanwhile is told after it: it answers a second request as well as a new list would.
  if (pending) return false;
  if (!FloodAllows(session, &Floods::lists, "list requests",
                   "You are asking for lists too fast; some were not sent.")) {
    return false;
  }
  pending = true;
  return true;
}

void Lobby::OnUsers(Session& session, const std::string&) {
  Pilot& pilot = session.pilot;
  if (!ListAllowed(session, pilot.usersListPending)) return;
  // The producer goes with the session, so the pilot it points to is there when it runs.
  session.SendStream(
      [this, &pilot, after = std::string(), started = false](std::string& wire) mutable {
        bool more = NextListChunk(pilot.key, after, started, wire);
        started = true;
        pilot.usersListPending = more;
        return more;
      });
}

void Lobby::OnGames(Session& session, const std::string&) {
  Pilot& pilot = session.pilot;
  if (!ListAllowed(session, pilot.gamesListPending)) return;
  // Going on after the last game given, so games added or removed meanwhile neither stall nor
  // break the list.
  session.SendStream(
      [this, &pilot, after = std::string(), started = false](std::string& wire) mutable {
        auto it = started ? games_.upper_bound(after) : games_.begin();
        started = true;
        for (size_t taken = 0; it != games_.end() && taken < kListChunk; ++it, ++taken) {
          AppendWireLine(wire, cv3::GameItemLine({it->second.record.name, it->second.up}));
          after = it->first;
        }
        pilot.gamesListPending = it != games_.end();
        if (pilot.gamesListPending) return true;
        AppendWireLine(wire, msg::kGamesAck);
        return false;
      });
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
  if (session.pilot.presence != Pilot::Presence::kInvisible) {
    session.pilot.hiddenSince = NowSeconds();
  }
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
