#include "lobbyd/game_rules.h"

#include <algorithm>

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

void GameRules::Register(CommandTable& commands) {
  using When = CommandTable::When;
  auto change = [](std::string_view refusal) {
    return CommandTable::Limit{FloodKind::kChanges, LobbyContext::WarningLine(refusal)};
  };
  commands.Add(msg::kHostGame, When::kSignedIn, this, &GameRules::OnHostGame,
               change("Your game was not hosted; please try again in a moment."));
  commands.Add(msg::kGameInfo, When::kSignedIn, this, &GameRules::OnGameInfo);
  commands.Add(msg::kResumeInfo, When::kSignedIn, this, &GameRules::OnResumeInfo);
  commands.Add(msg::kResumeGame, When::kSignedIn, this, &GameRules::OnResumeGame,
               change("Your game was not resumed; please try again in a moment."));
  commands.Add(msg::kRemGame, When::kSignedIn, this, &GameRules::OnRemGame,
               change("The game was not removed; please try again in a moment."));
}

std::string GameRules::TooLong(const cv3::HostedGame& game) const {
  auto over = [](std::string_view text, unsigned limit) { return CharacterCount(text) > limit; };
  if (over(game.name, lobby_.options.maxGameNameLength)) {
    return "Your game's name must be at most " + std::to_string(lobby_.options.maxGameNameLength) +
           " characters!";
  }
  if (over(game.address, lobby_.options.maxAddressLength) ||
      over(game.version, kGameShortFieldLength) || over(game.announcement, kGameShortFieldLength)) {
    return "One of your game's fields is too long!";
  }
  if (over(game.description, lobby_.options.maxDescriptionLength)) {
    return "Your game's description must be at most " +
           std::to_string(lobby_.options.maxDescriptionLength) + " characters!";
  }
  return {};
}

bool GameRules::MayManage(const Participant& session, const Game& game) const {
  return NameKey(game.record.owner) == session.pilot.key ||
         session.pilot.presence == Pilot::Presence::kAdmin;
}

void GameRules::OnHostGame(Participant& session, const std::string& args) {
  auto parsed = cv3::ParseHostedGame(args);
  if (!parsed) {
    lobby_.Ignore(session, msg::kHostGame, "missing fields");
    return;
  }
  GameRecord record{std::move(*parsed), session.pilot.name};
  if (!cv3::IsSafeText(record.name) || HasHiddenCharacters(record.name)) {
    lobby_.Warn(session, "One of your fields contains disallowed punctuation or letters!");
    return;
  }
  if (auto problem = AddressProblem(record.address); !problem.empty()) {
    lobby_.Warn(session, problem);
    return;
  }
  if (TrimSpaces(record.name).empty()) {
    lobby_.Warn(session, "You must enter a name for your game!");
    return;
  }
  if (auto problem = TooLong(record); !problem.empty()) {
    lobby_.Warn(session, problem);
    return;
  }
  if (lobby_.games.Find(record.name)) {
    session.Send(cv3::FormatLine(msg::kHostGameAck, msg::kDupName));
    return;
  }
  if (lobby_.games.RunningAt(record.address, nullptr)) {
    session.Send(cv3::FormatLine(msg::kHostGameAck, msg::kDupAddy));
    return;
  }
  size_t listed = lobby_.games.OwnedBy(session.pilot.key).size();
  if (listed >= lobby_.options.gamesPerAccount) {
    lobby_.Warn(session, "You already have " + std::to_string(listed) +
                             " games listed; remove one before hosting another!");
    return;
  }
  // Listed at once, so the name and address are taken; announced once stored.
  std::string key = GameKey(record.name);
  lobby_.games.ByKey()[key] = Game{record, true, session.Id()};
  session.Pause();
  lobby_.SaveGame(&session, record, [this, key](Participant* asker, bool stored) {
    auto it = lobby_.games.ByKey().find(key);
    if (!stored && it != lobby_.games.ByKey().end()) lobby_.games.ByKey().erase(it);
    if (!asker) return;
    if (!stored) {
      lobby_.Warn(*asker, kGameNotStored);
    } else if (it != lobby_.games.ByKey().end()) {
      asker->Log("hosted game " + EventLog::Escape(it->second.record.name, 40));
      asker->Send(cv3::FormatLine(msg::kHostGameAck, msg::kOk));
      lobby_.GameUp(*asker, it->second);
    }
    asker->Resume();
  });
}

