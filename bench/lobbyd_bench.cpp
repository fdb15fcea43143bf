// lobbyd-bench: starts lobbyd on a loopback port and drives N clients against it. For each N:
// accounts are created (untimed), then all N sign in at once and load the lists the way the
// client does (AUTH, USERS, GAMES), then lobby lines are sent one at a time while every client
// receives. Prints one table row per N. Loopback only; every phase has a deadline.
//
//   lobbyd-bench [--lobbyd PATH] [--clients 100,1000,5000] [--lines 20]
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <asio.hpp>
#include <chrono>
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

#include "protocol/md5.h"

namespace {

using Clock = std::chrono::steady_clock;
using asio::ip::tcp;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t index = static_cast<size_t>(p * (values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

// lobbyd as a child process; its log goes to a file so a full pipe never stalls it.
class Server {
 public:
  // Each run logs to a file of its own, so an older run's port is never read.
  Server(const std::string& program, const std::string& folder, size_t run)
      : logPath_(folder + "/lobbyd-" + std::to_string(run) + ".log") {
    pid_ = fork();
    if (pid_ == 0) {
      FILE* log = std::fopen(logPath_.c_str(), "w");
      if (log) dup2(fileno(log), 2);
      std::string db = folder + "/bench.db";
      execl(program.c_str(), program.c_str(), "--listen", "127.0.0.1:0", "--db", db.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Server() { Stop(); }
  // The port from the "listening on" log line; 0 if it does not come within 10 s.
  unsigned short WaitPort() {
    auto until = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < until) {
      std::ifstream log(logPath_);
      std::string line;
      while (std::getline(log, line)) {
        auto at = line.find("listening on 127.0.0.1:");
        if (at != std::string::npos)
          return static_cast<unsigned short>(std::stoi(line.substr(at + 23)));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
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
  double CpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
      if (i == 14) utime = std::stoul(field);
      if (i == 15) stime = std::stoul(field);
    }
    return double(utime + stime) / sysconf(_SC_CLK_TCK);
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  std::string logPath_;
  pid_t pid_ = -1;
};

// One simulated client: a socket, a partial line, and what it waits for.
struct Client {
  explicit Client(asio::io_context& io) : socket(io) {}
  tcp::socket socket;
  std::string name;
  std::string partial;
  bool connected = false;
  bool done = false;
  Clock::time_point started;
  double signInMs = 0;
  std::function<void(Client&, const std::string&)> onLine;
};

class Fleet {
 public:
  Fleet(asio::io_context& io, unsigned short port) : io_(io), port_(port), scratch_(1 << 18) {}

  // Connects n clients; false when not all connected before the deadline.
  bool Connect(size_t n, std::chrono::seconds deadline) {
    tcp::endpoint server(asio::ip::make_address_v4("127.0.0.1"), port_);
    for (size_t i = 0; i < n; ++i) {
      auto client = std::make_unique<Client>(io_);
      char name[24];
      std::snprintf(name, sizeof name, "b%05zu", i);
      client->name = name;
      Client* raw = client.get();
      clients_.push_back(std::move(client));
      raw->socket.async_connect(server, [this, raw](const asio::error_code& error) {
        if (error) {
          std::fprintf(stderr, "connect: %s\n", error.message().c_str());
          return;
        }
        raw->connected = true;
        raw->socket.set_option(tcp::no_delay(true));
        ++connected_;
        Read(*raw);
      });
    }
    return RunUntil([&] { return connected_ == n; }, deadline);
  }

  bool RunUntil(const std::function<bool()>& done, std::chrono::seconds deadline) {
    auto until = Clock::now() + deadline;
    while (!done()) {
      if (Clock::now() > until) return false;
      if (io_.stopped()) io_.restart();
      io_.run_for(std::chrono::milliseconds(5));
    }
    return true;
  }

  void Send(Client& client, std::string line) {
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
  void Read(Client& client) {
    client.socket.async_wait(
        tcp::socket::wait_read, [this, &client](const asio::error_code& error) {
          if (error) return;
          asio::error_code readError;
          size_t got = client.socket.read_some(asio::buffer(scratch_), readError);
          if (readError) return;
          client.partial.append(scratch_.data(), got);
          size_t start = 0;
          for (;;) {
            size_t end = client.partial.find("\r\n", start);
            if (end == std::string::npos) break;
            if (client.onLine) client.onLine(client, client.partial.substr(start, end - start));
            start = end + 2;
          }
          client.partial.erase(0, start);
          Read(client);
        });
  }

  asio::io_context& io_;
  unsigned short port_;
  std::vector<char> scratch_;
  std::vector<std::unique_ptr<Client>> clients_;
  size_t connected_ = 0;
};

struct Row {
  size_t n = 0;
  double signInP50 = 0, signInP99 = 0, fanP50 = 0, fanP99 = 0, rssPerConnKiB = 0, cpu = 0;
  double signInWall = 0;
  std::string error;
};

Row RunOne(const std::string& program, const std::string& folder, size_t n, size_t lines) {
  Row row;
  row.n = n;
  Server server(program, folder, n);
  unsigned short port = server.WaitPort();
  if (!port) {
    row.error = "lobbyd did not start";
    return row;
  }
  const std::string digest = cv3::clsMD5().DigestStrToHexStr("bench").value();
  asio::io_context io(1);

  // Accounts: CREATE where missing (the database is kept between runs). Untimed.
  {
    Fleet fleet(io, port);
    if (!fleet.Connect(n, std::chrono::seconds(60))) {
      row.error = "connect failed (accounts)";
      return row;
    }
    size_t finished = 0;
    for (auto& client : fleet.clients()) {
      // A taken ID answers "AUTH_ACK:FAILED" without counting as a failed sign-in.
      client->onLine = [&](Client& c, const std::string& line) {
        if (line == "AUTH_ACK:OK" || line == "AUTH_ACK:FAILED") {
          fleet.Send(c, "QUIT");
        } else if (line == "QUIT_ACK:OK") {
          ++finished;
        }
      };
      fleet.Send(*client, "CREATE:" + client->name + ":" + digest + ":" + client->name + "@bench");
    }
    if (!fleet.RunUntil([&] { return finished == n; }, std::chrono::seconds(600))) {
      row.error = "account setup timed out";
      return row;
    }
    fleet.CloseAll();
  }

  long baseRss = server.RssKiB();
  Fleet fleet(io, port);
  if (!fleet.Connect(n, std::chrono::seconds(60))) {
    row.error = "connect failed";
    return row;
  }
  // Sign-in storm: everyone at once, then the lists as the client asks for them.
  size_t loaded = 0;
  size_t refused = 0;
  std::vector<size_t> received(lines, 0);
  std::vector<Clock::time_point> lastReceipt(lines);
  for (auto& client : fleet.clients()) {
    client->onLine = [&](Client& c, const std::string& line) {
      if (line == "AUTH_ACK:OK") {
        fleet.Send(c, "USERS");
      } else if (line.rfind("AUTH_ACK:", 0) == 0) {
        ++refused;
      } else if (line == "USERS_ACK") {
        fleet.Send(c, "GAMES");
      } else if (line == "GAMES_ACK") {
        c.signInMs = Ms(Clock::now() - c.started);
        ++loaded;
      } else if (line.rfind("LMSG:", 0) == 0) {
        size_t at = line.find(":fan ");
        if (at == std::string::npos) return;
        size_t seq = std::stoul(line.substr(at + 5));
        if (seq < received.size()) {
          ++received[seq];
          lastReceipt[seq] = Clock::now();
        }
      }
    };
  }
  auto stormStart = Clock::now();
  for (auto& client : fleet.clients()) {
    client->started = Clock::now();
    fleet.Send(*client, "AUTH:" + client->name + ":" + digest);
  }
  if (!fleet.RunUntil([&] { return loaded + refused == n; }, std::chrono::seconds(600)) ||
      refused > 0) {
    row.error = refused ? std::to_string(refused) + " sign-ins refused" : "sign-in timed out";
    return row;
  }
  row.signInWall = Ms(Clock::now() - stormStart) / 1000;
  std::vector<double> signIns;
  for (auto& client : fleet.clients()) signIns.push_back(client->signInMs);
  row.signInP50 = Percentile(signIns, 0.5);
  row.signInP99 = Percentile(signIns, 0.99);
  // Let the last notices drain, then take the idle size.
  auto settle = Clock::now() + std::chrono::milliseconds(500);
  fleet.RunUntil([&] { return Clock::now() > settle; }, std::chrono::seconds(1));
  row.rssPerConnKiB = double(server.RssKiB() - baseRss) / n;

  // Fan-out: one lobby line at a time, each from another sender (flood control is per pilot).
  std::vector<double> fans;
  for (size_t seq = 0; seq < lines; ++seq) {
    Client& sender = *fleet.clients()[seq % n];
    auto sent = Clock::now();
    fleet.Send(sender, "LMSG:fan " + std::to_string(seq));
    if (!fleet.RunUntil([&] { return received[seq] == n; }, std::chrono::seconds(60))) {
      row.error = "fan-out timed out";
      return row;
    }
    fans.push_back(Ms(lastReceipt[seq] - sent));
  }
  row.fanP50 = Percentile(fans, 0.5);
  row.fanP99 = Percentile(fans, 0.99);
  row.cpu = server.CpuSeconds();
  fleet.CloseAll();
  server.Stop();
  return row;
}

}  // namespace

int main(int argc, char** argv) {
  std::string program = LOBBYD_PROGRAM;
  std::vector<size_t> counts = {100, 1000, 5000};
  size_t lines = 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string flag = argv[i], value = argv[i + 1];
    if (flag == "--lobbyd") {
      program = value;
    } else if (flag == "--clients") {
      counts.clear();
      std::stringstream list(value);
      std::string item;
      while (std::getline(list, item, ','))
        counts.push_back(std::min<size_t>(std::stoul(item), 8000));
    } else if (flag == "--lines") {
      lines = std::min<size_t>(std::stoul(value), 1000);
    } else {
      std::cerr << "usage: lobbyd-bench [--lobbyd PATH] [--clients 100,1000,5000] [--lines 20]\n";
      return 2;
    }
  }
  // Every client is a descriptor here and one in lobbyd, which inherits this limit.
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  size_t most = *std::max_element(counts.begin(), counts.end());
  if (limit.rlim_cur < most + 100) {
    std::cerr << "lobbyd-bench: descriptor limit " << limit.rlim_cur << " is too low for " << most
              << " clients\n";
    return 1;
  }
  std::string folder = (std::filesystem::temp_directory_path() / "lobbyd-bench-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 1;

  std::printf("%7s | %21s | %21s | %14s | %8s | %s\n", "clients", "sign-in->GAMES_ACK ms",
              "fan-out ms", "RSS/conn KiB", "CPU s", "storm s");
  std::printf("%7s | %10s %10s | %10s %10s | %14s | %8s |\n", "", "p50", "p99", "p50", "p99", "",
              "");
  std::fflush(stdout);
  for (size_t n : counts) {
    Row row = RunOne(program, folder, n, lines);
    if (!row.error.empty()) {
      std::printf("%7zu | %s\n", n, row.error.c_str());
      continue;
    }
    std::printf("%7zu | %10.1f %10.1f | %10.2f %10.2f | %14.2f | %8.1f | %.1f\n", row.n,
                row.signInP50, row.signInP99, row.fanP50, row.fanP99, row.rssPerConnKiB, row.cpu,
                row.signInWall);
    std::fflush(stdout);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
