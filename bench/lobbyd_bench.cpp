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
//                [--tls] [--cluster-clients none] [--nodes 3]
//
// With --cluster-clients N, a last table (cluster_bench.h) sets one lobby of --nodes × N pilots on
// one lobbyd beside the same lobby on that many nodes.
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

#include "bench/cluster_bench.h"
#include "bench/lobbyd_fleet.h"
#include "lobbyd/hasher.h"
#include "protocol/catalogue.h"
#include "protocol/chat_messages.h"
#include "protocol/md5.h"
#include "protocol/session_messages.h"
#include "protocol/wire.h"

namespace {

using namespace bench;

namespace msg = cv3::msg;
using Clock = std::chrono::steady_clock;
using asio::ip::tcp;
using std::chrono::milliseconds;
using std::chrono::seconds;

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
  size_t nodes = 3;
  size_t clusterClients = 0;  // per node; none by default
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
    } else if (flag == "--nodes") {
      nodes = std::clamp<size_t>(std::stoul(value), 2, 8);
    } else if (flag == "--cluster-clients") {
      auto counts = ParseCounts(value);
      clusterClients = counts.empty() ? 0 : counts.front();
    } else if (flag == "--period-ms") {
      period = milliseconds(std::clamp<long>(std::stol(value), 100, 60000));
    } else {
      std::cerr << "usage: lobbyd-bench [--lobbyd PATH] [--clients 100,1000,5000] [--lines 20]\n"
                   "                    [--fan-rate 0] [--restart-clients 100,1000] "
                   "[--blip-clients 100,1000]\n"
                   "                    [--period-ms 13000] [--web-clients 1000] [--tls]\n"
                   "                    [--cluster-clients none] [--nodes 3]\n";
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
  most = std::max(most, nodes * clusterClients + 2 * nodes);
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
  if (clusterClients) bench::PrintClusterTable(program, folder, nodes, clusterClients, lines);
  if (tls.clients) SSL_CTX_free(tls.clients);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
