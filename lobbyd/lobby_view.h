// The lobby as anyone may see it from outside, taken on the io thread and read by the web side
// on its own threads: the pilots a signed-in pilot would see online (never the invisible ones)
// and the listed games, plus the figures the operator's metrics report.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace lobbyd {

struct LobbyView {
  struct PilotEntry {
    enum class Kind { kOnline, kAway, kAdmin };
    std::string name;
    Kind kind = Kind::kOnline;
    std::string away;  // the away text, for kAway
    bool operator==(const PilotEntry&) const = default;
  };
  struct GameEntry {
    std::string name;
    bool up = false;
    std::string host;  // empty when the host is invisible
    std::vector<std::string> players;
    bool operator==(const GameEntry&) const = default;
  };

  std::vector<PilotEntry> pilots;  // by name, as the lobby sorts them
  std::vector<GameEntry> games;    // by name

  // For the metrics only; what the page shows is the two lists.
  size_t connections = 0;
  size_t invisible = 0;
  size_t passwordChecksQueued = 0;

  size_t GamesUp() const {
    return std::count_if(games.begin(), games.end(), [](const GameEntry& g) { return g.up; });
  }

  bool SameLobby(const LobbyView& other) const {
    return pilots == other.pilots && games == other.games;
  }
};

}  // namespace lobbyd
