// What lobbyd-bench's tables share: lobbyd as a child process, the simulated clients (a fleet over
// one loopback port or several), their sign-in sequence, and the figures' arithmetic.
#pragma once

#include <httplib.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <asio.hpp>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "lobbyd/hasher.h"
#include "protocol/catalogue.h"
#include "protocol/chat_messages.h"
#include "protocol/md5.h"
#include "protocol/session_messages.h"
#include "protocol/wire.h"

namespace bench {

namespace msg = cv3::msg;
using Clock = std::chrono::steady_clock;
using asio::ip::tcp;
using std::chrono::milliseconds;
using std::chrono::seconds;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// This process's CPU seconds, all threads.
inline double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// utime + stime of a /proc/.../stat file, in seconds.
inline double StatCpuSeconds(const std::string& path) {
  std::ifstream stat(path);
  std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t close = all.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(all.substr(close + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) stime = std::stoul(field);
  }
  return double(utime + stime) / sysconf(_SC_CLK_TCK);
}

// A figure with two decimals, or "-" where there is none (NaN).
inline std::string Kib(double kib) {
  if (std::isnan(kib)) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", kib);
  return text;
}

inline double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t index = static_cast<size_t>(p * (values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

// Over TLS: lobbyd's certificate and key, and the context of the bench's clients. Null where
// a run is in plain text.
struct Tls {
  std::string certificate;
  std::string key;
  SSL_CTX* clients = nullptr;
};

// A self-signed certificate and its key in `folder`, and a client context that takes any
// certificate; false when the openssl program could not make them.
inline bool MakeTls(const std::string& folder, Tls& tls) {
  tls.certificate = folder + "/bench.crt";
  tls.key = folder + "/bench.key";
  std::string command =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 "
      "-subj /CN=localhost -keyout " +
      tls.key + " -out " + tls.certificate + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) return false;
  tls.clients = SSL_CTX_new(TLS_client_method());
  if (!tls.clients) return false;
  SSL_CTX_set_mode(tls.clients, SSL_MODE_RELEASE_BUFFERS | SSL_MODE_ENABLE_PARTIAL_WRITE |
                                    SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  return true;
}

inline const char* WireName(const Tls* tls) { return tls ? "TLS" : "plain"; }

// Full password checks per second with lobbyd's settings, one thread per core, over ~2 s.
inline double MeasureHashRate(unsigned& threads) {
  auto hasher = lobbyd::SodiumHasher::Standard();
  threads = std::max(1u, std::thread::hardware_concurrency());
  if (!lobbyd::InitSodium()) return 0;
  auto hash = hasher.Hash("bench");
  if (!hash) return 0;
  std::atomic<size_t> checks{0};
  auto until = Clock::now() + seconds(2);
  std::vector<std::thread> workers;
  auto start = Clock::now();
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      while (Clock::now() < until) {
        hasher.Verify(*hash, "bench");
        ++checks;
      }
    });
  }
  for (auto& worker : workers) worker.join();
  return checks / (Ms(Clock::now() - start) / 1000);
}

