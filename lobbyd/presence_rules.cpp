#include "lobbyd/presence_rules.h"

#include "lobbyd/text.h"
#include "protocol/session_messages.h"

namespace lobbyd {

void PresenceRules::Register(CommandTable& commands) {
  using When = CommandTable::When;
  using Limit = CommandTable::Limit;
  // A list refused still ends: the client loads the next one when it has its end.
  auto list = [](std::string_view end) {
    return Limit{FloodKind::kLists, cv3::FormatLine(end, msg::kFailed)};
  };
  const Limit status{
      FloodKind::kChanges,
      LobbyContext::WarningLine("Your status was not changed; please try again in a moment.")};
  commands.Add(msg::kUsers, When::kSignedIn, this, &PresenceRules::OnUsers, list(msg::kUsersAck));
  commands.Add(msg::kGames, When::kSignedIn, this, &PresenceRules::OnGames, list(msg::kGamesAck));
  commands.Add(msg::kVersion, When::kSignedIn, this, &PresenceRules::OnVersion);
  commands.Add(msg::kOnline, When::kSignedIn, this, &PresenceRules::OnOnline, status);
  commands.Add(msg::kAway, When::kSignedIn, this, &PresenceRules::OnAway, status);
  commands.Add(msg::kInvisible, When::kSignedIn, this, &PresenceRules::OnInvisible, status);
  commands.Add(msg::kAdminMode, When::kSignedIn, this, &PresenceRules::OnAdminMode, status);
}

bool PresenceRules::ListAllowed(bool& pending) {
  // The list on its way is built from the lobby as it is when each part goes, and what changes
  // meanwhile is told after it: it answers a second request as well as a new list would.
  if (pending) return false;
  pending = true;
  return true;
}

void PresenceRules::OnUsers(Participant& session, const std::string&) {
  Pilot& pilot = session.pilot;
  if (!ListAllowed(pilot.usersListPending)) return;
  // The producer goes with the session, so the pilot it points to is there when it runs.
  session.SendStream(
      [this, &pilot, after = std::string(), started = false](std::string& wire) mutable {
        bool more = lobby_.roster.NextListChunk(pilot.key, after, started, wire);
        started = true;
        pilot.usersListPending = more;
        return more;
      });
}

void PresenceRules::OnGames(Participant& session, const std::string&) {
  Pilot& pilot = session.pilot;
  if (!ListAllowed(pilot.gamesListPending)) return;
  // Going on after the last game given, so games added or removed meanwhile neither stall nor
  // break the list.
  session.SendStream([this, &pilot, after = std::string(),
                      started = false](std::string& wire) mutable {
    auto it = started ? lobby_.games.ByKey().upper_bound(after) : lobby_.games.ByKey().begin();
    started = true;
    for (size_t taken = 0; it != lobby_.games.ByKey().end() && taken < kListChunk; ++it, ++taken) {
      AppendWireLine(wire, cv3::GameItemLine({it->second.record.name, it->second.up}));
      after = it->first;
    }
    pilot.gamesListPending = it != lobby_.games.ByKey().end();
    if (pilot.gamesListPending) return true;
    AppendWireLine(wire, msg::kGamesAck);
    return false;
  });
}

void PresenceRules::OnVersion(Participant& session, const std::string& args) {
  auto lower = VersionIsLower(args, lobby_.options.clientVersion);
  if (!lower) {
    lobby_.Ignore(session, msg::kVersion, "not a version number");
    return;
  }
  session.Send(cv3::FormatLine(msg::kVersionAck, *lower ? msg::kUpdate : msg::kOk));
}

void PresenceRules::OnOnline(Participant& session, const std::string&) {
  lobby_.roster.SetPresence(session.pilot, Pilot::Presence::kOnline);
  lobby_.TellPresence(session);
}

void PresenceRules::OnAway(Participant& session, const std::string& args) {
  if (TrimSpaces(args).empty()) {
    lobby_.Warn(session, "You must enter an away message!");
    return;
  }
  if (CharacterCount(args) > lobby_.options.maxAwayLength) {
    lobby_.Warn(session, "Your away message must be at most " +
                             std::to_string(lobby_.options.maxAwayLength) + " characters!");
    return;
  }
  lobby_.roster.SetPresence(session.pilot, Pilot::Presence::kAway, args);
  lobby_.TellPresence(session);
}

void PresenceRules::OnInvisible(Participant& session, const std::string&) {
  if (session.pilot.presence != Pilot::Presence::kInvisible) {
    session.pilot.hiddenSince = lobby_.NowSeconds();
  }
  lobby_.roster.SetPresence(session.pilot, Pilot::Presence::kInvisible);
  session.Send(msg::kInvisibleAck);
  lobby_.TellPresence(session);
}

void PresenceRules::OnAdminMode(Participant& session, const std::string&) {
  const AccountRecord* account = lobby_.accounts.Find(session.pilot.name);
  if (!account || !account->admin) {
    session.Log("admin mode refused (no rights)");
    lobby_.Warn(session, "You do not have administrator rights!");
    return;
  }
  lobby_.roster.SetPresence(session.pilot, Pilot::Presence::kAdmin);
  session.Log("admin mode");
  lobby_.TellPresence(session);
}

}  // namespace lobbyd
