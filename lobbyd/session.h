// One client connection over TCP, the lobby's Participant: reads and frames lines, queues outgoing
// lines (gathering notices into fewer writes, within the server's output budget), closes. It
// knows nothing of the protocol: every complete line goes to SessionEvents::OnLine, one at a time
// and in order, and the end of the connection to OnClosed (posted, never from inside a call into
// the session). io thread only.
#pragma once

#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lobbyd/event_log.h"
#include "lobbyd/metrics.h"
#include "lobbyd/participant.h"
#include "protocol/wire.h"

namespace lobbyd {

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
// The same for a peer, "unknown" when its address could not be read (port 0).
std::string AddressKey(const asio::ip::tcp::endpoint& peer);
// "address:port" for the log, "[address]:port" for IPv6, "unknown" for port 0.
std::string PeerText(const asio::ip::tcp::endpoint& peer);

// What every session of the io thread shares: one reference in each instead of four.
struct SessionShared {
  SessionEvents& events;
  // A read buffer for all: an idle connection then holds none of its own.
  std::vector<char>& scratch;
  EventLog& log;
  OutputBudget& budget;
  Metrics& metrics;
};

class Session : public Participant {
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

  // `remote` is the client: the socket's peer, or whom a proxy in between speaks for.
  Session(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& remote, uint64_t id,
          SessionShared& shared);

  void Start();

  void Send(std::string_view line) override;
  void SendLines(const std::vector<std::string>& lines) override;
  void SendWire(std::string_view bytes, Delivery delivery) override;
  // Until it has given the last, a producer counts as kHeldProducerBytes against the limits,
  // and what it gives counts as it is given.
  void SendStream(Producer more) override;

  void Pause() override { paused_ = true; }
  void Resume() override;
  bool Paused() const override { return paused_; }

  void Close(std::string_view reason) override;
  // Closes at most kFlushDeadline later.
  void CloseAfterFlush(std::string_view reason) override;
  bool Open() const override { return !closed_ && !closing_; }

  void AllowSignedInLines() override { buffer_.SetLimit(kLineLimitSignedIn); }
  void Log(std::string_view event) override;

  // The memory the connection's write buffers hold, for checking that it is given back.
  size_t WriteBufferCapacity() const { return outbox_.capacity() + inFlight_.capacity(); }

 protected:
  // The stream the lines travel in: the socket itself here; a TLS session (tls_session.h) puts
  // its encryption between them. Every call is on the io thread.
  virtual void BeginReading() { WaitReadable(); }
  virtual size_t ReadSome(asio::mutable_buffer buffer, asio::error_code& error) {
    return socket_.read_some(buffer, error);
  }
  // Writes inFlight_ whole, then calls OnWritten.
  virtual void WriteInFlight();
  // More input may be waiting in the stream itself, without the socket being readable.
  virtual bool InputWaiting() const { return false; }
  virtual bool Encrypted() const { return false; }
  // The stream's own goodbye, just before the socket closes.
  virtual void BeforeClose() {}

  asio::ip::tcp::socket& Socket() { return socket_; }
  std::string& InFlight() { return inFlight_; }
  void WaitReadable();
  void OnWritten(const asio::error_code& error);
  std::shared_ptr<Session> Self() { return std::static_pointer_cast<Session>(shared_from_this()); }

 private:
  void OnReadable(const asio::error_code& error);
  void HandleLines();
  void Enqueue(std::string_view bytes, Delivery delivery);
  void WriteMore();
  // Starts the next write now, or for gathered lines once the gathering interval has passed
  // since the last one started.
  void WriteSoon(Delivery delivery);
  void Unqueued(size_t bytes);
  // Counts bytes about to be queued; false, with the connection closed, past the limits.
  bool Admit(size_t bytes);
  void FillFromBacklog();

  asio::ip::tcp::socket socket_;
  SessionShared& shared_;
  // The peer, for the log ("address:port" is built when a line is logged: kept as text, it would
  // be a heap block per connection).
  asio::ip::tcp::endpoint remote_;
  std::string Peer() const;

  cv3::LineBuffer buffer_{kLineLimitBeforeSignIn};
  bool paused_ = false;
  bool waiting_ = false;  // a readiness wait is pending
  bool closed_ = false;
  bool closing_ = false;
  bool heard_ = false;  // something has been read
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
