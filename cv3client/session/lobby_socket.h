// The lobby connection as the session controller drives it: the socket control wskChat. The
// window's WSAAsyncSelect socket implements it (and the integration test a blocking one); it
// makes the connection secure itself when "CvTls" is 1. Its outcomes come back as calls on the
// session controller: OnSocketConnect, OnSocketClose, OnSocketInsecure and OnDataArrival, always
// from the message loop, never from inside Connect, Close or SendData.
#pragma once

#include <string>

#include "cv3client/session/server_link.h"

namespace cv3 {

// Why a connection or an attempt ended, as the socket reports it. The socket tells what happened
// to it; the session decides what the end means (a server that announced the end is not
// reconnected to).
enum class SocketClose {
  kByServer,   // the server closed the connection cleanly, after its last data
  kFailed,     // refused, unreachable, broken, or a send that failed
  kCancelled,  // we closed it (Close) while it stood or was being made
};

class LobbySocket : public Transport {
 public:
  // Starts connecting to host:port (a name or an IPv4/IPv6 address). Only called after Close.
  virtual void Connect(const std::string& host, int port) = 0;
  // Ends any connection or attempt at once; harmless when already closed. One that stood or was
  // being made is reported later, from the message loop, as closed with kCancelled, unless a new
  // Connect came first.
  virtual void Close() = 0;
  // The local IP address of the connection, as numeric text (the host window's first game
  // address); empty when not connected.
  virtual std::string LocalAddress() const = 0;
};

}  // namespace cv3
