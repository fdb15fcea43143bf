// The lobby connection over Winsock with WSAAsyncSelect: socket events arrive as window messages
// on a hidden message window and are passed on as Connect, DataArrival and Close events, the way
// the event-driven socket control behaves; the close says how the connection ended. Host names
// resolve to IPv4 and IPv6 addresses, tried in order. Asked for TLS, the connection runs Schannel's
// handshake between the TCP connect and the connected event, and carries the bytes through it;
// a connection that cannot be made secure sends nothing and ends as insecure. UI thread only.
#pragma once

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/tls_trust.h"
#include "win32/message_window_win32.h"

namespace cv3 {

class SchannelTls;

class WinsockConnection {
 public:
  // The socket control's states that the client looks at.
  enum State { kClosed = 0, kConnecting = 6, kConnected = 7, kError = 9 };

  // How a connection or an attempt ended.
  enum class CloseKind {
    kByServer,   // the peer closed cleanly; its data has been passed on first
    kFailed,     // refused, unreachable, reset, or a send failed
    kCancelled,  // Close ended it while it stood or was being made
  };

  struct Events {
    std::function<void()> connected;
    std::function<void(std::string_view bytes)> dataArrival;
    std::function<void(CloseKind kind)> closed;
    // Instead of closed: the handshake failed or the certificate did not verify.
    std::function<void(const TlsFailure& failure)> insecure;
  };

  explicit WinsockConnection(Events events);
  ~WinsockConnection();
  WinsockConnection(const WinsockConnection&) = delete;
  WinsockConnection& operator=(const WinsockConnection&) = delete;

  // False when the hidden message window could not be made: no socket event can arrive then.
  bool ok() const { return window_ != nullptr; }

  // Starts connecting; the outcome arrives as the connected or the closed event. A name that
  // does not resolve reports kFailed from the message loop, never from inside this call. The one
  // exception is a connection without its message window (!ok()): nothing could ever arrive
  // from the loop, so kFailed is reported at once, from inside this call.
  // With tls.on the handshake names `host` (SNI and the certificate's name).
  void Connect(const std::string& host, int port, const TlsOptions& tls = {});
  // Ends the connection or attempt at once. One that stood or was being made is reported as
  // kCancelled from the message loop, unless Connect is called first.
  // A secure connection that stood sends its close_notify first, as far as the socket takes it.
  void Close();
  int State() const { return state_; }
  bool IsConnected() const { return state_ == kConnected; }
  // Sends what the socket takes now and keeps the rest until it can take more.
  void SendData(std::string_view bytes);
  // The local IP address of the connected socket, as numeric text; empty when not connected.
  std::string LocalAddress() const;

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnSocketEvent(SOCKET socket, WORD event, WORD error);
  bool TryNextAddress();
  void Release();
  void End(CloseKind kind);
  void Flush();
  void ReadAll();
  // Passes bytes from the server through TLS; false when the connection ended or was replaced.
  bool ReceiveSecure(std::string_view bytes);
  void Insecure(const TlsFailure& failure);

  Events events_;
  MessageWindow messages_;
  HWND window_;  // the message window's handle, nullptr when it could not be created
  SOCKET socket_ = INVALID_SOCKET;
  int state_ = kClosed;
  std::vector<sockaddr_storage> addresses_;
  std::vector<int> addressLengths_;
  size_t nextAddress_ = 0;
  std::string outbound_;
  bool wsaStarted_ = false;
  WPARAM generation_ = 0;  // tells a stale failure notice from the current attempt's
  std::string host_;
  TlsOptions tlsOptions_;
  std::unique_ptr<SchannelTls> tls_;  // from the TCP connect on, when TLS was asked for
};

}  // namespace cv3
