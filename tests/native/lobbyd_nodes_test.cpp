// lobbyd nodes that are one lobby: lobbyd processes on loopback over a nats-server the test starts
// and a database of the shared throwaway PostgreSQL, pilots signed in on different nodes seeing
// exactly what one lobbyd shows.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include "common/child_program.h"
#include "common/nats_server.h"
#include "lobbyd/testing/pg_cluster.h"
#include "lobbyd/testing/test_client.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {
namespace {

using cv3::testing::ChildProgram;
using cv3::testing::ListeningPort;
using cv3::testing::NatsServer;
using std::chrono::milliseconds;
using Lines = std::vector<std::string>;

constexpr milliseconds kDeadline{10000};
// A node is dropped once silent for 5 s; it was last heard up to a heartbeat (1 s) before it died,
// and silence is looked for every 250 ms.
constexpr milliseconds kDeadNodeNoticed{5000 + 1000 + 250 + 500};
// What a restarted node's state tells comes well before its silence would.
constexpr milliseconds kBeforeSilence{3000};
const std::vector<std::string> kPilots = {"ann", "bob", "carol", "dave"};

std::string Escaped(const std::string& text) {
  return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// One lobbyd node of the cluster.
class Node {
 public:
  Node(std::string name, const std::string& nats, const std::string& store,
       std::vector<std::string> more = {})
      : name_(std::move(name)) {
    std::vector<std::string> args = {"--store", store, "--cluster", nats,
                                     "--node",  name_, "--listen",  "127.0.0.1:0"};
    args.insert(args.end(), more.begin(), more.end());
    program_ = std::make_unique<ChildProgram>(LOBBYD_PROGRAM, args);
    port_ = ListeningPort(*program_);
  }
  const std::string& name() const { return name_; }
  unsigned short port() const { return port_; }
  ChildProgram& program() { return *program_; }
  // Whether the log says `text` (`times` times from its start) before the deadline.
  bool Logged(const std::string& text, int times = 1) {
    std::string pattern = Escaped(text);
    for (int i = 1; i < times; ++i) pattern = Escaped(text) + "[^]*" + pattern;
    return program_->ReadUntil(std::regex(pattern), kDeadline);
  }
  std::unique_ptr<TestClient> SignIn(const std::string& pilot) {
    auto client = std::make_unique<TestClient>(port_);
    client->Send("AUTH:" + pilot + ":" + Digest("pw"));
    EXPECT_EQ(client->ReadLine(), "AUTH_ACK:OK") << pilot << " on " << name_;
    EXPECT_EQ(client->ReadLine(), "ISON:" + pilot) << pilot << " on " << name_;
    return client;
  }

 private:
  std::string name_;
  std::unique_ptr<ChildProgram> program_;
  unsigned short port_ = 0;
};

class Nodes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(nats_->port(), 0);
    store_ = PgCluster::Shared().NewDatabase();
    ASSERT_NE(store_, "") << PgCluster::Shared().Problem();
  }

  // Nodes started one after the other (the first makes the accounts), each holding every
  // other's state before the test goes on.
  void Start(const std::vector<std::string>& names, const std::vector<std::string>& more = {}) {
    for (const auto& name : names) {
      std::vector<std::string> accounts = more;
      if (nodes_.empty()) {
        for (const auto& pilot : kPilots) {
          accounts.insert(accounts.end(), {"--add-account", pilot + ":pw"});
        }
        accounts.insert(accounts.end(), {"--admin", "ann"});
      }
      nodes_.push_back(std::make_unique<Node>(name, nats_->url(), store_, accounts));
      ASSERT_NE(nodes_.back()->port(), 0) << nodes_.back()->program().Output();
    }
    for (auto& node : nodes_) WaitJoined(*node);
  }
  void WaitJoined(Node& node) {
    for (auto& other : nodes_) {
      if (other.get() == &node) continue;
      EXPECT_TRUE(node.Logged("cluster: took node " + other->name() + "'s state"))
          << node.program().Output();
    }
  }
  Node& node(size_t index) { return *nodes_[index]; }
  // Nodes A, B and C; Bob signs in on B, Carol on C, then Ann on A, each told of those after.
  struct Pilots {
    std::unique_ptr<TestClient> ann, bob, carol;
  };
  Pilots ThreeNodesThreePilots(const std::vector<std::string>& more = {}) {
    Start({"node-a", "node-b", "node-c"}, more);
    Pilots pilots{nullptr, node(1).SignIn("bob"), node(2).SignIn("carol")};
    EXPECT_EQ(pilots.bob->ReadLine(), "ISON:carol");
    pilots.ann = node(0).SignIn("ann");
    for (TestClient* other : {pilots.bob.get(), pilots.carol.get()}) {
      EXPECT_EQ(other->ReadLine(), "ISON:ann");
    }
    return pilots;
  }

