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

bool Lobby::MayManage(const Participant& session, const Game& game) const {
  return NameKey(game.record.owner) == session.pilot.key ||
         session.pilot.presence == Pilot::Presence::kAdmin;
}

void Lobby::OnHostGame(Participant& session, const std::string& args) {
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
  if (games_.Find(record.name)) {
    session.Send(cv3::FormatLine(msg::kHostGameAck, msg::kDupName));
    return;
  }
  if (games_.RunningAt(record.address, nullptr)) {
    session.Send(cv3::FormatLine(msg::kHostGameAck, msg::kDupAddy));
    return;
  }
  size_t listed = games_.OwnedBy(session.pilot.key).size();
  if (listed >= options_.gamesPerAccount) {
    Warn(session, "You already have " + std::to_string(listed) +
                      " games listed; remove one before hosting another!");
    return;
  }
  // Listed at once, so the name and address are taken; announced once stored.
  std::string key = GameKey(record.name);
  games_.ByKey()[key] = Game{record, true, session.Id()};
  session.Pause();
  SaveGame(&session, record, [this, key](Participant* asker, bool stored) {
    auto it = games_.ByKey().find(key);
    if (!stored && it != games_.ByKey().end()) games_.ByKey().erase(it);
    if (!asker) return;
    if (!stored) {
      Warn(*asker, kGameNotStored);
    } else if (it != games_.ByKey().end()) {
      asker->Log("hosted game " + EventLog::Escape(it->second.record.name, 40));
      asker->Send(cv3::FormatLine(msg::kHostGameAck, msg::kOk));
      roster_.Broadcast(cv3::FormatLine(msg::kGameUp, it->second.record.name));
    }
    asker->Resume();
  });
}

void Lobby::OnGameInfo(Participant& session, const std::string& args) {
  const Game* game = games_.Find(args);
  if (!game) {
    Warn(session, "There is no game named " + args + "!");
    return;
  }
  // The server knows of no one but the host: players join the game, not the lobby.
  const GameRecord& record = game->record;
  session.SendLines(cv3::GameInfoAckLines({record.owner, record, game->up, {record.owner}}));
}

void Lobby::OnResumeInfo(Participant& session, const std::string& args) {
  const Game* game = games_.Find(args);
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

void Lobby::OnResumeGame(Participant& session, const std::string& args) {
  auto parsed = cv3::ParseHostedGame(args);
  if (!parsed) {
    Ignore(session, msg::kResumeGame, "missing fields");
    return;
  }
  Game* game = games_.Find(parsed->name);
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
  if (games_.RunningAt(parsed->address, game)) {
    Warn(session, "A hosted game with that Internet address already exists!");
    return;
  }
  // The name and owner stay; the settings are the resumed ones, and up once stored.
  GameRecord resumed = game->record;
  static_cast<cv3::HostedGame&>(resumed) = std::move(*parsed);
  session.Pause();
  SaveGame(&session, resumed,
           [this, key = GameKey(resumed.name), resumed](Participant* asker, bool stored) {
             auto it = games_.ByKey().find(key);
             if (stored && it != games_.ByKey().end() && asker) {
               it->second.record = resumed;
               it->second.up = true;
               it->second.runner = asker->Id();
               asker->Log("resumed game " + EventLog::Escape(resumed.name, 40));
               asker->Send(cv3::FormatLine(msg::kResumeGameAck, msg::kOk));
               roster_.Broadcast(cv3::FormatLine(msg::kGameUp, resumed.name));
             } else if (stored && it != games_.ByKey().end()) {
               it->second.record = resumed;  // stored, though its host has gone meanwhile
             }
             if (!asker) return;
             if (!stored) Warn(*asker, kGameNotStored);
             asker->Resume();
           });
}

void Lobby::OnRemGame(Participant& session, const std::string& args) {
  Game* game = games_.Find(args);
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
  auto it = games_.ByKey().find(key);
  if (it == games_.ByKey().end()) return;
  std::string name = it->second.record.name;
  // A delete that fails is logged: the game is then listed again after a restart, nothing lost.
  Write(nullptr, [name](Store& store) { return store.DeleteGame(name); });
  games_.ByKey().erase(it);
  roster_.Broadcast(cv3::FormatLine(msg::kGameRem, name));
}

void Lobby::TakeDownGamesOf(Participant& session) {
  std::vector<std::string> removed;
  for (auto& [key, game] : games_.ByKey()) {
    if (!game.up || game.runner != session.Id()) continue;
    if (!game.record.longTerm) {
      removed.push_back(key);
      continue;
    }
    game.up = false;
    game.runner = 0;
    roster_.Broadcast(cv3::FormatLine(msg::kGameDown, game.record.name));
  }
  for (const auto& key : removed) RemoveGame(key);
}

void Lobby::RemoveGamesOwnedBy(const std::string& ownerKey) {
  for (const auto& key : games_.OwnedBy(ownerKey)) RemoveGame(key);
}

}  // namespace lobbyd
