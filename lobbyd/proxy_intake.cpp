#include "lobbyd/proxy_intake.h"

#include "lobbyd/proxy_header.h"
#include "lobbyd/session.h"

namespace lobbyd {

ProxyIntake::ProxyIntake(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& proxy,
                         EventLog& log, Admit admit, Done done)
    : socket_(std::move(socket)),
      proxy_(proxy),
      log_(log),
      admit_(std::move(admit)),
      done_(std::move(done)),
      deadline_(socket_.get_executor()) {}

void ProxyIntake::Start(std::chrono::seconds deadline) {
  asio::error_code ignored;
  socket_.non_blocking(true, ignored);
  deadline_.expires_after(deadline);
  deadline_.async_wait([self = shared_from_this()](const asio::error_code& error) {
    if (!error) self->Close("no PROXY protocol header within the sign-in deadline");
  });
  WaitReadable();
}

void ProxyIntake::Cancel() {
  asio::error_code ignored;
  socket_.close(ignored);
  Finish();
}

void ProxyIntake::WaitReadable() {
  socket_.async_wait(
      asio::ip::tcp::socket::wait_read,
      [self = shared_from_this()](const asio::error_code& error) { self->OnReadable(error); });
}

void ProxyIntake::OnReadable(const asio::error_code& error) {
  if (finished_) return;
  if (error) return Close("read failed: " + error.message());
  // Looked at first and taken only as far as it is the header: what follows it belongs to the
  // session.
  char peeked[kProxyHeaderMost];
  asio::error_code readError;
  size_t count = socket_.receive(asio::buffer(peeked, kProxyHeaderMost - received_.size()),
                                 asio::socket_base::message_peek, readError);
  if (readError == asio::error::would_block || readError == asio::error::try_again) {
    return WaitReadable();
  }
  if (readError == asio::error::eof) return Close("connection closed by peer");
  if (readError) return Close("read failed: " + readError.message());
  ProxyHeader header = ParseProxyHeader(received_ + std::string(peeked, count));
  if (header.state == ProxyHeader::State::kMalformed) {
    return Close("malformed PROXY protocol header (" + header.problem + ")");
  }
  // Incomplete, all that came is header.
  size_t take =
      header.state == ProxyHeader::State::kComplete ? header.length - received_.size() : count;
  socket_.receive(asio::buffer(peeked, take), 0, readError);
  if (readError) return Close("read failed: " + readError.message());
  received_.append(peeked, take);
  if (header.state == ProxyHeader::State::kIncomplete) return WaitReadable();
  auto admit = std::move(admit_);
  auto socket = std::move(socket_);
  Finish();
  admit(std::move(socket), header.client.value_or(proxy_));
}

void ProxyIntake::Close(std::string_view reason) {
  if (finished_) return;
  log_.Connection(PeerText(proxy_), "", reason);
  asio::error_code ignored;
  socket_.close(ignored);
  Finish();
}

void ProxyIntake::Finish() {
  if (finished_) return;
  finished_ = true;
  deadline_.cancel();
  auto done = std::move(done_);
  done(*this);
}

}  // namespace lobbyd