  std::unique_ptr<NatsServer> nats_ = std::make_unique<NatsServer>(0);
  std::string store_;
  std::vector<std::unique_ptr<Node>> nodes_;
};

// lobbyd's answer to flags it cannot run with: one line and exit code 2, nothing bound.
TEST_F(Nodes, FlagsItCannotRunWithStopTheStartWithOneLine) {
  const std::string nats = nats_->url();
  std::string nowhere;
  {
    NatsServer gone(0);
    nowhere = gone.url();  // nothing listens there once it is gone
  }
  struct Case {
    std::vector<std::string> args;
    std::string said;
  };
  for (const Case& c : std::initializer_list<Case>{
           {{"--cluster", nats, "--node", "a"},
            "--cluster needs --store: the nodes share their accounts in PostgreSQL"},
           {{"--store", store_, "--cluster", nats}, "--cluster and --node go together: give both"},
           {{"--store", store_, "--node", "a"}, "--cluster and --node go together: give both"},
           {{"--store", store_, "--cluster", nats, "--node", "a b"},
            "--node needs a name of letters, digits, '.', '_' and '-' (at most 64)"},
           {{"--store", store_, "--cluster", "127.0.0.1:4222", "--node", "a"},
            "--cluster needs a NATS server as nats://HOST:PORT"},
           {{"--store", store_, "--cluster", nowhere, "--node", "a", "--listen", "127.0.0.1:0"},
            "--cluster: cannot connect to " + nowhere + ": No server available for connection"},
       }) {
    ChildProgram program(LOBBYD_PROGRAM, c.args);
    EXPECT_EQ(program.ReadAll(), "lobbyd: " + c.said + "\n");
    EXPECT_EQ(program.Wait(), 2) << c.said;
  }
}

// A game's HOSTGAME line: long-term ones only go down when their host leaves.
std::string HostGame(const std::string& name, const std::string& address, bool longTerm) {
  return "HOSTGAME:" + name + ":" + address +
         ":1.06:Named:1:0:1:0:0:1:0:" + (longTerm ? "1" : "0") + ":0:1:all in";
}

// What a pilot is sent in answer to `line` (everything queued for him before its reply too).
Lines Answer(TestClient& client, const std::string& line) {
  client.Send(line);
  return client.Sync().value_or(Lines{"no answer"});
}

// The pilot list a pilot is sent, its USER lines only.
Lines UsersOf(TestClient& client) {
  client.Send("USERS");
  auto lines = client.ReadUntil("USERS_ACK");
  Lines users;
  for (const auto& line : lines.value_or(Lines{"no USERS_ACK"})) {
    if (line.rfind("USER:", 0) == 0 || line == "no USERS_ACK") users.push_back(line);
  }
  return users;
}

