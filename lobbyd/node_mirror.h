// The other nodes of a cluster as this node sees them, and this node's own pilots told to them.
// A remote pilot is a Participant in this roster (found by name, listed, his presence read) but
// not among those broadcasts go to: what the rules send him and his close go to his node, which
// tells him. Each node broadcasts to its own pilots. The link to the bus (cluster/cluster_link.h)
// numbers, carries and orders the events; this is what they mean. io thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lobbyd/games.h"
#include "lobbyd/lobby_context.h"
#include "lobbyd/participant.h"

namespace lobbyd {

class NodeMirror {
 public:
  // Hands an event to the bus, for every other node.
  using Publish = std::function<void(std::string_view kind, std::string payload)>;

  NodeMirror(LobbyContext& lobby, std::string node, Publish publish);
  ~NodeMirror();
  NodeMirror(const NodeMirror&) = delete;
  NodeMirror& operator=(const NodeMirror&) = delete;

  const std::string& Node() const { return node_; }

  // A local pilot signed in or set his presence; signed off.
  void Announce(const Participant& local);
  void Gone(const Participant& local);
  // A local game is up, run by `runner`; a game removed here (not as its host signed off: every
  // node does that on its own).
  void GameChanged(const Game& game, const Participant& runner);
  void GameRemoved(const std::string& name);
  // An account stored or removed here: the others read it again, or forget it.
  void AccountStored(const std::string& name, bool removed);
  // A notice the local pilots have been given, for everyone else's.
  void Broadcast(std::string_view line, Delivery delivery);
  // A remote pilot whose account signed in here leaves this roster with ISOFF; his own node throws
  // him off when it hears of the sign-in.
  void Displace(Participant& remote);

  // What `node` told; false for a kind that is not one of these.
  bool Apply(const std::string& node, std::string_view kind, std::string_view payload);
  // This node's pilots, as Replace reads them.
  std::string Snapshot() const;
  // `node`'s pilots become those of its snapshot; the local pilots are told what changed.
  // The number of its pilots.
  size_t Replace(const std::string& node, std::string_view snapshot);
  // A node gone silent: its pilots sign off here. The number that did.
  size_t Drop(const std::string& node);

  // The directed events a remote pilot's lines and close become.
  void Direct(std::string_view kind, const std::string& node, const std::string& name,
              std::string_view text);

 private:
  class RemotePilot;
  struct Record;

  // Adds or updates `node`'s pilot; `tell` broadcasts his presence to the local pilots.
  void Upsert(const std::string& node, const Record& record, bool tell);
  // A game of `node` up: "RUNNER OWNER HOSTGAME-FIELDS" taken from `text` (its key to `key`);
  // false when it is not one. GAMEUP is broadcast when it was not up with that runner, or
  // `always` (a game resumed while up).
  bool TakeGame(const std::string& node, std::string_view& text, bool always,
                std::string* key = nullptr);
  // `node`'s pilot signs off here (ISOFF), if he is the one this roster holds.
  void SignOff(const std::string& node, const std::string& key);
  void Deliver(std::string_view kind, std::string_view payload);
  // Reads the account again from the store and takes it; forgets it when `removed` or gone.
  void ReadAccount(const std::string& name, bool removed);
  // Long-term games are the store's: what a node that died or a gap took with it (a game hosted
  // or removed just before) is read back from there.
  void ReadGames();
  void TakeStoredGames(std::vector<GameRecord>& stored);
  // A long-term game not listed here, listed down.
  void ListDown(GameRecord record);

  LobbyContext& lobby_;
  std::string node_;
  Publish publish_;
  // By node, by name key (his own: a remote pilot costs every node, so nothing is kept twice).
  std::map<std::string, std::map<std::string_view, std::shared_ptr<RemotePilot>, std::less<>>>
      nodes_;
  // Every node name heard of, kept for the remote pilots' sake (a few).
  std::set<std::string> nodeNames_;
  // Remote pilots signed off here, kept until no handler can hold them any more (the next
  // event).
  std::vector<std::shared_ptr<RemotePilot>> retired_;
  // A game's runner is found by his id.
  uint64_t nextRemoteId_;
};

}  // namespace lobbyd
