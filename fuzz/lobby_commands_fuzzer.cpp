// lobbyd's command handling in-process: a Lobby over an in-memory store, whose connections are
// socket pairs this thread writes into; the io_context runs here, by hand, until nothing is left
// to do (the hash and store workers are waited for), so a run is the same every time.
// Input: records, each up to and including its LF. A record's first byte picks what it does:
//   a, b   bytes for the signed-in pilots "ace" (an administrator) and "bo"
//   c      bytes for a connection that has not signed in ("cy" exists; every password is "pw")
//   t      the clock moves on by the record's number of seconds (at most a day)
// The rest of an a/b/c record, LF included, is sent as it is: "aLMSG:hi\r\n" is one line.
// CV3_FUZZ_LOG=1 in the environment shows lobbyd's log.
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <asio/io_context.hpp>
#include <iostream>
#include <memory>
#include <thread>

#include "fuzz/fuzz_input.h"
#include "lobbyd/clock.h"
#include "lobbyd/event_log.h"
#include "lobbyd/hash_pool.h"
#include "lobbyd/lobby.h"
#include "lobbyd/store.h"
#include "lobbyd/store_worker.h"
#include "protocol/md5.h"

namespace {

using namespace lobbyd;

// Hashing costs nothing here: the fuzzer is after the handlers, not Argon2.
class PlainHasher final : public PasswordHasher {
 public:
  std::optional<std::string> Hash(std::string_view digest) const override {
    return "plain$" + std::string(digest);
  }
  bool Verify(std::string_view hash, std::string_view digest) const override {
    return hash == "plain$" + std::string(digest);
  }
};

std::string Digest(std::string_view password) {
  return cv3::clsMD5().DigestStrToHexStr(password).value_or(std::string());
}

// What outlives one input: the io_context, the two workers and the store, which is emptied and
// seeded again for each input. An input then costs no thread or database set-up.
struct Host {
  Host() {
    std::string error;
    store = Store::Open(":memory:", error);
    FUZZ_CHECK(store);
    pool = std::make_unique<HashPool>(io, hasher, 1);
    worker = std::make_unique<StoreWorker>(io, *store);
  }
  // Accounts "ace" (an administrator), "bo" and "cy", every password "pw"; bo's long-term game.
  void Seed() {
    std::vector<AccountRecord> accounts;
    std::vector<GameRecord> games;
    FUZZ_CHECK(store->LoadAccounts(accounts).empty() && store->LoadGames(games).empty());
    for (const auto& account : accounts) FUZZ_CHECK(store->DeleteAccount(account.name).empty());
    for (const auto& game : games) FUZZ_CHECK(store->DeleteGame(game.name).empty());
    for (const char* name : {"ace", "bo", "cy"}) {
      AccountRecord account;
      account.name = name;
      account.passwordHash = *hasher.Hash(Digest("pw"));
      account.admin = account.name == "ace";
      FUZZ_CHECK(store->CreateAccount(account).empty());
    }
    GameRecord game;
    game.name = "Long Haul";
    game.owner = "bo";
    game.address = "203.0.113.9";
    game.version = "1.06";
    game.announcement = "Named";
    game.longTerm = true;
    FUZZ_CHECK(store->PutGame(game).empty());
  }

  asio::io_context io{1};
  PlainHasher hasher;
  std::unique_ptr<Store> store;
  std::unique_ptr<HashPool> pool;
  std::unique_ptr<StoreWorker> worker;
  std::vector<char> discard = std::vector<char>(64 * 1024);
};

// One input's lobby: seeded, ace and bo signed in, a third connection open.
class World {
 public:
  explicit World(Host& host) : host_(host), io_(host.io) {
    host_.Seed();
    LobbyOptions options;
    options.gatherAtLeast = {};  // this loop's turns are not the wall clock's
    lobby_ = std::make_unique<Lobby>(io_, *host_.store, *host_.worker, *host_.pool, clock_, log_,
                                     options, "plain$none");
    FUZZ_CHECK(lobby_->Load().empty());
    for (int& end : ends_) end = Connect();
    Send(0, "AUTH:ace:" + Digest("pw") + "\r\nADMINMODE\r\n");
    Send(1, "AUTH:bo:" + Digest("pw") + "\r\n");
  }

  ~World() {
    lobby_->Shutdown();
    for (int& end : ends_) {
      ::close(end);
      end = -1;
    }
    Settle();  // the connections see their ends gone; sign-offs are stored
    io_.restart();
    io_.run();  // whatever is left: nothing holds it open after the shutdown
    Settle();
  }

  // Bytes to connection `which` (0: ace, 1: bo, 2: not signed in), then everything they cause.
  void Send(int which, std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t sent = ::send(ends_[which], bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
      if (sent <= 0) {
        // The server closed it, or its side is full: let it read, then go on.
        if (sent < 0 && errno == EAGAIN && Settle()) continue;
        return;
      }
      bytes.remove_prefix(static_cast<size_t>(sent));
    }
    Settle();
  }

  void Advance(std::chrono::seconds by) { clock_.Advance(by); }

 private:
  int Connect() {
    int pair[2];
    FUZZ_CHECK(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0);
    asio::ip::tcp::socket socket(io_);
    socket.assign(asio::ip::tcp::v4(), pair[0]);
    lobby_->Accept(std::move(socket));
    return pair[1];
  }

  // Runs the io_context and reads what the server sent until nothing moves and no password
  // check or store work is out. True when anything moved.
  bool Settle() {
    bool moved = false;
    for (;;) {
      // Read first: once the workers are idle, what they did is already queued for the
      // io_context.
      bool idle = host_.pool->Busy() == 0 && host_.worker->Busy() == 0;
      io_.restart();
      bool progress = io_.poll() > 0;
      for (int end : ends_) {
        while (end >= 0 &&
               ::recv(end, host_.discard.data(), host_.discard.size(), MSG_DONTWAIT) > 0) {
          progress = true;
        }
      }
      moved |= progress;
      if (!progress && idle) return moved;
      if (!progress) std::this_thread::yield();
    }
  }

  Host& host_;
  asio::io_context& io_;
  ManualClock clock_;
  // CV3_FUZZ_LOG=1 shows lobbyd's log, to read what an input did.
  EventLog log_{std::getenv("CV3_FUZZ_LOG") ? &std::cerr : nullptr, clock_};
  std::unique_ptr<Lobby> lobby_;
  int ends_[3] = {-1, -1, -1};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Host host;
  World world(host);
  std::string_view input = cv3::fuzz::AsText(data, size);
  while (!input.empty()) {
    size_t end = input.find('\n');
    std::string_view record =
        input.substr(0, end == std::string_view::npos ? input.size() : end + 1);
    input.remove_prefix(record.size());
    char kind = record[0];
    record.remove_prefix(1);
    if (kind >= 'a' && kind <= 'c') {
      world.Send(kind - 'a', record);
    } else if (kind == 't') {
      long seconds = std::strtol(std::string(record).c_str(), nullptr, 10);
      world.Advance(std::chrono::seconds(std::clamp(seconds, 0L, 86400L)));
    }
  }
  return 0;
}