TEST_F(Nodes, APilotOnOneNodeIsSeenOnTheOthersAsOnOneLobby) {
  auto [ann, bob, carol] = ThreeNodesThreePilots();
  EXPECT_EQ(UsersOf(*bob), (Lines{"USER:ann:online", "USER:carol:online", "USER:dave:offline"}));

  struct Case {
    std::string said;  // by ann on node A
    std::string seen;  // by bob on B and carol on C
    Lines own;         // by ann herself
  };
  for (const Case& c : std::initializer_list<Case>{
           {"AWAY:at lunch: back at 2",
            "ISAWAY:ann:at lunch: back at 2",
            {"ISAWAY:ann:at lunch: back at 2"}},
           {"INVISIBLE", "ISOFF:ann", {"INVISIBLE_ACK"}},
           {"ADMINMODE", "ISADMIN:ann", {"ISADMIN:ann"}},
           {"ONLINE", "ISON:ann", {"ISON:ann"}},
           {"LMSG:hello all", "LMSG:ann:hello all", {"LMSG:ann:hello all"}},
       }) {
    ann->Send(c.said);
    EXPECT_EQ(ann->Sync(), c.own) << c.said;
    for (TestClient* other : {bob.get(), carol.get()}) {
      EXPECT_EQ(other->ReadLine(), c.seen) << c.said;
    }
  }
  EXPECT_EQ(UsersOf(*carol), (Lines{"USER:ann:online", "USER:bob:online", "USER:dave:offline"}));

  // A pilot's lines reach the other nodes in the order he sent them, private or not (as many as
  // flood control lets through at once).
  const Lines said = {"PMSG:carol:one", "PMSG:carol:two", "LMSG:three", "PMSG:carol:four",
                      "LMSG:five"};
  for (const auto& line : said) bob->Send(line);
  EXPECT_EQ(carol->ReadUntil("LMSG:bob:five"),
            (Lines{"PMSG:bob:one", "PMSG:bob:two", "LMSG:bob:three", "PMSG:bob:four"}));
  for (TestClient* other : {ann.get(), bob.get()}) {
    EXPECT_EQ(other->ReadUntil("LMSG:bob:five"), Lines{"LMSG:bob:three"});
  }

  ann->Send("QUIT");
  EXPECT_EQ(ann->ReadLine(), "QUIT_ACK:OK");
  for (TestClient* other : {bob.get(), carol.get()}) EXPECT_EQ(other->ReadLine(), "ISOFF:ann");
}

TEST_F(Nodes, AGameHostedOnOneNodeIsListedDescribedAndTakenDownOnTheOthers) {
  Start({"node-a", "node-b"});
  auto bob = node(1).SignIn("bob");
  auto ann = node(0).SignIn("ann");
  auto carol = node(0).SignIn("carol");
  EXPECT_EQ(bob->ReadLine(), "ISON:ann");
  EXPECT_EQ(bob->ReadLine(), "ISON:carol");
  EXPECT_EQ(ann->ReadLine(), "ISON:carol");
  ann->Send(HostGame("Moonbase", "203.0.113.10", true));
  ann->Send(HostGame("Crater", "203.0.113.11", false));
  EXPECT_EQ(ann->ReadUntil("GAMEUP:Crater"),
            (Lines{"HOSTGAME_ACK:OK", "GAMEUP:Moonbase", "HOSTGAME_ACK:OK"}));
  EXPECT_EQ(bob->ReadUntil("GAMEUP:Crater"), Lines{"GAMEUP:Moonbase"});
  EXPECT_EQ(carol->ReadUntil("GAMEUP:Crater"), Lines{"GAMEUP:Moonbase"});
  // Bob on B is answered exactly as Carol on A.
  for (std::string asked : {"GAMES", "GAMEINFO:Moonbase", "GAMEINFO:Crater"}) {
    Lines here = Answer(*carol, asked);
    EXPECT_GT(here.size(), 1u) << asked;
    EXPECT_EQ(Answer(*bob, asked), here) << asked;
  }
  bob->Send(HostGame("Ridge", "203.0.113.10", false));
  EXPECT_EQ(bob->ReadLine(), "HOSTGAME_ACK:DUPADDY");
  bob->Send(HostGame("moonbase", "203.0.113.12", false));
  EXPECT_EQ(bob->ReadLine(), "HOSTGAME_ACK:DUPNAME");

  ann->Send("QUIT");
  EXPECT_EQ(ann->ReadLine(), "QUIT_ACK:OK");
  for (TestClient* other : {bob.get(), carol.get()}) {
    EXPECT_EQ(other->ReadLine(), "ISOFF:ann");
    EXPECT_EQ(other->ReadLine(), "GAMEDOWN:Moonbase");
    EXPECT_EQ(other->ReadLine(), "GAMEREM:Crater");
  }
  EXPECT_EQ(Answer(*bob, "GAMES"), Answer(*carol, "GAMES"));
}

