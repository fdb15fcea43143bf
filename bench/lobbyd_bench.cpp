// lobbyd-bench: starts lobbyd on a loopback port and drives N clients against it. Loopback only;
// every phase has a deadline. Two tables:
//
// First the hashing bound: how many password checks per second this machine's cores do with
// lobbyd's own Argon2id settings, one thread per core as lobbyd runs them.
//
// Sign-in storm, for each N of --clients: accounts are created (untimed) and lobbyd is started
// afresh on them; eight warm-up sign-ins give the hash threads their working memory, then the
// other N-8 sign in at once and load the lists the way the client does (AUTH, USERS, GAMES), then
// lobby lines are sent (one at a time, or --fan-rate a second whether or not the last has
// reached everyone) while every client receives. RSS per pilot is the growth over the warmed-up
// process, each pilot's connection included; the CPU columns are the storm's and the fan-out's own.
//
// Return storms, for each N of --restart-clients and of --blip-clients: N clients are signed in
// with their lists, then either lobbyd gets SIGTERM and is started again on the same store and
// port (restart), or every client's connection is reset while lobbyd stays up (blip). Every client
// retries as the client's reconnect window does: one attempt each period (13 s: ten ticks of
// 1300 ms), the clients' phases spread evenly over the period, since real clients noticed the
// drop at unrelated times. Timed from the drop: until the new lobbyd listens, until all N are
// signed in again and until all have their lists; meanwhile the lobby chat round trip between
// the first two clients back. "bound" is the least time the return can take: the period, or N
// full password checks at the measured rate when lobbyd restarted (a blip's credentials are
// remembered by the running lobbyd).
//
// With --tls every table but the web page's is run twice, in plain text and over TLS (lobbyd on a
// throwaway certificate the bench makes with the openssl program), and a last table sets the
// figures side by side: RSS per pilot, the fan-out, the storm and the restart.
//
//   lobbyd-bench [--lobbyd PATH] [--clients 100,1000,5000] [--lines 20] [--fan-rate 0]
//                [--restart-clients 100,1000] [--blip-clients 100,1000] [--period-ms 13000]
//                [--tls]
// A list "none" skips its table; a shorter period makes a quick run.
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

