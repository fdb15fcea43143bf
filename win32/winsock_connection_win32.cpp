#include "win32/winsock_connection_win32.h"

#include <mstcpip.h>

#include <cstring>

#include "win32/schannel_tls_win32.h"

namespace cv3 {
namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kFailMessage = WM_APP + 2;
constexpr UINT kCancelMessage = WM_APP + 3;

// A server gone without a FIN (its link pulled, a NAT that forgot us) would otherwise leave the
// client "Online" until the player sent something: after a minute of silence the system probes
// every 10 s, and when none is answered the connection ends as failed (Windows sends 10 probes,
// so about three minutes in all).
void KeepAlive(SOCKET socket) {
  tcp_keepalive probes{1, 60 * 1000, 10 * 1000};
  DWORD returned = 0;
  if (WSAIoctl(socket, SIO_KEEPALIVE_VALS, &probes, sizeof probes, nullptr, 0, &returned, nullptr,
               nullptr) == 0) {
    return;
  }
  BOOL on = TRUE;  // the system's own times, slower but still an end
  setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
}

}  // namespace

WinsockConnection::WinsockConnection(Events events)
    : events_(std::move(events)),
      messages_([this](UINT message, WPARAM wParam, LPARAM lParam) {
        return OnMessage(message, wParam, lParam);
      }),
      window_(messages_.hwnd()) {
  WSADATA data;
  wsaStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockConnection::~WinsockConnection() {
  Release();
  if (wsaStarted_) WSACleanup();
}

void WinsockConnection::Close() {
  bool stood = state_ == kConnecting || state_ == kConnected;
  if (tls_ && state_ == kConnected) {
    // Best effort, and never an event from inside Close: what the socket does not take now is
    // dropped with it.
    std::string closeNotify = tls_->Shutdown();
    send(socket_, closeNotify.data(), static_cast<int>(closeNotify.size()), 0);
  }
  Release();
  if (stood && window_) PostMessageW(window_, kCancelMessage, generation_, 0);
}

void WinsockConnection::Release() {
  if (socket_ != INVALID_SOCKET) {
    WSAAsyncSelect(socket_, window_, 0, 0);
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
  tls_.reset();
  // Events of the closed socket may still be queued; they name the old socket and are dropped.
  addresses_.clear();
  addressLengths_.clear();
  outbound_.clear();
  state_ = kClosed;
}

std::string WinsockConnection::LocalAddress() const {
  if (state_ != kConnected || socket_ == INVALID_SOCKET) return {};
  sockaddr_storage local{};
  int length = sizeof local;
  if (getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) != 0) return {};
  char host[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&local), length, host, sizeof host, nullptr, 0,
                  NI_NUMERICHOST) != 0) {
    return {};
  }
  return host;
}

void WinsockConnection::Connect(const std::string& host, int port, const TlsOptions& tls) {
  Release();
  host_ = host;
  tlsOptions_ = tls;
  ++generation_;  // what is still queued for an earlier attempt is dropped
  if (!window_) {
    End(CloseKind::kFailed);  // no window to post to or to receive socket events: now, not never
    return;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  state_ = kConnecting;
  if (port <= 0 || port > 65535 ||
      getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
    PostMessageW(window_, kFailMessage, generation_, 0);
    return;
  }
  for (addrinfo* a = found; a; a = a->ai_next) {
    sockaddr_storage storage{};
    std::memcpy(&storage, a->ai_addr, a->ai_addrlen);
    addresses_.push_back(storage);
    addressLengths_.push_back(static_cast<int>(a->ai_addrlen));
  }
  freeaddrinfo(found);
  nextAddress_ = 0;
  if (!TryNextAddress()) PostMessageW(window_, kFailMessage, generation_, 0);
}

bool WinsockConnection::TryNextAddress() {
  while (nextAddress_ < addresses_.size()) {
    const auto& address = addresses_[nextAddress_];
    int length = addressLengths_[nextAddress_];
    ++nextAddress_;
    if (socket_ != INVALID_SOCKET) {
      WSAAsyncSelect(socket_, window_, 0, 0);
      closesocket(socket_);
    }
    socket_ = socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET) continue;
    KeepAlive(socket_);
    WSAAsyncSelect(socket_, window_, kSocketMessage, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE);
    if (connect(socket_, reinterpret_cast<const sockaddr*>(&address), length) == 0 ||
        WSAGetLastError() == WSAEWOULDBLOCK) {
      return true;
    }
  }
  return false;
}

void WinsockConnection::End(CloseKind kind) {
  Release();
  if (kind == CloseKind::kFailed) state_ = kError;
  if (events_.closed) events_.closed(kind);
}

void WinsockConnection::SendData(std::string_view bytes) {
  if (state_ != kConnected) return;
  if (!tls_) {
    outbound_.append(bytes);
  } else if (!tls_->Encrypt(bytes, outbound_)) {
    End(CloseKind::kFailed);
    return;
  }
  Flush();
}

