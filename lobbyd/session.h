// One client connection: reads and frames lines, queues outgoing lines, closes. It knows nothing
// of the protocol: every complete line goes to SessionEvents::OnLine, one at a time and in order,
// and the end of the connection to OnClosed (posted, never from inside a call into the session).
// io thread only.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lobbyd/event_log.h"
#include "lobbyd/flood.h"
#include "protocol/wire.h"

namespace lobbyd {

class Session;

class SessionEvents {
 public:
  virtual ~SessionEvents() = default;
  // `line` is decoded to UTF-8.
  virtual void OnLine(Session& session, const cv3::Line& line) = 0;
  virtual void OnClosed(Session& session) = 0;
};

// What the lobby knows about the pilot on a connection; the lobby alone changes it.
struct Pilot {
  enum class Presence { kOnline, kAway, kInvisible, kAdmin };
  bool signedIn = false;
  std::string name;  // the account's name once signed in
  std::string key;   // its NameKey
  Presence presence = Presence::kOnline;
  std::string awayMessage;
  // When he last went invisible (wall clock, seconds): his profile shows it as the time he
  // was last on, as if he had signed off then.
  int64_t hiddenSince = 0;
  // His entry in others' pilot lists, in wire form; set with his presence (Lobby::SetPresence),
  // so a list of thousands copies lines instead of building them.
  std::string listed;
  size_t audienceIndex = 0;  // his place among those broadcasts go to (Lobby::audience_)
  // Pilots this one has written to privately (name keys): they know he is here, so while he is
  // invisible their private lines still reach him; everyone else's are refused as if he were
  // offline, so invisibility cannot be probed.
  std::set<std::string> writtenTo;
  // A list reply on its way: asking again meanwhile is answered by it.
  bool usersListPending = false;
  bool gamesListPending = false;
  unsigned ignoredLines = 0;  // ignored commands, for bounding what the log gets
};

// The server's output, shared by all connections: what is queued against the limits, and how
// long writes to one connection are gathered.
struct OutputBudget {
  size_t queued = 0;
  size_t limit = 0;
  size_t perConnection = 1024 * 1024;  // what one connection may have queued
  // Writes to one connection start at most this often; what is queued meanwhile goes out in one
  // gathered write. Zero writes at once.
  std::chrono::microseconds gather{};
};

// How long to gather writes with this many connections. Every notice of a sign-in goes to every
// pilot, so in a storm each connection has something new at nearly every turn: the write system
// calls, not the lines, then cost the most. Gathering for longer as the lobby grows keeps them to
// about 5,000 a second in all (1 s at 5,000, 2 s from 10,000; never less than `atLeast`), so the
// cores stay free for password checks. An idle connection still writes at once, and so does
// anything someone waits on (see Delivery).
std::chrono::microseconds GatherInterval(size_t connections, std::chrono::microseconds atLeast);

// The address as the per-address limits count it: an IPv4 address as it is, an IPv6 address by
// its /64, which one subscriber gets whole ("2001:db8:1:2::/64").
std::string AddressKey(const asio::ip::address& address);

// Appends a line (UTF-8, without CR LF) as it goes on the wire: Windows-1252 with CR LF.
void AppendWireLine(std::string& wire, std::string_view line);

// Whether a line may wait for the connection's next gathered write (notices that fan out to
// everyone) or is written at once (replies, chat: someone is waiting to read it).
enum class Delivery { kGathered, kNow };

class Session : public std::enable_shared_from_this<Session> {
 public:
  static constexpr size_t kLineLimitBeforeSignIn = 512;
  static constexpr size_t kLineLimitSignedIn = 8 * 1024;
  static constexpr std::chrono::seconds kFlushDeadline{5};
  // What a reply waiting to be produced counts as against the limits: more than it holds.
  static constexpr size_t kHeldProducerBytes = 1024;
  // A connection with more than this queued is behind on reading; when the server's output
  // budget is spent, such connections are the ones closed.
  static constexpr size_t kBehindBytes = 64 * 1024;
  // The kernel's send buffer of each connection, fixed so that pilots who never read cannot pin
  // megabytes of kernel memory each.
  static constexpr int kSendBuffer = 64 * 1024;

  // `scratch` is a read buffer shared by all sessions of the io thread: an idle connection then
  // holds no read buffer of its own.
  Session(asio::ip::tcp::socket socket, uint64_t id, SessionEvents& events,
          std::vector<char>& scratch, EventLog& log, OutputBudget& budget);