namespace {

namespace msg = cv3::msg;
using Clock = std::chrono::steady_clock;
using asio::ip::tcp;
using std::chrono::milliseconds;
using std::chrono::seconds;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// This process's CPU seconds, all threads.
double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// utime + stime of a /proc/.../stat file, in seconds.
double StatCpuSeconds(const std::string& path) {
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

double Percentile(std::vector<double> values, double p) {
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
bool MakeTls(const std::string& folder, Tls& tls) {
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

const char* WireName(const Tls* tls) { return tls ? "TLS" : "plain"; }

// Full password checks per second with lobbyd's settings, one thread per core, over ~2 s.
double MeasureHashRate(unsigned& threads) {
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
  Server(const std::string& program, const std::string& folder, const std::string& tag,
         const std::string& listen, bool web = false, const Tls* tls = nullptr)
      : logPath_(folder + "/lobbyd-" + tag + (tls ? "-tls" : "") + ".log"),
        listening_(tls ? "listening for TLS on 127.0.0.1:" : "listening on 127.0.0.1:") {
    std::vector<std::string> args = {program, "--db", folder + "/bench.db", "--accounts-per-hour",
                                     "1000000"};
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
bool Wanted(std::string_view line) {
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
      : io_(io), port_(port), tls_(tls ? tls->clients : nullptr), scratch_(1 << 18) {}

  // Connects n more clients; false when not all connected before the deadline.
  bool Connect(size_t n, seconds deadline) {
    size_t first = clients_.size();
    for (size_t i = first; i < first + n; ++i) {
      auto client = std::make_unique<Client>(io_);
      char name[24];
      std::snprintf(name, sizeof name, "b%05zu", i);
      client->index = i;
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
    tcp::endpoint server(asio::ip::make_address_v4("127.0.0.1"), port_);
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
  unsigned short port_;
  SSL_CTX* tls_;
  std::vector<char> scratch_;
  std::vector<std::unique_ptr<Client>> clients_;
  size_t connected_ = 0;
};

const std::string kDigest = cv3::clsMD5().DigestStrToHexStr("bench").value();

void SendAuth(Fleet& fleet, Client& client) {
  fleet.Send(client, cv3::AuthCommand(client.name, kDigest));
}

// The client's sign-in sequence after "AUTH:": the user list once signed in, then the game list,
// then the version. Says what the line meant to it.
enum class Step { kNone, kSignedIn, kRefused, kLoaded };
Step FollowSignIn(Fleet& fleet, Client& client, const cv3::Line& line) {
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

// Creates the accounts b00000... that the store lacks (it is kept between runs). Untimed. Empty
// text on success.
std::string CreateAccounts(asio::io_context& io, unsigned short port, size_t n, const Tls* tls) {
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
  if (!fleet.RunUntil([&] { return finished == n; }, seconds(600))) {
    return "account setup timed out";
  }
  fleet.CloseAll();
  return {};
}

// Waits for `server` to listen and makes sure the n accounts exist. Empty text on success.
std::string Prepare(const Server& server, asio::io_context& io, size_t n, unsigned short& port,
                    const Tls* tls = nullptr) {
  port = server.WaitPort();
  if (!port) return "lobbyd did not start";
  return CreateAccounts(io, port, n, tls);
}

// Runs the clients (reading everything that comes) for a while.
void Settle(Fleet& fleet, milliseconds quiet) {
  auto until = Clock::now() + quiet;
  fleet.RunUntil([&] { return Clock::now() > until; }, quiet + seconds(1));
}

struct Row {
  size_t n = 0;
  double signInP50 = 0, signInP99 = 0;
  double fanP50 = 0, fanP99 = 0, fanLastP99 = 0;  // per receipt; the last receipt of each line
  double signInWall = 0, stormCpu = 0, fanCpuMsPerLine = 0;
  double idleRssMiB = 0, rssPerConnKiB = 0;
  double rssAfterFanKiB = 0, rssSettledKiB = 0;  // per connection, after the fan-out and later
  std::string error;
};

// How long after a burst the memory it took should be given back.
constexpr seconds kSettle{75};

// Sign-ins before the storm, so the hash threads' working memory is not counted per connection.
constexpr size_t kWarmUp = 8;

// `fanRate` lines a second are sent whether or not the last has reached everyone, as a busy lobby
// talks; 0 sends each line once the one before has reached everyone.
Row RunOne(const std::string& program, const std::string& folder, size_t n, size_t lines,
           double fanRate, const Tls* tls) {
  Row row;
  row.n = n;
  asio::io_context io(1);
  unsigned short port = 0;
  {
    Server creator(program, folder, std::to_string(n) + "-accounts", "127.0.0.1:0", false, tls);
    row.error = Prepare(creator, io, n, port, tls);
    if (!row.error.empty()) return row;
  }
  // A fresh lobbyd that only loaded the accounts, as after a start. The warm-up clients connect
  // first; the others once the baseline is taken, so their connections count per pilot.
  Server server(program, folder, std::to_string(n), "127.0.0.1:0", false, tls);
  port = server.WaitPort();
  Fleet fleet(io, port, tls);
  size_t warm = std::min(kWarmUp, n - 1);
  if (!port || !fleet.Connect(warm, seconds(60))) {
    row.error = port ? "connect failed" : "lobbyd did not start";
    return row;
  }
  size_t loaded = 0;
  size_t refused = 0;
  std::vector<size_t> received(lines, 0);
  std::vector<Clock::time_point> sentAt(lines), lastReceipt(lines);
  std::vector<double> receipts;  // ms from sending to each client's receipt
  receipts.reserve(lines * n);
  auto onLine = [&](Client& c, const cv3::Line& line) {
    switch (FollowSignIn(fleet, c, line)) {
      case Step::kRefused:
        ++refused;
        return;
      case Step::kLoaded:
        c.signInMs = Ms(Clock::now() - c.started);
        ++loaded;
        return;
      default:
        break;
    }
    if (line.name != msg::kLmsg) return;
    size_t at = line.args.find(":fan ");
    if (at == std::string::npos) return;
    size_t seq = std::stoul(line.args.substr(at + 5));
    if (seq < received.size()) {
      ++received[seq];
      lastReceipt[seq] = Clock::now();
      receipts.push_back(Ms(lastReceipt[seq] - sentAt[seq]));
    }
  };
  for (auto& client : fleet.clients()) client->onLine = onLine;
  auto signIn = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      fleet.clients()[i]->started = Clock::now();
      SendAuth(fleet, *fleet.clients()[i]);
    }
    return fleet.RunUntil([&] { return loaded + refused == to; }, seconds(600)) && !refused;
  };
  auto settle = [&](milliseconds quiet) { Settle(fleet, quiet); };
  if (!signIn(0, warm)) {
    row.error = "warm-up sign-ins failed";
    return row;
  }
  settle(milliseconds(300));
  long baseRss = server.RssKiB();
  if (!fleet.Connect(n - warm, seconds(60))) {
    row.error = "connect failed";
    return row;
  }
  for (auto& client : fleet.clients()) client->onLine = onLine;
  double baseCpu = server.CpuSeconds();
  // Sign-in storm: everyone else at once, then the lists as the client asks for them.
  auto stormStart = Clock::now();
  if (!signIn(warm, n)) {
    row.error = refused ? std::to_string(refused) + " sign-ins refused" : "sign-in timed out";
    return row;
  }
  row.signInWall = Ms(Clock::now() - stormStart) / 1000;
  std::vector<double> signIns;
  for (size_t i = warm; i < n; ++i) signIns.push_back(fleet.clients()[i]->signInMs);
  row.signInP50 = Percentile(signIns, 0.5);
  row.signInP99 = Percentile(signIns, 0.99);
  // Let the last notices drain, then take the size and the storm's CPU.
  settle(milliseconds(500));
  row.idleRssMiB = baseRss / 1024.0;
  row.rssPerConnKiB = double(server.RssKiB() - baseRss) / double(n - warm);
  row.stormCpu = server.CpuSeconds() - baseCpu;

  // Fan-out: lobby lines, each from another sender (flood control is per pilot).
  double fanCpu = server.CpuSeconds();
  auto fanStart = Clock::now();
  for (size_t seq = 0; seq < lines; ++seq) {
    if (fanRate > 0) {
      auto due = fanStart + std::chrono::duration_cast<Clock::duration>(
                                std::chrono::duration<double>(double(seq) / fanRate));
      fleet.RunUntil([&] { return Clock::now() >= due; }, seconds(60));
    }
    sentAt[seq] = Clock::now();
    fleet.Send(*fleet.clients()[seq % n],
               cv3::FormatLine(msg::kLmsg, "fan " + std::to_string(seq)));
    if (fanRate <= 0 && !fleet.RunUntil([&] { return received[seq] == n; }, seconds(60))) break;
  }
  auto everyone = [&] {
    return std::all_of(received.begin(), received.end(), [n](size_t got) { return got == n; });
  };
  if (!fleet.RunUntil(everyone, seconds(60))) {
    row.error = "fan-out timed out";
    return row;
  }
  std::vector<double> fans;
  for (size_t seq = 0; seq < lines; ++seq) fans.push_back(Ms(lastReceipt[seq] - sentAt[seq]));
  row.fanP50 = Percentile(receipts, 0.5);
  row.fanP99 = Percentile(receipts, 0.99);
  row.fanLastP99 = Percentile(fans, 0.99);
  if (lines) row.fanCpuMsPerLine = (server.CpuSeconds() - fanCpu) * 1000 / double(lines);
  // The fan-out was a lobby-wide chat burst: what it took, and what is left once lobbyd has had
  // its time to give it back, every pilot still signed in and reading.
  row.rssAfterFanKiB = double(server.RssKiB() - baseRss) / double(n - warm);
  settle(kSettle);
  row.rssSettledKiB = double(server.RssKiB() - baseRss) / double(n - warm);
  fleet.CloseAll();
  server.Stop();
  return row;
}

// Lobby chat round trips between two clients: the first says "ping k", the second answers
// "pong k" when the relayed ping reaches it, and the first times the answer. One probe in flight,
// at most two a second from each, which lobbyd's chat flood control lets through.
class ChatProbe {
 public:
  static constexpr milliseconds kInterval{500};
  static constexpr seconds kGiveUp{10};

  // The first two clients to join are the pair.
  void Join(Client& client) {
    if (!asker_) {
      asker_ = &client;
    } else if (!answerer_) {
      answerer_ = &client;
    }
  }
  // Between slices of I/O: gives up on a lost probe, sends the next when it is time.
  void Tick(Fleet& fleet, Clock::time_point now) {
    if (!answerer_) return;
    if (waiting_ && now - sent_ > kGiveUp) {
      ++lost;
      waiting_ = false;
    }
    if (waiting_ || now - sent_ < kInterval) return;
    std::string seq = std::to_string(++seq_);
    ping_ = cv3::ChatLineText(msg::kLmsg, {asker_->name, "ping " + seq});
    pong_ = cv3::ChatLineText(msg::kLmsg, {answerer_->name, "pong " + seq});
    fleet.Send(*asker_, cv3::FormatLine(msg::kLmsg, "ping " + seq));
    sent_ = now;
    waiting_ = true;
  }
  void OnLine(Fleet& fleet, Client& client, const cv3::Line& line, Clock::time_point now) {
    // Every client sees every chat line; only the pair's are looked at.
    if (!waiting_ || (&client != answerer_ && &client != asker_) || line.name != msg::kLmsg) {
      return;
    }
    std::string text = cv3::FormatLine(line.name, line.args);
    if (&client == answerer_ && text == ping_) {
      fleet.Send(client, cv3::FormatLine(msg::kLmsg, "pong " + std::to_string(seq_)));
    } else if (&client == asker_ && text == pong_) {
      roundTrips.push_back(Ms(now - sent_));
      waiting_ = false;
    }
  }

  std::vector<double> roundTrips;  // ms
  size_t lost = 0;

 private:
  Client* asker_ = nullptr;
  Client* answerer_ = nullptr;
  size_t seq_ = 0;
  bool waiting_ = false;
  Clock::time_point sent_{};
  std::string ping_, pong_;  // the lines as lobbyd relays them
};

// The web page under load: n pilots signed in, lobby chat timed by the probe, first without a
// browser, then while one polls far harder than a browser does (the whole page and the live part
// in turn, 20 requests a second), as a few pilots change their state so the page keeps changing.
struct WebRow {
  size_t n = 0;
  std::vector<double> chatQuiet, chatPolled;  // ms
  std::vector<double> page, live;             // ms from asking to the whole reply
  size_t failed = 0;                          // requests without a 200 or 304
  double webCpu = 0;                          // lobbyd's CPU seconds while polled
  std::string error;
};

constexpr seconds kWebPhase{20};

WebRow RunWeb(const std::string& program, const std::string& folder, size_t n) {
  WebRow row;
  row.n = n;
  Server server(program, folder, "web-" + std::to_string(n), "127.0.0.1:0", true);
  asio::io_context io(1);
  unsigned short port = 0;
  row.error = Prepare(server, io, n, port);
  unsigned short webPort = server.WebPort();
  if (row.error.empty() && !webPort) row.error = "no web page";
  if (!row.error.empty()) return row;
  Fleet fleet(io, port);
  if (!fleet.Connect(n, seconds(60))) {
    row.error = "connect failed";
    return row;
  }
  ChatProbe probe;
  size_t loaded = 0, refused = 0;
  for (auto& client : fleet.clients()) {
    client->onLine = [&](Client& c, const cv3::Line& line) {
      probe.OnLine(fleet, c, line, Clock::now());
      switch (FollowSignIn(fleet, c, line)) {
        case Step::kLoaded:
          probe.Join(c);
          ++loaded;
          break;
        case Step::kRefused:
          ++refused;
          break;
        default:
          break;
      }
    };
    SendAuth(fleet, *client);
  }
  if (!fleet.RunUntil([&] { return loaded + refused == n; }, seconds(600)) || refused) {
    row.error = refused ? std::to_string(refused) + " sign-ins refused" : "sign-in timed out";
    return row;
  }
  Settle(fleet, milliseconds(500));
  // A few pilots (not the probe's two) go away and come back, one change every half second.
  size_t turn = 0;
  Clock::time_point nextChange = Clock::now();
  auto phase = [&](std::vector<double>& chat) {
    probe.roundTrips.clear();
    auto until = Clock::now() + kWebPhase;
    fleet.RunUntil(
        [&] {
          auto now = Clock::now();
          probe.Tick(fleet, now);
          if (now >= nextChange && n > 12) {
            Client& pilot = *fleet.clients()[2 + turn % 10];
            fleet.Send(pilot, turn++ % 20 < 10 ? "AWAY:at the web bench" : "ONLINE");
            nextChange = now + milliseconds(500);
          }
          return now >= until;
        },
        kWebPhase + seconds(5));
    chat = probe.roundTrips;
  };
  phase(row.chatQuiet);

  std::atomic<bool> stop{false};
  double cpuBefore = server.CpuSeconds();
  std::thread browser([&] {
    httplib::Client http("127.0.0.1", webPort);
    http.set_keep_alive(true);
    std::string tag;
    for (size_t k = 0; !stop; ++k) {
      bool whole = k % 2 == 0;
      auto start = Clock::now();
      auto reply = whole ? http.Get("/") : http.Get("/live", {{"If-None-Match", tag}});
      double ms = Ms(Clock::now() - start);
      if (!reply || (reply->status != 200 && reply->status != 304)) {
        ++row.failed;
      } else {
        (whole ? row.page : row.live).push_back(ms);
        tag = reply->get_header_value("ETag");
      }
      std::this_thread::sleep_until(start + milliseconds(50));
    }
  });
  phase(row.chatPolled);
  stop = true;
  browser.join();
  row.webCpu = server.CpuSeconds() - cpuBefore;
  fleet.CloseAll();
  server.Stop();
  return row;
}

void PrintWebTable(const std::string& program, const std::string& folder,
                   const std::vector<size_t>& counts) {
  std::printf(
      "\nThe web page under load: lobby chat round trips (probe) for %lld s without a "
      "browser, then %lld s while one asks for the page and its live part 20 times a "
      "second; a pilot changes state every half second\n",
      static_cast<long long>(kWebPhase.count()), static_cast<long long>(kWebPhase.count()));
  std::printf("%7s | %17s | %17s | %23s | %17s | %6s | %7s\n", "pilots", "chat quiet ms",
              "chat polled ms", "page ms", "live part ms", "failed", "CPU s");
  std::printf("%7s | %8s %8s | %8s %8s | %7s %7s %7s | %8s %8s | %6s | %7s\n", "", "p50", "p99",
              "p50", "p99", "p50", "p99", "max", "p50", "p99", "", "polled");
  std::fflush(stdout);
  for (size_t n : counts) {
    WebRow row = RunWeb(program, folder, n);
    if (!row.error.empty()) {
      std::printf("%7zu | %s\n", n, row.error.c_str());
      continue;
    }
    std::printf(
        "%7zu | %8.1f %8.1f | %8.1f %8.1f | %7.2f %7.2f %7.2f | %8.2f %8.2f | %6zu | %7.2f\n",
        row.n, Percentile(row.chatQuiet, 0.5), Percentile(row.chatQuiet, 0.99),
        Percentile(row.chatPolled, 0.5), Percentile(row.chatPolled, 0.99),
        Percentile(row.page, 0.5), Percentile(row.page, 0.99), Percentile(row.page, 1.0),
        Percentile(row.live, 0.5), Percentile(row.live, 0.99), row.failed, row.webCpu);
    std::fflush(stdout);
  }
}

enum class Drop { kRestart, kBlip };

struct ReturnRow {
  size_t n = 0;
  double upMs = -1;           // the drop to the new lobbyd listening (restart only)
  double signedInS = 0;       // the drop to the last "AUTH_ACK:OK"
  double loadedS = 0;         // the drop to the last "GAMES_ACK"
  size_t attempts = 0;        // connection attempts, refused ones included
  std::vector<double> waits;  // ms from a connection standing to its "AUTH_ACK:OK"
  std::vector<double> chat;
  size_t chatLost = 0;
  double cpu = 0;        // lobbyd's CPU seconds from the drop (a restarted one's whole life)
  double driverCpu = 0;  // this bench's own CPU seconds from the drop: it shares the cores
  double hashCpu = 0;    // lobbyd's password-check threads' CPU seconds from the drop
  unsigned threads = 0;  // ... and how many there are: one per core
  double hashRate = 0;   // checks/s measured just before the drop, as the machine is then
  // Per pilot, over the restarted lobbyd as it began to listen: when all are back with their
  // lists, and kSettle later; below zero when lobbyd gave back more than the pilots took (what
  // loading the store left behind). NaN without a restart.
  double rssKiB = std::nan(""), rssSettledKiB = std::nan("");
  std::string error;
};

ReturnRow RunReturn(const std::string& program, const std::string& folder, size_t n,
                    milliseconds period, Drop drop, const Tls* tls) {
  ReturnRow row;
  row.n = n;
  std::string tag = (drop == Drop::kRestart ? "restart-" : "blip-") + std::to_string(n);
  auto server = std::make_unique<Server>(program, folder, tag, "127.0.0.1:0", false, tls);
  asio::io_context io(1);
  unsigned short port = 0;
  row.error = Prepare(*server, io, n, port, tls);
  if (!row.error.empty()) return row;
  Fleet fleet(io, port, tls);
  if (!fleet.Connect(n, seconds(60))) {
    row.error = "connect failed";
    return row;
  }

  size_t signedIn = 0, loaded = 0, refused = 0;
  bool dropped = false;
  Clock::time_point stopped, allSignedIn, allLoaded;
  ChatProbe probe;
  for (auto& client : fleet.clients()) {
    client->onLine = [&](Client& c, const cv3::Line& line) {
      auto now = Clock::now();
      probe.OnLine(fleet, c, line, now);
      switch (FollowSignIn(fleet, c, line)) {
        case Step::kSignedIn:
          if (dropped) row.waits.push_back(Ms(now - c.started));
          if (++signedIn == n) allSignedIn = now;
          break;
        case Step::kRefused:
          ++refused;
          break;
        case Step::kLoaded:
          if (dropped) probe.Join(c);
          if (++loaded == n) allLoaded = now;
          break;
        case Step::kNone:
          break;
      }
    };
    SendAuth(fleet, *client);
  }
  if (!fleet.RunUntil([&] { return loaded + refused == n; }, seconds(600)) || refused > 0) {
    row.error = refused ? std::to_string(refused) + " sign-ins refused" : "sign-in timed out";
    return row;
  }

  // Each client's attempts fall on its own grid: stopped + phase + k periods, the phases spread
  // evenly over (0, period]. Points that passed while this bench waited for the old lobbyd to end
  // and started the new one were attempts that the closed port refused.
  enum class State { kOnline, kWaiting, kConnecting };
  std::vector<State> state(n, State::kOnline);
  std::vector<Clock::time_point> nextAttempt(n);
  Clock::time_point resumed;
  for (auto& client : fleet.clients()) {
    client->onClosed = [&](Client& c) {
      for (auto& next = nextAttempt[c.index]; next < resumed; next += period) ++row.attempts;
      state[c.index] = State::kWaiting;
    };
  }
  // The machine's speed drifts with what else runs on it; the bound is taken just before the drop.
  row.hashRate = MeasureHashRate(row.threads);
  double hashBefore = drop == Drop::kRestart ? 0 : server->HashCpuSeconds();
  signedIn = loaded = 0;
  dropped = true;
  stopped = Clock::now();
  for (size_t i = 0; i < n; ++i) {
    nextAttempt[i] = stopped + period * static_cast<long>(i + 1) / static_cast<long>(n);
  }
  double cpuBefore = 0;
  double driverBefore = OwnCpuSeconds();
  if (drop == Drop::kRestart) {
    server->Stop();
    server = std::make_unique<Server>(program, folder, tag + "-again",
                                      "127.0.0.1:" + std::to_string(port), false, tls);
  } else {
    cpuBefore = server->CpuSeconds();
    for (auto& client : fleet.clients()) {
      fleet.Reset(*client);
      state[client->index] = State::kWaiting;
    }
  }
  resumed = Clock::now();
  Clock::time_point up{};
  long upRss = 0;
  auto step = [&] {
    auto now = Clock::now();
    if (drop == Drop::kRestart && up == Clock::time_point{} && server->Port() != 0) {
      up = now;
      upRss = server->RssKiB();
    }
    for (size_t i = 0; i < n; ++i) {
      if (state[i] != State::kWaiting || nextAttempt[i] > now) continue;
      state[i] = State::kConnecting;
      nextAttempt[i] += period;
      ++row.attempts;
      fleet.Open(*fleet.clients()[i],
                 [&, i, client = fleet.clients()[i].get()](const asio::error_code& error) {
                   state[i] = error ? State::kWaiting : State::kOnline;
                   if (error) return;
                   client->started = Clock::now();
                   SendAuth(fleet, *client);
                 });
    }
    probe.Tick(fleet, now);
    return loaded + refused == n;
  };
  if (!fleet.RunUntil(step, 6 * period + seconds(300)) || refused > 0) {
    row.error = refused ? std::to_string(refused) + " sign-ins refused"
                        : std::to_string(loaded) + " of " + std::to_string(n) + " came back";
    return row;
  }
  if (up != Clock::time_point{}) row.upMs = Ms(up - stopped);
  row.signedInS = Ms(allSignedIn - stopped) / 1000;
  row.loadedS = Ms(allLoaded - stopped) / 1000;
  row.chat = probe.roundTrips;
  row.chatLost = probe.lost;
  row.cpu = server->CpuSeconds() - cpuBefore;
  row.driverCpu = OwnCpuSeconds() - driverBefore;
  row.hashCpu = server->HashCpuSeconds() - hashBefore;
  if (drop == Drop::kRestart) {
    // As after the first storm: the last notices drain first.
    Settle(fleet, milliseconds(500));
    row.rssKiB = double(server->RssKiB() - upRss) / double(n);
    Settle(fleet, kSettle);
    row.rssSettledKiB = double(server->RssKiB() - upRss) / double(n);
  }
  fleet.CloseAll();
  server->Stop();
  return row;
}

// A figure in KiB, or "-" where there is none (a blip does not restart lobbyd).
std::string Kib(double kib) {
  if (std::isnan(kib)) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", kib);
  return text;
}

// "100,1000" or "none".
std::vector<size_t> ParseCounts(const std::string& value) {
  std::vector<size_t> counts;
  if (value == "none") return counts;
  std::stringstream list(value);
  std::string item;
  while (std::getline(list, item, ','))
    counts.push_back(std::clamp<size_t>(std::stoul(item), 10, 10000));
  return counts;
}

// The rows it printed, those that ran through.
std::vector<Row> PrintSignInTable(const std::string& program, const std::string& folder,
                                  const std::vector<size_t>& counts, size_t lines, double fanRate,
                                  const Tls* tls) {
  std::vector<Row> rows;
  std::printf("Sign-in storm (after %zu warm-up sign-ins), %s\n", kWarmUp, WireName(tls));
  if (fanRate > 0) {
    std::printf("Fan-out: %zu lobby lines at %.1f a second", lines, fanRate);
  } else {
    std::printf("Fan-out: %zu lobby lines, each once the one before reached everyone", lines);
  }
  std::printf("; ms from sending to each receipt, and to each line's last\n");
  std::printf("RSS/conn KiB: after the storm, after the fan-out, and %lld s after that\n",
              static_cast<long long>(kSettle.count()));
  std::printf("%7s | %21s | %7s | %7s | %26s | %8s | %8s | %26s\n", "clients",
              "sign-in->GAMES_ACK ms", "storm", "storm", "fan-out ms", "fan-out", "RSS idle",
              "RSS/conn KiB");
  std::printf("%7s | %10s %10s | %7s | %7s | %8s %8s %8s | %8s | %8s | %8s %8s %8s\n", "", "p50",
              "p99", "s", "CPU s", "p50", "p99", "last p99", "CPU ms", "MiB", "storm", "fan-out",
              "settled");
  std::fflush(stdout);
  for (size_t n : counts) {
    Row row = RunOne(program, folder, n, lines, fanRate, tls);
    if (!row.error.empty()) {
      std::printf("%7zu | %s\n", n, row.error.c_str());
      std::fflush(stdout);
      continue;
    }
    rows.push_back(row);
    std::printf(
        "%7zu | %10.1f %10.1f | %7.1f | %7.1f | %8.2f %8.2f %8.2f | %8.1f | %8.1f | %8.2f %8.2f "
        "%8.2f\n",
        row.n, row.signInP50, row.signInP99, row.signInWall, row.stormCpu, row.fanP50, row.fanP99,
        row.fanLastP99, row.fanCpuMsPerLine, row.idleRssMiB, row.rssPerConnKiB, row.rssAfterFanKiB,
        row.rssSettledKiB);
    std::fflush(stdout);
  }
  return rows;
}

struct ReturnRun {
  Drop drop;
  size_t n;
};

// The restarts' rows, those that ran through.
std::vector<ReturnRow> PrintReturnTable(const std::string& program, const std::string& folder,
                                        const std::vector<ReturnRun>& runs, milliseconds period,
                                        const Tls* tls) {
  std::vector<ReturnRow> restarts;
  const double cores = std::max(1u, std::thread::hardware_concurrency());
  std::printf(
      "Return storms, %s: each client retries every %.1f s; checks/s is measured just before the "
      "drop;\nhash %% is the share of their cores that lobbyd's check threads had during the "
      "storm\n",
      WireName(tls), period.count() / 1000.0);
  std::printf(
      "%7s | %7s | %6s | %9s | %7s | %8s %6s %6s | %7s %6s | %6s | %8s | %15s | %34s | %6s %6s | "
      "%15s\n",
      "clients", "drop", "up ms", "signed in", "lists", "checks/s", "bound", "lists/", "shared",
      "lists/", "hash", "attempts", "AUTH->ACK ms", "lobby chat round trip ms", "lobbyd", "bench",
      "RSS/pilot KiB");
  std::printf(
      "%7s | %7s | %6s | %9s | %7s | %8s %6s %6s | %7s %6s | %6s | %8s | %7s %7s | %7s %7s %7s "
      "%5s %4s | %6s %6s | %7s %7s\n",
      "", "", "", "s", "s", "", "s", "bound", "bound s", "shared", "%", "", "p50", "p99", "p50",
      "p99", "max", "n", "lost", "CPU s", "CPU s", "back", "settled");
  std::fflush(stdout);
  for (const ReturnRun& run : runs) {
    const char* kind = run.drop == Drop::kRestart ? "restart" : "blip";
    ReturnRow row = RunReturn(program, folder, run.n, period, run.drop, tls);
    if (!row.error.empty()) {
      std::printf("%7zu | %7s | %s\n", run.n, kind, row.error.c_str());
      std::fflush(stdout);
      continue;
    }
    if (run.drop == Drop::kRestart) restarts.push_back(row);
    // The last client's first attempt comes a period after the drop; a restart's sign-ins each
    // need a full check. The shared bound adds what this bench's own clients took of the cores
    // lobbyd runs on.
    double period_s = period.count() / 1000.0;
    double hashing = run.drop == Drop::kRestart && row.hashRate > 0 ? row.n / row.hashRate : 0;
    double bound = std::max(period_s, hashing);
    double shared = std::max(period_s, hashing + row.driverCpu / cores);
    double share = row.threads ? 100 * row.hashCpu / (row.threads * row.loadedS) : 0;
    char up[16] = "-";
    if (row.upMs >= 0) std::snprintf(up, sizeof up, "%.0f", row.upMs);
    std::printf(
        "%7zu | %7s | %6s | %9.1f | %7.1f | %8.1f %6.1f %6.2f | %7.1f %6.2f | %6.0f | %8zu | "
        "%7.0f %7.0f | %7.1f %7.1f %7.1f %5zu %4zu | %6.1f %6.1f | %7s %7s\n",
        row.n, kind, up, row.signedInS, row.loadedS, row.hashRate, bound, row.loadedS / bound,
        shared, row.loadedS / shared, share, row.attempts, Percentile(row.waits, 0.5),
        Percentile(row.waits, 0.99), Percentile(row.chat, 0.5), Percentile(row.chat, 0.99),
        Percentile(row.chat, 1.0), row.chat.size(), row.chatLost, row.cpu, row.driverCpu,
        Kib(row.rssKiB).c_str(), Kib(row.rssSettledKiB).c_str());
    std::fflush(stdout);
  }
  return restarts;
}

// The figures of the largest sign-in storm and of each restart side by side, in plain text and
// over TLS. Rows are matched by their number of clients.
void PrintComparison(const std::vector<Row> (&storms)[2],
                     const std::vector<ReturnRow> (&restarts)[2]) {
  std::printf("\n%-44s | %10s | %10s | %7s\n", "plain | TLS", "plain", "TLS", "TLS/plain");
  auto line = [](const std::string& what, double plain, double tls) {
    std::printf("%-44s | %10.2f | %10.2f | %7.2f\n", what.c_str(), plain, tls,
                plain != 0 ? tls / plain : std::nan(""));
  };
  const std::pair<const char*, double Row::*> stormFigures[] = {
      {"RSS per pilot after the storm, KiB", &Row::rssPerConnKiB},
      {"RSS per pilot settled, KiB", &Row::rssSettledKiB},
      {"sign-in storm, s", &Row::signInWall},
      {"sign-in storm, lobbyd CPU s", &Row::stormCpu},
      {"fan-out p50, ms", &Row::fanP50},
      {"fan-out p99, ms", &Row::fanP99},
      {"fan-out, lobbyd CPU ms a line", &Row::fanCpuMsPerLine},
  };
  const std::pair<const char*, double ReturnRow::*> restartFigures[] = {
      {"restart storm: all signed in, s", &ReturnRow::signedInS},
      {"restart storm: all with lists, s", &ReturnRow::loadedS},
      {"restart storm: lobbyd CPU s", &ReturnRow::cpu},
      {"restart storm: password checks CPU s", &ReturnRow::hashCpu},
      {"restart storm: RSS per pilot back, KiB", &ReturnRow::rssKiB},
  };
  if (!storms[0].empty() && !storms[1].empty() && storms[0].back().n == storms[1].back().n) {
    const Row& plain = storms[0].back();
    const Row& tls = storms[1].back();
    std::string at = " (" + std::to_string(plain.n) + ")";
    for (auto [what, field] : stormFigures) line(what + at, plain.*field, tls.*field);
  }
  for (const ReturnRow& plain : restarts[0]) {
    for (const ReturnRow& tls : restarts[1]) {
      if (tls.n != plain.n) continue;
      std::string at = " (" + std::to_string(plain.n) + ")";
      for (auto [what, field] : restartFigures) line(what + at, plain.*field, tls.*field);
    }
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::string program = LOBBYD_PROGRAM;
  std::vector<size_t> counts = {100, 1000, 5000};
  std::vector<size_t> restartCounts = {100, 1000};
  std::vector<size_t> blipCounts = {100, 1000};
  std::vector<size_t> webCounts = {1000};
  size_t lines = 20;
  double fanRate = 0;
  milliseconds period{13000};
  bool overTls = false;
  for (int i = 1; i < argc; ++i) {
    std::string flag = argv[i];
    if (flag == "--tls") {
      overTls = true;
      continue;
    }
    std::string value = i + 1 < argc ? argv[++i] : "";
    if (flag == "--lobbyd") {
      program = value;
    } else if (flag == "--clients") {
      counts = ParseCounts(value);
    } else if (flag == "--restart-clients") {
      restartCounts = ParseCounts(value);
    } else if (flag == "--blip-clients") {
      blipCounts = ParseCounts(value);
    } else if (flag == "--web-clients") {
      webCounts = ParseCounts(value);
    } else if (flag == "--lines") {
      lines = std::min<size_t>(std::stoul(value), 1000);
    } else if (flag == "--fan-rate") {
      fanRate = std::clamp(std::stod(value), 0.0, 1000.0);
    } else if (flag == "--period-ms") {
      period = milliseconds(std::clamp<long>(std::stol(value), 100, 60000));
    } else {
      std::cerr << "usage: lobbyd-bench [--lobbyd PATH] [--clients 100,1000,5000] [--lines 20]\n"
                   "                    [--fan-rate 0] [--restart-clients 100,1000] "
                   "[--blip-clients 100,1000]\n"
                   "                    [--period-ms 13000] [--web-clients 1000] [--tls]\n";
      return 2;
    }
  }
  // Every client is a descriptor here and one in lobbyd, which inherits this limit.
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  size_t most = 0;
  for (size_t n : counts) most = std::max(most, n);
  for (size_t n : restartCounts) most = std::max(most, n);
  for (size_t n : blipCounts) most = std::max(most, n);
  for (size_t n : webCounts) most = std::max(most, n);
  if (limit.rlim_cur < most + 100) {
    std::cerr << "lobbyd-bench: descriptor limit " << limit.rlim_cur << " is too low for " << most
              << " clients\n";
    return 1;
  }
  std::string folder = (std::filesystem::temp_directory_path() / "lobbyd-bench-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 1;
  Tls tls;
  if (overTls && !MakeTls(folder, tls)) {
    std::cerr << "lobbyd-bench: the openssl program could not make a certificate\n";
    return 1;
  }
  // A TLS client writes through OpenSSL, which does not ask the socket to spare it SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  std::vector<const Tls*> wires = {nullptr};
  if (overTls) wires.push_back(&tls);

  unsigned threads = 0;
  double hashRate = MeasureHashRate(threads);
  std::printf("Hashing bound: %.1f password checks/s on %u threads\n\n", hashRate, threads);
  std::vector<Row> storms[2];
  std::vector<ReturnRow> restarts[2];
  for (size_t w = 0; w < wires.size() && !counts.empty(); ++w) {
    storms[w] = PrintSignInTable(program, folder, counts, lines, fanRate, wires[w]);
  }
  // Each size's restart, then its blip.
  std::vector<ReturnRun> runs;
  for (size_t n : restartCounts) runs.push_back({Drop::kRestart, n});
  for (size_t n : blipCounts) runs.push_back({Drop::kBlip, n});
  std::stable_sort(runs.begin(), runs.end(),
                   [](const ReturnRun& a, const ReturnRun& b) { return a.n < b.n; });
  for (size_t w = 0; w < wires.size() && !runs.empty(); ++w) {
    restarts[w] = PrintReturnTable(program, folder, runs, period, wires[w]);
  }
  if (overTls) PrintComparison(storms, restarts);
  if (!webCounts.empty()) PrintWebTable(program, folder, webCounts);
  if (tls.clients) SSL_CTX_free(tls.clients);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
