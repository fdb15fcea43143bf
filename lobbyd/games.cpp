#include "lobbyd/games.h"

#include "lobbyd/text.h"
#include "protocol/text_helpers.h"

namespace lobbyd {

std::string Games::Load(Store& store, bool clustered) {
  std::vector<GameRecord> games;
  if (auto error = store.LoadGames(games); !error.empty()) return error;
  for (auto& game : games) {
    if (!game.longTerm) {
      if (clustered) continue;
      if (auto error = store.DeleteGame(game.name); !error.empty()) return error;
      continue;
    }
    std::string key = GameKey(game.name);
    games_.emplace(std::move(key), Game{std::move(game), false, 0});
  }
  return {};
}

Game* Games::Find(std::string_view name) {
  auto it = games_.find(GameKey(name));
  return it == games_.end() ? nullptr : &it->second;
}

Game* Games::RunningAt(std::string_view address, const Game* except) {
  for (auto& [key, game] : games_) {
    if (&game != except && game.up && cv3::SameName(game.record.address, address)) return &game;
  }
  return nullptr;
}

std::vector<std::string> Games::OwnedBy(const std::string& ownerKey) const {
  std::vector<std::string> owned;
  for (const auto& [key, game] : games_) {
    if (NameKey(game.record.owner) == ownerKey) owned.push_back(key);
  }
  return owned;
}

}  // namespace lobbyd
