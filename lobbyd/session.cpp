#include "lobbyd/session.h"

#include <algorithm>
#include <asio/post.hpp>
#include <asio/write.hpp>

#include "lobbyd/proxy_header.h"
#include "protocol/cp1252.h"

namespace lobbyd {
namespace {

// A reply being produced gets more lines whenever less than this is waiting to be written.
constexpr size_t kLowWater = 64 * 1024;
constexpr std::chrono::microseconds kGatherPerConnection{200};
constexpr std::chrono::microseconds kGatherMost{2000000};

}  // namespace

std::string AddressKey(const asio::ip::address& address) {
  if (address.is_v4()) return address.to_string();
  auto v6 = address.to_v6();
  if (v6.is_v4_mapped()) return asio::ip::make_address_v4(asio::ip::v4_mapped, v6).to_string();
  auto bytes = v6.to_bytes();
  std::fill(bytes.begin() + 8, bytes.end(), 0);
  return asio::ip::address_v6(bytes).to_string() + "/64";
}

std::chrono::microseconds GatherInterval(size_t connections, std::chrono::microseconds atLeast) {
  return std::max(atLeast,
                  std::min(kGatherPerConnection * static_cast<long>(connections), kGatherMost));
}

std::string AddressKey(const asio::ip::tcp::endpoint& peer) {
  return peer.port() == 0 ? "unknown" : AddressKey(peer.address());
}

std::string PeerText(const asio::ip::tcp::endpoint& peer) {
  if (peer.port() == 0) return "unknown";
  std::string shown = peer.address().to_string();
  return (peer.address().is_v6() ? "[" + shown + "]" : shown) + ":" + std::to_string(peer.port());
}

Session::Session(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& remote, uint64_t id,
                 SessionShared& shared)
    : Participant(id, AddressKey(remote)),
      socket_(std::move(socket)),
      shared_(shared),
      remote_(remote) {}

std::string Session::Peer() const { return PeerText(remote_); }

void Session::Log(std::string_view event) { shared_.log.Connection(Peer(), pilot.name, event); }

void Session::Start() {
  asio::error_code error;
  socket_.set_option(asio::ip::tcp::no_delay(true), error);
  socket_.set_option(asio::socket_base::send_buffer_size(kSendBuffer), error);
  socket_.non_blocking(true, error);
  Log("connected");
  BeginReading();
}

void Session::WaitReadable() {
  if (closed_ || closing_ || paused_ || waiting_) return;
  waiting_ = true;
  auto readable = [self = Self()](const asio::error_code& error) {
    self->waiting_ = false;
    self->OnReadable(error);
  };
  if (InputWaiting()) {
    asio::post(socket_.get_executor(), [readable] { readable({}); });
  } else {
    socket_.async_wait(asio::ip::tcp::socket::wait_read, readable);
  }
}

void Session::OnReadable(const asio::error_code& error) {
  if (closed_ || closing_) return;
  if (error) {
    Close("read failed: " + error.message());
    return;
  }
  asio::error_code readError;
  size_t count = ReadSome(asio::buffer(shared_.scratch), readError);
  if (readError == asio::error::would_block || readError == asio::error::try_again) {
    WaitReadable();
    return;
  }
  if (readError == asio::error::eof) {
    Close("connection closed by peer");
    return;
  }
  if (readError) {
    Close("read failed: " + readError.message());
    return;
  }
  std::string_view bytes(shared_.scratch.data(), count);
  if (!heard_) {
    // Only a proxy named by --proxy-from may say whom it speaks for, and its header was taken
    // before the session started.
    if (StartsWithProxySignature(bytes)) {
      Close("PROXY protocol header from an address not in --proxy-from");
      return;
    }
    // No line of the lobby starts with 0x16; a TLS hello does.
    if (!Encrypted() && !bytes.empty() && bytes[0] == 0x16) {
      Close("closed (a TLS hello on the plain port: this client wants the TLS port)");
      return;
    }
  }
  heard_ = true;
  buffer_.Append(bytes);
  HandleLines();
}

void Session::HandleLines() {
  std::string raw;
  while (!closed_ && !closing_ && !paused_) {
    auto cut = buffer_.Next(raw);
    if (cut == cv3::LineBuffer::Cut::kNone) break;
    if (cut == cv3::LineBuffer::Cut::kTooLong) {
      Close("line too long");
      return;
    }
    shared_.events.OnLine(*this, cv3::ParseLine(cv3::Cp1252ToUtf8(raw)));
  }
  // An idle connection keeps no receive buffer behind.
  buffer_.ReleaseIfEmpty();
  WaitReadable();
}

void Session::Resume() {
  if (!paused_) return;
  paused_ = false;
  // Posted, so the caller's own work finishes before the next line is handled.
  asio::post(socket_.get_executor(), [self = Self()] { self->HandleLines(); });
}

void Session::Send(std::string_view line) {
  if (closed_) return;
  std::string bytes;
  AppendWireLine(bytes, line);
  Enqueue(bytes, Delivery::kNow);
}

void Session::SendLines(const std::vector<std::string>& lines) {
  if (closed_) return;
  std::string bytes;
  for (const auto& line : lines) AppendWireLine(bytes, line);
  Enqueue(bytes, Delivery::kNow);
}

void Session::SendWire(std::string_view bytes, Delivery delivery) {
  if (closed_) return;
  Enqueue(bytes, delivery);
}

void Session::Enqueue(std::string_view bytes, Delivery delivery) {
  if (!Admit(bytes.size())) return;
  if (!backlog_.empty()) {
    heldBytes_ += bytes.size();
    backlog_.push_back({std::string(bytes), {}});
    return;
  }
  outbox_.append(bytes);
  if (delivery == Delivery::kNow) urgent_ = true;
  WriteSoon(delivery);
}

bool Session::Admit(size_t bytes) {
  if (queuedBytes_ + bytes > shared_.budget.perConnection) {
    shared_.metrics.Count(Refusal::kNotReading);
    Close("outbound queue full (peer not reading)");
    return false;
  }
  if (shared_.budget.queued + bytes > shared_.budget.limit && queuedBytes_ > kBehindBytes) {
    shared_.metrics.Count(Refusal::kNotReading);
    Close("outbound queue closed (the server's output is full; peer not reading)");
    return false;
  }
  queuedBytes_ += bytes;
  shared_.budget.queued += bytes;
  return true;
}

void Session::SendStream(Producer more) {
  if (closed_ || !Admit(kHeldProducerBytes)) return;
  heldBytes_ += kHeldProducerBytes;
  backlog_.push_back({{}, std::move(more)});
  urgent_ = true;
  FillFromBacklog();
  WriteSoon(Delivery::kNow);
}

void Session::WriteSoon(Delivery delivery) {
  if (closed_ || writing_) return;
  // A gathered write still due then finds the queue written and has nothing to do.
  if (delivery == Delivery::kNow) return WriteMore();
  if (writeArmed_) return;
  auto due = lastWrite_ + shared_.budget.gather;
  if (std::chrono::steady_clock::now() >= due) {
    WriteMore();
    return;
  }
  writeArmed_ = true;
  if (!coalesceTimer_)
    coalesceTimer_ = std::make_unique<asio::steady_timer>(socket_.get_executor());
  coalesceTimer_->expires_at(due);
  coalesceTimer_->async_wait([self = Self()](const asio::error_code& error) {
    self->writeArmed_ = false;
    // Thousands of connections wait for their gathered write at once; between waits none keeps
    // a timer. Its wait is over, so it may end here.
    auto spent = std::move(self->coalesceTimer_);
    if (!error) self->WriteMore();
  });
}

void Session::FillFromBacklog() {
  // Well below what the connection may queue, so a chunk always fits.
  const size_t lowWater = std::min(kLowWater, shared_.budget.perConnection / 4);
  while (!closed_ && !backlog_.empty() && queuedBytes_ - heldBytes_ < lowWater) {
    Held& front = backlog_.front();
    if (!front.producer) {
      heldBytes_ -= front.bytes.size();
      outbox_ += front.bytes;
      backlog_.pop_front();
      continue;
    }
    std::string bytes;
    bool more = front.producer(bytes);
    if (!more) {
      backlog_.pop_front();
      heldBytes_ -= kHeldProducerBytes;
      Unqueued(kHeldProducerBytes);
    }
    if (bytes.empty()) continue;
    if (!Admit(bytes.size())) return;
    outbox_ += bytes;
  }
}

void Session::WriteMore() {
  if (closed_ || writing_) return;
  FillFromBacklog();
  if (closed_) return;
  if (outbox_.empty()) {
    if (closing_) Close(closeReason_);
    return;
  }
  inFlight_.swap(outbox_);
  urgent_ = false;
  lastWrite_ = std::chrono::steady_clock::now();
  writing_ = true;
  WriteInFlight();
}

void Session::WriteInFlight() {
  asio::async_write(
      socket_, asio::buffer(inFlight_),
      [self = Self()](const asio::error_code& error, size_t) { self->OnWritten(error); });
}

void Session::OnWritten(const asio::error_code& error) {
  writing_ = false;
  Unqueued(inFlight_.size());
  if (!error) {
    Metrics::Add(shared_.metrics.bytesWritten, inFlight_.size());
    Metrics::Add(shared_.metrics.linesWritten,
                 std::count(inFlight_.begin(), inFlight_.end(), '\n'));
  }
  // The next write swaps the outbox in; an idle connection keeps no write buffer at all.
  std::string().swap(inFlight_);
  if (outbox_.empty()) std::string().swap(outbox_);
  if (closed_) return;
  if (error) {
    Close("write failed: " + error.message());
    return;
  }
  // What came meanwhile goes now if someone waits on it; notices wait for the next gathering.
  if (urgent_ || closing_ || !backlog_.empty()) {
    WriteMore();
  } else if (!outbox_.empty()) {
    WriteSoon(Delivery::kGathered);
  }
}

void Session::Unqueued(size_t bytes) {
  queuedBytes_ -= bytes;
  shared_.budget.queued -= bytes;
}

void Session::CloseAfterFlush(std::string_view reason) {
  if (closed_ || closing_) return;
  closing_ = true;
  closeReason_ = std::string(reason);
  if (!writing_ && outbox_.empty() && backlog_.empty()) {
    Close(closeReason_);
    return;
  }
  flushTimer_ = std::make_unique<asio::steady_timer>(socket_.get_executor(), kFlushDeadline);
  flushTimer_->async_wait([self = Self()](const asio::error_code& error) {
    if (!error) self->Close(self->closeReason_ + " (unsent lines dropped)");
  });
  // Notices waiting for the gathering go now: at a shutdown the server waits for them.
  WriteMore();
}

void Session::Close(std::string_view reason) {
  if (closed_) return;
  closed_ = true;
  Log(reason);
  if (flushTimer_) flushTimer_->cancel();
  if (coalesceTimer_) coalesceTimer_->cancel();
  BeforeClose();
  asio::error_code ignored;
  socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  socket_.close(ignored);
  Unqueued(outbox_.size());
  std::string().swap(outbox_);
  for (const Held& item : backlog_)
    Unqueued(item.producer ? kHeldProducerBytes : item.bytes.size());
  backlog_.clear();
  heldBytes_ = 0;
  asio::post(socket_.get_executor(), [self = Self()] { self->shared_.events.OnClosed(*self); });
}

}  // namespace lobbyd
