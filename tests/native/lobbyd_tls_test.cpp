// lobbyd over TLS: the same lobby and the same lines through an OpenSSL client, the handshake
// within the sign-in deadline, each port refusing the other's kind of client, and the program's
// certificate at start and on SIGHUP. Certificates are made here, thrown away with the folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "common/child_program.h"
#include "lobbyd/testing/test_server.h"
#include "lobbyd/tls_context.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;

// A self-signed certificate for `name` and its key, in `folder`.
TlsFiles MakeCertificate(const std::string& folder, const std::string& name) {
  TlsFiles files{folder + "/" + name + ".crt", folder + "/" + name + ".key"};
  std::string command =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=" +
      name + " -keyout " + files.key + " -out " + files.certificate + " 2>/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return files;
}

std::unique_ptr<TestClient> TlsClient(unsigned short port, int receiveBuffer = 0) {
  auto client = std::make_unique<TestClient>(port, receiveBuffer);
  auto error = client->StartTls();
  EXPECT_EQ(error, "");
  return error.empty() ? std::move(client) : nullptr;
}

class TlsLobby : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    server_.ServeTls(LoadTlsContext(MakeCertificate(folder_.Path(), "lobby.example.org"), error));
    ASSERT_EQ(error, "");
    ASSERT_EQ(server_.Start(), "");
  }
  // Waits until the server holds `count` connections; false if it never did.
  bool Connections(size_t count) {
    auto until = std::chrono::steady_clock::now() + TestClient::kDeadline;
    while (std::chrono::steady_clock::now() < until) {
      std::promise<size_t> seen;
      server_.GetServer().TakeView([&](LobbyView view) { seen.set_value(view.connections); });
      if (seen.get_future().get() == count) return true;
      std::this_thread::yield();
    }
    return false;
  }
  // What the server logged, once it has stopped.
  std::string Log() {
    server_.Stop();
    return server_.LogText();
  }

  TempFolder folder_;
  TestServer server_;
};

TEST_F(TlsLobby, PilotsSignInAndChatOverTlsInTheLobbyOfThePlainPort) {
  auto tls = TlsClient(server_.TlsPort());
  ASSERT_TRUE(tls);
  EXPECT_EQ(tls->PeerCommonName(), "lobby.example.org");
  auto ann = SignedIn(std::move(tls), "ann", CreateRequest("ann", "pw"));
  ASSERT_TRUE(ann);
  auto bob = server_.Join("bob");
  ASSERT_TRUE(bob);
  EXPECT_EQ(ann->ReadLine(), "ISON:bob");
  ann->Send("LMSG:over TLS: the same lines");
  EXPECT_EQ(ann->ReadLine(), "LMSG:ann:over TLS: the same lines");
  EXPECT_EQ(bob->ReadLine(), "LMSG:ann:over TLS: the same lines");
  bob->Send("PMSG:ann:and back");
  EXPECT_EQ(ann->ReadLine(), "PMSG:bob:and back");
}

TEST_F(TlsLobby, AHandshakeNeverFinishedIsClosedAtTheSignInDeadline) {
  TestClient silent(server_.TlsPort());
  ASSERT_TRUE(silent.SendRaw(std::string("\x16\x03\x01", 3)));  // a hello that never ends
  ASSERT_TRUE(Connections(1));
  server_.Clock().Advance(std::chrono::seconds(LobbyOptions{}.signInSeconds - 1));
  EXPECT_FALSE(silent.WaitClosed(std::chrono::milliseconds(1500)));
  server_.Clock().Advance(std::chrono::seconds(1));
  EXPECT_TRUE(silent.WaitClosed());
  std::string log = Log();
  EXPECT_NE(log.find(" - closed (not signed in in time)\n"), std::string::npos) << log;
}

