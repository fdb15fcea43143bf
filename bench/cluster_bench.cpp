// The cluster table. Each row is one lobby of nodes × perNode pilots (each its own loopback
// address): first a single lobbyd on its SQLite store holding them all, then the nodes of one
// lobby on a throwaway PostgreSQL cluster and a nats-server, pilots spread evenly. Two pilots per
// node sign in first, so every node's check threads have their working memory before the figures.
//
// - RSS per local and per remote pilot: the nodes start on accounts made beforehand, then perNode
//   pilots sign in on the first node only; its growth per pilot is a local pilot's cost, the other
//   nodes' growth a remote pilot's (the replica).
// - Fan-out: lobby lines from pilots on each node in turn, each once the one before reached
//   everyone; ms from sending to each receipt. "cross-node" is what a receipt on another node
//   than the sender's takes beyond one on the sender's own.
// - Restart: the last node gets SIGTERM and is started again on its port; its pilots sign in again
//   at once with their lists while the others go on. "others dropped" must stay 0.
#include "bench/cluster_bench.h"

#include <fcntl.h>

#include <cmath>
#include <memory>

#include "bench/lobbyd_fleet.h"
#include "lobbyd/testing/pg_cluster.h"

namespace bench {
namespace {

// A nats-server on a free loopback port, stopped with the object.
class NatsProcess {
 public:
  NatsProcess() {
    asio::io_context io;
    tcp::acceptor probe(io, tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0));
    port_ = probe.local_endpoint().port();
    probe.close();
    std::string port = std::to_string(port_);
    pid_ = fork();
    if (pid_ == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      closefrom(3);
      execl(NATS_SERVER_PROGRAM, NATS_SERVER_PROGRAM, "-a", "127.0.0.1", "-p", port.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~NatsProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  NatsProcess(const NatsProcess&) = delete;
  NatsProcess& operator=(const NatsProcess&) = delete;

  // Whether it takes connections within 10 s.
  bool WaitReady() const {
    asio::io_context io;
    auto until = Clock::now() + seconds(10);
    while (Clock::now() < until) {
      tcp::socket socket(io);
      asio::error_code error;
      socket.connect(tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), port_), error);
      if (!error) return true;
      std::this_thread::sleep_for(milliseconds(50));
    }
    return false;
  }
  std::string Url() const { return "nats://127.0.0.1:" + std::to_string(port_); }

