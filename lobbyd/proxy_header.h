// The PROXY protocol header (versions 1 and 2) that a proxy in front of lobbyd sends first on
// each connection, naming the client it speaks for. Parsing only.
#pragma once

#include <asio/ip/tcp.hpp>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lobbyd {

// The longest header taken: a version 1 line is at most 107 bytes; a version 2 header is 16
// bytes and its addresses, with room for the extensions HAProxy adds.
inline constexpr size_t kProxyHeaderMost = 16 + 1024;

struct ProxyHeader {
  enum class State { kIncomplete, kComplete, kMalformed };
  State state = State::kIncomplete;
  size_t length = 0;  // bytes the header takes, when complete
  // The client the proxy speaks for; empty for the proxy's own connections (version 2's LOCAL,
  // version 1's UNKNOWN), which stand for themselves.
  std::optional<asio::ip::tcp::endpoint> client;
  std::string problem;  // what is wrong, when malformed
};

// Reads the header at the start of `bytes`. Incomplete when `bytes` may still become one.
ProxyHeader ParseProxyHeader(std::string_view bytes);

// Whether `bytes`, the first a connection sent, begin with a PROXY protocol signature.
bool StartsWithProxySignature(std::string_view bytes);

}  // namespace lobbyd
