#include "lobbyd/store.h"

#include "lobbyd/pg_store.h"

namespace lobbyd {

std::unique_ptr<Store> OpenStore(const StoreLocation& location, std::string& error) {
  return location.engine == StoreLocation::Engine::kPostgres
             ? OpenPostgresStore(location.where, error)
             : OpenSqliteStore(location.where, error);
}

std::string GameSettingsText(const GameRecord& game) {
  std::string text;
  for (const auto& box : cv3::kGameCheckBoxes) text.push_back(game.*box.value ? '1' : '0');
  return text;
}

void SetGameSettings(GameRecord& game, const std::string& text) {
  for (size_t i = 0; i < cv3::kGameCheckBoxes.size(); ++i) {
    game.*cv3::kGameCheckBoxes[i].value = i < text.size() && text[i] == '1';
  }
}

}  // namespace lobbyd