 private:
  unsigned short port_ = 0;
  pid_t pid_ = -1;
};

struct ClusterRow {
  size_t nodes = 0, pilots = 0;
  double signInWall = 0;
  double fanP50 = 0, fanP99 = 0;
  double crossP50 = NAN, crossP99 = NAN;
  double localKiB = NAN, remoteKiB = NAN;
  double restartS = 0;
  size_t othersDropped = 0;
  std::string error;
};

ClusterRow RunCluster(const std::string& program, const std::string& folder, size_t nodes,
                      size_t perNode, size_t lines) {
  ClusterRow row;
  row.nodes = nodes;
  row.pilots = nodes * perNode;
  const std::string tag = "cluster" + std::to_string(nodes);
  std::unique_ptr<lobbyd::testing::PgCluster> pg;
  std::unique_ptr<NatsProcess> nats;
  std::string database;
  if (nodes > 1) {
    pg = std::make_unique<lobbyd::testing::PgCluster>();
    database = pg->NewDatabase();
    if (database.empty()) {
      row.error = "PostgreSQL: " + pg->Problem();
      return row;
    }
    nats = std::make_unique<NatsProcess>();
    if (!nats->WaitReady()) {
      row.error = "nats-server did not start";
      return row;
    }
  }
  auto storeFlags = [&](size_t k) -> std::vector<std::string> {
    if (nodes == 1) return {"--db", folder + "/" + tag + ".db"};
    return {"--store", database, "--cluster", nats->Url(), "--node", "n" + std::to_string(k)};
  };
  std::vector<std::unique_ptr<Server>> servers(nodes);
  std::vector<unsigned short> ports(nodes);
  auto start = [&](size_t k, const std::string& listen, const std::string& run) {
    servers[k] = std::make_unique<Server>(program, folder, tag + "-n" + std::to_string(k) + run,
                                          listen, false, nullptr, storeFlags(k));
    return servers[k]->WaitPort();
  };
  const size_t warm = 2 * nodes;
  const size_t everyone = warm + row.pilots;
  asio::io_context io(1);
  {
    // The accounts are made through a lobbyd of their own, so that the nodes measured start
    // afresh on them, holding no memory of the set-up.
    std::vector<std::string> store = storeFlags(0);
    store.resize(2);
    Server creator(program, folder, tag + "-accounts", "127.0.0.1:0", false, nullptr, store);
    row.error = Prepare(creator, io, everyone, ports[0]);
    if (!row.error.empty()) return row;
  }
  for (size_t k = 0; k < nodes; ++k) {
    ports[k] = start(k, "127.0.0.1:0", "");
    if (!ports[k]) {
      row.error = "node " + std::to_string(k) + " did not start: " + servers[k]->LastLogLine();
      return row;
    }
  }

  Fleet fleet(io, ports);
  size_t loaded = 0, refused = 0, marks = 0;
  std::vector<size_t> received(lines, 0), senderNode(lines, 0);
  std::vector<Clock::time_point> sentAt(lines);
  std::vector<double> all, local, remote;
  auto onLine = [&](Client& c, const cv3::Line& line) {
    Step step = FollowSignIn(fleet, c, line);
    refused += step == Step::kRefused;
    loaded += step == Step::kLoaded;
    if (step != Step::kNone) return;
    if (line.name != msg::kLmsg) return;
    if (line.args.find(":mark") != std::string::npos) {
      ++marks;
      return;
    }
    size_t at = line.args.find(":fan ");
    if (at == std::string::npos) return;
    size_t seq = std::stoul(line.args.substr(at + 5));
    if (seq >= lines) return;
    ++received[seq];
    double ms = Ms(Clock::now() - sentAt[seq]);
    all.push_back(ms);
    (c.node == senderNode[seq] ? local : remote).push_back(ms);
  };
  // Connects n clients (to `node`, or spread) and signs them in with their lists.
  auto join = [&](size_t n, std::optional<size_t> node) {
    size_t from = fleet.clients().size();
    if (!fleet.Connect(n, seconds(60), node)) return false;
    for (size_t i = from; i < from + n; ++i) {
      fleet.clients()[i]->onLine = onLine;
      SendAuth(fleet, *fleet.clients()[i]);
    }
    return fleet.RunUntil([&] { return loaded + refused == from + n; }, Storm(n)) && !refused;
  };
  // Every node has applied what came before once a lobby line sent now reached everyone: each
  // node's events arrive in its order.
  auto sync = [&] {
    marks = 0;
    fleet.Send(*fleet.clients()[0], cv3::FormatLine(msg::kLmsg, "mark"));
    return fleet.RunUntil([&] { return marks == fleet.clients().size(); }, seconds(60));
  };
  auto rss = [&] {
    std::vector<long> kib;
    for (auto& server : servers) kib.push_back(server->RssKiB());
    return kib;
  };

  if (!join(warm, std::nullopt) || !sync()) {
    row.error = "warm-up sign-ins failed";
    return row;
  }
  Settle(fleet, milliseconds(500));
  auto base = rss();
  auto stormStart = Clock::now();
  for (size_t k = 0; k < nodes; ++k) {
    if (!join(perNode, k) || !sync()) {
      row.error = "sign-ins on node " + std::to_string(k) + " failed";
      return row;
    }
    if (k == 0) {
      row.signInWall += Ms(Clock::now() - stormStart) / 1000;
      Settle(fleet, milliseconds(500));
      auto after = rss();
      row.localKiB = double(after[0] - base[0]) / double(perNode);
      double grown = 0;
      for (size_t j = 1; j < nodes; ++j) grown += double(after[j] - base[j]);
      if (nodes > 1) row.remoteKiB = grown / double(nodes - 1) / double(perNode);
      stormStart = Clock::now();
    }
  }
  row.signInWall += Ms(Clock::now() - stormStart) / 1000;

  for (size_t seq = 0; seq < lines; ++seq) {
    size_t node = seq % nodes;
    Client& sender = *fleet.clients()[warm + node * perNode + (seq / nodes) % perNode];
    senderNode[seq] = sender.node;
    sentAt[seq] = Clock::now();
    fleet.Send(sender, cv3::FormatLine(msg::kLmsg, "fan " + std::to_string(seq)));
    if (!fleet.RunUntil([&] { return received[seq] == everyone; }, seconds(60))) {
      row.error = "fan-out timed out";
      return row;
    }
  }
  row.fanP50 = Percentile(all, 0.5);
  row.fanP99 = Percentile(all, 0.99);
  if (!remote.empty()) {
    row.crossP50 = Percentile(remote, 0.5) - Percentile(local, 0.5);
    row.crossP99 = Percentile(remote, 0.99) - Percentile(local, 0.99);
  }

  const size_t last = nodes - 1;
  size_t gone = 0, onLast = 0;
  for (auto& client : fleet.clients()) {
    if (client->node == last) ++onLast;
    client->onClosed = [&](Client& c) { c.node == last ? ++gone : ++row.othersDropped; };
  }
  servers[last]->Stop();
  if (!fleet.RunUntil([&] { return gone == onLast; }, seconds(30))) {
    row.error = "the stopped node's pilots were not all closed";
    return row;
  }
  auto restart = Clock::now();
  if (!start(last, "127.0.0.1:" + std::to_string(ports[last]), "-again")) {
    row.error = "the node did not start again";
    return row;
  }
  loaded = 0;
  for (auto& client : fleet.clients()) {
    if (client->node != last) continue;
    fleet.Open(*client, [&fleet, &client, &refused](const asio::error_code& error) {
      if (error) {
        ++refused;
      } else {
        SendAuth(fleet, *client);
      }
    });
  }
  if (!fleet.RunUntil([&] { return loaded + refused == onLast; }, Storm(onLast)) || refused) {
    row.error = "the restarted node's pilots did not all come back";
    return row;
  }
  row.restartS = Ms(Clock::now() - restart) / 1000;
  fleet.CloseAll();
  return row;
}

}  // namespace

void PrintClusterTable(const std::string& program, const std::string& folder, size_t nodes,
                       size_t perNode, size_t lines) {
  std::printf(
      "\nOne lobby of %zu pilots: on one lobbyd, then on %zu nodes (%zu each); %zu lobby lines\n",
      nodes * perNode, nodes, perNode, lines);
  std::printf("%5s | %7s | %9s | %17s | %17s | %17s | %9s | %6s\n", "nodes", "pilots", "sign-in s",
              "fan-out ms", "cross-node ms", "RSS/pilot KiB", "restart s", "others");
  std::printf("%5s | %7s | %9s | %8s %8s | %8s %8s | %8s %8s | %9s | %6s\n", "", "", "", "p50",
              "p99", "p50", "p99", "local", "remote", "", "dropped");
  std::fflush(stdout);
  for (size_t count : {size_t{1}, nodes}) {
    ClusterRow row =
        RunCluster(program, folder, count, count == 1 ? nodes * perNode : perNode, lines);
    if (!row.error.empty()) {
      std::printf("%5zu | %s\n", count, row.error.c_str());
    } else {
      std::printf("%5zu | %7zu | %9.1f | %8.2f %8.2f | %8s %8s | %8s %8s | %9.1f | %6zu\n",
                  row.nodes, row.pilots, row.signInWall, row.fanP50, row.fanP99,
                  Kib(row.crossP50).c_str(), Kib(row.crossP99).c_str(), Kib(row.localKiB).c_str(),
                  Kib(row.remoteKiB).c_str(), row.restartS, row.othersDropped);
    }
    std::fflush(stdout);
  }
}

}  // namespace bench
