// The probe over Winsock: every address the host name resolves to (IPv4 and IPv6) is tried at
// once, each on a socket of its own with WSAAsyncSelect, and the first connection established is
// the one reported. So a server listening on only one loopback address answers within the
// watchdog's seven seconds whichever address comes first. UI thread only.
#pragma once

#include <windows.h>
#include <winsock2.h>

#include <functional>
#include <string>
#include <vector>

#include "cv3guard/probe_socket.h"
#include "win32/message_window_win32.h"

namespace cv3 {

// One address to try, as the resolver gives it.
struct ProbeAddress {
  sockaddr_storage address{};
  int length = 0;
};
// Every address (IPv4 and IPv6, in the resolver's order) that a name and port resolve to; empty
// when the name does not resolve.
using ProbeResolver = std::function<std::vector<ProbeAddress>(const std::string& host, int port)>;
std::vector<ProbeAddress> ResolveAll(const std::string& host, int port);

class Win32ProbeSocket : public ProbeSocket {
 public:
  // `connected` is the Connect event; `resolve` names the addresses to try (tests give their own).
  explicit Win32ProbeSocket(std::function<void()> connected, ProbeResolver resolve = ResolveAll);
  ~Win32ProbeSocket() override;
  Win32ProbeSocket(const Win32ProbeSocket&) = delete;
  Win32ProbeSocket& operator=(const Win32ProbeSocket&) = delete;

  // A name that does not resolve, or no message window, is a probe that never connects.
  void Connect(const std::string& host, int port) override;
  void Close() override;

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  std::function<void()> connected_;
  ProbeResolver resolve_;
  MessageWindow window_;
  std::vector<SOCKET> attempts_;  // connects in flight, one per address
  SOCKET established_ = INVALID_SOCKET;
  bool wsaStarted_ = false;
};

}  // namespace cv3
