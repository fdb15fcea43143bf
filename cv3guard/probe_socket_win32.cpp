#include "cv3guard/probe_socket_win32.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

namespace cv3 {
namespace {

constexpr UINT kProbeMessage = WM_APP + 1;

void Drop(HWND window, SOCKET socket) {
  WSAAsyncSelect(socket, window, 0, 0);
  closesocket(socket);
}

}  // namespace

std::vector<ProbeAddress> ResolveAll(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  std::vector<ProbeAddress> addresses;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return {};
  for (addrinfo* a = found; a; a = a->ai_next) {
    ProbeAddress address;
    std::memcpy(&address.address, a->ai_addr, a->ai_addrlen);
    address.length = static_cast<int>(a->ai_addrlen);
    addresses.push_back(address);
  }
  freeaddrinfo(found);
  return addresses;
}

Win32ProbeSocket::Win32ProbeSocket(std::function<void()> connected, ProbeResolver resolve)
    : connected_(std::move(connected)),
      resolve_(std::move(resolve)),
      window_([this](UINT message, WPARAM wParam, LPARAM lParam) {
        return OnMessage(message, wParam, lParam);
      }) {
  WSADATA data;
  wsaStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

Win32ProbeSocket::~Win32ProbeSocket() {
  Close();
  if (wsaStarted_) WSACleanup();
}

void Win32ProbeSocket::Close() {
  for (SOCKET attempt : attempts_) Drop(window_.hwnd(), attempt);
  attempts_.clear();
  if (established_ != INVALID_SOCKET) Drop(window_.hwnd(), established_);
  established_ = INVALID_SOCKET;
  // Events of the dropped sockets may still be queued; they name no socket of ours and are lost.
}

void Win32ProbeSocket::Connect(const std::string& host, int port) {
  Close();
  if (!window_.hwnd() || !resolve_) return;
  for (const ProbeAddress& a : resolve_(host, port)) {
    SOCKET s = socket(a.address.ss_family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) continue;
    WSAAsyncSelect(s, window_.hwnd(), kProbeMessage, FD_CONNECT);
    if (connect(s, reinterpret_cast<const sockaddr*>(&a.address), a.length) == 0) {
      // Done at once: still reported from the loop, never from inside this call.
      PostMessageW(window_.hwnd(), kProbeMessage, s, WSAMAKESELECTREPLY(FD_CONNECT, 0));
    } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
      Drop(window_.hwnd(), s);
      continue;
    }
    attempts_.push_back(s);
  }
}

LRESULT Win32ProbeSocket::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kProbeMessage) return DefWindowProcW(window_.hwnd(), message, wParam, lParam);
  SOCKET s = static_cast<SOCKET>(wParam);
  auto attempt = std::find(attempts_.begin(), attempts_.end(), s);
  if (attempt == attempts_.end() || WSAGETSELECTEVENT(lParam) != FD_CONNECT) return 0;
  attempts_.erase(attempt);
  if (WSAGETSELECTERROR(lParam) != 0) {  // refused or failed: the other addresses go on
    Drop(window_.hwnd(), s);
    return 0;
  }
  // The first connection wins; it stays open, unused, until the next Connect or Close.
  for (SOCKET other : attempts_) Drop(window_.hwnd(), other);
  attempts_.clear();
  WSAAsyncSelect(s, window_.hwnd(), 0, 0);
  established_ = s;
  if (connected_) connected_();
  return 0;
}

}  // namespace cv3
