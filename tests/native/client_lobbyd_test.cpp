// The client's session core against a real lobbyd over loopback: sign-in, the lists, presence
// notices between two clients, a refused sign-in, and quitting. The socket is a small blocking
// one; events are delivered the way the window's message loop would deliver them.
#include <gtest/gtest.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "common/child_program.h"
#include "common/client_fakes.h"
#include "protocol/md5.h"

namespace cv3 {
namespace {

using testing::Log;

// lobbyd as a child process on a free loopback port, with a fresh database.
class LobbyServer {
 public:
  explicit LobbyServer(std::vector<std::string> accounts) : accounts_(std::move(accounts)) {
    char folder[] = "/tmp/cv3-client-lobbyd-XXXXXX";
    if (!mkdtemp(folder)) return;
    folder_ = folder;
    Start(0);
  }
  ~LobbyServer() {
    Stop();
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }
  // Stops the program as an operator would (SIGTERM); its store stays.
  void Stop() {
    if (!program_) return;
    program_->Signal(SIGTERM);
    program_->Wait();
    program_.reset();
  }
  // Starts it again on the same store and port.
  bool Restart() { return Start(port_) && port_ != 0; }
  int Port() const { return port_; }
  std::string Output() const { return program_ ? program_->Output() : std::string(); }

 private:
  bool Start(int port) {
    std::vector<std::string> args{"--listen", "127.0.0.1:" + std::to_string(port), "--db",
                                  folder_ + "/lobby.db"};
    for (const std::string& account : accounts_) {
      args.push_back("--add-account");
      args.push_back(account);
    }
    program_ = std::make_unique<testing::ChildProgram>(LOBBYD_PROGRAM, std::move(args));
    port_ = testing::ListeningPort(*program_);
    return port_ != 0;
  }

  std::vector<std::string> accounts_;
  std::unique_ptr<testing::ChildProgram> program_;
  int port_ = 0;
  std::string folder_;
};

// A blocking socket: Connect completes at once and its outcome is delivered as the next event.
class BlockingSocket : public LobbySocket {
 public:
  enum class Event { kNone, kConnected, kError };

  explicit BlockingSocket(Log& log) : log_(log) {}

  bool IsConnected() const override { return fd_ >= 0; }
  void SendData(std::string_view bytes) override {
    log_.push_back("send " + std::string(bytes.substr(0, bytes.find("\r\n"))));
    while (fd_ >= 0 && !bytes.empty()) {
      ssize_t sent = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return;
      bytes.remove_prefix(static_cast<size_t>(sent));
    }
  }
  void Connect(const std::string& host, int port) override {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    pending_ = Event::kError;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return;
    for (addrinfo* at = found; at; at = at->ai_next) {
      int fd = socket(at->ai_family, at->ai_socktype, at->ai_protocol);
      if (fd < 0) continue;
      if (connect(fd, at->ai_addr, at->ai_addrlen) == 0) {
        fd_ = fd;
        pending_ = Event::kConnected;
        break;
      }
      close(fd);
    }
    freeaddrinfo(found);
  }
  void Close() override {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  // The host window, the one user of the local address, is not part of these tests.
  std::string LocalAddress() const override { return {}; }
  ~BlockingSocket() override { Close(); }

  Event TakeEvent() { return std::exchange(pending_, Event::kNone); }
  // Waits up to timeoutMs for data; returns what arrived (empty on timeout or a closed peer).
  std::string Read(int timeoutMs) {
    if (fd_ < 0) return {};
    pollfd waiting{fd_, POLLIN, 0};
    if (poll(&waiting, 1, timeoutMs) <= 0) return {};
    char chunk[4096];
    ssize_t got = recv(fd_, chunk, sizeof chunk, 0);
    if (got <= 0) {
      // Closed by the server, cleanly or not: the connection is lost at once.
      close(fd_);
      fd_ = -1;
      pending_ = Event::kError;
      return {};
    }
    return std::string(chunk, static_cast<size_t>(got));
  }

 private:
  Log& log_;
  int fd_ = -1;
  Event pending_ = Event::kNone;
};

struct LiveClient : testing::BasicClientHarness<BlockingSocket> {
  int tick = 0;

  explicit LiveClient(int port) {
    clock = [this] { return std::to_string(++tick) + " "; };
    settings.SetString("CvAddress", "127.0.0.1");
    settings.SetString("CvPort", std::to_string(port));
  }

