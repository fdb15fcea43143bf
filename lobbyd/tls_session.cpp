#include "lobbyd/tls_session.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <sys/socket.h>

#include <asio/ssl/error.hpp>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace lobbyd {
namespace {

int Descriptor(BIO* bio) { return static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio))); }

bool Retriable(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

int SocketWrite(BIO* bio, const char* data, size_t size, size_t* written) {
  BIO_clear_retry_flags(bio);
  ssize_t sent = ::send(Descriptor(bio), data, size, MSG_NOSIGNAL);
  if (sent >= 0) {
    *written = static_cast<size_t>(sent);
    return 1;
  }
  if (Retriable(errno)) BIO_set_retry_write(bio);
  return 0;
}

int SocketRead(BIO* bio, char* data, size_t size, size_t* got) {
  BIO_clear_retry_flags(bio);
  ssize_t received = ::recv(Descriptor(bio), data, size, 0);
  if (received > 0) {
    *got = static_cast<size_t>(received);
    return 1;
  }
  if (received == 0) {
    BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
  } else if (Retriable(errno)) {
    BIO_set_retry_read(bio);
  }
  return 0;
}

long SocketControl(BIO* bio, int command, long, void*) {
  if (command == BIO_CTRL_FLUSH) return 1;
  if (command == BIO_CTRL_EOF) return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0;
  return 0;
}

// OpenSSL's own socket BIO writes with write(2), whose SIGPIPE at a peer that has reset would
// end lobbyd; this one sends with MSG_NOSIGNAL, as Asio does. It holds the descriptor only: the
// socket stays Asio's.
const BIO_METHOD* SocketMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "lobbyd socket");
    if (made) {
      BIO_meth_set_write_ex(made, SocketWrite);
      BIO_meth_set_read_ex(made, SocketRead);
      BIO_meth_set_ctrl(made, SocketControl);
    }
    return made;
  }();
  return method;
}

SSL* NewSsl(SSL_CTX* context, int descriptor) {
  const BIO_METHOD* method = SocketMethod();
  if (!method) return nullptr;
  SSL* ssl = SSL_new(context);
  BIO* bio = BIO_new(method);
  if (!ssl || !bio) {
    SSL_free(ssl);
    BIO_free(bio);
    return nullptr;
  }
  BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(descriptor)));
  BIO_set_init(bio, 1);
  SSL_set_bio(ssl, bio, bio);
  SSL_set_accept_state(ssl);
  return ssl;
}

}  // namespace

TlsSession::TlsSession(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& remote,
                       uint64_t id, SessionShared& shared,
                       std::shared_ptr<asio::ssl::context> context)
    : Session(std::move(socket), remote, id, shared), context_(std::move(context)) {}

void TlsSession::BeginReading() {
  ssl_.reset(NewSsl(context_->native_handle(), Socket().native_handle()));
  ERR_clear_error();
  if (!ssl_) {
    Close("TLS session could not be made (out of memory)");
    return;
  }
  Handshake();
}

void TlsSession::Handshake() {
  ERR_clear_error();
  int result = SSL_do_handshake(ssl_.get());
  if (result == 1) {
    established_ = true;
    // Lines may have come with the handshake's last message, already taken off the socket.
    inputWaiting_ = true;
    WaitReadable();
    if (std::exchange(writeWaiting_, false)) WriteOn();
    return;
  }
  asio::error_code error;
  int wanted = Outcome(result, error);
  if (error != asio::error::would_block) {
    Close("TLS handshake failed: " + error.message());
    return;
  }
  AwaitSocket(wanted, [this](const asio::error_code& waitError) {
    if (waitError) {
      Close("TLS handshake failed: " + waitError.message());
    } else {
      Handshake();
    }
  });
}

size_t TlsSession::ReadSome(asio::mutable_buffer buffer, asio::error_code& error) {
  ERR_clear_error();
  size_t count = 0;
  int result = SSL_read_ex(ssl_.get(), buffer.data(), buffer.size(), &count);
  inputWaiting_ = result == 1 && SSL_has_pending(ssl_.get()) == 1;
  if (result != 1) Outcome(result, error);
  return count;
}

void TlsSession::WriteInFlight() {
  written_ = 0;
  if (!established_) {
    writeWaiting_ = true;
    return;
  }
  WriteOn();
}

void TlsSession::WriteOn() {
  const std::string& bytes = InFlight();
  while (written_ < bytes.size()) {
    ERR_clear_error();
    size_t count = 0;
    // A retry after the socket was full passes the same bytes again, as OpenSSL wants.
    int result = SSL_write_ex(ssl_.get(), bytes.data() + written_, bytes.size() - written_, &count);
    if (result == 1) {
      written_ += count;
      continue;
    }
    asio::error_code error;
    int wanted = Outcome(result, error);
    if (error != asio::error::would_block) {
      OnWritten(error);
      return;
    }
    AwaitSocket(wanted, [this](const asio::error_code& waitError) {
      if (waitError) {
        OnWritten(waitError);
      } else {
        WriteOn();
      }
    });
    return;
  }
  OnWritten({});
}

int TlsSession::Outcome(int result, asio::error_code& error) {
  int saved = errno;
  int code = SSL_get_error(ssl_.get(), result);
  unsigned long reason = ERR_peek_error();
  ERR_clear_error();
  if (code == SSL_ERROR_WANT_READ || code == SSL_ERROR_WANT_WRITE) {
    error = asio::error::would_block;
    return code;
  }
  // The peer's close_notify: answered with ours at the close.
  if (code == SSL_ERROR_ZERO_RETURN) {
    error = asio::error::eof;
    return code;
  }
  failed_ = true;
  if (reason != 0 && ERR_GET_REASON(reason) != SSL_R_UNEXPECTED_EOF_WHILE_READING) {
    error = asio::error_code(static_cast<int>(reason), asio::error::get_ssl_category());
  } else if (code == SSL_ERROR_SYSCALL && reason == 0 && saved != 0) {
    error = asio::error_code(saved, asio::error::get_system_category());
  } else {
    // A peer gone without TLS's own goodbye is gone all the same.
    error = asio::error::eof;
  }
  return code;
}

void TlsSession::AwaitSocket(int wanted, std::function<void(const asio::error_code&)> next) {
  auto kind = wanted == SSL_ERROR_WANT_WRITE ? asio::ip::tcp::socket::wait_write
                                             : asio::ip::tcp::socket::wait_read;
  Socket().async_wait(kind, [self = TlsSelf(), next = std::move(next)](asio::error_code error) {
    // Once the socket is closed its descriptor may be another connection's: OpenSSL must not
    // touch it again.
    if (!error && !self->Socket().is_open()) error = asio::error::operation_aborted;
    next(error);
  });
}

void TlsSession::BeforeClose() {
  // A write that waited for the handshake ends with the session, as one on the socket would.
  if (std::exchange(writeWaiting_, false)) OnWritten(asio::error::operation_aborted);
  // TLS's own goodbye, so the peer knows the stream ended where lobbyd meant it to: sent if the
  // socket takes it now, never waited for, nor the peer's own.
  if (!ssl_ || !established_ || failed_) return;
  ERR_clear_error();
  SSL_shutdown(ssl_.get());
  ERR_clear_error();
}

}  // namespace lobbyd
