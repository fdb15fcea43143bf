// The TLS side of the lobby's listener: one context per certificate and key, loaded at start and
// again at each reload. Handshakes take the context current when they begin, so a reload never
// disturbs a session already open.
#pragma once

#include <asio/ssl/context.hpp>
#include <memory>
#include <string>

namespace lobbyd {

struct TlsFiles {
  std::string certificate;  // PEM, the server's certificate first, then its chain
  std::string key;          // PEM
};

// A server context for TLS 1.2 and 1.3 with `files`; null with `error` naming the file and the
// reason when they cannot be used.
std::shared_ptr<asio::ssl::context> LoadTlsContext(const TlsFiles& files, std::string& error);

}  // namespace lobbyd
