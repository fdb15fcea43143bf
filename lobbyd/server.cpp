#include "lobbyd/server.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sodium.h>
#include <unistd.h>

#include <asio/post.hpp>
#include <utility>

namespace lobbyd {

std::string MakeDummyHash(const PasswordHasher& hasher) {
  // Random input, so no digest is known to match it.
  unsigned char random[16];
  randombytes_buf(random, sizeof random);
  std::string secret;
  for (unsigned char byte : random) secret += "0123456789ABCDEF"[byte & 15];
  return hasher.Hash(secret).value_or(std::string());
}

namespace {

// Keepalive probes find a peer that is gone without a word while nothing goes to him; while lines
// to him wait unacknowledged no probe is sent, and the user timeout, as long, finds him instead.
void SetKeepalive(asio::ip::tcp::socket& socket, const LobbyOptions& options) {
  int fd = socket.native_handle();
  int on = 1;
  int idle = static_cast<int>(options.keepaliveIdle);
  int interval = static_cast<int>(options.keepaliveInterval);
  int probes = static_cast<int>(options.keepaliveProbes);
  unsigned userTimeout = (options.keepaliveIdle + options.keepaliveInterval * probes) * 1000u;
  ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
  ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeout, sizeof userTimeout);
}

}  // namespace

Server::Server(asio::io_context& io, Store& store, const PasswordHasher& hasher, const Clock& clock,
               EventLog& log, LobbyOptions options, unsigned hashThreads)
    : io_(io),
      log_(log),
      options_(options),
      pool_(io, hasher, hashThreads),
      worker_(io, store, &metrics_.storeCommits,
              [this](const std::string& notice) { log_.Server("database: " + notice); }),
      lobby_(io, store, worker_, pool_, clock, log, metrics_, options, MakeDummyHash(hasher)),
      plain_(io),
      tls_(io),
      spare_(::open("/dev/null", O_RDONLY | O_CLOEXEC)) {}

Server::~Server() {
  // The checks still running end first, and the work still queued for them goes while the lobby
  // it refers to is there. What they already handed to the io_context goes with it, later.
  pool_.Stop();
  if (spare_ >= 0) ::close(spare_);
}

std::string Server::Start(const std::optional<asio::ip::tcp::endpoint>& plain,
                          const std::optional<asio::ip::tcp::endpoint>& tls,
                          std::shared_ptr<asio::ssl::context> context) {
  if (auto error = lobby_.Load(); !error.empty()) return error;
  tlsContext_ = std::move(context);
  tls_.tls = true;
  if (plain) {
    if (auto error = Listen(plain_, *plain); !error.empty()) return error;
  }
  if (tls) {
    if (auto error = Listen(tls_, *tls); !error.empty()) return error;
  }
  return {};
}

std::string Server::Listen(Listener& listener, const asio::ip::tcp::endpoint& endpoint) {
  auto& acceptor = listener.acceptor;
  asio::error_code error;
  acceptor.open(endpoint.protocol(), error);
  if (!error) acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true), error);
  if (!error) acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
  if (error) {
    return "cannot listen on " + endpoint.address().to_string() + ":" +
           std::to_string(endpoint.port()) + ": " + error.message();
  }
  auto local = acceptor.local_endpoint(error);
  log_.Server(std::string(listener.tls ? "listening for TLS on " : "listening on ") +
              local.address().to_string() + ":" + std::to_string(local.port()));
  AcceptNext(listener);
  return {};
}

asio::ip::tcp::endpoint Server::LocalEndpoint() const {
  asio::error_code error;
  return plain_.acceptor.local_endpoint(error);
}

asio::ip::tcp::endpoint Server::TlsEndpoint() const {
  asio::error_code error;
  return tls_.acceptor.local_endpoint(error);
}

void Server::ReplaceTlsContext(std::shared_ptr<asio::ssl::context> context) {
  tlsContext_ = std::move(context);
}

void Server::AcceptNext(Listener& listener) {
  auto& acceptor = listener.acceptor;
  acceptor.async_accept(
      [this, &listener, &acceptor](const asio::error_code& error, asio::ip::tcp::socket socket) {
        if (stopped_ || error == asio::error::operation_aborted) return;
        if (!error) {
          Admit(std::move(socket), listener.tls ? tlsContext_ : nullptr);
          AcceptNext(listener);
          return;
        }
        if (error == asio::error::no_descriptors && spare_ >= 0) {
          // The descriptor kept in reserve makes room to take the waiting connection and close it
          // at once, so it is refused rather than left hanging.
          ::close(spare_);
          asio::error_code ignored;
          acceptor.accept(ignored).close(ignored);
          spare_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
          log_.Server("connection refused (out of descriptors)");
          AcceptNext(listener);
          return;
        }
        // Out of descriptors or similar: wait a moment rather than spin on the failing accept.
        log_.Server("accept failed: " + error.message());
        listener.pause.expires_after(std::chrono::milliseconds(100));
        listener.pause.async_wait([this, &listener](const asio::error_code& waitError) {
          if (!waitError && !stopped_) AcceptNext(listener);
        });
      });
}

void Server::Admit(asio::ip::tcp::socket socket, std::shared_ptr<asio::ssl::context> tls) {
  SetKeepalive(socket, options_);
  asio::error_code error;
  auto remote = socket.remote_endpoint(error);
  // Gone before it could be looked at (a proxy's health check resets at once): nothing to serve,
  // and nothing worth a line in the log.
  if (error) return;
  if (!options_.proxyFrom.Contains(remote.address())) {
    lobby_.Accept(std::move(socket), remote, std::move(tls));
    return;
  }
  auto intake = std::make_shared<ProxyIntake>(
      std::move(socket), remote, log_,
      [this, tls](asio::ip::tcp::socket client, const asio::ip::tcp::endpoint& peer) {
        lobby_.Accept(std::move(client), peer, tls);
      },
      [this](ProxyIntake& done) { intakes_.erase(&done); });
  intakes_.emplace(intake.get(), intake);
  intake->Start(std::chrono::seconds(options_.signInSeconds));
}

void Server::Stop() {
  if (stopped_) return;
  stopped_ = true;
  log_.Server("stopping");
  asio::error_code ignored;
  for (Listener* listener : {&plain_, &tls_}) {
    listener->acceptor.close(ignored);
    listener->pause.cancel();
  }
  for (auto& [key, intake] : std::exchange(intakes_, {})) intake->Cancel();
  lobby_.Shutdown();
}

void Server::TakeView(std::function<void(LobbyView)> done) {
  asio::post(io_, [this, done = std::move(done)] { done(lobby_.View()); });
}

void Server::ProbeStore(std::function<void(bool)> done) {
  asio::post(io_, [this, done = std::move(done)] {
    worker_.Run([](Store& store) { return store.Probe(); },
                [done](const std::string& error) { done(error.empty()); });
  });
}

}  // namespace lobbyd
