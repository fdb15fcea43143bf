#include "lobbyd/testing/test_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "protocol/cp1252.h"
#include "protocol/session_messages.h"

namespace lobbyd::testing {

TestClient::TestClient(unsigned short port, int receiveBuffer, const char* source,
                       const char* host) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  if (receiveBuffer > 0) {
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  }
  int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (source) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, source, &local.sin_addr);
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      Close();
      return;
    }
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (host) ::inet_pton(AF_INET, host, &address.sin_addr);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) Close();
}

TestClient::~TestClient() { Close(); }

void TestClient::Close() {
  if (tls_) SSL_free(tls_);
  if (tlsContext_) SSL_CTX_free(tlsContext_);
  tls_ = nullptr;
  tlsContext_ = nullptr;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::string TestClient::StartTls() {
  if (fd_ < 0) return "not connected";
  tlsContext_ = SSL_CTX_new(TLS_client_method());
  tls_ = SSL_new(tlsContext_);
  SSL_set_fd(tls_, fd_);
  // A handshake the server never answers fails instead of hanging the test.
  timeval limit{kDeadline.count() / 1000, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  int result = SSL_connect(tls_);
  timeval none{};
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none);
  if (result == 1) return {};
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  return code ? ERR_reason_error_string(code) : "handshake failed";
}

std::string TestClient::PeerCommonName() const {
  if (!tls_) return {};
  X509* certificate = SSL_get1_peer_certificate(tls_);
  if (!certificate) return {};
  char name[256] = {};
  X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, name, sizeof name);
  X509_free(certificate);
  return name;
}

bool TestClient::SendRaw(std::string_view bytes) {
  while (!bytes.empty() && fd_ >= 0) {
    ssize_t sent = tls_ ? SSL_write(tls_, bytes.data(), static_cast<int>(bytes.size()))
                        : ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return bytes.empty();
}

bool TestClient::Send(std::string_view line) {
  return SendRaw(cv3::Utf8ToCp1252Lossy(line) + "\r\n");
}

TestClient::Fill TestClient::FillBuffer(std::chrono::steady_clock::time_point until) {
  if (fd_ < 0 || peerClosed_) return Fill::kClosed;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() < 0) return Fill::kTimeout;
    // Decrypted bytes already in hand do not show on the socket.
    if (!tls_ || SSL_pending(tls_) == 0) {
      pollfd poller{fd_, POLLIN, 0};
      int ready = ::poll(&poller, 1, static_cast<int>(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return Fill::kTimeout;
    }
    char chunk[16384];
    ssize_t got = tls_ ? SSL_read(tls_, chunk, sizeof chunk) : ::recv(fd_, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      peerClosed_ = true;
      closeNotified_ = tls_ && SSL_get_error(tls_, static_cast<int>(got)) == SSL_ERROR_ZERO_RETURN;
      return Fill::kClosed;
    }
    buffer_.append(chunk, static_cast<size_t>(got));
    return Fill::kData;
  }
}

std::optional<std::string> TestClient::ReadLine(std::chrono::milliseconds deadline) {
  auto until = std::chrono::steady_clock::now() + deadline;
  for (;;) {
    size_t end = buffer_.find("\r\n");
    if (end != std::string::npos) {
      std::string line = cv3::Cp1252ToUtf8(std::string_view(buffer_).substr(0, end));
      buffer_.erase(0, end + 2);
      return line;
    }
    if (FillBuffer(until) != Fill::kData) return std::nullopt;
  }
}

std::optional<std::vector<std::string>> TestClient::ReadUntil(std::string_view wanted,
                                                              std::chrono::milliseconds deadline) {
  auto until = std::chrono::steady_clock::now() + deadline;
  std::vector<std::string> before;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    auto line = ReadLine(std::max(left, std::chrono::milliseconds(0)));
    if (!line) return std::nullopt;
    if (*line == wanted) return before;
    before.push_back(std::move(*line));
  }
}

std::optional<std::vector<std::string>> TestClient::Sync() {
  if (!Send(cv3::VersionCommand(3, 0, 0))) return std::nullopt;
  return ReadUntil("VERSION_ACK:OK");
}

bool TestClient::WaitClosed(std::chrono::milliseconds deadline) {
  auto until = std::chrono::steady_clock::now() + deadline;
  for (;;) {
    buffer_.clear();
    switch (FillBuffer(until)) {
      case Fill::kClosed:
        return true;
      case Fill::kTimeout:
        return false;
      case Fill::kData:
        break;
    }
  }
}

}  // namespace lobbyd::testing
