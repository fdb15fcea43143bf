// Sign-in and account creation: every result, the unknown-ID guard, throttling, duplicate
// sign-on and the ends of a session: the rules in-process; over loopback, what the session does
// around them (lines held behind a sign-in, an answer written before the close, a dropped
// connection, a stop while checks are under way).
#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "lobbyd/testing/lobby_rig.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {
namespace {

using Lines = std::vector<std::string>;
using std::chrono::seconds;

// alice, and mallory, who is banned.
template <class Lobby>
void SeedPilots(Lobby& lobby) {
  ASSERT_EQ(lobby.Seed({{{"alice", "secret"}, {"mallory", "evil"}}, {}, {"mallory"}, {}}), "");
  ASSERT_EQ(lobby.Start(), "");
}

class SignIn : public ::testing::Test {
 protected:
  void SetUp() override { SeedPilots(lobby_); }
  // Sends one line on a fresh connection and returns it.
  std::unique_ptr<RigClient> Ask(const std::string& line,
                                 const std::string& address = "127.0.0.1") {
    auto client = lobby_.Connect(address);
    client->Send(line);
    return client;
  }
  CountingHasher hasher_;
  LobbyRig lobby_{{}, &hasher_};
};

TEST_F(SignIn, RightPasswordSignsInAndAnnouncesThePilot) {
  auto client = Ask("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:OK");
  EXPECT_EQ(client->ReadLine(), "ISON:alice");
}

TEST_F(SignIn, IdIsFoundWhateverItsLetterCaseAndTheStoredSpellingIsAnnounced) {
  auto client = Ask("AUTH:ALICE:" + Digest("secret"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:OK");
  EXPECT_EQ(client->ReadLine(), "ISON:alice");
}

TEST_F(SignIn, WrongPasswordFailsAndTheConnectionStaysForAnotherTry) {
  auto client = Ask("AUTH:alice:" + Digest("guess"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
  client->Send("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:OK");
}

TEST_F(SignIn, BannedAccountGetsPermban) {
  EXPECT_EQ(Ask("AUTH:mallory:" + Digest("evil"))->ReadLine(), "AUTH_ACK:PERMBAN");
}

TEST_F(SignIn, BannedAccountWithWrongPasswordOnlyFails) {
  EXPECT_EQ(Ask("AUTH:mallory:" + Digest("nope"))->ReadLine(), "AUTH_ACK:FAILED");
}

TEST_F(SignIn, SuspendedAccountGetsSuspended) {
  lobby_.Stop();
  ASSERT_EQ(lobby_.Seed({{{"root", "pw"}}, {"root"}, {}, {}}), "");
  ASSERT_EQ(lobby_.Start(), "");
  auto admin = lobby_.SignIn("root");
  ASSERT_TRUE(admin);
  admin->Send("ADMINMODE");
  admin->Send("SUSPEND:alice");
  EXPECT_EQ(admin->Sync(), (Lines{"ISADMIN:root", "WARNING:alice has been suspended."}));
  EXPECT_EQ(Ask("AUTH:alice:" + Digest("secret"))->ReadLine(), "AUTH_ACK:SUSPENDED");
}

TEST_F(SignIn, UnknownIdCostsOneVerifyLikeAKnownOne) {
  int before = hasher_.Verifies();
  EXPECT_EQ(Ask("AUTH:nobody:" + Digest("secret"))->ReadLine(), "AUTH_ACK:FAILED");
  EXPECT_EQ(hasher_.Verifies(), before + 1);
  EXPECT_EQ(Ask("AUTH:alice:" + Digest("wrong"))->ReadLine(), "AUTH_ACK:FAILED");
  EXPECT_EQ(hasher_.Verifies(), before + 2);
  // A line without any ":" is an unknown (empty) ID and costs the same.
  EXPECT_EQ(Ask("AUTH")->ReadLine(), "AUTH_ACK:FAILED");
  EXPECT_EQ(hasher_.Verifies(), before + 3);
}

TEST_F(SignIn, FiveFailuresInAMinuteRefuseTheAddressWithoutCheckingUntilTheMinuteIsOver) {
  auto client = lobby_.Connect();
  for (int i = 0; i < 5; ++i) {
    client->Send("AUTH:alice:" + Digest("guess"));
    ASSERT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
    lobby_.Clock().Advance(seconds(1));
  }
  int verifies = hasher_.Verifies();
  client->Send("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
  EXPECT_EQ(hasher_.Verifies(), verifies) << "a refused attempt is not checked";
  // Another connection from the same address is refused too; another address is not.
  EXPECT_EQ(Ask("AUTH:alice:" + Digest("secret"))->ReadLine(), "AUTH_ACK:FAILED");
  EXPECT_EQ(Ask("AUTH:alice:" + Digest("secret"), "127.0.0.2")->ReadLine(), "AUTH_ACK:OK");
  // The first failure was 5 s ago: 55 s more and it leaves the window.
  lobby_.Clock().Advance(seconds(54));
  client->Send("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
  lobby_.Clock().Advance(seconds(1));
  client->Send("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:OK");
}

TEST(SignInGuesses, ChecksUnderWayCountAsFailuresSoSideBySideGuessesGetNoMoreChecksThanAllowed) {
  // Room in the queue for every guess, so only the failure limit (5) holds them back.
  LobbyOptions options;
  options.hashQueuePerAddress = 16;
  CountingHasher hasher;
  LobbyRig lobby(options, &hasher);
  ASSERT_EQ(lobby.Seed({{{"alice", "secret"}}, {}, {}, {}}), "");
  ASSERT_EQ(lobby.Start(), "");
  // Checks stay under way until released: five are admitted, the other ten refused at once.
  hasher.Hold(true);
  std::vector<std::unique_ptr<RigClient>> guesses;
  for (int i = 0; i < 15; ++i) {
    guesses.push_back(lobby.Connect());
    guesses.back()->Send("AUTH:alice:" + Digest("guess"));
  }
  for (size_t i = 0; i < guesses.size(); ++i) {
    EXPECT_EQ(guesses[i]->Sync(), i < 5 ? Lines{} : Lines{"AUTH_ACK:FAILED"}) << i;
  }
  // The right password while five wrong ones are still being checked is refused unchecked.
  auto right = lobby.Connect();
  right->Send("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(right->ReadLine(), "AUTH_ACK:FAILED");
  hasher.Hold(false);
  lobby.Settle();
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(guesses[i]->Sync(), Lines{"AUTH_ACK:FAILED"}) << i;
  EXPECT_EQ(hasher.Verifies(), 5);
}

TEST_F(SignIn, AReconnectWithAVerifiedCredentialIsNotHashedAgainUntilTheAccountChanges) {
  auto ask = [&](const std::string& password) {
    return Ask("AUTH:alice:" + Digest(password))->ReadLine();
  };
  ASSERT_EQ(ask("secret"), "AUTH_ACK:OK");
  int verifies = hasher_.Verifies();
  EXPECT_EQ(ask("secret"), "AUTH_ACK:OK");
  EXPECT_EQ(hasher_.Verifies(), verifies) << "remembered from the first sign-in";
  EXPECT_EQ(ask("guess"), "AUTH_ACK:FAILED");
  EXPECT_EQ(hasher_.Verifies(), verifies + 1) << "another digest is checked in full";
  // A suspension forgets it: after the suspension is lifted, the next sign-in is checked again.
  lobby_.Stop();
  ASSERT_EQ(lobby_.Seed({{{"root", "pw"}}, {"root"}, {}, {}}), "");
  ASSERT_EQ(lobby_.Start(), "");
  auto admin = lobby_.SignIn("root");
  ASSERT_TRUE(admin);
  EXPECT_EQ(ask("secret"), "AUTH_ACK:OK");
  admin->Send("ADMINMODE");
  admin->Send("SUSPEND:alice");
  admin->Send("UNSUSPEND:alice");
  ASSERT_TRUE(admin->ReadUntil("WARNING:alice is no longer suspended."));
  verifies = hasher_.Verifies();
  EXPECT_EQ(ask("secret"), "AUTH_ACK:OK");
  EXPECT_EQ(hasher_.Verifies(), verifies + 1);
}

TEST_F(SignIn, ARememberedCredentialDoesNotWaitBehindFullChecks) {
  ASSERT_EQ(Ask("AUTH:alice:" + Digest("secret"))->ReadLine(), "AUTH_ACK:OK");
  // More checks held than the pool takes at a time, each from an address of its own.
  hasher_.Hold(true);
  std::vector<std::unique_ptr<RigClient>> held;
  for (int i = 0; i < 10; ++i) {
    held.push_back(Ask("AUTH:mallory:" + Digest("guess"), "127.0.1." + std::to_string(i + 1)));
  }
  ASSERT_EQ(hasher_.Waiting(), 1) << "the rig's one hash thread";
  EXPECT_EQ(Ask("AUTH:alice:" + Digest("secret"))->ReadLine(), "AUTH_ACK:OK");
  hasher_.Hold(false);
  lobby_.Settle();
  for (auto& client : held) EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
}

TEST_F(SignIn, FailuresSpreadOverMoreThanAMinuteDoNotThrottle) {
  auto client = lobby_.Connect();
  for (int i = 0; i < 8; ++i) {
    client->Send("AUTH:alice:" + Digest("guess"));
    ASSERT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
    lobby_.Clock().Advance(seconds(13));
  }
  client->Send("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:OK");
}

const std::string kTooOften =
    "WARNING:You have signed in too often; please wait a minute and try again.";

TEST_F(SignIn, AnAccountSignsInSixTimesAMinuteThenWaits) {
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(lobby_.SignIn("alice", "secret")) << i;
  auto late = Ask("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(late->ReadLine(), kTooOften);
  EXPECT_EQ(late->ReadLine(), "AUTH_ACK:FAILED");
  lobby_.Clock().Advance(seconds(60));
  late->Send("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(late->ReadLine(), "AUTH_ACK:OK");
}

TEST(SignInsFromOneAddress, TwiceTheConnectionsItMayHoldAMinute) {
  LobbyOptions options;
  options.connectionsPerAddress = 2;
  LobbyRig lobby(options);
  ASSERT_EQ(lobby.Seed({{{"alice", "secret"}}, {}, {}, {}}), "");
  ASSERT_EQ(lobby.Start(), "");
  std::unique_ptr<RigClient> current;
  for (int i = 0; i < 4; ++i) {
    auto next = lobby.SignIn("alice", "secret");
    ASSERT_TRUE(next) << i;
    if (current) {
      EXPECT_TRUE(current->WaitClosed());
    }
    current = std::move(next);
  }
  auto late = lobby.Connect();
  late->Send("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(late->ReadLine(), kTooOften);
  EXPECT_EQ(late->ReadLine(), "AUTH_ACK:FAILED");
  auto elsewhere = lobby.Connect("127.0.0.2");
  elsewhere->Send("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(elsewhere->ReadLine(), "AUTH_ACK:OK");
}

TEST_F(SignIn, SecondSignOnClosesTheOlderConnection) {
  auto older = lobby_.SignIn("alice", "secret");
  ASSERT_TRUE(older);
  auto watcher = lobby_.Join("watcher");
  ASSERT_TRUE(watcher);
  EXPECT_EQ(older->ReadLine(), "ISON:watcher");

  auto newer = Ask("AUTH:alice:" + Digest("secret"));
  EXPECT_EQ(newer->ReadLine(), "AUTH_ACK:OK");
  EXPECT_EQ(newer->ReadLine(), "ISON:alice");
  EXPECT_EQ(older->ReadLine(), "NOTHERCATION");
  EXPECT_TRUE(older->WaitClosed());
  EXPECT_EQ(watcher->Sync(), (Lines{"ISOFF:alice", "ISON:alice"}));
  // The newer connection is the one that counts now.
  newer->Send("LMSG:still here");
  EXPECT_EQ(watcher->ReadLine(), "LMSG:alice:still here");
}

TEST_F(SignIn, CreateSignsInAtOnceAndOthersSeeTheNewPilot) {
  auto watcher = lobby_.SignIn("alice", "secret");
  ASSERT_TRUE(watcher);
  auto client = Ask("CREATE:newbie:" + Digest("pw") + ":newbie@example.org");
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:OK");
  EXPECT_EQ(client->ReadLine(), "ISON:newbie");
  EXPECT_EQ(watcher->ReadLine(), "ISON:newbie");
  // The password works from now on.
  client->Send("QUIT");
  EXPECT_EQ(client->ReadLine(), "QUIT_ACK:OK");
  EXPECT_EQ(Ask("AUTH:newbie:" + Digest("pw"))->ReadLine(), "AUTH_ACK:OK");
}

TEST_F(SignIn, FiveAccountsAnHourFromOneAddressThenCreationWaits) {
  for (const char* name : {"one", "two", "three", "four", "five"}) ASSERT_TRUE(lobby_.Join(name));
  int hashes = hasher_.Hashes();
  const std::string create = "CREATE:six:" + Digest("pw") + ":six@example.org";
  auto client = Ask(create);
  EXPECT_EQ(client->ReadLine(),
            "WARNING:Too many Corvane IDs have been created from your address; please try again "
            "later.");
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
  EXPECT_EQ(hasher_.Hashes(), hashes) << "a refused account is never hashed";
  // The hour runs from the first of the five; other addresses are not held up meanwhile.
  EXPECT_EQ(Ask("CREATE:other:" + Digest("pw") + ":o@example.org", "127.0.0.2")->ReadLine(),
            "AUTH_ACK:OK");
  lobby_.Clock().Advance(std::chrono::hours(1) - seconds(1));
  client->Send(create);
  EXPECT_EQ(client->ReadLine(),
            "WARNING:Too many Corvane IDs have been created from your address; please try again "
            "later.");
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
  lobby_.Clock().Advance(seconds(1));
  client->Send(create);
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:OK");
  EXPECT_EQ(client->ReadLine(), "ISON:six");
}

struct RefusedCreate {
  std::string line;
  std::string warning;
};

class CreateRefused : public SignIn, public ::testing::WithParamInterface<RefusedCreate> {};

void PrintTo(const RefusedCreate& refused, std::ostream* out) { *out << refused.line; }

TEST_P(CreateRefused, WarnsWithTheReasonThenFails) {
  int hashes = hasher_.Hashes();
  auto client = Ask(GetParam().line);
  EXPECT_EQ(client->ReadLine(), "WARNING:" + GetParam().warning);
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:FAILED");
  EXPECT_EQ(hasher_.Hashes(), hashes) << "a refused account is never hashed";
}

const std::string kDigest = Digest("pw");
const std::string kBad = "One of your fields contains disallowed punctuation or letters!";

INSTANTIATE_TEST_SUITE_P(
    Checks, CreateRefused,
    ::testing::Values(
        RefusedCreate{"CREATE:ab:" + kDigest + ":a@b",
                      "Corvane ID must be 3 letters/numbers or more!"},
        RefusedCreate{"CREATE:  ab  :" + kDigest + ":a@b",
                      "Corvane ID must be 3 letters/numbers or more!"},
        RefusedCreate{"CREATE: abc:" + kDigest + ":a@b", kBad},
        RefusedCreate{"CREATE:ab(c:" + kDigest + ":a@b", kBad},
        RefusedCreate{"CREATE:abc:" + kDigest + ":a@b\xC2\xB6", kBad},
        RefusedCreate{"CREATE:ab\x01"
                      "c:" +
                          kDigest + ":a@b",
                      kBad},
        // Hidden characters: a soft hyphen ("pi-lot" shows as "pilot"), only soft hyphens, C1
        // controls, a no-break space.
        RefusedCreate{"CREATE:pi\xC2\xADlot:" + kDigest + ":a@b", kBad},
        RefusedCreate{"CREATE:\xC2\xAD\xC2\xAD\xC2\xAD:" + kDigest + ":a@b", kBad},
        RefusedCreate{"CREATE:ab\xC2\x81\xC2\x8D\xC2\x90:" + kDigest + ":a@b", kBad},
        RefusedCreate{"CREATE:ab\xC2\xA0"
                      "c:" +
                          kDigest + ":a@b",
                      kBad},
        RefusedCreate{"CREATE:abc:" + kDigest + ":ab", "You must enter a valid e-mail address!"},
        RefusedCreate{"CREATE:abc:" + kDigest + ":a@b:c", kBad},
        RefusedCreate{"CREATE:abc:0123456789abcdef0123456789ABCDEF:a@b",
                      "Your password could not be read; please try again."},
        RefusedCreate{"CREATE:abc:ABC:a@b", "Your password could not be read; please try again."},
        RefusedCreate{"CREATE:abc",
                      "Your account request is missing the password or e-mail address."},
        // The name of the lobby chat in the client, and lists of IDs joined by commas.
        RefusedCreate{"CREATE:l0bby:" + kDigest + ":a@b", kBad},
        RefusedCreate{"CREATE:L0BBY:" + kDigest + ":a@b", kBad},
        RefusedCreate{"CREATE:ann,bob:" + kDigest + ":a@b", kBad},
        RefusedCreate{"CREATE:ALICE:" + kDigest + ":a@b",
                      "That Corvane ID is already taken; please choose another."}));

TEST(OlderIds, AnIdMadeBeforeTheRulesOfNewOnesStillSignsIn) {
  LobbyRig lobby;
  for (const char* name : {"L0bby", "ann,bob"}) {
    AccountRecord account;
    account.name = name;
    account.passwordHash = PlainHasher().Hash(Digest("pw")).value_or("");
    ASSERT_EQ(lobby.GetStore().CreateAccount(account), "");
  }
  ASSERT_EQ(lobby.Start(), "");
  EXPECT_TRUE(lobby.SignIn("L0bby"));
  EXPECT_TRUE(lobby.SignIn("ann,bob"));
}

TEST_F(SignIn, QuitIsAnsweredThenClosedAndOthersSeeThePilotLeave) {
  auto watcher = lobby_.Join("watcher");
  auto client = lobby_.SignIn("alice", "secret");
  ASSERT_TRUE(watcher && client);
  client->Send("QUIT");
  EXPECT_EQ(client->ReadLine(), "QUIT_ACK:OK");
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_EQ(watcher->Sync(), (Lines{"ISON:alice", "ISOFF:alice"}));
}

TEST_F(SignIn, DisconnectIsAnsweredThenClosed) {
  auto watcher = lobby_.Join("watcher");
  auto client = lobby_.SignIn("alice", "secret");
  ASSERT_TRUE(watcher && client);
  client->Send("DISCONNECT");
  EXPECT_EQ(client->ReadLine(), "DISCONNECT_ACK");
  EXPECT_TRUE(client->WaitClosed());
  EXPECT_EQ(watcher->Sync(), (Lines{"ISON:alice", "ISOFF:alice"}));
}

// Over loopback: what the session does around the rules.
class SignInOverLoopback : public ::testing::Test {
 protected:
  void SetUp() override { SeedPilots(server_); }
  std::unique_ptr<TestClient> Ask(const std::string& line) {
    auto client = server_.Connect();
    client->Send(line);
    return client;
  }
  TestServer server_;
};

TEST_F(SignInOverLoopback, QuitBeforeSignInIsAnsweredToo) {
  auto client = Ask("QUIT");
  EXPECT_EQ(client->ReadLine(), "QUIT_ACK:OK");
  EXPECT_TRUE(client->WaitClosed());
}

TEST_F(SignInOverLoopback, DroppedConnectionSignsThePilotOff) {
  auto watcher = server_.Join("watcher");
  auto client = server_.SignIn("alice", "secret");
  ASSERT_TRUE(watcher && client);
  client->Close();
  EXPECT_EQ(watcher->ReadLine(), "ISON:alice");
  EXPECT_EQ(watcher->ReadLine(), "ISOFF:alice");
}

TEST_F(SignInOverLoopback, LinesSentRightBehindTheSignInWaitForItsResult) {
  auto client = Ask("AUTH:alice:" + Digest("secret") + "\r\nUSERS\r\nGAMES");
  EXPECT_EQ(client->ReadLine(), "AUTH_ACK:OK");
  EXPECT_EQ(client->ReadLine(), "ISON:alice");
  EXPECT_EQ(client->ReadLine(), "USER:mallory:offline");
  EXPECT_EQ(client->ReadLine(), "USERS_ACK");
  EXPECT_EQ(client->ReadLine(), "GAMES_ACK");
}

TEST(SignInStorm, StoppingWhileSignInsAreUnderWayLeavesNoWorkBehindThatOutlivesTheServer) {
  // Checks held at the gate: two run, others wait for the workers or in the server's queue,
  // and their results would come after the server stopped. (The sanitizer build checks it.)
  LobbyOptions options;
  options.hashQueuePerAddress = 100;
  TestServer server({}, options);
  ASSERT_EQ(server.Seed({{{"alice", "secret"}}, {}, {}, {}}), "");
  ASSERT_EQ(server.Start(), "");
  server.Hasher().Hold(true);
  const char* sources[] = {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5",
                           "127.0.0.6", "127.0.0.7", "127.0.0.8", "127.0.0.9"};
  std::vector<std::unique_ptr<TestClient>> pilots;
  for (const char* source : sources) {
    for (int i = 0; i < 4; ++i) {
      pilots.push_back(server.Connect(0, source));
      pilots.back()->Send("AUTH:alice:" + Digest("secret"));
    }
  }
  for (auto until = std::chrono::steady_clock::now() + seconds(10);
       server.Hasher().Waiting() < 2 && std::chrono::steady_clock::now() < until;) {
    std::this_thread::yield();
  }
  ASSERT_EQ(server.Hasher().Waiting(), 2);
  server.Stop();
  for (auto& pilot : pilots) EXPECT_TRUE(pilot->WaitClosed());
}

}  // namespace
}  // namespace lobbyd::testing