void WinsockConnection::Insecure(const TlsFailure& failure) {
  Release();
  state_ = kError;
  if (events_.insecure) {
    events_.insecure(failure);
  } else if (events_.closed) {
    events_.closed(CloseKind::kFailed);
  }
}

bool WinsockConnection::ReceiveSecure(std::string_view bytes) {
  SOCKET reading = socket_;
  bool handshaking = state_ == kConnecting;
  std::string plain;
  SchannelTls::State secure = tls_->Receive(bytes, outbound_, plain);
  if (secure == SchannelTls::State::kFailed) {
    // Before "connected" nothing of ours was sent: the player is told. Later it is a broken
    // connection like any other.
    if (handshaking) {
      Insecure(tls_->failure());
    } else {
      End(CloseKind::kFailed);
    }
    return false;
  }
  Flush();
  if (socket_ != reading) return false;
  if (secure == SchannelTls::State::kHandshaking) return true;
  if (handshaking) {
    addresses_.clear();
    addressLengths_.clear();
    state_ = kConnected;
    if (events_.connected) events_.connected();
    if (socket_ != reading) return false;
  }
  // Data that came with the last handshake message comes after "connected", as it would have.
  if (!plain.empty() && events_.dataArrival) {
    events_.dataArrival(plain);
    if (socket_ != reading) return false;
  }
  if (secure == SchannelTls::State::kClosedByPeer) {
    End(CloseKind::kByServer);
    return false;
  }
  return true;
}

void WinsockConnection::Flush() {
  while (!outbound_.empty() && socket_ != INVALID_SOCKET) {
    int sent = send(socket_, outbound_.data(), static_cast<int>(outbound_.size()), 0);
    if (sent == SOCKET_ERROR) {
      if (WSAGetLastError() == WSAEWOULDBLOCK) return;  // FD_WRITE tells when to go on
      End(CloseKind::kFailed);
      return;
    }
    outbound_.erase(0, static_cast<size_t>(sent));
  }
}

void WinsockConnection::ReadAll() {
  char buffer[16384];
  for (;;) {
    int got = recv(socket_, buffer, sizeof buffer, 0);
    if (got > 0) {
      SOCKET reading = socket_;
      if (tls_) {
        if (!ReceiveSecure(std::string_view(buffer, got))) return;
      } else if (events_.dataArrival) {
        events_.dataArrival(std::string_view(buffer, got));
      }
      if (socket_ != reading) return;  // a handler closed or replaced the connection
      if (got < static_cast<int>(sizeof buffer)) return;
      continue;
    }
    return;  // would block, closed, or an error that FD_CLOSE reports
  }
}

void WinsockConnection::OnSocketEvent(SOCKET socket, WORD event, WORD error) {
  if (socket != socket_) return;
  switch (event) {
    case FD_CONNECT:
      if (error != 0) {
        if (!TryNextAddress()) End(CloseKind::kFailed);
        return;
      }
      if (tlsOptions_.on) {
        // "connected" waits for the handshake and the certificate's check.
        tls_ = std::make_unique<SchannelTls>(host_, tlsOptions_.pin);
        if (tls_->Start(outbound_) == SchannelTls::State::kFailed) {
          Insecure(tls_->failure());
          return;
        }
        Flush();
        return;
      }
      addresses_.clear();
      addressLengths_.clear();
      state_ = kConnected;
      if (events_.connected) events_.connected();
      return;
    case FD_READ:
      ReadAll();
      return;
    case FD_WRITE:
      Flush();
      return;
    case FD_CLOSE:
      ReadAll();
      if (socket_ != socket) return;
      if (tls_ && state_ == kConnecting) {
        // The server left in the middle of the handshake: no TLS server, or not one we can talk to.
        Insecure({TlsProblem::kHandshake, error == 0
                                              ? static_cast<uint32_t>(SEC_E_INCOMPLETE_MESSAGE)
                                              : static_cast<uint32_t>(HRESULT_FROM_WIN32(error))});
        return;
      }
      // Reported at once, not left for the next send: a server restart would otherwise leave
      // the client showing "Online" until the player typed something.
      End(error == 0 ? CloseKind::kByServer : CloseKind::kFailed);
      return;
    default:
      return;
  }
}

LRESULT WinsockConnection::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kSocketMessage) {
    OnSocketEvent(static_cast<SOCKET>(wParam), WSAGETSELECTEVENT(lParam),
                  WSAGETSELECTERROR(lParam));
    return 0;
  }
  if (message == kFailMessage) {
    if (wParam == generation_ && state_ == kConnecting) End(CloseKind::kFailed);
    return 0;
  }
  if (message == kCancelMessage) {
    if (wParam == generation_ && events_.closed) events_.closed(CloseKind::kCancelled);
    return 0;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace cv3
