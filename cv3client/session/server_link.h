// The client's end of the lobby connection: `SendCommand`, the only way anything is sent, and
// the receive loop that cuts arrivals into lines and hands each to its handler. Owned by the
// program's ClientCore for the life of the program; UI thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/message_box.h"
#include "protocol/wire.h"

namespace cv3 {

// What the link needs of the socket. The platform backend (WSAAsyncSelect) implements it and
// calls ServerLink::DataArrival with the bytes it read.
class Transport {
 public:
  virtual ~Transport() = default;
  // The socket control's state 7: a connection is established.
  virtual bool IsConnected() const = 0;
  // Queues the bytes for sending; the transport keeps them until the socket takes them.
  virtual void SendData(std::string_view bytes) = 0;
};

// Filled by the session: what happens when a send finds no connection, and how to wait.
struct LinkHooks {
  std::function<void()> notConnected;
  std::function<void(int ms)> waitWhileProcessing;
};

class ServerLink {
 public:
  ServerLink(Transport& transport, LinkHooks hooks)
      : transport_(transport), hooks_(std::move(hooks)) {}

  Dispatcher& Handlers() { return handlers_; }

  // Sends one line (UTF-8, without CR LF) as Windows-1252 followed by CR LF, then waits 10 ms
  // processing events. When not connected nothing is sent and the notConnected hook decides what
  // follows. Returns whether the line was handed to the transport.
  bool SendCommand(std::string_view text);

  // Appends received bytes and handles every complete line in order. Bytes that arrive while a
  // handler runs (it pumps events) are only appended: the outer loop takes them afterwards, so
  // lines are never handled out of order or inside one another.
  void DataArrival(std::string_view bytes);

  // Forgets what is left of the last connection's bytes: a new connection starts with an empty
  // buffer, so a partial line of a broken one never glues itself to the new first line.
  void StartConnection() { buffer_ = LineBuffer(); }

  // Whether a line's handler is running (it may be showing a box): what arrives now waits for it.
  bool Handling() const { return receiving_; }

 private:
  Transport& transport_;
  LinkHooks hooks_;
  Dispatcher handlers_;
  LineBuffer buffer_;
  bool receiving_ = false;
};

}  // namespace cv3
