// A connection without a socket for driving the lobby's rules in-process: the lines it is given
// go to the lobby as a Session hands them over (one at a time, held while paused), and what the
// lobby sends is recorded line by line, decoded, in the order sent. A reply produced as the
// connection drains is produced whole at once. io thread only.
#pragma once

#include <asio/io_context.hpp>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "lobbyd/event_log.h"
#include "lobbyd/participant.h"

namespace lobbyd::testing {

class RecordingParticipant final : public Participant {
 public:
  RecordingParticipant(uint64_t id, std::string address, SessionEvents& events,
                       asio::io_context& io, EventLog& log);

  // A line from the peer (UTF-8, without CR LF).
  void Receive(std::string_view line);
  // The peer goes away, as a Session sees the end of its connection.
  void Hangup() { Close("connection closed by peer"); }

  // The lines sent since the last Take, oldest first.
  std::vector<std::string> Take();
  std::deque<std::string>& Sent() { return sent_; }
  bool Closed() const { return closed_; }

  void Send(std::string_view line) override;
  void SendLines(const std::vector<std::string>& lines) override;
  void SendWire(std::string_view bytes, Delivery delivery) override;
  void SendStream(Producer more) override;
  void Pause() override { paused_ = true; }
  void Resume() override;
  bool Paused() const override { return paused_; }
  void Close(std::string_view reason) override;
  void CloseAfterFlush(std::string_view reason) override { Close(reason); }
  bool Open() const override { return !closed_; }
  void AllowSignedInLines() override {}
  void Log(std::string_view event) override;

 private:
  void HandLines();

  SessionEvents& events_;
  asio::io_context& io_;
  EventLog& log_;
  std::string peer_;
  std::deque<std::string> received_;
  std::deque<std::string> sent_;
  bool paused_ = false;
  bool closed_ = false;
};

}  // namespace lobbyd::testing
