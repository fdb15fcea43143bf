#include "lobbyd/tls_session.h"

#include <asio/write.hpp>

namespace lobbyd {

TlsSession::TlsSession(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& remote,
                       uint64_t id, SessionShared& shared,
                       std::shared_ptr<asio::ssl::context> context)
    : Session(std::move(socket), remote, id, shared),
      context_(std::move(context)),
      stream_(Socket(), *context_) {}

void TlsSession::BeginReading() {
  stream_.async_handshake(asio::ssl::stream_base::server,
                          [self = TlsSelf()](const asio::error_code& error) {
                            if (!self->Open()) return;
                            if (error) {
                              self->Close("TLS handshake failed: " + error.message());
                              return;
                            }
                            // Lines may have come with the handshake's last message, already
                            // taken off the socket.
                            self->inputWaiting_ = true;
                            self->WaitReadable();
                          });
}

size_t TlsSession::ReadSome(asio::mutable_buffer buffer, asio::error_code& error) {
  size_t count = stream_.read_some(buffer, error);
  // A peer gone without TLS's own goodbye is gone all the same.
  if (error == asio::ssl::error::stream_truncated) error = asio::error::eof;
  inputWaiting_ = count > 0;
  return count;
}

void TlsSession::WriteInFlight() {
  asio::async_write(
      stream_, asio::buffer(InFlight()),
      [self = TlsSelf()](const asio::error_code& error, size_t) { self->OnWritten(error); });
}

}  // namespace lobbyd