TEST_F(Nodes, AnAdministratorActsOnPilotsOfAnotherNode) {
  Start({"node-a", "node-b"});
  auto bob = node(1).SignIn("bob");
  auto carol = node(1).SignIn("carol");
  auto dave = node(1).SignIn("dave");
  EXPECT_EQ(bob->ReadUntil("ISON:dave"), Lines{"ISON:carol"});
  EXPECT_EQ(carol->ReadLine(), "ISON:dave");
  auto ann = node(0).SignIn("ann");
  ann->Send("ADMINMODE");
  EXPECT_EQ(ann->ReadLine(), "ISADMIN:ann");
  for (TestClient* other : {bob.get(), carol.get(), dave.get()}) {
    EXPECT_EQ(other->ReadUntil("ISADMIN:ann"), Lines{"ISON:ann"});
  }

  ann->Send("SUSPEND:bob");
  EXPECT_EQ(ann->ReadUntil("WARNING:bob has been suspended."), Lines{"ISOFF:bob"});
  EXPECT_EQ(bob->ReadLine(), "ERROR:Your account has been suspended by an administrator.");
  EXPECT_TRUE(bob->WaitClosed());
  for (TestClient* other : {carol.get(), dave.get()}) EXPECT_EQ(other->ReadLine(), "ISOFF:bob");

  ann->Send("CHNGPASS:carol:" + Digest("new one"));
  EXPECT_EQ(ann->ReadLine(), "WARNING:The password of carol has been changed.");
  struct SignIn {
    std::string pilot, password, answer;
  };
  std::unique_ptr<TestClient> client;
  for (const SignIn& again : std::initializer_list<SignIn>{{"bob", "pw", "AUTH_ACK:SUSPENDED"},
                                                           {"carol", "pw", "AUTH_ACK:FAILED"},
                                                           {"carol", "new one", "AUTH_ACK:OK"}}) {
    client = std::make_unique<TestClient>(node(1).port());
    client->Send("AUTH:" + again.pilot + ":" + Digest(again.password));
    EXPECT_EQ(client->ReadLine(), again.answer) << again.pilot << " " << again.password;
  }
  EXPECT_EQ(carol->ReadLine(), "NOTHERCATION");
  carol = std::move(client);
  EXPECT_EQ(carol->ReadLine(), "ISON:carol");
  for (TestClient* other : {ann.get(), dave.get()}) {
    EXPECT_EQ(other->ReadLine(), "ISOFF:carol");
    EXPECT_EQ(other->ReadLine(), "ISON:carol");
  }

  ann->Send("REMUSER:dave");
  EXPECT_EQ(ann->ReadUntil("REMUSER:dave"), Lines{"ISOFF:dave"});
  EXPECT_EQ(dave->ReadLine(), "ERROR:Your account has been removed by an administrator.");
  EXPECT_TRUE(dave->WaitClosed());
  EXPECT_EQ(carol->ReadLine(), "ISOFF:dave");
  EXPECT_EQ(carol->ReadLine(), "REMUSER:dave");
  EXPECT_EQ(UsersOf(*carol), (Lines{"USER:ann:admin", "USER:bob:offline"}));
}

TEST_F(Nodes, SigningInOnAnotherNodeThrowsTheOldSessionOff) {
  Start({"node-a", "node-b", "node-c"});
  auto carol = node(2).SignIn("carol");
  auto old = node(0).SignIn("ann");
  EXPECT_EQ(carol->ReadLine(), "ISON:ann");
  auto ann = node(1).SignIn("ann");
  EXPECT_EQ(old->ReadLine(), "NOTHERCATION");
  EXPECT_TRUE(old->WaitClosed());
  EXPECT_EQ(carol->ReadLine(), "ISOFF:ann");
  EXPECT_EQ(carol->ReadLine(), "ISON:ann");
  EXPECT_EQ(carol->Sync(), Lines{});
  EXPECT_EQ(UsersOf(*carol), (Lines{"USER:ann:online", "USER:bob:offline", "USER:dave:offline"}));
  ann->Send("PMSG:carol:still me");
  EXPECT_EQ(carol->ReadLine(), "PMSG:ann:still me");
}

