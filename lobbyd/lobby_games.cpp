// The game registry: hosting, details, resuming and removing, and games going down with their
// hosts.
#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/text_helpers.h"

namespace lobbyd {
namespace {

// The fifteen fields of "HOSTGAME:" and "RESUMEGAME:". Nothing when some are missing.
std::optional<GameRecord> ParseGame(const std::string& args) {
  auto fields = SplitFields(args, 15);
  if (!fields) return std::nullopt;
  GameRecord game;
  game.name = (*fields)[0];
  game.address = (*fields)[1];
  game.version = (*fields)[2];
  game.announce = (*fields)[3];
  for (size_t i = 0; i < game.settings.size(); ++i) game.settings[i] = (*fields)[4 + i] == "1";
  game.description = (*fields)[14];
  return game;
}

// The address check the client makes before hosting; empty text when it passes.
std::string AddressProblem(const std::string& address) {
  if (!cv3::IsSafeName(address) || HasControlCharacters(address)) {
    return "One of your fields contains disallowed punctuation or letters!";
  }
  if (address.empty()) return "You must have an IP address for your server!";
  return {};
}

// Key lines of a game's details; `full` adds the host, state and players of "GAMEINFO_ACK".
std::vector<std::string> DetailLines(const GameRecord& game, bool up, std::string_view reply,
                                     bool full) {
  std::string prefix = std::string(reply) + ":";
  std::vector<std::string> lines;
  if (full) lines.push_back(prefix + "HOSTPLAYER:" + game.owner);
  lines.push_back(prefix + "GAMENAME:" + game.name);
  lines.push_back(prefix + "GAMEADDRESS:" + game.address);
  lines.push_back(prefix + "SKYRENDVER:" + game.version);
  lines.push_back(prefix + "GAMEDES:" + game.description);
  lines.push_back(prefix + "PLAYERANNOUNCE:" + game.announce);
  for (size_t i = 0; i < game.settings.size(); ++i) {
    std::string value = i == kLongTermSetting ? (game.settings[i] ? "long" : "short")
                                              : (game.settings[i] ? "1" : "0");
    lines.push_back(prefix + kGameSettingKeys[i] + ":" + value);
  }
  if (full) {
    lines.push_back(prefix + "GAMESTATE:" + (up ? "up" : "down"));
    // The server knows of no one but the host: players join the game, not the lobby.
    lines.push_back(prefix + "PLAYERS:" + game.owner + ":");
  }
  return lines;
}

}  // namespace

bool Lobby::MayManage(const Session& session, const Game& game) const {
  return NameKey(game.record.owner) == session.pilot.key ||
         session.pilot.presence == Pilot::Presence::kAdmin;
}

Lobby::Game* Lobby::RunningGameAt(std::string_view address, const Game* except) {
  for (auto& [key, game] : games_) {
    if (&game != except && game.up && cv3::SameName(game.record.address, address)) return &game;
  }
  return nullptr;
}

void Lobby::OnHostGame(Session& session, const std::string& args) {
  auto parsed = ParseGame(args);
  if (!parsed) {
    Ignore(session, msg::kHostGame, "missing fields");
    return;
  }
  GameRecord& record = *parsed;
  if (!cv3::IsSafeText(record.name) || HasControlCharacters(record.name)) {
    Warn(session, "One of your fields contains disallowed punctuation or letters!");
    return;
  }
  if (auto problem = AddressProblem(record.address); !problem.empty()) {
    Warn(session, problem);
    return;
  }
  if (TrimSpaces(record.name).empty()) {
    Warn(session, "You must enter a name for your game!");
    return;
  }
  if (FindGame(record.name)) {
    session.Send(cv3::FormatLine(msg::kHostGameAck, msg::kDupName));
    return;
  }
  if (RunningGameAt(record.address, nullptr)) {
    session.Send(cv3::FormatLine(msg::kHostGameAck, msg::kDupAddy));
    return;
  }
  record.owner = session.pilot.name;
  std::string name = record.name;
  PersistGame(record);
  games_[GameKey(name)] = Game{std::move(record), true, session.Id()};
  session.Log("hosted game " + EventLog::Escape(name, 40));
  session.Send(cv3::FormatLine(msg::kHostGameAck, msg::kOk));
  Broadcast(cv3::FormatLine(msg::kGameUp, name));
}

void Lobby::OnGameInfo(Session& session, const std::string& args) {
  const Game* game = FindGame(args);
  if (!game) {
    Warn(session, "There is no game named " + args + "!");
    return;
  }
  auto lines = DetailLines(game->record, game->up, "GAMEINFO_ACK", true);
  lines.push_back("GAMEINFO_ACK:OK");
  session.SendLines(lines);
}

void Lobby::OnResumeInfo(Session& session, const std::string& args) {
  const Game* game = FindGame(args);
  if (!game) {
    Warn(session, "There is no game named " + args + "!");
    return;
  }
  if (!MayManage(session, *game)) {
    session.Send(cv3::FormatLine(msg::kResumeInfoAck, msg::kNoAccess));
    return;
  }
  std::vector<std::string> lines = {"RESUMEINFO_ACK:OK"};
  for (auto& line : DetailLines(game->record, game->up, "RESUMEINFO_ACK", false)) {
    lines.push_back(std::move(line));
  }
  lines.push_back("RESUMEINFO_ACK:DONE");
  session.SendLines(lines);
}

void Lobby::OnResumeGame(Session& session, const std::string& args) {
  auto parsed = ParseGame(args);
  if (!parsed) {
    Ignore(session, msg::kResumeGame, "missing fields");
    return;
  }
  Game* game = FindGame(parsed->name);
  if (!game) {
    Warn(session, "There is no game named " + parsed->name + "!");
    return;
  }
  if (!MayManage(session, *game)) {
    Warn(session, "You're not permitted to resume other players games!");
    return;
  }
  if (game->up && game->runner != session.Id()) {
    Warn(session, "You cannot resume games that are already online!");
    return;
  }
  if (auto problem = AddressProblem(parsed->address); !problem.empty()) {
    Warn(session, problem);
    return;
  }
  if (RunningGameAt(parsed->address, game)) {
    Warn(session, "A hosted game with that Internet address already exists!");
    return;
  }
  // The name and owner stay; the settings are the resumed ones.
  parsed->name = game->record.name;
  parsed->owner = game->record.owner;
  game->record = std::move(*parsed);
  game->up = true;
  game->runner = session.Id();
  PersistGame(game->record);
  session.Log("resumed game " + EventLog::Escape(game->record.name, 40));
  session.Send(cv3::FormatLine(msg::kResumeGameAck, msg::kOk));
  Broadcast(cv3::FormatLine(msg::kGameUp, game->record.name));
}

void Lobby::OnRemGame(Session& session, const std::string& args) {
  Game* game = FindGame(args);
  if (!game) {
    Warn(session, "There is no game named " + args + "!");
    return;
  }
  if (!MayManage(session, *game)) {
    Warn(session, "You're not permitted to remove other players games!");
    return;
  }
  session.Log("removed game " + EventLog::Escape(game->record.name, 40));
  RemoveGame(GameKey(game->record.name));
}

void Lobby::RemoveGame(const std::string& key) {
  auto it = games_.find(key);
  if (it == games_.end()) return;
  std::string name = it->second.record.name;
  if (auto error = store_.DeleteGame(name); !error.empty()) log_.Server("database: " + error);
  games_.erase(it);
  Broadcast(cv3::FormatLine(msg::kGameRem, name));
}

void Lobby::TakeDownGamesOf(Session& session) {
  std::vector<std::string> removed;
  for (auto& [key, game] : games_) {
    if (!game.up || game.runner != session.Id()) continue;
    if (!game.record.LongTerm()) {
      removed.push_back(key);
      continue;
    }
    game.up = false;
    game.runner = 0;
    Broadcast(cv3::FormatLine(msg::kGameDown, game.record.name));
  }
  for (const auto& key : removed) RemoveGame(key);
}

void Lobby::RemoveGamesOwnedBy(const std::string& ownerKey) {
  std::vector<std::string> owned;
  for (const auto& [key, game] : games_) {
    if (NameKey(game.record.owner) == ownerKey) owned.push_back(key);
  }
  for (const auto& key : owned) RemoveGame(key);
}

}  // namespace lobbyd
