// A Session over TLS: the same lines, encrypted. The handshake runs before the first line is
// read, within the sign-in deadline (a peer that never finishes it is closed as one that never
// signs in), and the session keeps the context it began with, whatever a reload brings later.
#pragma once

#include <asio/ssl/context.hpp>
#include <asio/ssl/stream.hpp>
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

 private:
  std::shared_ptr<TlsSession> TlsSelf() {
    return std::static_pointer_cast<TlsSession>(shared_from_this());
  }

  std::shared_ptr<asio::ssl::context> context_;
  asio::ssl::stream<asio::ip::tcp::socket&> stream_;
  // A read gave something: more may sit decrypted, or received but not yet decrypted, in the
  // stream, where the socket's readiness does not show it.
  bool inputWaiting_ = false;
};

}  // namespace lobbyd
