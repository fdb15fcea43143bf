// The lists a client loads after sign-in, the version check, and the pilot's own status.
#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/session_messages.h"

namespace lobbyd {

bool Lobby::ListAllowed(Participant& session, bool& pending) {
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

void Lobby::OnUsers(Participant& session, const std::string&) {
  Pilot& pilot = session.pilot;
  if (!ListAllowed(session, pilot.usersListPending)) return;
  // The producer goes with the session, so the pilot it points to is there when it runs.
  session.SendStream(
      [this, &pilot, after = std::string(), started = false](std::string& wire) mutable {
        bool more = roster_.NextListChunk(pilot.key, after, started, wire);
        started = true;
        pilot.usersListPending = more;
        return more;
      });
}

void Lobby::OnGames(Participant& session, const std::string&) {
  Pilot& pilot = session.pilot;
  if (!ListAllowed(session, pilot.gamesListPending)) return;
  // Going on after the last game given, so games added or removed meanwhile neither stall nor
  // break the list.
  session.SendStream(
      [this, &pilot, after = std::string(), started = false](std::string& wire) mutable {
        auto it = started ? games_.ByKey().upper_bound(after) : games_.ByKey().begin();
        started = true;
        for (size_t taken = 0; it != games_.ByKey().end() && taken < kListChunk; ++it, ++taken) {
          AppendWireLine(wire, cv3::GameItemLine({it->second.record.name, it->second.up}));
          after = it->first;
        }
        pilot.gamesListPending = it != games_.ByKey().end();
        if (pilot.gamesListPending) return true;
        AppendWireLine(wire, msg::kGamesAck);
        return false;
      });
}

void Lobby::OnVersion(Participant& session, const std::string& args) {
  auto lower = VersionIsLower(args, options_.clientVersion);
  if (!lower) {
    Ignore(session, msg::kVersion, "not a version number");
    return;
  }
  session.Send(cv3::FormatLine(msg::kVersionAck, *lower ? msg::kUpdate : msg::kOk));
}

void Lobby::OnOnline(Participant& session, const std::string&) {
  roster_.SetPresence(session.pilot, Pilot::Presence::kOnline);
  roster_.Broadcast(cv3::FormatLine(msg::kIsOn, session.pilot.name));
}

void Lobby::OnAway(Participant& session, const std::string& args) {
  if (TrimSpaces(args).empty()) {
    Warn(session, "You must enter an away message!");
    return;
  }
  if (CharacterCount(args) > options_.maxAwayLength) {
    Warn(session, "Your away message must be at most " + std::to_string(options_.maxAwayLength) +
                      " characters!");
    return;
  }
  roster_.SetPresence(session.pilot, Pilot::Presence::kAway, args);
  roster_.Broadcast(cv3::FormatLine(msg::kIsAway, session.pilot.name + ":" + args));
}

void Lobby::OnInvisible(Participant& session, const std::string&) {
  if (session.pilot.presence != Pilot::Presence::kInvisible) {
    session.pilot.hiddenSince = NowSeconds();
  }
  roster_.SetPresence(session.pilot, Pilot::Presence::kInvisible);
  session.Send(msg::kInvisibleAck);
  roster_.Broadcast(cv3::FormatLine(msg::kIsOff, session.pilot.name), &session);
}

void Lobby::OnAdminMode(Participant& session, const std::string&) {
  const AccountRecord* account = accounts_.Find(session.pilot.name);
  if (!account || !account->admin) {
    session.Log("admin mode refused (no rights)");
    Warn(session, "You do not have administrator rights!");
    return;
  }
  roster_.SetPresence(session.pilot, Pilot::Presence::kAdmin);
  session.Log("admin mode");
  roster_.Broadcast(cv3::FormatLine(msg::kIsAdmin, session.pilot.name));
}

}  // namespace lobbyd