void GameRules::OnGameInfo(Participant& session, const std::string& args) {
  const Game* game = lobby_.games.Find(args);
  if (!game) {
    lobby_.Warn(session, "There is no game named " + args + "!");
    return;
  }
  // The server knows of no one but the host: players join the game, not the lobby.
  const GameRecord& record = game->record;
  session.SendLines(cv3::GameInfoAckLines({record.owner, record, game->up, {record.owner}}));
}

void GameRules::OnResumeInfo(Participant& session, const std::string& args) {
  const Game* game = lobby_.games.Find(args);
  if (!game) {
    lobby_.Warn(session, "There is no game named " + args + "!");
    return;
  }
  if (!MayManage(session, *game)) {
    session.Send(cv3::FormatLine(msg::kResumeInfoAck, msg::kNoAccess));
    return;
  }
  session.SendLines(cv3::ResumeInfoAckLines(game->record));
}

void GameRules::OnResumeGame(Participant& session, const std::string& args) {
  auto parsed = cv3::ParseHostedGame(args);
  if (!parsed) {
    lobby_.Ignore(session, msg::kResumeGame, "missing fields");
    return;
  }
  Game* game = lobby_.games.Find(parsed->name);
  if (!game) {
    lobby_.Warn(session, "There is no game named " + parsed->name + "!");
    return;
  }
  if (!MayManage(session, *game)) {
    lobby_.Warn(session, "You're not permitted to resume other players games!");
    return;
  }
  if (game->up && game->runner != session.Id()) {
    lobby_.Warn(session, "You cannot resume games that are already online!");
    return;
  }
  if (auto problem = AddressProblem(parsed->address); !problem.empty()) {
    lobby_.Warn(session, problem);
    return;
  }
  parsed->name = game->record.name;  // the stored name: not the sender's spelling
  if (auto problem = TooLong(*parsed); !problem.empty()) {
    lobby_.Warn(session, problem);
    return;
  }
  if (lobby_.games.RunningAt(parsed->address, game)) {
    lobby_.Warn(session, "A hosted game with that Internet address already exists!");
    return;
  }
  // The name and owner stay; the settings are the resumed ones, and up once stored.
  GameRecord resumed = game->record;
  static_cast<cv3::HostedGame&>(resumed) = std::move(*parsed);
  session.Pause();
  lobby_.SaveGame(&session, resumed,
                  [this, key = GameKey(resumed.name), resumed](Participant* asker, bool stored) {
                    auto it = lobby_.games.ByKey().find(key);
                    if (stored && it != lobby_.games.ByKey().end() && asker) {
                      it->second.record = resumed;
                      it->second.up = true;
                      it->second.runner = asker->Id();
                      asker->Log("resumed game " + EventLog::Escape(resumed.name, 40));
                      asker->Send(cv3::FormatLine(msg::kResumeGameAck, msg::kOk));
                      lobby_.GameUp(*asker, it->second);
                    } else if (stored && it != lobby_.games.ByKey().end()) {
                      it->second.record = resumed;  // stored, though its host has gone meanwhile
                    }
                    if (!asker) return;
                    if (!stored) lobby_.Warn(*asker, kGameNotStored);
                    asker->Resume();
                  });
}

void GameRules::OnRemGame(Participant& session, const std::string& args) {
  Game* game = lobby_.games.Find(args);
  if (!game) {
    lobby_.Warn(session, "There is no game named " + args + "!");
    return;
  }
  if (!MayManage(session, *game)) {
    lobby_.Warn(session, "You're not permitted to remove other players games!");
    return;
  }
  session.Log("removed game " + EventLog::Escape(game->record.name, 40));
  lobby_.RemoveGame(GameKey(game->record.name));
}

}  // namespace lobbyd