TEST_F(TlsLobby, EachPortClosesTheOtherKindOfClientWithALineSayingWhy) {
  TestClient plainOnTls(server_.TlsPort());
  plainOnTls.Send(AuthRequest("ann", "pw"));
  EXPECT_EQ(plainOnTls.ReadLine(), std::nullopt);
  EXPECT_TRUE(plainOnTls.WaitClosed());

  TestClient tlsOnPlain(server_.Port());
  EXPECT_NE(tlsOnPlain.StartTls(), "");
  EXPECT_TRUE(tlsOnPlain.WaitClosed());

  std::string log = Log();
  EXPECT_NE(log.find(" - TLS handshake failed: wrong version number (SSL routines)\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(" - closed (a TLS hello on the plain port: this client wants the TLS port)\n"),
            std::string::npos)
      << log;
}

TEST_F(TlsLobby, ClosingEndsTheStreamWithCloseNotifyAfterTheLastLine) {
  auto ann = SignedIn(TlsClient(server_.TlsPort()), "ann", CreateRequest("ann", "pw"));
  ASSERT_TRUE(ann);
  auto elsewhere = server_.SignIn("ann");
  ASSERT_TRUE(elsewhere);
  EXPECT_EQ(ann->ReadLine(), "NOTHERCATION");
  EXPECT_TRUE(ann->WaitClosed());
  EXPECT_TRUE(ann->CloseNotified()) << "a cut stream instead";

  auto silent = TlsClient(server_.TlsPort());
  ASSERT_TRUE(silent);
  ASSERT_TRUE(Connections(2));
  server_.Clock().Advance(std::chrono::seconds(LobbyOptions{}.signInSeconds));
  EXPECT_TRUE(silent->WaitClosed());
  EXPECT_TRUE(silent->CloseNotified()) << "a cut stream instead";
}

TEST_F(TlsLobby, ABacklogLargerThanTheSocketTakesArrivesWhole) {
  auto host = SignedIn(TlsClient(server_.TlsPort(), 4096), "host", CreateRequest("host", "pw"));
  ASSERT_TRUE(host);
  host->Send("HOSTGAME:Big:203.0.113.1:1:Named:0:0:0:0:0:0:0:1:0:0:" + std::string(4000, 'd'));
  ASSERT_EQ(host->ReadLine(), "HOSTGAME_ACK:OK");
  ASSERT_EQ(host->ReadLine(), "GAMEUP:Big");
  host->Send("GAMEINFO:Big");
  auto reply = host->Sync();
  ASSERT_TRUE(reply && reply->size() > 4);  // the 4 KB description among them
  // About 600 KB queued while nothing is read, then read at once.
  const int count = 150;
  std::string requests;
  Lines replies;
  for (int i = 0; i < count; ++i) {
    requests += "GAMEINFO:Big\r\n";
    replies.insert(replies.end(), reply->begin(), reply->end());
  }
  ASSERT_TRUE(host->SendRaw(requests));
  EXPECT_EQ(host->Sync(), replies);
}

// lobbyd as a child process, serving TLS only.
struct Program : cv3::testing::ChildProgram {
  explicit Program(std::vector<std::string> args) : ChildProgram(LOBBYD_PROGRAM, std::move(args)) {}
};

std::vector<std::string> TlsArgs(const std::string& folder, const TlsFiles& files) {
  return {"--db",       folder + "/l.db",  "--tls-listen", "127.0.0.1:0",
          "--tls-cert", files.certificate, "--tls-key",    files.key};
}

TEST(TlsProgram, ACertificateOrKeyThatCannotServeIsOneLineAndExitCode2WithNothingBound) {
  TempFolder folder;
  const TlsFiles good = MakeCertificate(folder.Path(), "good");
  const TlsFiles other = MakeCertificate(folder.Path(), "other");
  const std::string garbage = folder.Path() + "/garbage.pem";
  std::ofstream(garbage) << "not a certificate\n";
  const std::string missing = folder.Path() + "/missing.pem";
  struct Case {
    TlsFiles files;
    std::string line;
  } cases[] = {
      {{missing, good.key}, "lobbyd: --tls-cert " + missing + ": No such file or directory\n"},
      {{good.certificate, missing},
       "lobbyd: --tls-key " + missing + ": No such file or directory\n"},
      {{garbage, good.key}, "lobbyd: --tls-cert " + garbage + ": no start line\n"},
      {{good.certificate, garbage}, "lobbyd: --tls-key " + garbage + ": unsupported\n"},
      {{good.certificate, other.key},
       "lobbyd: --tls-key " + other.key + ": does not belong to the certificate in " +
           good.certificate + "\n"},
  };
  for (const Case& c : cases) {
    auto args = TlsArgs(folder.Path(), c.files);
    args.insert(args.end(), {"--listen", "127.0.0.1:0"});
    Program program(args);
    EXPECT_EQ(program.ReadAll(), c.line);
    EXPECT_EQ(program.Wait(), 2) << c.line;
  }
}

TEST(TlsProgram, SighupReloadsTheCertificateForNewHandshakesWhileOpenSessionsRunOn) {
  TempFolder folder;
  const TlsFiles files = MakeCertificate(folder.Path(), "first");
  auto args = TlsArgs(folder.Path(), files);
  args.insert(args.end(), {"--add-account", "ann:pw", "--add-account", "bob:pw"});
  Program program(args);
  std::smatch match;
  std::string started =
      program.ReadUntil(std::regex("listening for TLS on 127\\.0\\.0\\.1:(\\d+)"), &match);
  ASSERT_EQ(match.size(), 2u) << started;
  EXPECT_EQ(started.find("listening on"), std::string::npos) << "TLS only: no plain port";
  const auto port = static_cast<unsigned short>(std::stoi(match[1].str()));

  auto first = TlsClient(port);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->PeerCommonName(), "first");
  auto ann = SignedIn(std::move(first), "ann", AuthRequest("ann", "pw"));
  ASSERT_TRUE(ann);

  // certbot's renewal: the same paths, a new pair.
  const TlsFiles renewed = MakeCertificate(folder.Path(), "second");
  std::filesystem::rename(renewed.certificate, files.certificate);
  std::filesystem::rename(renewed.key, files.key);
  program.Signal(SIGHUP);
  program.ReadUntil(std::regex("SIGHUP received: TLS certificate and key reloaded"));
  auto second = TlsClient(port);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->PeerCommonName(), "second");
  auto bob = SignedIn(std::move(second), "bob", AuthRequest("bob", "pw"));
  ASSERT_TRUE(bob);
  EXPECT_EQ(ann->ReadLine(), "ISON:bob");
  ann->Send("LMSG:still here");
  EXPECT_EQ(ann->ReadLine(), "LMSG:ann:still here");
  EXPECT_EQ(bob->ReadLine(), "LMSG:ann:still here");

  // A reload that fails keeps the pair in use and says why.
  std::ofstream(files.key) << "half-written\n";
  program.Signal(SIGHUP);
  std::string log = program.ReadUntil(std::regex("TLS reload failed.*\n"));
  EXPECT_NE(log.find("lobbyd SIGHUP received: TLS reload failed, the previous certificate stays "
                     "(--tls-key " +
                     files.key + ": unsupported)\n"),
            std::string::npos)
      << log;
  auto third = TlsClient(port);
  ASSERT_TRUE(third);
  EXPECT_EQ(third->PeerCommonName(), "second");
  program.Signal(SIGTERM);
  EXPECT_EQ(program.Wait(), 0);
}

}  // namespace
}  // namespace lobbyd::testing
