// Why a session ended. The session remembers it: only a loss nobody chose is taken up again by
// a reconnect, while a takeover, the player's own Disconnect or a refused sign-in stays ended.
#pragma once

namespace cv3 {

enum class SessionEnd {
  kNone,          // no session has ended since the last connection stood
  kLost,          // a socket error, a close by the server, a send without a connection, "ERROR"
  kTakenOver,     // "NOTHERCATION": the ID signed on elsewhere
  kDisconnected,  // the player's Disconnect
  kRefused,       // the sign-in was refused
};

}  // namespace cv3
