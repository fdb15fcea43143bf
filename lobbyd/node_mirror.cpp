#include "lobbyd/node_mirror.h"

#include <charconv>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

#include "lobbyd/text.h"
#include "protocol/cp1252.h"
#include "protocol/game_messages.h"
#include "protocol/text_helpers.h"
#include "protocol/wire.h"

namespace lobbyd {
namespace {

// The kinds of event the nodes tell each other (besides the link's own: heartbeats and
// snapshots). Fields are separated by newlines, which no line or name holds.
constexpr std::string_view kPilot = "pilot";      // NAME PRESENCE STAMP AWAY
constexpr std::string_view kGone = "gone";        // NAME
constexpr std::string_view kLine = "line";        // a notice, gathered
constexpr std::string_view kChat = "chat";        // a chat line, written at once
constexpr std::string_view kSend = "send";        // NODE NAME LINE: to one pilot of NODE
constexpr std::string_view kClose = "close";      // NODE NAME REASON: closes him after his lines
constexpr std::string_view kGame = "game";        // RUNNER OWNER HOSTGAME-FIELDS: up
constexpr std::string_view kGameRem = "gamerem";  // NAME
constexpr std::string_view kAccount = "account";  // NAME [removed]: stored anew, or removed
constexpr std::string_view kRemoved = "removed";

// Remote pilots' ids, apart from the local connections' (which count up from 1).
constexpr uint64_t kFirstRemoteId = uint64_t{1} << 63;

constexpr std::string_view kPresenceNames[] = {"online", "away", "invisible", "admin"};

// `count` fields at newlines, the last taking the rest; nothing when there are fewer.
std::optional<std::vector<std::string>> Fields(std::string_view payload, size_t count) {
  return cv3::SplitFields(payload, count, '\n');
}

// Moves `text` on past all of `fields` but the last (which is the rest of it).
void SkipTo(std::string_view& text, const std::vector<std::string>& fields) {
  text.remove_prefix(text.size() - fields.back().size());
}

}  // namespace

struct NodeMirror::Record {
  std::string name;
  Pilot::Presence presence = Pilot::Presence::kOnline;
  uint64_t stamp = 0;
  std::string away;

  static void Append(std::string& out, const Pilot& pilot) {
    out += pilot.name + '\n';
    out += kPresenceNames[static_cast<size_t>(pilot.presence)];
    out += '\n' + std::to_string(pilot.sessionStamp) + '\n' + pilot.awayMessage + '\n';
  }
  // The next record of `text`, consumed; nothing when it is not one.
  static std::optional<Record> Take(std::string_view& text) {
    auto fields = Fields(text, 5);
    if (!fields) return std::nullopt;
    auto& f = *fields;
    Record record{std::string(f[0]), {}, 0, std::string(f[3])};
    size_t presence = 0;
    while (presence < std::size(kPresenceNames) && kPresenceNames[presence] != f[1]) ++presence;
    auto [end, error] = std::from_chars(f[2].data(), f[2].data() + f[2].size(), record.stamp);
    if (record.name.empty() || presence == std::size(kPresenceNames) || error != std::errc() ||
        end != f[2].data() + f[2].size()) {
      return std::nullopt;
    }
    record.presence = static_cast<Pilot::Presence>(presence);
    SkipTo(text, f);
    return record;
  }
};

class NodeMirror::RemotePilot final : public Participant {
 public:
  // `node` is kept by the mirror for as long as it is.
  RemotePilot(NodeMirror& mirror, uint64_t id, const std::string& node)
      : Participant(id, "node " + node), mirror_(mirror), node_(node) {}

  const std::string& NodeName() const { return node_; }