// lobbyd as a child process; its log goes to a file so a full pipe never stalls it.
class Server {
 public:
  // Each run logs to a file of its own (named by `tag`), so an older run's port is never read.
  // Each bench client has a loopback address of its own (127.1.0.0 onwards), as players do;
  // the per-address account limit is lifted for the set-up only in case addresses repeat.
  // `web`: also serve the web page (on a free port; WebPort tells which).
  // `tls`: serves TLS only, on `listen`.
  // `store`: the flags naming the store and the node's place in a cluster; by default the SQLite
  // file bench.db in `folder`.
  Server(const std::string& program, const std::string& folder, const std::string& tag,
         const std::string& listen, bool web = false, const Tls* tls = nullptr,
         std::vector<std::string> store = {})
      : logPath_(folder + "/lobbyd-" + tag + (tls ? "-tls" : "") + ".log"),
        listening_(tls ? "listening for TLS on 127.0.0.1:" : "listening on 127.0.0.1:") {
    if (store.empty()) store = {"--db", folder + "/bench.db"};
    std::vector<std::string> args = {program, "--accounts-per-hour", "1000000"};
    args.insert(args.end(), store.begin(), store.end());
    if (tls) {
      args.insert(args.end(),
                  {"--tls-listen", listen, "--tls-cert", tls->certificate, "--tls-key", tls->key});
    } else {
      args.insert(args.end(), {"--listen", listen});
    }
    if (web) args.insert(args.end(), {"--http", "127.0.0.1:0"});
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      FILE* log = std::fopen(logPath_.c_str(), "w");
      if (log) dup2(fileno(log), 2);
      // Not the bench's client sockets: a lobbyd started again after a restart would hold them
      // open and run out of descriptors at 10,000 clients.
      closefrom(3);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
  }
  ~Server() { Stop(); }
  // The port from the "listening on" log line; 0 while it has not come.
  unsigned short Port() const { return LoggedPort(listening_); }
  // The log's last line, to say why it did not start.
  std::string LastLogLine() const {
    std::ifstream log(logPath_);
    std::string line, last;
    while (std::getline(log, line)) last = line;
    return last;
  }
  unsigned short WebPort() const { return LoggedPort("web page on http://127.0.0.1:"); }
  // The port; 0 if it does not come within 10 s.
  unsigned short WaitPort() const {
    auto until = Clock::now() + seconds(10);
    while (Clock::now() < until) {
      if (unsigned short port = Port()) return port;
      std::this_thread::sleep_for(milliseconds(20));
    }
    return 0;
  }
  long RssKiB() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string key;
    while (status >> key) {
      if (key == "VmRSS:") {
        long kib = 0;
        status >> kib;
        return kib;
      }
    }
    return 0;
  }
  double CpuSeconds() const { return StatCpuSeconds("/proc/" + std::to_string(pid_) + "/stat"); }
  // CPU seconds of lobbyd's password-check threads, which name themselves "lobbyd-hash".
  double HashCpuSeconds() const {
    double sum = 0;
    std::error_code error;
    for (const auto& task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid_) + "/task", error)) {
      std::ifstream comm(task.path() / "comm");
      std::string name;
      if (std::getline(comm, name) && name == "lobbyd-hash") {
        sum += StatCpuSeconds((task.path() / "stat").string());
      }
    }
    return sum;
  }
  // SIGTERM, then waits for the end.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  unsigned short LoggedPort(std::string_view before) const {
    std::ifstream log(logPath_);
    std::string line;
    while (std::getline(log, line)) {
      auto at = line.find(before);
      if (at != std::string::npos) {
        return static_cast<unsigned short>(std::stoi(line.substr(at + before.size())));
      }
    }
    return 0;
  }

  std::string logPath_;
  std::string listening_;
  pid_t pid_ = -1;
};

// Lines the clients act on. The rest (list entries, notices) are skipped unparsed: this bench
// shares the cores with lobbyd, and at 10,000 clients it reads a hundred million lines.
inline bool Wanted(std::string_view line) {
  for (std::string_view name :
       {msg::kAuthAck, msg::kUsersAck, msg::kGamesAck, msg::kLmsg, msg::kQuitAck}) {
    if (line.substr(0, name.size()) == name &&
        (line.size() == name.size() || line[name.size()] == ':'))
      return true;
  }
  return false;
}

struct SslFree {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// One simulated client: a socket, a partial line, and what it does with lines and a close.
struct Client {
  explicit Client(asio::io_context& io) : socket(io) {}
  tcp::socket socket;
  size_t index = 0;
  size_t node = 0;  // which of the fleet's ports it connects to
  std::string name;
  std::string partial;
  unsigned connection = 0;  // counts connections; handlers of an older one do nothing
  Clock::time_point started;
  double signInMs = 0;
  std::function<void(Client&, const cv3::Line&)> onLine;
  std::function<void(Client&)> onClosed;  // the server ended the connection
  // Over TLS: the connection's, once its handshake is done; lines OpenSSL has not taken yet; a
  // write waits for the socket.
  std::unique_ptr<SSL, SslFree> tls;
  bool established = false;
  std::string unsent;
  bool flushing = false;
};

class Fleet {
 public:
  // Over TLS with `tls`.
  Fleet(asio::io_context& io, unsigned short port, const Tls* tls = nullptr)
      : Fleet(io, std::vector<unsigned short>{port}, tls) {}
  // Over several servers (the nodes of one lobby): client i connects to ports[i % size] unless
  // Connect says which.
  Fleet(asio::io_context& io, std::vector<unsigned short> ports, const Tls* tls = nullptr)
      : io_(io), ports_(std::move(ports)), tls_(tls ? tls->clients : nullptr), scratch_(1 << 18) {}