TEST_F(Nodes, AnAccountSignsInSixTimesAMinuteAcrossTheNodes) {
  Start({"node-a", "node-b"});
  std::unique_ptr<TestClient> older;
  for (int i = 0; i < 6; ++i) {
    auto next = node(i % 2).SignIn("ann");
    // Thrown off once the other node has heard of the sign-in.
    if (older) {
      EXPECT_EQ(older->ReadLine(), "NOTHERCATION") << i;
    }
    older = std::move(next);
  }
  TestClient late(node(0).port());
  late.Send("AUTH:ann:" + Digest("pw"));
  EXPECT_EQ(late.ReadLine(),
            "WARNING:You have signed in too often; please wait a minute and try again.");
  EXPECT_EQ(late.ReadLine(), "AUTH_ACK:FAILED");
}

TEST_F(Nodes, ANodeKilledHasItsPilotsSignedOffOnTheOthers) {
  auto [ann, bob, carol] = ThreeNodesThreePilots({"--http", "127.0.0.1:0"});
  auto dave = node(0).SignIn("dave");
  for (TestClient* other : {ann.get(), bob.get(), carol.get()}) {
    EXPECT_EQ(other->ReadLine(), "ISON:dave");
  }
  ann->Send(HostGame("Crater", "203.0.113.11", false));
  EXPECT_EQ(ann->ReadUntil("GAMEUP:Crater"), Lines{"HOSTGAME_ACK:OK"});
  for (TestClient* other : {bob.get(), carol.get()}) EXPECT_EQ(other->ReadLine(), "GAMEUP:Crater");

  node(0).program().Signal(SIGKILL);
  for (TestClient* other : {bob.get(), carol.get()}) {
    EXPECT_EQ(other->ReadUntil("ISOFF:dave", kDeadNodeNoticed),
              (Lines{"ISOFF:ann", "GAMEREM:Crater"}));
  }
  EXPECT_EQ(Answer(*bob, "GAMES"), Lines{"GAMES_ACK"});
  EXPECT_EQ(UsersOf(*bob), (Lines{"USER:ann:offline", "USER:carol:online", "USER:dave:offline"}));

  // B's metrics: one other node heard now, and none of its events missed.
  std::smatch web;
  ASSERT_TRUE(node(1).program().ReadUntil(std::regex("web page on http://127\\.0\\.0\\.1:(\\d+)/"),
                                          kDeadline, &web));
  httplib::Client http("127.0.0.1", std::stoi(web[1].str()));
  auto metrics = http.Get("/metrics");
  ASSERT_TRUE(metrics);
  for (const char* line :
       {"\nlobbyd_cluster_nodes 1\n", "\nlobbyd_cluster_missed_total 0\n",
        "\nlobbyd_cluster_events_total{direction=\"in\"} ", "\nlobbyd_cluster_snapshots_total "}) {
    EXPECT_NE(metrics->body.find(line), std::string::npos) << line << metrics->body;
  }
}

