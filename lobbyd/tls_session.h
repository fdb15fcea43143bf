// A Session over TLS: the same lines, encrypted by OpenSSL right on the connection's
// non-blocking socket, so an idle session holds none of the stream's buffers (the context's
// release-buffers mode gives back OpenSSL's own). The handshake runs before the first line is
// read, within the sign-in deadline (a peer that never finishes it is closed as one that never
// signs in), and the session keeps the context it began with, whatever a reload brings later.
// Closing sends TLS's close_notify when the socket takes it at once.
#pragma once

#include <openssl/ssl.h>

#include <asio/ssl/context.hpp>
#include <functional>
#include <memory>

#include "lobbyd/session.h"

namespace lobbyd {

class TlsSession final : public Session {
 public:
  TlsSession(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& remote, uint64_t id,
             SessionShared& shared, std::shared_ptr<asio::ssl::context> context);

 protected:
  void BeginReading() override;
  size_t ReadSome(asio::mutable_buffer buffer, asio::error_code& error) override;
  void WriteInFlight() override;
  bool InputWaiting() const override { return inputWaiting_; }
  bool Encrypted() const override { return true; }
  void BeforeClose() override;

 private:
  std::shared_ptr<TlsSession> TlsSelf() {
    return std::static_pointer_cast<TlsSession>(shared_from_this());
  }
  void Handshake();
  // Writes on from `written_` until InFlight() is all out or the socket is full.
  void WriteOn();
  // What OpenSSL's call that gave `result` came to: the SSL_ERROR_* code, with `error` set to
  // would_block when it waits for the socket, eof when the peer is gone, else the reason.
  int Outcome(int result, asio::error_code& error);
  // Runs `next` once the socket can give what OpenSSL wants (`wanted`, an SSL_ERROR_WANT_*
  // code), or with the error when the wait ends otherwise (the session closed).
  void AwaitSocket(int wanted, std::function<void(const asio::error_code&)> next);

  struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
  };
  std::shared_ptr<asio::ssl::context> context_;
  std::unique_ptr<SSL, SslFree> ssl_;
  size_t written_ = 0;         // of InFlight(), by the write in progress
  bool established_ = false;   // the handshake is done
  bool writeWaiting_ = false;  // a write came before the handshake was done
  bool failed_ = false;        // OpenSSL failed for good: no close_notify then
  // A read gave something, or the handshake ended: more may sit in OpenSSL already, taken off
  // the socket, where the socket's readiness does not show it.
  bool inputWaiting_ = false;
};

}  // namespace lobbyd