  // Connects n more clients, to the port `node` (by default spread over the ports); false when
  // not all connected before the deadline.
  bool Connect(size_t n, seconds deadline, std::optional<size_t> node = std::nullopt) {
    size_t first = clients_.size();
    for (size_t i = first; i < first + n; ++i) {
      auto client = std::make_unique<Client>(io_);
      char name[24];
      std::snprintf(name, sizeof name, "b%05zu", i);
      client->index = i;
      client->node = node.value_or(i % ports_.size());
      client->name = name;
      Open(*client, [this](const asio::error_code& error) {
        if (error) {
          std::fprintf(stderr, "connect: %s\n", error.message().c_str());
        } else {
          ++connected_;
        }
      });
      clients_.push_back(std::move(client));
    }
    return RunUntil([&] { return connected_ == clients_.size(); }, deadline);
  }

  using Done = std::function<void(const asio::error_code&)>;

  // Starts a new connection for `client`, dropping its old one; `done` learns how it went (over
  // TLS, once the handshake is done).
  void Open(Client& client, Done done) {
    asio::error_code ignored;
    client.socket.close(ignored);
    client.socket = tcp::socket(io_);
    client.partial.clear();
    client.tls.reset();
    client.established = false;
    client.unsent.clear();
    client.flushing = false;
    unsigned connection = ++client.connection;
    // A source address of its own: the server's limits per address then see one player each.
    size_t i = client.index;
    asio::ip::address_v4::bytes_type source{127, static_cast<unsigned char>(1 + ((i >> 16) & 0xFF)),
                                            static_cast<unsigned char>((i >> 8) & 0xFF),
                                            static_cast<unsigned char>(i & 0xFF)};
    client.socket.open(tcp::v4(), ignored);
    client.socket.bind(tcp::endpoint(asio::ip::address_v4(source), 0), ignored);
    tcp::endpoint server(asio::ip::make_address_v4("127.0.0.1"), ports_[client.node]);
    client.socket.async_connect(
        server, [this, &client, connection, done = std::move(done)](const asio::error_code& error) {
          if (connection != client.connection || error == asio::error::operation_aborted) return;
          if (!error) {
            asio::error_code ignored;
            client.socket.set_option(tcp::no_delay(true), ignored);
            if (tls_) {
              client.socket.non_blocking(true, ignored);
              client.tls.reset(SSL_new(tls_));
              SSL_set_fd(client.tls.get(), client.socket.native_handle());
              SSL_set_connect_state(client.tls.get());
              Handshake(client, connection, std::move(done));
              return;
            }
            Read(client, connection);
          }
          done(error);
        });
  }

  // Drops the client's connection as a network fault would: a reset, no goodbye.
  void Reset(Client& client) {
    asio::error_code ignored;
    ++client.connection;
    client.socket.set_option(asio::socket_base::linger(true, 0), ignored);
    client.socket.close(ignored);
  }

  // Runs the clients' I/O in slices of 5 ms until `done`, which is asked between slices.
  bool RunUntil(const std::function<bool()>& done, Clock::duration deadline) {
    auto until = Clock::now() + deadline;
    while (!done()) {
      if (Clock::now() > until) return false;
      if (io_.stopped()) io_.restart();
      io_.run_for(milliseconds(5));
    }
    return true;
  }

  void Send(Client& client, std::string line) {
    if (client.tls) {
      client.unsent += line + "\r\n";
      Flush(client, client.connection);
      return;
    }
    auto bytes = std::make_shared<std::string>(std::move(line) + "\r\n");
    asio::async_write(client.socket, asio::buffer(*bytes),
                      [bytes](const asio::error_code&, size_t) {});
  }