TEST_F(Nodes, AfterNatsRestartsAndThenANodeEveryNodeListsTheSamePilots) {
  auto [ann, bob, carol] = ThreeNodesThreePilots();

  ann->Send(HostGame("Crater", "203.0.113.11", false));
  EXPECT_EQ(ann->ReadUntil("GAMEUP:Crater"), Lines{"HOSTGAME_ACK:OK"});
  for (TestClient* other : {bob.get(), carol.get()}) EXPECT_EQ(other->ReadLine(), "GAMEUP:Crater");
  carol->Send(HostGame("Ridge", "203.0.113.12", false));
  EXPECT_EQ(carol->ReadUntil("GAMEUP:Ridge"), Lines{"HOSTGAME_ACK:OK"});
  for (TestClient* other : {ann.get(), bob.get()}) EXPECT_EQ(other->ReadLine(), "GAMEUP:Ridge");

  const int port = nats_->port();
  nats_.reset();
  nats_ = std::make_unique<NatsServer>(port);
  ASSERT_EQ(nats_->port(), port);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(node(i).Logged("cluster: NATS back; taking every node's state again"));
  }
  bob->Send("LMSG:still here");
  for (TestClient* pilot : {ann.get(), bob.get(), carol.get()}) {
    EXPECT_EQ(pilot->ReadLine(), "LMSG:bob:still here");
  }

  // Node C killed and back at once, long before it would count as silent: the others hear its
  // new incarnation and take its state, which its pilot is no longer in.
  node(2).program().Signal(SIGKILL);
  EXPECT_TRUE(carol->WaitClosed());
  nodes_[2] = std::make_unique<Node>("node-c", nats_->url(), store_);
  ASSERT_NE(node(2).port(), 0);
  for (TestClient* other : {ann.get(), bob.get()}) {
    EXPECT_EQ(other->ReadUntil("GAMEREM:Ridge", kBeforeSilence), Lines{"ISOFF:carol"});
  }
  WaitJoined(node(2));
  carol = node(2).SignIn("carol");
  for (TestClient* other : {ann.get(), bob.get()}) EXPECT_EQ(other->ReadLine(), "ISON:carol");

  std::map<std::string, TestClient*> everyone = {
      {"ann", ann.get()}, {"bob", bob.get()}, {"carol", carol.get()}};
  const Lines truth = {"USER:ann:online", "USER:bob:online", "USER:carol:online",
                       "USER:dave:offline"};
  for (auto& [name, pilot] : everyone) {
    Lines want = truth;
    std::erase(want, "USER:" + name + ":online");
    EXPECT_EQ(UsersOf(*pilot), want) << name;
    EXPECT_EQ(Answer(*pilot, "GAMES"), (Lines{"GAME:Crater:up", "GAMES_ACK"})) << name;
  }
}

// Many pilots doing random things on random nodes, with NATS or a node restarted between rounds;
// after each round every signed-in pilot's USERS and GAMES must equal a model of the lobby that
// follows only what the nodes acknowledged. CV3_RANDOM_SEED and CV3_RANDOM_ROUNDS repeat or
// lengthen a run.
class RandomRun {
 public:
  struct Pilot {
    std::string name;
    std::unique_ptr<TestClient> client;
    size_t node = 0;
    std::string kind = "offline";  // as the others list him: online, away (with note), offline
    std::string note;
  };
  struct Game {
    std::string host;
    bool longTerm = false, up = true;
  };

  RandomRun(std::vector<std::unique_ptr<Node>>& nodes, unsigned seed, size_t pilots)
      : nodes_(nodes), random_(seed) {
    pilots_.resize(pilots);
    for (size_t i = 0; i < pilots; ++i) pilots_[i].name = "p" + std::to_string(10 + i);
  }
  std::vector<Pilot>& pilots() { return pilots_; }

