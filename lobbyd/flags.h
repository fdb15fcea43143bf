// The command line of lobbyd. Parsing only; nothing is opened here.
#pragma once

#include <asio/ip/tcp.hpp>
#include <optional>
#include <string>
#include <vector>

#include "lobbyd/options.h"
#include "lobbyd/startup.h"
#include "lobbyd/store.h"
#include "lobbyd/tls_context.h"
#include "lobbyd/web/web_server.h"

namespace lobbyd {

struct Flags {
  asio::ip::tcp::endpoint listen{asio::ip::make_address_v4("127.0.0.1"), 13228};
  bool plain = true;  // off when only --tls-listen is given
  std::optional<asio::ip::tcp::endpoint> tlsListen;
  TlsFiles tls;
  StoreLocation store;  // --db PATH (the default) or --store CONNECTION
  LobbyOptions lobby;
  StartupActions actions;
  bool http = false;  // --http: serve the web page; its address and files are in `web`
  web::WebOptions web;
  // --cluster URL and --node NAME: one node of a lobby over several, through NATS.
  std::string cluster;
  std::string node;
  std::string backupTo;  // --backup-to: copy the store there and exit, serving nothing
  bool help = false;
  bool version = false;
};

// Empty text on success, else a message naming the bad argument.
std::string ParseFlags(const std::vector<std::string>& args, Flags& flags);

// "127.0.0.1:13228", "[::1]:13228". Empty text on success.
std::string ParseEndpoint(const std::string& text, asio::ip::tcp::endpoint& endpoint);

std::string UsageText();

}  // namespace lobbyd
