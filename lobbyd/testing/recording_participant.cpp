#include "lobbyd/testing/recording_participant.h"

#include <asio/post.hpp>

#include "protocol/cp1252.h"

namespace lobbyd::testing {

RecordingParticipant::RecordingParticipant(uint64_t id, std::string address, SessionEvents& events,
                                           asio::io_context& io, EventLog& log)
    : Participant(id, address),
      events_(events),
      io_(io),
      log_(log),
      peer_(address + ":" + std::to_string(40000 + id)) {}

void RecordingParticipant::Receive(std::string_view line) {
  if (closed_) return;
  received_.emplace_back(line);
  HandLines();
}

void RecordingParticipant::HandLines() {
  while (!closed_ && !paused_ && !received_.empty()) {
    std::string line = std::move(received_.front());
    received_.pop_front();
    events_.OnLine(*this, cv3::ParseLine(line));
  }
}

void RecordingParticipant::Resume() {
  if (!paused_) return;
  paused_ = false;
  // Posted, so the caller's own work finishes before the next line is handled.
  asio::post(io_, [self = shared_from_this(), this] { HandLines(); });
}

std::vector<std::string> RecordingParticipant::Take() {
  std::vector<std::string> lines(sent_.begin(), sent_.end());
  sent_.clear();
  return lines;
}

void RecordingParticipant::Send(std::string_view line) {
  if (!closed_) sent_.emplace_back(line);
}

void RecordingParticipant::SendLines(const std::vector<std::string>& lines) {
  for (const auto& line : lines) Send(line);
}

void RecordingParticipant::SendWire(std::string_view bytes, Delivery) {
  if (closed_) return;
  // The bytes are what the peer would read: Windows-1252 lines, each ended by CR LF.
  for (size_t end; (end = bytes.find("\r\n")) != std::string_view::npos;) {
    sent_.push_back(cv3::Cp1252ToUtf8(bytes.substr(0, end)));
    bytes.remove_prefix(end + 2);
  }
}

void RecordingParticipant::SendStream(Producer more) {
  for (bool going = true; going && !closed_;) {
    std::string wire;
    going = more(wire);
    SendWire(wire, Delivery::kNow);
  }
}

void RecordingParticipant::Close(std::string_view reason) {
  if (closed_) return;
  closed_ = true;
  Log(reason);
  asio::post(io_, [self = shared_from_this(), this] { events_.OnClosed(*this); });
}

void RecordingParticipant::Log(std::string_view event) {
  log_.Connection(peer_, pilot.name, event);
}

}  // namespace lobbyd::testing
