// The signed-in pilots: by name key for finding them and for the pilot list, and as a broadcast
// set; and the pilot list in wire form, in chunks shared by every requester. io thread only.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "lobbyd/participant.h"
#include "lobbyd/records.h"

namespace lobbyd {

// What everyone is told when a pilot's presence is set: ISON, ISAWAY, ISADMIN, or ISOFF for an
// invisible one (as if he had signed off).
std::string PresenceNotice(const Pilot& pilot);

class Roster {
 public:
  // `accounts` (by name key, sorted) is what the pilot list lists; it outlives the roster.
  explicit Roster(const std::map<std::string, AccountRecord>& accounts) : accounts_(accounts) {}

  // A pilot signs in (his Pilot already names him) or off; a remote one is listed and found but
  // not broadcast to. Remove leaves the roster as it is
  // when another connection has taken his name since.
  void Add(Participant& participant);
  void Remove(Participant& participant);
  Participant* Find(std::string_view name) const;
  // Signed in, by name key.
  const std::map<std::string_view, Participant*, std::less<>>& Pilots() const { return pilots_; }

  // The line in wire form is built once; each pilot but `except` appends it to his queue.
  void Broadcast(std::string_view line, const Participant* except = nullptr,
                 Delivery delivery = Delivery::kGathered);

  // Sets a signed-in pilot's presence and his entry in others' pilot lists.
  void SetPresence(Pilot& pilot, Pilot::Presence presence, std::string awayMessage = {});
  // Accounts came or went: every kept chunk goes.
  void AccountsChanged() { listChunks_.clear(); }
  // Appends the pilot list's next chunk after the key `after` (from the start unless
  // `started`), leaving out `own`, and moves `after` on; false once it appended the closing
  // reply.
  bool NextListChunk(const std::string& own, std::string& after, bool started, std::string& wire);

 private:
  // The kept chunk of the pilot list that holds this name key goes; the next list rebuilds it.
  void ListChanged(const std::string& key);

  const std::map<std::string, AccountRecord>& accounts_;
  // Signed in, by name key (his own); sorted like accounts_, so the pilot list walks both in
  // step.
  std::map<std::string_view, Participant*, std::less<>> pilots_;
  // The same pilots in no order, for broadcasts: a vector walks far faster than a map.
  std::vector<Participant*> audience_;
  // The pilot list in wire form as every requester gets it, in chunks by the name key of each
  // chunk's first account. Requesters step through the accounts alike, so after a restart
  // thousands share each chunk instead of building it.
  struct ListChunk {
    std::string last;  // the name key of its last account
    std::string wire;
  };
  std::map<std::string, ListChunk> listChunks_;
};

}  // namespace lobbyd
