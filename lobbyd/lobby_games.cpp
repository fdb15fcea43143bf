// The game registry: hosting, details, resuming and removing, and games going down with their
// hosts.
#include <algorithm>

#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/game_messages.h"
#include "protocol/text_helpers.h"

namespace lobbyd {
namespace {

// The address check the client makes before hosting; empty text when it passes.
std::string AddressProblem(const std::string& address) {
  if (!cv3::IsSafeName(address) || HasHiddenCharacters(address)) {
    return "One of your fields contains disallowed punctuation or letters!";
  }
  if (address.empty()) return "You must have an IP address for your server!";
  return {};
}

constexpr std::string_view kGameNotStored =
    "The server could not store your game now; please try again later.";

}  // namespace

std::string Lobby::TooLong(const cv3::HostedGame& game) const {
  auto over = [](std::string_view text, unsigned limit) { return CharacterCount(text) > limit; };
  if (over(game.name, options_.maxGameNameLength)) {
    return "Your game's name must be at most " + std::to_string(options_.maxGameNameLength) +
           " characters!";
  }
  if (over(game.address, options_.maxAddressLength) || over(game.version, kGameShortFieldLength) ||
      over(game.announcement, kGameShortFieldLength)) {
    return "One of your game's fields is too long!";
  }
  if (over(game.description, options_.maxDescriptionLength)) {
    return "Your game's description must be at most " +
           std::to_string(options_.maxDescriptionLength) + " characters!";
  }
  return {};
}

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
  auto parsed = cv3::ParseHostedGame(args);
  if (!parsed) {
    Ignore(session, msg::kHostGame, "missing fields");
    return;
  }
  GameRecord record{std::move(*parsed), session.pilot.name};
  if (!cv3::IsSafeText(record.name) || HasHiddenCharacters(record.name)) {
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
  if (auto problem = TooLong(record); !problem.empty()) {
    Warn(session, problem);
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
  size_t listed = std::count_if(games_.begin(), games_.end(), [&](const auto& entry) {
    return NameKey(entry.second.record.owner) == session.pilot.key;
  });
  if (listed >= options_.gamesPerAccount) {
    Warn(session, "You already have " + std::to_string(listed) +
                      " games listed; remove one before hosting another!");
    return;
  }
  // Listed at once, so the name and address are taken; announced once stored.
  std::string key = GameKey(record.name);
  games_[key] = Game{record, true, session.Id()};
  session.Pause();
  SaveGame(&session, record, [this, key](Session* asker, bool stored) {
    auto it = games_.find(key);
    if (!stored && it != games_.end()) games_.erase(it);
    if (!asker) return;
    if (!stored) {
      Warn(*asker, kGameNotStored);
    } else if (it != games_.end()) {
      asker->Log("hosted game " + EventLog::Escape(it->second.record.name, 40));
      asker->Send(cv3::FormatLine(msg::kHostGameAck, msg::kOk));
      Broadcast(cv3::FormatLine(msg::kGameUp, it->second.record.name));
    }
    asker->Resume();
  });
}

void Lobby::OnGameInfo(Session& session, const std::string& args) {
  const Game* game = FindGame(args);
  if (!game) {
    Warn(session, "There is no game named " + args + "!");
    return;
  }
  // The server knows of no one but the host: players join the game, not the lobby.
  const GameRecord& record = game->record;
  session.SendLines(cv3::GameInfoAckLines({record.owner, record, game->up, {record.owner}}));
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
  session.SendLines(cv3::ResumeInfoAckLines(game->record));
}

void Lobby::OnResumeGame(Session& session, const std::string& args) {
  auto parsed = cv3::ParseHostedGame(args);
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
  parsed->name = game->record.name;  // the stored name: not the sender's spelling
  if (auto problem = TooLong(*parsed); !problem.empty()) {
    Warn(session, problem);
    return;
  }
  if (RunningGameAt(parsed->address, game)) {
    Warn(session, "A hosted game with that Internet address already exists!");
    return;
  }
  // The name and owner stay; the settings are the resumed ones, and up once stored.
  GameRecord resumed = game->record;
  static_cast<cv3::HostedGame&>(resumed) = std::move(*parsed);
  session.Pause();
  SaveGame(&session, resumed,
           [this, key = GameKey(resumed.name), resumed](Session* asker, bool stored) {
             auto it = games_.find(key);
             if (stored && it != games_.end() && asker) {
               it->second.record = resumed;
               it->second.up = true;
               it->second.runner = asker->Id();
               asker->Log("resumed game " + EventLog::Escape(resumed.name, 40));
               asker->Send(cv3::FormatLine(msg::kResumeGameAck, msg::kOk));
               Broadcast(cv3::FormatLine(msg::kGameUp, resumed.name));
             } else if (stored && it != games_.end()) {
               it->second.record = resumed;  // stored, though its host has gone meanwhile
             }
             if (!asker) return;
             if (!stored) Warn(*asker, kGameNotStored);
             asker->Resume();
           });
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
  // A delete that fails is logged: the game is then listed again after a restart, nothing lost.
  Write(nullptr, [name](Store& store) { return store.DeleteGame(name); });
  games_.erase(it);
  Broadcast(cv3::FormatLine(msg::kGameRem, name));
}

void Lobby::TakeDownGamesOf(Session& session) {
  std::vector<std::string> removed;
  for (auto& [key, game] : games_) {
    if (!game.up || game.runner != session.Id()) continue;
    if (!game.record.longTerm) {
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