  // One random action by a random pilot on the node he is on (a sign-in: on a random node).
  void Act() {
    Pilot& pilot = pilots_[Pick(pilots_.size())];
    unsigned roll = Pick(100);
    if (!pilot.client || roll < 25) return SignIn(pilot, Pick(nodes_.size()));
    if (roll < 45) {
      roll < 35 ? pilot.client->Send("QUIT") : (pilot.client->Close(), true);
      Did(pilot, roll < 35 ? "QUIT" : "(closed)");
      return Leave(pilot);
    }
    std::string note = "note " + std::to_string(++serial_);
    std::string game = "G" + std::to_string(++serial_);
    std::string address =
        "10.0." + std::to_string(serial_ / 256 % 256) + "." + std::to_string(serial_ % 256);
    struct Choice {
      unsigned below;
      std::string line, ack;
      std::function<void()> apply;
    };
    std::vector<std::string> own;
    for (const auto& [name, g] : games_) {
      if (g.host == pilot.name) own.push_back(name);
    }
    std::string gone = own.empty() ? game : own[Pick(own.size())];
    for (const Choice& c : std::initializer_list<Choice>{
             {55, "AWAY:" + note, "ISAWAY:" + pilot.name + ":" + note,
              [&] { pilot.kind = "away", pilot.note = note; }},
             {65, "ONLINE", "ISON:" + pilot.name, [&] { pilot.kind = "online"; }},
             {75, "INVISIBLE", "INVISIBLE_ACK", [&] { pilot.kind = "offline"; }},
             {85, HostGame(game, address, false), "HOSTGAME_ACK:OK",
              [&] {
                games_[game] = {pilot.name, false};
              }},
             {95, HostGame(game, address, true), "HOSTGAME_ACK:OK",
              [&] {
                games_[game] = {pilot.name, true};
              }},
             {100, "REMGAME:" + gone, "GAMEREM:" + gone, [&] { games_.erase(gone); }},
         }) {
      if (roll >= c.below) continue;
      // A change flood control refuses is not made, and the model leaves it out too.
      pilot.client->Send(c.line);
      auto answer = pilot.client->Sync();
      EXPECT_TRUE(answer) << pilot.name << ": " << c.line;
      bool done = answer && std::ranges::find(*answer, c.ack) != answer->end();
      if (done) c.apply();
      Did(pilot, c.line + (done ? "" : " (refused)"));
      return;
    }
  }

  // A node gone: its pilots are cut off.
  void NodeGone(size_t node) {
    for (auto& pilot : pilots_) {
      if (!pilot.client || pilot.node != node) continue;
      EXPECT_TRUE(pilot.client->WaitClosed()) << pilot.name;
      Leave(pilot);
    }
  }

  // Every signed-in pilot is listed the lobby of the model, once the nodes have had time to
  // hear of everything (a dead node is noticed within kDeadNodeNoticed).
  void Check(const std::string& when) {
    for (auto& pilot : pilots_) {
      if (!pilot.client) continue;
      Lines want = Listed(pilot.name), got;
      auto until = std::chrono::steady_clock::now() + 2 * kDeadNodeNoticed;
      // Two lists a second is what flood control lets a pilot ask for.
      while ((got = Lists(*pilot.client)) != want && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(milliseconds(1000));
      }
      EXPECT_EQ(got, want) << when << ", as " << pilot.name << " on node " << pilot.node
                           << "; this round:\n"
                           << history_;
    }
    history_.clear();
  }