  std::vector<std::unique_ptr<Client>>& clients() { return clients_; }
  void CloseAll() {
    for (auto& client : clients_) {
      asio::error_code ignored;
      client->socket.close(ignored);
    }
    io_.restart();
    io_.poll();
    clients_.clear();
    connected_ = 0;
  }

 private:
  // Runs `next` once the socket can give what OpenSSL wants, unless the connection is dropped.
  void AwaitSocket(Client& client, unsigned connection, int wanted, Done next) {
    auto kind = wanted == SSL_ERROR_WANT_WRITE ? tcp::socket::wait_write : tcp::socket::wait_read;
    client.socket.async_wait(
        kind, [&client, connection, next = std::move(next)](const asio::error_code& error) {
          if (connection == client.connection && error != asio::error::operation_aborted)
            next(error);
        });
  }

  void Handshake(Client& client, unsigned connection, Done done) {
    int result = SSL_do_handshake(client.tls.get());
    int wanted = SSL_get_error(client.tls.get(), result);
    ERR_clear_error();
    if (result == 1) {
      client.established = true;
      Read(client, connection);
      Flush(client, connection);
      done({});
    } else if (wanted != SSL_ERROR_WANT_READ && wanted != SSL_ERROR_WANT_WRITE) {
      done(asio::error::connection_reset);
    } else {
      AwaitSocket(client, connection, wanted,
                  [this, &client, connection, done](const asio::error_code& error) {
                    if (error) {
                      done(error);
                    } else {
                      Handshake(client, connection, done);
                    }
                  });
    }
  }

  // Over TLS: hands OpenSSL what is unsent, as far as the socket takes it. A retry passes the
  // same bytes first, as OpenSSL wants; a failure is the reader's to notice.
  void Flush(Client& client, unsigned connection) {
    if (!client.established || client.flushing) return;
    while (!client.unsent.empty()) {
      size_t written = 0;
      int result =
          SSL_write_ex(client.tls.get(), client.unsent.data(), client.unsent.size(), &written);
      if (result == 1) {
        client.unsent.erase(0, written);
        continue;
      }
      int wanted = SSL_get_error(client.tls.get(), result);
      ERR_clear_error();
      if (wanted != SSL_ERROR_WANT_READ && wanted != SSL_ERROR_WANT_WRITE) return;
      client.flushing = true;
      AwaitSocket(client, connection, wanted,
                  [this, &client, connection](const asio::error_code& error) {
                    client.flushing = false;
                    if (!error) Flush(client, connection);
                  });
      return;
    }
  }

  // What the connection has for the reader now; over TLS all OpenSSL can decrypt of it, so that
  // a wait on the socket is then right. would_block when nothing.
  size_t ReadSome(Client& client, asio::error_code& error) {
    if (!client.tls) return client.socket.read_some(asio::buffer(scratch_), error);
    size_t total = 0;
    while (total < scratch_.size()) {
      size_t got = 0;
      int result =
          SSL_read_ex(client.tls.get(), scratch_.data() + total, scratch_.size() - total, &got);
      if (result == 1) {
        total += got;
        continue;
      }
      int wanted = SSL_get_error(client.tls.get(), result);
      ERR_clear_error();
      if (total == 0) {
        bool waits = wanted == SSL_ERROR_WANT_READ || wanted == SSL_ERROR_WANT_WRITE;
        error = waits ? asio::error_code(asio::error::would_block) : asio::error::eof;
      }
      break;
    }
    return total;
  }

  void Read(Client& client, unsigned connection) {
    client.socket.async_wait(tcp::socket::wait_read,
                             [this, &client, connection](const asio::error_code& error) {
                               if (connection == client.connection)
                                 OnReadable(client, connection, error);
                             });
  }