  void Start();

  // Queues one line (UTF-8, without CR LF), sent as Windows-1252 with CR LF.
  void Send(std::string_view line);
  // Queues several lines as one write (a list and its closing reply).
  void SendLines(const std::vector<std::string>& lines);
  // Queues bytes already in wire form (a broadcast builds its line once for everyone).
  void SendWire(std::string_view bytes, Delivery delivery = Delivery::kGathered);
  // A long reply produced as the connection drains: `more` appends some lines in wire form
  // (AppendWireLine) to its argument and returns false once it has given the last. What is sent
  // afterwards waits behind it, so the reply reaches the peer whole. Until it has given the last
  // it counts as kHeldProducerBytes, and what it gives counts as it is given.
  using Producer = std::function<bool(std::string& wire)>;
  void SendStream(Producer more);

  // While paused no further line is handed over (a sign-in awaits its hash); Resume goes on
  // with the lines already received, in order.
  void Pause() { paused_ = true; }
  void Resume();
  bool Paused() const { return paused_; }

  // Drops the connection now; what is queued is lost.
  void Close(std::string_view reason);
  // Takes no further lines, sends what is queued, then closes (at most kFlushDeadline later).
  void CloseAfterFlush(std::string_view reason);

  bool Open() const { return !closed_ && !closing_; }
  // The memory the connection's write buffers hold, for checking that it is given back.
  size_t WriteBufferCapacity() const { return outbox_.capacity() + inFlight_.capacity(); }
  void SetLineLimit(size_t limit) { buffer_.SetLimit(limit); }

  uint64_t Id() const { return id_; }
  const std::string& Address() const { return address_; }  // AddressKey of the peer
  // When the connection was accepted, on the lobby's steady clock.
  std::chrono::steady_clock::time_point connectedAt{};
  void Log(std::string_view event);

  Pilot pilot;

 private:
  void WaitReadable();
  void OnReadable(const asio::error_code& error);
  void HandleLines();
  void Enqueue(std::string_view bytes, Delivery delivery);
  void WriteMore();
  // Starts the next write now, or for gathered lines once the gathering interval has passed
  // since the last one started.
  void WriteSoon(Delivery delivery);
  void OnWritten(const asio::error_code& error);
  void Unqueued(size_t bytes);
  // Counts bytes about to be queued; false, with the connection closed, past the limits.
  bool Admit(size_t bytes);
  void FillFromBacklog();

  asio::ip::tcp::socket socket_;
  uint64_t id_;
  SessionEvents& events_;
  std::vector<char>& scratch_;
  EventLog& log_;
  OutputBudget& budget_;
  // The peer, for the log ("address:port" is built when a line is logged: kept as text, it would
  // be a heap block per connection).
  asio::ip::tcp::endpoint remote_;
  std::string Peer() const;
  std::string address_;

  cv3::LineBuffer buffer_{kLineLimitBeforeSignIn};
  bool paused_ = false;
  bool waiting_ = false;  // a readiness wait is pending
  bool closed_ = false;
  bool closing_ = false;
  std::string closeReason_;
  std::unique_ptr<asio::steady_timer> flushTimer_;
  std::unique_ptr<asio::steady_timer> coalesceTimer_;  // only while a gathered write waits
  bool writeArmed_ = false;                            // a coalesced write is due
  std::chrono::steady_clock::time_point lastWrite_{};

  // Not yet handed to a write, in wire form: a notice is a few dozen bytes, and copying it
  // costs far less than anything kept per notice. Neither buffer keeps its memory once written:
  // thousands of idle connections would otherwise each hold what their largest write needed.
  std::string outbox_;
  bool urgent_ = false;   // the outbox holds something written at once (Delivery::kNow)
  std::string inFlight_;  // the write in progress
  bool writing_ = false;
  // Behind a reply still being produced: bytes, or the producer itself. A list, which costs
  // nothing while empty, as it nearly always is (an empty deque holds more than half a kilobyte).
  struct Held {
    std::string bytes;  // when there is no producer
    Producer producer;
  };
  std::list<Held> backlog_;
  size_t queuedBytes_ = 0;  // queue, write in progress and held bytes together
  size_t heldBytes_ = 0;    // what backlog_ counts as, so a fill need not walk it
};

}  // namespace lobbyd