  // What the window's message loop does: socket events, then arrived data, until the condition
  // holds or ten seconds pass.
  bool PumpUntil(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      switch (socket.TakeEvent()) {
        case BlockingSocket::Event::kConnected:
          session.OnSocketConnect();
          continue;
        case BlockingSocket::Event::kError:
          session.OnSocketError();
          continue;
        case BlockingSocket::Event::kNone:
          break;
      }
      std::string data = socket.Read(100);
      if (!data.empty()) session.OnDataArrival(data);
    }
    return true;
  }
  bool Logged(const std::string& entry) const {
    return std::find(log.begin(), log.end(), entry) != log.end();
  }
  void SignIn(const std::string& name, const std::string& password) {
    session.SignInAs(name, *clsMD5().DigestStrToHexStr(password));
    session.ConnectToServer();
  }
  std::string GroupOf(const std::string& pilot) const {
    const RosterNode* node = roster.FindPilot(pilot);
    return node ? node->parentKey + " " + node->text : "none";
  }
};

// The entries of the log that belong to the sign-in sequence, in order.
Log SignInSteps(const Log& log) {
  static const std::regex step(
      "status (Connecting|Connected|Loading Users|Loading Games)|send .*|enable EditProfile|"
      "roster shown|tree sort and expand");
  Log steps;
  for (const std::string& entry : log) {
    if (std::regex_match(entry, step)) steps.push_back(entry);
  }
  return steps;
}

TEST(ClientAgainstLobbyd, SignsInLoadsTheListsAndFollowsAnotherPilot) {
  LobbyServer server({"Ann:s3cret", "Bob:hunter2"});
  ASSERT_NE(server.Port(), 0) << server.Output();

  LiveClient ann(server.Port());
  ann.SignIn("ann", "s3cret");
  ASSERT_TRUE(ann.PumpUntil([&] { return ann.Logged("send VERSION:300"); }))
      << ::testing::PrintToString(ann.log);
  std::string digest = *clsMD5().DigestStrToHexStr("s3cret");
  EXPECT_EQ(SignInSteps(ann.log),
            (Log{"status Connecting", "status Connected", "send AUTH:ann:" + digest,
                 "enable EditProfile", "status Loading Users", "send USERS", "status Loading Games",
                 "send GAMES", "tree sort and expand", "roster shown", "send VERSION:300"}));
  EXPECT_EQ(ann.GroupOf("bob"), "OFFLINE Bob");
  // The own pilot arrives through the server's ISON notice, never from the user list.
  EXPECT_EQ(ann.GroupOf("Ann"), "ONLINE Ann");
  EXPECT_EQ(ann.log.back(), "send VERSION:300");

  LiveClient bob(server.Port());
  bob.SignIn("Bob", "hunter2");
  ASSERT_TRUE(bob.PumpUntil([&] { return bob.Logged("send VERSION:300"); }));
  EXPECT_EQ(bob.GroupOf("ann"), "ONLINE Ann");
  ASSERT_TRUE(ann.PumpUntil([&] { return ann.GroupOf("Bob") == "ONLINE Bob"; }))
      << ann.GroupOf("Bob");

  ASSERT_TRUE(bob.session.SendCommand("AWAY:out to lunch"));
  ASSERT_TRUE(ann.PumpUntil([&] { return ann.GroupOf("Bob") == "AWAY Bob (out to lunch)"; }))
      << ann.GroupOf("Bob");
  ASSERT_TRUE(bob.PumpUntil([&] { return bob.Logged("status out to lunch"); }));

  bob.session.mnuDisconnect_Click();
  ASSERT_TRUE(bob.PumpUntil([&] { return bob.Logged("status Not Connected"); }));
  ASSERT_TRUE(ann.PumpUntil([&] { return ann.GroupOf("Bob") == "OFFLINE Bob"; }))
      << ann.GroupOf("Bob");

  ann.log.clear();
  ann.session.mnuExit_Click();
  ASSERT_TRUE(ann.PumpUntil([&] { return ann.Logged("end program"); }));
  EXPECT_EQ(ann.log, (Log{"hide main window", "remove tray icon", "unhook tree", "close all chats",
                          "send QUIT", "start timer 7301 5000", "remove tray icon", "unhook tree",
                          "close all chats", "stop timer 7301", "end program"}));
}

TEST(ClientAgainstLobbyd, AWrongPasswordIsRefusedAndTheWindowIsReset) {
  LobbyServer server({"Ann:s3cret"});
  ASSERT_NE(server.Port(), 0) << server.Output();
  LiveClient ann(server.Port());
  ann.settings.SetDWord("Reconnect", 1);
  ann.SignIn("Ann", "wrong");
  ASSERT_TRUE(ann.PumpUntil([&] { return ann.Logged("status Not Connected"); }));
  EXPECT_TRUE(ann.Logged("box Warning! exclamation Invalid username or password!"));
  EXPECT_FALSE(ann.Logged("reconnect window"));
  EXPECT_FALSE(ann.socket.IsConnected());
}

TEST(ClientAgainstLobbyd, NoServerListeningResetsAndOffersToReconnect) {
  int port;
  {
    LobbyServer server({});
    port = server.Port();
  }
  ASSERT_NE(port, 0);
  LiveClient ann(port);
  ann.settings.SetDWord("Reconnect", 1);
  ann.SignIn("Ann", "s3cret");
  ASSERT_TRUE(ann.PumpUntil([&] { return ann.Logged("reconnect window"); }));
  EXPECT_TRUE(ann.Logged("status Not Connected"));
}

// The server restarts under a signed-in client: the clean close counts as lost at once, the
// reconnect window counts down, and its retry signs in again with no keystroke.
TEST(ClientAgainstLobbyd, ARestartedServerSignsTheClientInAgainByItself) {
  LobbyServer server({"Ann:s3cret"});
  ASSERT_NE(server.Port(), 0) << server.Output();
  LiveClient ann(server.Port());
  ann.settings.SetDWord("Reconnect", 1);
  ann.SignIn("Ann", "s3cret");
  ASSERT_TRUE(ann.PumpUntil([&] { return ann.Logged("send VERSION:300"); }));
  server.Stop();
  ASSERT_TRUE(ann.PumpUntil([&] { return ann.core.Reconnect().IsOpen(); }));
  EXPECT_EQ(ann.log.back(), "start timer 7302 1300");
  ASSERT_TRUE(server.Restart()) << server.Output();
  ann.log.clear();
  for (int tick = 0; tick < 10; ++tick) ann.timers.Fire(kReconnectTimerId);
  ASSERT_TRUE(ann.PumpUntil([&] { return ann.Logged("send VERSION:300"); }))
      << ::testing::PrintToString(ann.log);
  EXPECT_FALSE(ann.core.Reconnect().IsOpen());
  EXPECT_EQ(ann.core.Reconnect().AttemptCount(), 2);
  EXPECT_TRUE(ann.Logged("status Online"));
  EXPECT_EQ(ann.GroupOf("Ann"), "ONLINE Ann");
}

}  // namespace
}  // namespace cv3