  void OnReadable(Client& client, unsigned connection, asio::error_code readError) {
    size_t got = 0;
    if (!readError) got = ReadSome(client, readError);
    if (readError == asio::error::would_block) {
      Read(client, connection);
      return;
    }
    if (readError) {
      // Not when this side closed it (CloseAll).
      if (readError != asio::error::operation_aborted && client.onClosed) client.onClosed(client);
      return;
    }
    client.partial.append(scratch_.data(), got);
    size_t start = 0;
    for (;;) {
      size_t end = client.partial.find("\r\n", start);
      if (end == std::string::npos) break;
      std::string_view text = std::string_view(client.partial).substr(start, end - start);
      if (client.onLine && Wanted(text)) client.onLine(client, cv3::ParseLine(text));
      if (connection != client.connection) return;  // the handler dropped the connection
      start = end + 2;
    }
    client.partial.erase(0, start);
    // What OpenSSL holds already decrypted (a full scratch) does not show on the socket.
    if (client.tls && SSL_pending(client.tls.get()) > 0) {
      asio::post(io_, [this, &client, connection] {
        if (connection == client.connection) OnReadable(client, connection, {});
      });
      return;
    }
    Read(client, connection);
  }

  asio::io_context& io_;
  std::vector<unsigned short> ports_;
  SSL_CTX* tls_;
  std::vector<char> scratch_;
  std::vector<std::unique_ptr<Client>> clients_;
  size_t connected_ = 0;
};

inline const std::string kDigest = cv3::clsMD5().DigestStrToHexStr("bench").value();

inline void SendAuth(Fleet& fleet, Client& client) {
  fleet.Send(client, cv3::AuthCommand(client.name, kDigest));
}

// The client's sign-in sequence after "AUTH:": the user list once signed in, then the game list,
// then the version. Says what the line meant to it.
enum class Step { kNone, kSignedIn, kRefused, kLoaded };
inline Step FollowSignIn(Fleet& fleet, Client& client, const cv3::Line& line) {
  if (line.name == msg::kAuthAck) {
    if (line.args != msg::kOk) return Step::kRefused;
    fleet.Send(client, std::string(msg::kUsers));
    return Step::kSignedIn;
  }
  if (line.name == msg::kUsersAck) {
    fleet.Send(client, std::string(msg::kGames));
  } else if (line.name == msg::kGamesAck) {
    fleet.Send(client, cv3::VersionCommand(3, 0, 0));
    return Step::kLoaded;
  }
  return Step::kNone;
}

// How long n pilots may take to sign in (or be made) at once: every one's password is hashed, on
// two cores with the bench's clients beside them about a fifth of a second each.
inline seconds Storm(size_t n) { return seconds(std::max<size_t>(900, n / 5)); }

// Creates the accounts b00000... that the store lacks (it is kept between runs). Untimed. Empty
// text on success.
inline std::string CreateAccounts(asio::io_context& io, unsigned short port, size_t n,
                                  const Tls* tls) {
  Fleet fleet(io, port, tls);
  if (!fleet.Connect(n, seconds(60))) return "connect failed (accounts)";
  size_t finished = 0;
  for (auto& client : fleet.clients()) {
    // A taken ID is refused with "AUTH_ACK:FAILED" without counting as a failed sign-in.
    client->onLine = [&](Client& c, const cv3::Line& line) {
      if (line.name == msg::kAuthAck) {
        fleet.Send(c, std::string(msg::kQuit));
      } else if (line.name == msg::kQuitAck) {
        ++finished;
      }
    };
    fleet.Send(*client, cv3::CreateCommand(client->name, kDigest, client->name + "@bench"));
  }
  if (!fleet.RunUntil([&] { return finished == n; }, Storm(n))) {
    return "account setup timed out";
  }
  fleet.CloseAll();
  return {};
}

// Waits for `server` to listen and makes sure the n accounts exist. Empty text on success.
inline std::string Prepare(const Server& server, asio::io_context& io, size_t n,
                           unsigned short& port, const Tls* tls = nullptr) {
  port = server.WaitPort();
  if (!port) return "lobbyd did not start";
  return CreateAccounts(io, port, n, tls);
}

// Runs the clients (reading everything that comes) for a while.
inline void Settle(Fleet& fleet, milliseconds quiet) {
  auto until = Clock::now() + quiet;
  fleet.RunUntil([&] { return Clock::now() > until; }, quiet + seconds(1));
}

}  // namespace bench
