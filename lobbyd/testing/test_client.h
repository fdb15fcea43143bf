// A blocking loopback client for conversation tests with lobbyd: sends lines, reads lines with a
// deadline, notices a closed connection. Lines are UTF-8 here and Windows-1252 on the wire;
// after StartTls they travel over TLS (OpenSSL). One thread.
#pragma once

#include <openssl/ssl.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lobbyd::testing {

class TestClient {
 public:
  static constexpr std::chrono::milliseconds kDeadline{5000};

  // `receiveBuffer` > 0 shrinks the socket's receive buffer (a peer that never reads);
  // `source` picks another loopback address to come from (127.0.0.2, ...); `host` is the
  // server's IPv4 address (127.0.0.1 when null).
  explicit TestClient(unsigned short port, int receiveBuffer = 0, const char* source = nullptr,
                      const char* host = nullptr);
  ~TestClient();
  TestClient(const TestClient&) = delete;
  TestClient& operator=(const TestClient&) = delete;

  // The TLS handshake, accepting any certificate (the test reads it). Empty text once
  // established, else OpenSSL's reason.
  std::string StartTls();
  // The common name in the server's certificate.
  std::string PeerCommonName() const;

  // Encodes to Windows-1252 and appends CR LF. False when the send failed.
  bool Send(std::string_view line);
  bool SendRaw(std::string_view bytes);

  // The next line, decoded; nothing when none came before the deadline or the peer closed.
  std::optional<std::string> ReadLine(std::chrono::milliseconds deadline = kDeadline);
  // Lines up to (not including) the first that equals `line`; nothing if it never came.
  std::optional<std::vector<std::string>> ReadUntil(std::string_view line,
                                                    std::chrono::milliseconds deadline = kDeadline);
  // Sends "VERSION:300" and returns the lines that arrived before its "VERSION_ACK:OK": since
  // the server answers in order, this is everything the server had queued for us.
  std::optional<std::vector<std::string>> Sync();
  // True when the server closed the connection within the deadline (lines are discarded).
  bool WaitClosed(std::chrono::milliseconds deadline = kDeadline);
  // Over TLS: the server's close came with TLS's close_notify, not as a cut stream.
  bool CloseNotified() const { return closeNotified_; }
  void Close();

 private:
  enum class Fill { kData, kTimeout, kClosed };
  Fill FillBuffer(std::chrono::steady_clock::time_point until);

  int fd_ = -1;
  SSL_CTX* tlsContext_ = nullptr;
  SSL* tls_ = nullptr;
  std::string buffer_;
  bool peerClosed_ = false;
  bool closeNotified_ = false;
};

}  // namespace lobbyd::testing
