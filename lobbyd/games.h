// The listed games in memory (written through to the Store by the lobby): by game key, each with
// whether it is up and which connection runs it. io thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "lobbyd/records.h"
#include "lobbyd/store.h"

namespace lobbyd {

struct Game {
  GameRecord record;
  bool up = false;
  uint64_t runner = 0;  // the connection whose sign-off takes it down
};

class Games {
 public:
  // Loads the listed games, all down. Games that are not long-term are deleted: they go with
  // their hosts, and every host left with the restart. On a node of a cluster they are left
  // alone: their hosts may be on the other nodes, which tell of them. Empty text on success.
  std::string Load(Store& store, bool clustered = false);

  // By game key, sorted for the games list.
  std::map<std::string, Game>& ByKey() { return games_; }
  const std::map<std::string, Game>& ByKey() const { return games_; }
  Game* Find(std::string_view name);
  // A game up at the address (in any letter case), other than `except`.
  Game* RunningAt(std::string_view address, const Game* except);
  // The keys of the games the account (by name key) owns.
  std::vector<std::string> OwnedBy(const std::string& ownerKey) const;

 private:
  std::map<std::string, Game> games_;
};

}  // namespace lobbyd
