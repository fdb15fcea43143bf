#include "protocol/game_messages.h"

#include "protocol/catalogue.h"
#include "protocol/text_helpers.h"
#include "protocol/wire.h"

namespace cv3 {
namespace {

constexpr size_t kFieldCount = 15;

bool IsLongTerm(const GameCheckBox& box) { return box.value == &HostedGame::longTerm; }

std::string FieldsOf(const HostedGame& game) {
  std::string fields =
      game.name + ":" + game.address + ":" + game.version + ":" + game.announcement;
  for (const auto& box : kGameCheckBoxes) fields += game.*box.value ? ":1" : ":0";
  return fields + ":" + game.description;
}

// The lines of a keyed reply: reply ":" key ":" value, and reply ":" a result word.
class KeyLines {
 public:
  explicit KeyLines(std::string_view reply) : reply_(reply) {}
  void Add(std::string_view key, std::string_view value) {
    lines_.push_back(FormatLine(reply_, std::string(key) + ":" + std::string(value)));
  }
  void AddResult(std::string_view word) { lines_.push_back(FormatLine(reply_, word)); }
  // The keys of the stored settings, in the order the server sends them.
  void AddSettings(const HostedGame& game) {
    Add(kGameNameKey, game.name);
    Add(kGameAddressKey, game.address);
    Add(kSkyrendVerKey, game.version);
    Add(kGameDesKey, game.description);
    Add(kPlayerAnnounceKey, game.announcement);
    for (const auto& box : kGameCheckBoxes) {
      bool on = game.*box.value;
      Add(box.key, IsLongTerm(box) ? (on ? msg::kTermLong : msg::kTermShort) : (on ? "1" : "0"));
    }
  }
  std::vector<std::string> Take() { return std::move(lines_); }

 private:
  std::string_view reply_;
  std::vector<std::string> lines_;
};

bool ApplySetting(HostedGame& game, std::string_view key, const std::string& value) {
  if (key == kGameNameKey) {
    game.name = value;
  } else if (key == kGameAddressKey) {
    game.address = value;
  } else if (key == kSkyrendVerKey) {
    game.version = value;
  } else if (key == kGameDesKey) {
    game.description += value;
  } else if (key == kPlayerAnnounceKey) {
    game.announcement = value;
  } else {
    for (const auto& box : kGameCheckBoxes) {
      if (key != box.key) continue;
      game.*box.value = IsLongTerm(box) ? value == msg::kTermLong : value == "1";
      return true;
    }
    return false;
  }
  return true;
}

// Names each followed by ":"; a last name without its ":" counts too.
void AddPlayers(std::vector<std::string>& players, std::string_view value) {
  while (!value.empty()) {
    size_t colon = value.find(':');
    players.emplace_back(value.substr(0, colon));
    value = colon == std::string_view::npos ? std::string_view() : value.substr(colon + 1);
  }
}

}  // namespace

std::string HostGameCommand(const HostedGame& game) {
  return FormatLine(msg::kHostGame, FieldsOf(game));
}

std::string ResumeGameCommand(const HostedGame& game) {
  return FormatLine(msg::kResumeGame, FieldsOf(game));
}

std::optional<HostedGame> ParseHostedGame(std::string_view args) {
  auto fields = SplitFields(args, kFieldCount);
  if (!fields) return std::nullopt;
  HostedGame game;
  game.name = (*fields)[0];
  game.address = (*fields)[1];
  game.version = (*fields)[2];
  game.announcement = (*fields)[3];
  for (size_t i = 0; i < kGameCheckBoxes.size(); ++i) {
    game.*kGameCheckBoxes[i].value = (*fields)[4 + i] == "1";
  }
  game.description = (*fields)[kFieldCount - 1];
  return game;
}

std::vector<std::string> GameInfoAckLines(const GameDetails& details) {
  KeyLines lines(msg::kGameInfoAck);
  lines.Add(kHostPlayerKey, details.hostPlayer);
  lines.AddSettings(details.game);
  lines.Add(kGameStateKey, details.up ? msg::kStateUp : msg::kStateDown);
  std::string players;
  for (const auto& player : details.players) players += player + ":";
  lines.Add(kPlayersKey, players);
  lines.AddResult(msg::kOk);
  return lines.Take();
}

std::vector<std::string> ResumeInfoAckLines(const HostedGame& game) {
  KeyLines lines(msg::kResumeInfoAck);
  lines.AddResult(msg::kOk);
  lines.AddSettings(game);
  lines.AddResult(msg::kDone);
  return lines.Take();
}

bool ApplyGameInfoLine(GameDetails& details, std::string_view args) {
  std::string key = TextBefore(args, ":");
  std::string value = TextAfter(args, ":");
  if (key == kHostPlayerKey) {
    details.hostPlayer = value;
  } else if (key == kGameStateKey) {
    if (value == msg::kStateUp) details.up = true;
  } else if (key == kPlayersKey) {
    AddPlayers(details.players, value);
  } else {
    return ApplySetting(details.game, key, value);
  }
  return true;
}

bool ApplyResumeInfoLine(HostedGame& game, std::string_view args) {
  return ApplySetting(game, TextBefore(args, ":"), TextAfter(args, ":"));
}

}  // namespace cv3
