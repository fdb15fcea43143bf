#include "lobbyd/testing/test_server.h"

#include <asio/post.hpp>
#include <cstdlib>
#include <filesystem>

#include "protocol/md5.h"
#include "protocol/session_messages.h"

namespace lobbyd::testing {

std::optional<std::string> CountingHasher::Hash(std::string_view digest) const {
  ++hashes_;
  return inner_.Hash(digest);
}

bool CountingHasher::Verify(std::string_view hash, std::string_view digest) const {
  {
    std::unique_lock lock(gate_);
    ++waiting_;
    opened_.wait(lock, [this] { return !held_; });
    --waiting_;
  }
  ++verifies_;
  return inner_.Verify(hash, digest);
}

void CountingHasher::Hold(bool held) const {
  {
    std::lock_guard lock(gate_);
    held_ = held;
  }
  opened_.notify_all();
}

bool CountingHasher::Held() const {
  std::lock_guard lock(gate_);
  return held_;
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "lobbyd-test-XXXXXX").string();
  if (mkdtemp(pattern.data())) path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

TestServer::TestServer(std::string database, LobbyOptions options)
    : TestServer(options, StoreLocation{StoreLocation::Engine::kSqlite, std::move(database)}) {
  if (location_.where.empty()) {
    folder_ = std::make_unique<TempFolder>();
    location_.where = folder_->Path() + "/lobbyd.db";
  }
}

TestServer::TestServer(LobbyOptions options, StoreLocation location)
    : location_(std::move(location)), options_(options) {
  InitSodium();
}

TestServer::~TestServer() { Stop(); }

std::string TestServer::Seed(const StartupActions& actions) {
  std::string error;
  auto store = OpenStore(location_, error);
  if (!store) return error;
  return ApplyStartupActions(*store, hasher_, clock_, actions, log_);
}

std::string TestServer::Start(std::string address) {
  std::string error;
  store_ = OpenStore(location_, error);
  if (!store_) return error;
  io_ = std::make_unique<asio::io_context>(1);
  server_ = std::make_unique<Server>(*io_, *store_, hasher_, clock_, log_, options_, 2);
  const asio::ip::tcp::endpoint local(asio::ip::make_address_v4(address), 0);
  error = server_->Start(local, tls_ ? std::optional(local) : std::nullopt, tls_);
  if (!error.empty()) return error;
  port_ = server_->LocalEndpoint().port();
  tlsPort_ = server_->TlsEndpoint().port();
  address_ = std::move(address);
  thread_ = std::thread([this] { io_->run(); });
  return {};
}

void TestServer::Stop() {
  if (!server_) {
    hasher_.Hold(false);
    return;
  }
  asio::post(*io_, [this] { server_->Stop(); });
  if (thread_.joinable()) thread_.join();
  // Checks a test still holds finish only now, as slow ones do after a real server's loop
  // ended; the stop must not hang on them.
  hasher_.Hold(false);
  server_.reset();
  io_.reset();
  store_.reset();
}

std::unique_ptr<TestClient> TestServer::Join(std::string_view name, std::string_view password) {
  return SignedIn(Connect(), name, CreateRequest(name, password));
}

std::unique_ptr<TestClient> TestServer::SignIn(std::string_view name, std::string_view password) {
  return SignedIn(Connect(), name, AuthRequest(name, password));
}

std::string CreateRequest(std::string_view name, std::string_view password) {
  return cv3::CreateCommand(name, Digest(password), std::string(name) + "@example.org");
}

std::string AuthRequest(std::string_view name, std::string_view password) {
  return cv3::AuthCommand(name, Digest(password));
}

std::string Digest(std::string_view password) {
  return cv3::clsMD5().DigestStrToHexStr(password).value_or(std::string());
}

}  // namespace lobbyd::testing
