#include "lobbyd/lobby_context.h"

#include <bitset>
#include <vector>

#include "lobbyd/node_mirror.h"
#include "protocol/wire.h"

namespace lobbyd {
namespace {

// Ignored commands logged per connection; a peer sending garbage cannot flood the log.
constexpr unsigned kIgnoredLinesLogged = 10;

// By FloodKind: what is dropped, for the log, and the warning a connection gets for a run of
// drops.
struct FloodTexts {
  std::string_view what;
  std::string_view warning;
};
constexpr FloodTexts kFloodTexts[kFloodKinds] = {
    {"chat lines", "You are sending messages too fast; some were not delivered."},
    {"changes", "You are making changes too fast; some were not made."},
    {"list requests", "You are asking for lists too fast; some were not sent."},
};

}  // namespace

void LobbyContext::SaveAccount(Participant* asker, const AccountRecord& account,
                               Store::AccountPart part, Written done) {
  if (cluster && part != Store::AccountPart::kLastOn) {
    done = [this, name = account.name, done = std::move(done)](Participant* asker, bool stored) {
      if (stored) AccountStored(name);
      if (done) done(asker, stored);
    };
  }
  Write(
      asker, [account, part](Store& store) { return store.UpdateAccount(account, part); },
      std::move(done));
}

void LobbyContext::AccountStored(const std::string& name, bool removed) {
  if (cluster) cluster->AccountStored(name, removed);
}

void LobbyContext::SaveGame(Participant* asker, const GameRecord& game, Written done) {
  Write(
      asker, [game](Store& store) { return store.PutGame(game); }, std::move(done));
}

void LobbyContext::TellPresence(Participant& session) {
  bool invisible = session.pilot.presence == Pilot::Presence::kInvisible;
  roster.Broadcast(PresenceNotice(session.pilot), invisible ? &session : nullptr);
  if (cluster) cluster->Announce(session);
}

void LobbyContext::BroadcastEverywhere(std::string_view line, Delivery delivery) {
  roster.Broadcast(line, nullptr, delivery);
  if (cluster) cluster->Broadcast(line, delivery);
}

void LobbyContext::ThrowOff(Participant& older) {
  older.Send(msg::kNothercation);
  SignOff(older, "signed off (signed on at another location)");
  older.CloseAfterFlush("closed (signed on at another location)");
}

void LobbyContext::Ignore(Participant& session, std::string_view name, std::string_view why) {
  unsigned count = ++session.pilot.ignoredLines;
  if (count > kIgnoredLinesLogged + 1) return;
  if (count == kIgnoredLinesLogged + 1) {
    session.Log("further ignored lines are not logged");
    return;
  }
  session.Log("ignored " + EventLog::Escape(name, 32) + " (" + std::string(why) + ")");
}

void LobbyContext::Warn(Participant& session, std::string_view text) {
  session.Send(WarningLine(text));
}

std::string LobbyContext::WarningLine(std::string_view text) {
  return cv3::FormatLine(msg::kWarning, text);
}

int64_t LobbyContext::NowSeconds() const {
  return std::chrono::duration_cast<std::chrono::seconds>(clock.Wall().time_since_epoch()).count();
}

bool LobbyContext::FloodAllows(Participant& session, FloodKind kind, std::string_view refusal) {
  auto now = clock.Steady();
  // The account's bucket, then the address's: each outlives the connection.
  double scale = options.connectionsPerAddress;
  bool passed =
      accountFloods_.try_emplace(session.pilot.key).first->second.Of(kind).Take(now) &&
      addressFloods_.try_emplace(session.Address(), scale).first->second.Of(kind).Take(now);
  auto index = static_cast<size_t>(kind);
  std::bitset<kFloodKinds>::reference warned = session.pilot.floodWarned[index];
  if (passed) {
    warned = false;
    return true;
  }
  Metrics::Add(metrics.noticesDropped);
  if (!warned) {
    warned = true;
    session.Log(std::string(kFloodTexts[index].what) + " dropped (flood control)");
    Warn(session, kFloodTexts[index].warning);
  }
  if (!refusal.empty()) session.Send(refusal);
  return false;
}

void LobbyContext::ForgetRestedFloods() {
  auto now = clock.Steady();
  for (auto* floods : {&accountFloods_, &addressFloods_}) {
    std::erase_if(*floods, [now](const auto& entry) { return entry.second.Rested(now); });
  }
}

void LobbyContext::RemoveGame(const std::string& key, bool tell) {
  auto it = games.ByKey().find(key);
  if (it == games.ByKey().end()) return;
  std::string name = it->second.record.name;
  // A delete that fails is logged: the game is then listed again after a restart, nothing lost.
  Write(nullptr, [name](Store& store) { return store.DeleteGame(name); });
  games.ByKey().erase(it);
  roster.Broadcast(cv3::FormatLine(msg::kGameRem, name));
  if (tell && cluster) cluster->GameRemoved(name);
}

void LobbyContext::GameUp(Participant& runner, const Game& game) {
  roster.Broadcast(cv3::FormatLine(msg::kGameUp, game.record.name));
  if (cluster) cluster->GameChanged(game, runner);
}

void LobbyContext::TakeDownGamesOf(Participant& session) {
  std::vector<std::string> run;
  for (auto& [key, game] : games.ByKey()) {
    if (game.up && game.runner == session.Id()) run.push_back(key);
  }
  TakeDownGames(run);
}

void LobbyContext::TakeDownGames(const std::vector<std::string>& keys) {
  std::vector<std::string> removed;
  for (const auto& key : keys) {
    auto it = games.ByKey().find(key);
    if (it == games.ByKey().end() || !it->second.up) continue;
    Game& game = it->second;
    if (!game.record.longTerm) {
      removed.push_back(key);
      continue;
    }
    game.up = false;
    game.runner = 0;
    roster.Broadcast(cv3::FormatLine(msg::kGameDown, game.record.name));
  }
  for (const auto& key : removed) RemoveGame(key, false);
}

void LobbyContext::RemoveGamesOwnedBy(const std::string& ownerKey) {
  for (const auto& key : games.OwnedBy(ownerKey)) RemoveGame(key);
}

}  // namespace lobbyd
