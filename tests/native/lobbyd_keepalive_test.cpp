// Dead peers: a pilot whose link is gone without a FIN or RST is signed off once keepalive finds
// him gone. For real, through a network namespace whose link is taken down (needs root and
// iproute2).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>

#include "lobbyd/testing/test_server.h"

namespace lobbyd {
namespace {

using testing::CreateRequest;
using testing::SignedIn;
using testing::TestClient;
using testing::TestServer;

bool Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A network namespace joined to the host by a veth pair, with addresses of the benchmarking
// range (198.18.0.0/15) on the pair only. Gone, with the pair, when this goes.
class Island {
 public:
  Island() {
    std::string id = std::to_string(::getpid());
    name_ = "cv3ka" + id;
    hostLink_ = "cv3h" + id;
    islandLink_ = "cv3i" + id;
    std::string net = "198.18." + std::to_string(::getpid() % 250) + ".";
    hostAddress_ = net + "1";
    Remove();
    ready_ = Shell("ip netns add " + name_) &&
             Shell("ip link add " + hostLink_ + " type veth peer name " + islandLink_ + " netns " +
                   name_) &&
             Shell("ip addr add " + hostAddress_ + "/30 dev " + hostLink_) &&
             Shell("ip link set " + hostLink_ + " up") &&
             Shell("ip -n " + name_ + " addr add " + net + "2/30 dev " + islandLink_) &&
             Shell("ip -n " + name_ + " link set " + islandLink_ + " up");
  }
  ~Island() { Remove(); }

  bool Ready() const { return ready_; }
  const std::string& HostAddress() const { return hostAddress_; }

  // A client whose socket lives in the namespace.
  std::unique_ptr<TestClient> Connect(unsigned short port) {
    int here = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    int there = ::open(("/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
    std::unique_ptr<TestClient> client;
    if (here >= 0 && there >= 0 && ::setns(there, CLONE_NEWNET) == 0) {
      client = std::make_unique<TestClient>(port, 0, nullptr, hostAddress_.c_str());
      if (::setns(here, CLONE_NEWNET) != 0) std::abort();  // the test thread must come back
    }
    if (here >= 0) ::close(here);
    if (there >= 0) ::close(there);
    return client;
  }

  // The namespace's end goes down: whatever it sends or is sent is lost, and nothing says so.
  bool CutLink() { return Shell("ip -n " + name_ + " link set " + islandLink_ + " down"); }

 private:
  void Remove() {
    Shell("ip link del " + hostLink_);
    Shell("ip netns del " + name_);
  }

  std::string name_, hostLink_, islandLink_, hostAddress_;
  bool ready_ = false;
};

TEST(Keepalive, APilotWhoseLinkIsGoneIsSignedOff) {
  if (::geteuid() != 0 || !Shell("ip -V")) {
    GTEST_SKIP() << "needs root and iproute2 (ip) to make a network namespace";
  }
  Island island;
  ASSERT_TRUE(island.Ready());
  LobbyOptions options;
  options.keepaliveIdle = 1;
  options.keepaliveInterval = 1;
  options.keepaliveProbes = 2;
  TestServer server({}, options);
  ASSERT_EQ(server.Start(island.HostAddress()), "");

  auto ann = SignedIn(island.Connect(server.Port()), "ann", CreateRequest("ann", "pw"));
  ASSERT_TRUE(ann);
  auto bob = server.Join("bob");
  ASSERT_TRUE(bob);
  ASSERT_TRUE(ann->Sync());
  ASSERT_TRUE(bob->Sync());
  ASSERT_TRUE(island.CutLink());
  // Keepalive finds ann gone after 1 + 2 * 1 seconds; the deadline leaves room for a slow machine.
  auto before = bob->ReadUntil("ISOFF:ann", std::chrono::seconds(30));
  ASSERT_TRUE(before);
  EXPECT_TRUE(before->empty());
  server.Stop();
  EXPECT_NE(server.LogText().find(" ann read failed: Connection timed out\n"), std::string::npos)
      << server.LogText();
}

}  // namespace
}  // namespace lobbyd