 private:
  unsigned Pick(size_t n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random_); }

  void SignIn(Pilot& pilot, size_t node) {
    auto client = std::make_unique<TestClient>(nodes_[node]->port());
    client->Send("AUTH:" + pilot.name + ":" + Digest("pw"));
    // Six sign-ins a minute per account: a seventh is refused and changes nothing.
    if (client->ReadLine() != "AUTH_ACK:OK") {
      history_ += pilot.name + " refused on node " + std::to_string(node) + "\n";
      return;
    }
    EXPECT_EQ(client->ReadLine(), "ISON:" + pilot.name);
    if (pilot.client) {
      auto old = std::move(pilot.client);
      Leave(pilot);
      EXPECT_TRUE(old->ReadUntil("NOTHERCATION", kDeadNodeNoticed))
          << pilot.name << " on node " << node << "; this round:\n"
          << history_ << Logs();
    }
    pilot.client = std::move(client);
    pilot.node = node;
    Did(pilot, "signed in");
    pilot.kind = "online";
  }

  // The nodes' logs so far, for a failure's message.
  std::string Logs() {
    std::string logs;
    for (auto& node : nodes_) {
      node->program().ReadUntil(std::regex("^$"), milliseconds(100));
      logs += "--- " + node->name() + "\n" + node->program().Output();
    }
    return logs;
  }

  void Did(const Pilot& pilot, const std::string& what) {
    history_ += pilot.name + "@" + std::to_string(pilot.node) + ": " + what + "\n";
  }

  // His session ended: his games go down, the short-term ones out of the list.
  void Leave(Pilot& pilot) {
    pilot.client.reset();
    pilot.kind = "offline";
    for (auto it = games_.begin(); it != games_.end();) {
      Game& game = it->second;
      if (game.host == pilot.name) game.up = false;
      it = game.host == pilot.name && !game.longTerm ? games_.erase(it) : std::next(it);
    }
  }

  Lines Listed(const std::string& own) const {
    Lines lines;
    for (const auto& pilot : pilots_) {
      if (pilot.name == own) continue;
      std::string kind = pilot.client ? pilot.kind : "offline";
      lines.push_back("USER:" + pilot.name + ":" + kind + (kind == "away" ? ":" + pilot.note : ""));
    }
    lines.push_back("USERS_ACK");
    for (const auto& [name, game] : games_) {
      lines.push_back("GAME:" + name + (game.up ? ":up" : ":down"));
    }
    lines.push_back("GAMES_ACK");
    return lines;
  }

  // USERS then GAMES as the pilot is sent them (a list refused ends in ":FAILED").
  static Lines Lists(TestClient& client) {
    Lines lists;
    for (std::string asked : {"USERS", "GAMES"}) {
      client.Send(asked);
      for (auto line = client.ReadLine(); line; line = client.ReadLine()) {
        bool ours = line->starts_with(asked == "USERS" ? "USER:" : "GAME:");
        if (ours || line->starts_with(asked + "_ACK")) lists.push_back(*line);
        if (line->starts_with(asked + "_ACK")) break;
      }
    }
    return lists;
  }

  std::vector<std::unique_ptr<Node>>& nodes_;
  std::mt19937 random_;
  std::vector<Pilot> pilots_;
  std::map<std::string, Game> games_;
  unsigned serial_ = 0;
  std::string history_;
};

unsigned FromEnvironment(const char* name, unsigned otherwise) {
  const char* value = std::getenv(name);
  return value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : otherwise;
}

TEST_F(Nodes, RandomActionsOnRandomNodesThroughRestartsLeaveEveryNodeListingTheModel) {
  const unsigned seed = FromEnvironment("CV3_RANDOM_SEED", std::random_device{}());
  const unsigned rounds = FromEnvironment("CV3_RANDOM_ROUNDS", 6);
  SCOPED_TRACE("CV3_RANDOM_SEED=" + std::to_string(seed));
  RandomRun run(nodes_, seed, 12);
  // Every pilot comes from 127.0.0.1: the address's limits must not be what refuses them.
  const std::vector<std::string> roomy = {"--connections-per-address", "200"};
  auto start = [&](size_t index) {
    std::vector<std::string> more = roomy;
    if (index == 0 && nodes_.empty()) {
      for (auto& pilot : run.pilots())
        more.insert(more.end(), {"--add-account", pilot.name + ":pw"});
    }
    auto node = std::make_unique<Node>("node-" + std::to_string(index), nats_->url(), store_, more);
    ASSERT_NE(node->port(), 0) << node->program().Output();
    if (index < nodes_.size()) {
      nodes_[index] = std::move(node);
    } else {
      nodes_.push_back(std::move(node));
    }
  };
  for (size_t i = 0; i < 3; ++i) start(i);
  for (auto& node : nodes_) WaitJoined(*node);

  std::mt19937 between(seed + 1);
  for (unsigned round = 0; round < rounds; ++round) {
    for (int i = 0; i < 30; ++i) run.Act();
    size_t victim = between() % nodes_.size();
    switch (round % 3) {
      case 0: {
        const int port = nats_->port();
        nats_.reset();
        nats_ = std::make_unique<NatsServer>(port);
        ASSERT_EQ(nats_->port(), port);
        break;
      }
      case 1:
        node(victim).program().Signal(SIGKILL);
        run.NodeGone(victim);
        start(victim);
        break;
      case 2:
        node(victim).program().Signal(SIGTERM);
        run.NodeGone(victim);
        node(victim).program().Wait();
        start(victim);
        break;
    }
    run.Check("after round " + std::to_string(round));
  }
}

}  // namespace
}  // namespace lobbyd::testing
