// The lobby connection as the session controller drives it: the socket control wskChat. The
// window's WSAAsyncSelect socket implements it (and the integration test a blocking one). Its
// outcomes come back as calls on the session controller: OnSocketConnect, OnSocketError and
// OnDataArrival, always from the message loop, never from inside Connect, Close or SendData.
#pragma once

#include <string>

#include "cv3client/session/server_link.h"

namespace cv3 {

class LobbySocket : public Transport {
 public:
  // Starts connecting to host:port (a name or an IPv4/IPv6 address). Only called after Close.
  virtual void Connect(const std::string& host, int port) = 0;
  // Ends any connection or attempt at once, without an event; harmless when already closed.
  virtual void Close() = 0;
  // The local IP address of the connection, as numeric text (the host window's first game
  // address); empty when not connected.
  virtual std::string LocalAddress() const = 0;
};

}  // namespace cv3
