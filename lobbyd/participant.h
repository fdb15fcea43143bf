// What the lobby's rules see of a connection: lines to send, a close, reading paused while a
// reply waits on other threads, and the peer's address. The Asio Session is one; tests and the
// fuzzer drive the rules over a recording one, without sockets. io thread only.
#pragma once

#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lobbyd/flood.h"
#include "protocol/wire.h"

namespace lobbyd {

// What the lobby knows about the pilot on a connection; the lobby alone changes it.
struct Pilot {
  enum class Presence : uint8_t { kOnline, kAway, kInvisible, kAdmin };
  bool signedIn = false;
  Presence presence = Presence::kOnline;
  // A list reply on its way: asking again meanwhile is answered by it.
  bool usersListPending = false;
  bool gamesListPending = false;
  unsigned ignoredLines = 0;  // ignored commands, for bounding what the log gets
  std::string name;           // the account's name once signed in
  std::string key;            // its NameKey
  std::string awayMessage;
  // When this session signed in, in milliseconds, never below an earlier session of the account
  // known here: of two sessions of one account in a cluster, the later stamp (then the greater
  // node name) stays.
  uint64_t sessionStamp = 0;
  // When he last went invisible (wall clock, seconds): his profile shows it as the time he
  // was last on, as if he had signed off then.
  int64_t hiddenSince = 0;
  // His entry in others' pilot lists, in wire form; set with his presence (Roster::SetPresence),
  // so a list of thousands copies lines instead of building them.
  std::string listed;
  size_t audienceIndex = 0;  // his place among those broadcasts go to (Roster's audience)
  // Pilots this one has written to privately (name keys): they know he is here, so while he is
  // invisible their private lines still reach him; everyone else's are refused as if he were
  // offline, so invisibility cannot be probed. Made when he first writes: every node holds a
  // Pilot for every pilot of the lobby.
  std::unique_ptr<std::set<std::string>> writtenTo;
  // The kinds of flood control (by FloodKind) whose current run of drops this connection has
  // been warned of. The buckets outlive the connection; the warning is owed to each one.
  std::bitset<kFloodKinds> floodWarned;
};

// Appends a line in wire form: Windows-1252 with CR LF.
void AppendWireLine(std::string& wire, std::string_view line);

// Whether a line may wait for the connection's next gathered write (notices that fan out to
// everyone) or is written at once (replies, chat: someone is waiting to read it).
enum class Delivery { kGathered, kNow };

class Participant;

// Where a connection's lines and its end go.
class SessionEvents {
 public:
  virtual ~SessionEvents() = default;
  // `line` is decoded to UTF-8; one at a time, in order, never while reading is paused.
  virtual void OnLine(Participant& participant, const cv3::Line& line) = 0;
  // Posted, never from inside a call into the participant.
  virtual void OnClosed(Participant& participant) = 0;
};

class Participant : public std::enable_shared_from_this<Participant> {
 public:
  Participant(uint64_t id, std::string address) : id_(id), address_(std::move(address)) {}
  virtual ~Participant() = default;
  Participant(const Participant&) = delete;
  Participant& operator=(const Participant&) = delete;

  // Queues one line (UTF-8, without CR LF), sent as Windows-1252 with CR LF.
  virtual void Send(std::string_view line) = 0;
  // Queues several lines as one write (a list and its closing reply).
  virtual void SendLines(const std::vector<std::string>& lines) = 0;
  // Queues bytes already in wire form (a broadcast builds its line once for everyone).
  virtual void SendWire(std::string_view bytes, Delivery delivery) = 0;
  // A long reply produced as the connection drains: `more` appends some lines in wire form
  // (AppendWireLine) to its argument and returns false once it has given the last. What is sent
  // afterwards waits behind it, so the reply reaches the peer whole.
  using Producer = std::function<bool(std::string& wire)>;
  virtual void SendStream(Producer more) = 0;

  // While paused no further line is handed over (a sign-in awaits its hash); Resume goes on
  // with the lines already received, in order, after the caller's own work.
  virtual void Pause() = 0;
  virtual void Resume() = 0;
  virtual bool Paused() const = 0;

  // Drops the connection now; what is queued is lost.
  virtual void Close(std::string_view reason) = 0;
  // Takes no further lines, sends what is queued, then closes.
  virtual void CloseAfterFlush(std::string_view reason) = 0;
  virtual bool Open() const = 0;

  // The pilot has signed in: his lines may be as long as a signed-in pilot's.
  virtual void AllowSignedInLines() = 0;
  // One line for the connection in the event log.
  virtual void Log(std::string_view event) = 0;
  // A pilot connected to another node of the cluster: in the roster, not among those broadcasts
  // go to (his node tells him).
  virtual bool Remote() const { return false; }

  uint64_t Id() const { return id_; }
  const std::string& Address() const { return address_; }  // AddressKey of the peer

  // When the connection was accepted, on the lobby's steady clock.
  std::chrono::steady_clock::time_point connectedAt{};
  Pilot pilot;

 private:
  uint64_t id_;
  std::string address_;
};

}  // namespace lobbyd