  void Send(std::string_view line) override { mirror_.Direct(kSend, node_, pilot.name, line); }
  void SendLines(const std::vector<std::string>& lines) override {
    for (const auto& line : lines) Send(line);
  }
  void SendWire(std::string_view bytes, Delivery) override {
    while (!bytes.empty()) {
      size_t end = bytes.find("\r\n");
      if (end == std::string_view::npos) end = bytes.size();
      Send(cv3::Cp1252ToUtf8(bytes.substr(0, end)));
      bytes.remove_prefix(std::min(bytes.size(), end + 2));
    }
  }
  void SendStream(Producer more) override {
    std::string wire;
    while (more(wire)) {
    }
    SendWire(wire, Delivery::kNow);
  }
  void Pause() override {}
  void Resume() override {}
  bool Paused() const override { return false; }
  void Close(std::string_view reason) override { CloseAfterFlush(reason); }
  void CloseAfterFlush(std::string_view reason) override {
    mirror_.Direct(kClose, node_, pilot.name, reason);
  }
  bool Open() const override { return true; }
  void AllowSignedInLines() override {}
  void Log(std::string_view) override {}  // his own node logs what happens to him
  bool Remote() const override { return true; }

 private:
  NodeMirror& mirror_;
  const std::string& node_;
};

NodeMirror::NodeMirror(LobbyContext& lobby, std::string node, Publish publish)
    : lobby_(lobby),
      node_(std::move(node)),
      publish_(std::move(publish)),
      nextRemoteId_(kFirstRemoteId) {}

NodeMirror::~NodeMirror() {
  for (auto& [node, pilots] : nodes_) {
    for (auto& [key, pilot] : pilots) lobby_.roster.Remove(*pilot);
  }
}

void NodeMirror::Announce(const Participant& local) {
  std::string payload;
  Record::Append(payload, local.pilot);
  publish_(kPilot, std::move(payload));
}

void NodeMirror::Gone(const Participant& local) { publish_(kGone, local.pilot.name); }

void NodeMirror::GameChanged(const Game& game, const Participant& runner) {
  std::string fields = cv3::HostGameCommand(game.record).substr(msg::kHostGame.size() + 1);
  publish_(kGame, runner.pilot.name + '\n' + game.record.owner + '\n' + fields + '\n');
}

void NodeMirror::GameRemoved(const std::string& name) { publish_(kGameRem, name); }

void NodeMirror::AccountStored(const std::string& name, bool removed) {
  publish_(kAccount, removed ? name + '\n' + std::string(kRemoved) : name);
}

void NodeMirror::ReadAccount(const std::string& name, bool removed) {
  auto read = std::make_shared<std::optional<AccountRecord>>();
  auto take = [this, key = NameKey(name), read](Participant*, bool ok) {
    if (!ok) return;  // logged; a sign-in reads the account from the store anyway
    auto& accounts = lobby_.accounts.ByKey();
    auto it = accounts.find(key);
    // As on the node that changed it: the next sign-in of an account suspended, banned or
    // removed is checked in full (a new password no longer matches what was verified).
    if (!*read || (*read)->suspended || (*read)->banned) lobby_.accounts.Verified().Forget(key);
    if (!*read) {
      if (it == accounts.end()) return;
      accounts.erase(it);
    } else if (it == accounts.end()) {
      accounts.emplace(key, std::move(**read));
    } else {
      it->second = std::move(**read);
    }
    lobby_.roster.AccountsChanged();
  };
  // A removal is taken at once: what comes next from the node that removed it must find it gone.
  if (removed) {
    take(nullptr, true);
    return;
  }
  lobby_.Write(
      nullptr, [name, read](Store& store) { return store.LoadAccount(name, *read); },
      std::move(take));
}

void NodeMirror::ReadGames() {
  auto read = std::make_shared<std::vector<GameRecord>>();
  lobby_.Write(
      nullptr, [read](Store& store) { return store.LoadGames(*read); },
      [this, read](Participant*, bool ok) {
        if (ok) TakeStoredGames(*read);
      });
}

void NodeMirror::ListDown(GameRecord record) {
  // As a pilot of one lobby saw it: hosted, then its host gone.
  lobby_.roster.Broadcast(cv3::FormatLine(msg::kGameUp, record.name));
  lobby_.roster.Broadcast(cv3::FormatLine(msg::kGameDown, record.name));
  std::string key = GameKey(record.name);
  lobby_.games.ByKey().emplace(std::move(key), Game{std::move(record), false, 0});
}

void NodeMirror::TakeStoredGames(std::vector<GameRecord>& stored) {
  // The store is read after every write asked for before, and answers after their answers: a
  // down game it does not hold was removed, one it holds that is not listed here was hosted.
  std::set<std::string> keys;
  auto& games = lobby_.games.ByKey();
  for (auto& record : stored) {
    if (!record.longTerm) continue;
    std::string key = GameKey(record.name);
    keys.insert(key);
    if (!games.contains(key)) ListDown(std::move(record));
  }
  std::vector<std::string> removed;
  for (const auto& [key, game] : games) {
    if (game.record.longTerm && !game.up && !keys.contains(key)) removed.push_back(key);
  }
  for (const auto& key : removed) lobby_.RemoveGame(key, false);
}

bool NodeMirror::TakeGame(const std::string& node, std::string_view& text, bool always,
                          std::string* taken) {
  auto fields = Fields(text, 4);
  if (!fields) return false;
  auto& f = *fields;
  auto hosted = cv3::ParseHostedGame(f[2]);
  if (!hosted) return false;
  SkipTo(text, f);
  uint64_t runner = 0;
  if (auto pilots = nodes_.find(node); pilots != nodes_.end()) {
    if (auto it = pilots->second.find(NameKey(f[0])); it != pilots->second.end()) {
      runner = it->second->Id();
    }
  }
  std::string key = GameKey(hosted->name);
  if (runner == 0) {
    // Its host is gone here already (he signed in on this node meanwhile): it is listed as his
    // leaving left it.
    GameRecord record{std::move(*hosted), std::string(f[1])};
    auto known = lobby_.games.ByKey().find(key);
    if (!record.longTerm) {
      if (known != lobby_.games.ByKey().end()) lobby_.RemoveGame(key, false);
    } else if (known == lobby_.games.ByKey().end()) {
      ListDown(std::move(record));
    } else if (known->second.up) {
      lobby_.TakeDownGames({key});
    }
    return true;
  }
  Game& game = lobby_.games.ByKey()[key];
  bool wasUp = game.up && game.runner == runner;
  game = Game{GameRecord{std::move(*hosted), std::string(f[1])}, true, runner};
  if (always || !wasUp) lobby_.roster.Broadcast(cv3::FormatLine(msg::kGameUp, game.record.name));
  if (taken) *taken = std::move(key);
  return true;
}

void NodeMirror::Broadcast(std::string_view line, Delivery delivery) {
  publish_(delivery == Delivery::kNow ? kChat : kLine, std::string(line));
}

void NodeMirror::Direct(std::string_view kind, const std::string& node, const std::string& name,
                        std::string_view text) {
  publish_(kind, node + '\n' + name + '\n' + std::string(text));
}

void NodeMirror::Displace(Participant& remote) {
  auto& holder = static_cast<RemotePilot&>(remote);
  SignOff(holder.NodeName(), holder.pilot.key);
}

bool NodeMirror::Apply(const std::string& node, std::string_view kind, std::string_view payload) {
  retired_.clear();  // no handler of the rules runs now
  if (kind == kPilot) {
    auto record = Record::Take(payload);
    if (!record || !payload.empty()) return true;
    std::string key = NameKey(record->name);
    auto& pilots = nodes_[node];
    if (auto known = pilots.find(key);
        known == pilots.end() || known->second->pilot.sessionStamp != record->stamp) {
      lobby_.accounts.SignedInElsewhere(key, lobby_.clock.Steady());
    }
    Upsert(node, *record, true);
  } else if (kind == kGone) {
    SignOff(node, NameKey(payload));
  } else if (kind == kLine || kind == kChat) {
    lobby_.roster.Broadcast(payload, nullptr, kind == kChat ? Delivery::kNow : Delivery::kGathered);
  } else if (kind == kSend || kind == kClose) {
    Deliver(kind, payload);
  } else if (kind == kGame) {
    TakeGame(node, payload, true);
  } else if (kind == kAccount) {
    auto fields = Fields(payload, 2);
    if (fields) {
      ReadAccount(std::string((*fields)[0]), (*fields)[1] == kRemoved);
    } else {
      ReadAccount(std::string(payload), false);
    }
  } else if (kind == kGameRem) {
    if (lobby_.games.Find(payload)) lobby_.RemoveGame(GameKey(payload), false);
  } else {
    return false;
  }
  return true;
}

void NodeMirror::Deliver(std::string_view kind, std::string_view payload) {
  auto fields = Fields(payload, 3);
  if (!fields || (*fields)[0] != node_) return;  // for another node
  Participant* pilot = lobby_.roster.Find((*fields)[1]);
  if (!pilot || pilot->Remote()) return;  // gone meanwhile
  if (kind == kSend) {
    pilot->Send((*fields)[2]);
    return;
  }
  // Signed off at once, as the node that asked has done: what it tells next finds him gone.
  lobby_.SignOff(*pilot, "signed off (by another node)");
  pilot->CloseAfterFlush((*fields)[2]);
}

void NodeMirror::Upsert(const std::string& node, const Record& record, bool tell) {
  std::string key = NameKey(record.name);
  auto& pilots = nodes_[node];
  auto own = pilots.find(key);
  Participant* holder = lobby_.roster.Find(key);
  if (holder && (own == pilots.end() || holder != own->second.get())) {
    // Another session of the account: the later one stays, on every node alike.
    const std::string& holderNode =
        holder->Remote() ? static_cast<RemotePilot*>(holder)->NodeName() : node_;
    if (std::tie(holder->pilot.sessionStamp, holderNode) > std::tie(record.stamp, node)) return;
    if (holder->Remote()) {
      Displace(*holder);
    } else {
      lobby_.ThrowOff(*holder);
    }
  }
  if (own == pilots.end()) {
    auto pilot =
        std::make_shared<RemotePilot>(*this, nextRemoteId_++, *nodeNames_.insert(node).first);
    pilot->pilot.signedIn = true;
    pilot->pilot.name = record.name;
    pilot->pilot.key = key;
    std::string_view stored = pilot->pilot.key;
    own = pilots.emplace(stored, std::move(pilot)).first;
    lobby_.roster.Add(*own->second);
  }
  Pilot& pilot = own->second->pilot;
  pilot.sessionStamp = record.stamp;
  if (pilot.presence != Pilot::Presence::kInvisible &&
      record.presence == Pilot::Presence::kInvisible) {
    pilot.hiddenSince = lobby_.NowSeconds();
  }
  lobby_.roster.SetPresence(pilot, record.presence, record.away);
  if (tell) lobby_.roster.Broadcast(PresenceNotice(pilot));
}

void NodeMirror::SignOff(const std::string& node, const std::string& key) {
  auto pilots = nodes_.find(node);
  if (pilots == nodes_.end()) return;
  auto it = pilots->second.find(key);
  if (it == pilots->second.end()) return;
  std::shared_ptr<RemotePilot> pilot = it->second;
  pilots->second.erase(it);
  // The rules may still hold him (an administrator's action closes him after his sign-off).
  retired_.push_back(pilot);
  // Unless taken over meanwhile by a session the others were already told of; his games go
  // down either way.
  if (lobby_.roster.Find(key) == pilot.get()) {
    lobby_.roster.Remove(*pilot);
    lobby_.roster.Broadcast(cv3::FormatLine(msg::kIsOff, pilot->pilot.name));
  }
  lobby_.TakeDownGamesOf(*pilot);
}

std::string NodeMirror::Snapshot() const {
  // The number of pilots, the pilots, then the games they run.
  std::string pilots;
  size_t count = 0;
  std::map<uint64_t, const std::string*> runners;  // by connection id, their names
  for (const auto& [key, participant] : lobby_.roster.Pilots()) {
    if (participant->Remote()) continue;
    Record::Append(pilots, participant->pilot);
    ++count;
    runners.emplace(participant->Id(), &participant->pilot.name);
  }
  std::string snapshot = std::to_string(count) + '\n' + pilots;
  for (const auto& [key, game] : lobby_.games.ByKey()) {
    auto runner = game.up ? runners.find(game.runner) : runners.end();
    if (runner == runners.end()) continue;
    std::string fields = cv3::HostGameCommand(game.record).substr(msg::kHostGame.size() + 1);
    snapshot += *runner->second + '\n' + game.record.owner + '\n' + fields + '\n';
  }
  return snapshot;
}

size_t NodeMirror::Replace(const std::string& node, std::string_view snapshot) {
  retired_.clear();
  auto head = Fields(snapshot, 2);
  size_t count = 0;
  if (!head ||
      std::from_chars((*head)[0].data(), (*head)[0].data() + (*head)[0].size(), count).ec !=
          std::errc()) {
    return 0;
  }
  SkipTo(snapshot, *head);
  std::map<std::string, Record, std::less<>> truth;  // by name key
  for (size_t i = 0; i < count; ++i) {
    auto record = Record::Take(snapshot);
    if (!record) return 0;
    std::string key = NameKey(record->name);
    truth.emplace(std::move(key), std::move(*record));
  }
  std::vector<std::string> gone;
  for (const auto& [key, pilot] : nodes_[node]) {
    if (!truth.contains(key)) gone.emplace_back(key);
  }
  for (const auto& key : gone) SignOff(node, key);
  for (const auto& [key, record] : truth) {
    auto& pilots = nodes_[node];
    auto known = pilots.find(key);
    // The others are told only what changed; a pilot who is invisible was never shown.
    bool tell = known == pilots.end() ? record.presence != Pilot::Presence::kInvisible
                                      : known->second->pilot.presence != record.presence ||
                                            known->second->pilot.awayMessage != record.away;
    Upsert(node, record, tell);
  }
  std::set<std::string> up;  // game keys
  for (std::string key; !snapshot.empty() && TakeGame(node, snapshot, false, &key);) {
    up.insert(key);
  }
  // Games its pilots ran that it no longer lists went down there, as if their hosts had left; so
  // did any a remote pilot no longer here ran.
  std::set<uint64_t> runners, remote;
  for (const auto& [key, pilot] : nodes_[node]) runners.insert(pilot->Id());
  for (const auto& [name, pilots] : nodes_) {
    for (const auto& [key, pilot] : pilots) remote.insert(pilot->Id());
  }
  std::vector<std::string> down;
  for (const auto& [key, game] : lobby_.games.ByKey()) {
    if (!game.up) continue;
    bool stale = game.runner >= kFirstRemoteId && !remote.contains(game.runner);
    if (stale || (runners.contains(game.runner) && !up.contains(key))) down.push_back(key);
  }
  lobby_.TakeDownGames(down);
  ReadGames();
  return truth.size();
}

size_t NodeMirror::Drop(const std::string& node) {
  retired_.clear();
  auto pilots = nodes_.find(node);
  if (pilots == nodes_.end()) return 0;
  std::vector<std::string> keys;
  for (const auto& [key, pilot] : pilots->second) keys.emplace_back(key);
  for (const auto& key : keys) SignOff(node, key);
  nodes_.erase(node);
  ReadGames();
  return keys.size();
}

}  // namespace lobbyd
