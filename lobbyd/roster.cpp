#include "lobbyd/roster.h"

#include "lobbyd/options.h"
#include "lobbyd/text.h"
#include "protocol/catalogue.h"
#include "protocol/cp1252.h"
#include "protocol/session_messages.h"
#include "protocol/wire.h"

namespace lobbyd {

namespace msg = cv3::msg;

namespace {

std::string ListedLine(const std::string& name, const Pilot* pilot) {
  // An invisible pilot is listed as offline, as the others were told.
  cv3::UserItem item{name, std::string(msg::kKindOffline), {}};
  if (pilot && pilot->presence == Pilot::Presence::kOnline) {
    item.kind = msg::kKindOnline;
  } else if (pilot && pilot->presence == Pilot::Presence::kAway) {
    item.kind = msg::kKindAway;
    item.note = pilot->awayMessage;  // never empty: an away message must say something
  } else if (pilot && pilot->presence == Pilot::Presence::kAdmin) {
    item.kind = msg::kKindAdmin;
  }
  std::string wire;
  AppendWireLine(wire, cv3::UserItemLine(item));
  return wire;
}

}  // namespace

void Roster::SetPresence(Pilot& pilot, Pilot::Presence presence, std::string awayMessage) {
  pilot.presence = presence;
  pilot.awayMessage = std::move(awayMessage);
  pilot.listed = ListedLine(pilot.name, &pilot);
  ListChanged(pilot.key);
}

void Roster::ListChanged(const std::string& key) {
  auto it = listChunks_.upper_bound(key);
  if (it == listChunks_.begin()) return;
  --it;
  if (key <= it->second.last) listChunks_.erase(it);
}

bool Roster::NextListChunk(const std::string& own, std::string& after, bool started,
                           std::string& wire) {
  auto first = started ? accounts_.upper_bound(after) : accounts_.begin();
  if (first == accounts_.end()) {
    AppendWireLine(wire, msg::kUsersAck);
    return false;
  }
  const std::string& start = first->first;
  if (auto cached = listChunks_.find(start);
      cached != listChunks_.end() && !(start <= own && own <= cached->second.last)) {
    wire += cached->second.wire;
    after = cached->second.last;
    return true;
  }
  // Built from the accounts, with the signed-in pilots walked in step (both sorted by name key).
  ListChunk chunk;
  bool hasOwn = false;
  auto online = pilots_.lower_bound(start);
  auto account = first;
  for (size_t taken = 0; account != accounts_.end() && taken < kListChunk; ++account, ++taken) {
    const std::string& key = account->first;
    while (online != pilots_.end() && online->first < key) ++online;
    size_t before = chunk.wire.size();
    if (online != pilots_.end() && online->first == key) {
      chunk.wire += online->second->pilot.listed;
    } else {
      chunk.wire += ListedLine(account->second.name, nullptr);
    }
    // A pilot is not listed to himself.
    if (key == own) {
      hasOwn = true;
      wire += std::string_view(chunk.wire).substr(0, before);
    } else if (hasOwn) {
      wire += std::string_view(chunk.wire).substr(before);
    }
  }
  if (!hasOwn) wire += chunk.wire;
  chunk.last = std::prev(account)->first;
  after = chunk.last;
  // Kept for the next requesters, unless it overlaps a kept chunk (lists under way while
  // accounts came or went step differently): each pilot must be in one kept chunk at most.
  auto next = listChunks_.upper_bound(start);
  bool overlaps = (next != listChunks_.end() && next->first <= chunk.last) ||
                  (next != listChunks_.begin() && std::prev(next)->second.last >= start);
  if (!overlaps) listChunks_.emplace(start, std::move(chunk));
  return true;
}

void Roster::Add(Participant& participant) {
  Pilot& pilot = participant.pilot;
  // The key is his own name key: one he replaces takes his out with him.
  pilots_.erase(pilot.key);
  pilots_.emplace(pilot.key, &participant);
  if (participant.Remote()) return;
  pilot.audienceIndex = audience_.size();
  audience_.push_back(&participant);
}

void Roster::Remove(Participant& participant) {
  Pilot& pilot = participant.pilot;
  auto it = pilots_.find(pilot.key);
  if (it == pilots_.end() || it->second != &participant) return;
  pilots_.erase(it);
  ListChanged(pilot.key);
  if (participant.Remote()) return;
  // Out of the audience in constant time: the last one takes his place.
  audience_[pilot.audienceIndex] = audience_.back();
  audience_[pilot.audienceIndex]->pilot.audienceIndex = pilot.audienceIndex;
  audience_.pop_back();
}

std::string PresenceNotice(const Pilot& pilot) {
  switch (pilot.presence) {
    case Pilot::Presence::kOnline:
      return cv3::FormatLine(msg::kIsOn, pilot.name);
    case Pilot::Presence::kAway:
      return cv3::FormatLine(msg::kIsAway, pilot.name + ":" + pilot.awayMessage);
    case Pilot::Presence::kInvisible:
      return cv3::FormatLine(msg::kIsOff, pilot.name);
    case Pilot::Presence::kAdmin:
      return cv3::FormatLine(msg::kIsAdmin, pilot.name);
  }
  return {};
}

Participant* Roster::Find(std::string_view name) const {
  auto it = pilots_.find(NameKey(name));
  return it == pilots_.end() ? nullptr : it->second;
}

void Roster::Broadcast(std::string_view line, const Participant* except, Delivery delivery) {
  std::string bytes = cv3::Utf8ToCp1252Lossy(line);
  bytes.append("\r\n");
  for (Participant* pilot : audience_) {
    if (pilot != except) pilot->SendWire(bytes, delivery);
  }
}

}  // namespace lobbyd
