// The server's parts on their own: text rules, throttle, flood control, flags, startup actions.
#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <deque>
#include <sstream>

#include "lobbyd/flags.h"
#include "lobbyd/flood.h"
#include "lobbyd/hash_queue.h"
#include "lobbyd/session.h"
#include "lobbyd/store.h"
#include "lobbyd/testing/test_server.h"
#include "lobbyd/text.h"
#include "lobbyd/throttle.h"
#include "protocol/cp1252.h"
#include "protocol/text_helpers.h"

namespace lobbyd {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(NameKey, AgreesWithTheClientsNameComparisonForEveryPairOfCharacters) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      std::string x = cv3::Cp1252ToUtf8(std::string(1, static_cast<char>(a)));
      std::string y = cv3::Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
      ASSERT_EQ(NameKey(x) == NameKey(y), cv3::SameName(x, y)) << a << " " << b;
    }
  }
}

TEST(Cp1252, EveryByteSurvivesTheTripThroughUtf8) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  EXPECT_EQ(cv3::Utf8ToCp1252Lossy(cv3::Cp1252ToUtf8(all)), all);
}

TEST(GatherInterval, GrowsWithTheConnectionsBetweenItsBounds) {
  using std::chrono::microseconds;
  const std::pair<size_t, microseconds> cases[] = {
      {0, milliseconds(25)},      {125, milliseconds(25)},     {1000, milliseconds(200)},
      {5000, milliseconds(1000)}, {10000, milliseconds(2000)}, {1000000, milliseconds(2000)}};
  for (auto [connections, interval] : cases) {
    EXPECT_EQ(GatherInterval(connections, milliseconds(25)), interval) << connections;
  }
}

// What the peer of a session has been sent so far.
std::string ReadAvailable(asio::ip::tcp::socket& peer) {
  std::string got;
  char buffer[4096];
  asio::error_code error;
  while (peer.available(error) > 0) got.append(buffer, peer.read_some(asio::buffer(buffer), error));
  return got;
}

TEST(SessionWrites, NoticesWaitForTheGatheringEvenBehindAWriteThenGoWithTheNextReplyOrTheClose) {
  struct : SessionEvents {
    void OnLine(Participant&, const cv3::Line&) override {}
    void OnClosed(Participant&) override {}
  } events;
  asio::io_context io;
  asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
  asio::ip::tcp::socket peer(io);
  peer.connect(acceptor.local_endpoint());
  std::ostringstream logged;
  SystemClock clock;
  EventLog log(&logged, clock);
  std::vector<char> scratch(1024);
  OutputBudget budget{0, 1 << 20, 1 << 20, std::chrono::minutes(1)};
  Metrics metrics;
  SessionShared shared{events, scratch, log, budget, metrics};
  auto accepted = acceptor.accept();
  auto remote = accepted.remote_endpoint();
  auto session = std::make_shared<Session>(std::move(accepted), remote, 1, shared);
  session->Start();
  session->Send("AUTH_ACK:OK");
  session->SendWire("ISON:bob\r\n", Delivery::kGathered);  // during that write
  io.poll();
  EXPECT_EQ(ReadAvailable(peer), "AUTH_ACK:OK\r\n");
  session->Send("VERSION_ACK:OK");
  io.poll();
  EXPECT_EQ(ReadAvailable(peer), "ISON:bob\r\nVERSION_ACK:OK\r\n");
  // A written buffer is given back: thousands of idle connections hold no write memory.
  std::string notices;
  for (int i = 0; i < 100; ++i) notices += "ISON:pilot" + std::to_string(i) + "\r\n";
  session->SendWire(notices, Delivery::kNow);
  io.poll();
  EXPECT_EQ(ReadAvailable(peer), notices);
  EXPECT_LE(session->WriteBufferCapacity(), 2 * std::string().capacity());
  // A close after the flush does not wait for the gathering.
  session->SendWire("ISOFF:bob\r\n", Delivery::kGathered);
  session->CloseAfterFlush("server shutting down");
  io.poll();
  EXPECT_EQ(ReadAvailable(peer), "ISOFF:bob\r\n");
  EXPECT_FALSE(session->Open());
}

TEST(VersionIsLower, ComparesNumbersOfAnyLength) {
  EXPECT_EQ(VersionIsLower("299", 300), true);
  EXPECT_EQ(VersionIsLower("300", 300), false);
  EXPECT_EQ(VersionIsLower("00301", 300), false);
  EXPECT_EQ(VersionIsLower("99999999999999999999", 300), false);
  EXPECT_EQ(VersionIsLower("0", 300), true);
  EXPECT_EQ(VersionIsLower("3.0", 300), std::nullopt);
  EXPECT_EQ(VersionIsLower("", 300), std::nullopt);
}

TEST(Digest, IsThirtyTwoUpperCaseHexDigits) {
  EXPECT_TRUE(IsPasswordDigest("0123456789ABCDEF0123456789ABCDEF"));
  EXPECT_FALSE(IsPasswordDigest("0123456789abcdef0123456789ABCDEF"));
  EXPECT_FALSE(IsPasswordDigest("0123456789ABCDEF0123456789ABCDE"));
  EXPECT_FALSE(IsPasswordDigest("0123456789ABCDEF0123456789ABCDEG"));
}

TEST(Throttle, FifthFailureBlocksUntilTheOldestIsAMinuteOld) {
  AddressThrottle throttle(5, seconds(60));
  auto t0 = std::chrono::steady_clock::time_point(seconds(1000));
  for (int i = 0; i < 4; ++i) throttle.Record("a", t0 + seconds(i));
  EXPECT_FALSE(throttle.Blocked("a", t0 + seconds(4)));
  throttle.Record("a", t0 + seconds(4));
  EXPECT_TRUE(throttle.Blocked("a", t0 + seconds(59)));
  EXPECT_FALSE(throttle.Blocked("b", t0 + seconds(59)));
  EXPECT_FALSE(throttle.Blocked("a", t0 + seconds(60)));
}

TEST(HashQueue, FeedsThePoolRoundRobinWithinItsBounds) {
  HashQueue queue({.running = 1, .perAddress = 2, .total = 4});
  std::vector<std::string> started;
  std::deque<HashQueue::Done> running;  // a deque: a call may add the next
  auto job = [&](std::string name) {
    return [&, name](HashQueue::Done done) {
      started.push_back(name);
      running.push_back(std::move(done));
    };
  };
  EXPECT_TRUE(queue.Add("a", job("a1")));
  EXPECT_TRUE(queue.Add("a", job("a2")));
  EXPECT_FALSE(queue.Add("a", job("a3"))) << "the address has its fill";
  EXPECT_TRUE(queue.Add("b", job("b1")));
  EXPECT_TRUE(queue.Add("c", job("c1")));
  EXPECT_FALSE(queue.Add("d", job("d1"))) << "the server has its fill";
  EXPECT_EQ(queue.Pending("a"), 2u);
  // One at a time, taking turns: b and c come before a's second.
  for (size_t i = 0; i < 4; ++i) running.at(i)();
  EXPECT_EQ(started, (std::vector<std::string>{"a1", "b1", "c1", "a2"}));
  EXPECT_EQ(queue.Total(), 0u);
  EXPECT_EQ(queue.Pending("a"), 0u);
  // A job with nothing left to do ends at once, and the next one still starts.
  EXPECT_TRUE(queue.Add("a", [](HashQueue::Done done) { done(); }));
  EXPECT_TRUE(queue.Add("a", job("a4")));
  EXPECT_EQ(started.back(), "a4");
}

TEST(Throttle, ForgetsAddressesWhoseFailuresAgedOut) {
  AddressThrottle throttle(5, seconds(60));
  auto t0 = std::chrono::steady_clock::time_point(seconds(1000));
  for (int i = 0; i < 2000; ++i) throttle.Record(std::to_string(i), t0);
  for (int i = 0; i < 1100; ++i) throttle.Record("x" + std::to_string(i), t0 + seconds(61));
  EXPECT_LT(throttle.TrackedAddresses(), 2000u);
  // A quiet lobby sweeps them itself.
  throttle.Sweep(t0 + seconds(121));
  EXPECT_EQ(throttle.TrackedAddresses(), 0u);
}

TEST(Flood, BurstThenTwoPerSecond) {
  Flood flood(5, 2);
  auto t = std::chrono::steady_clock::time_point(seconds(5));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(flood.Take(t));
  EXPECT_FALSE(flood.Take(t));
  EXPECT_FALSE(flood.Take(t + milliseconds(499)));
  EXPECT_TRUE(flood.Take(t + milliseconds(500)));
  EXPECT_FALSE(flood.Take(t + milliseconds(500)));
}

TEST(Flags, DefaultsAndEveryOption) {
  Flags flags;
  ASSERT_EQ(ParseFlags({}, flags), "");
  EXPECT_EQ(flags.listen.address().to_string(), "127.0.0.1");
  EXPECT_EQ(flags.listen.port(), 13228);
  EXPECT_EQ(flags.lobby.clientVersion, 300u);
  EXPECT_EQ(flags.lobby.accountsPerHour, 5u);
  EXPECT_EQ(flags.lobby.keepaliveIdle, 60u);
  EXPECT_EQ(flags.lobby.keepaliveInterval, 10u);
  EXPECT_EQ(flags.lobby.keepaliveProbes, 5u);
  EXPECT_FALSE(flags.lobby.proxyFrom.Contains(asio::ip::make_address("127.0.0.1")));
  ASSERT_EQ(ParseFlags({"--listen",
                        "[::1]:4000",
                        "--db",
                        "x.db",
                        "--client-version",
                        "301",
                        "--accounts-per-hour",
                        "20",
                        "--add-account",
                        "ann:pass:word",
                        "--admin",
                        "ann",
                        "--ban",
                        "bob",
                        "--unban",
                        "cid",
                        "--keepalive-probes",
                        "2",
                        "--proxy-from",
                        "10.1.0.0/16,::1"},
                       flags),
            "");
  EXPECT_EQ(flags.listen.address().to_string(), "::1");
  EXPECT_EQ(flags.listen.port(), 4000);
  EXPECT_EQ(flags.store.where, "x.db");
  EXPECT_EQ(flags.lobby.clientVersion, 301u);
  EXPECT_EQ(flags.lobby.accountsPerHour, 20u);
  ASSERT_EQ(flags.actions.addAccounts.size(), 1u);
  EXPECT_EQ(flags.actions.addAccounts[0].second, "pass:word");
  EXPECT_EQ(flags.actions.admins, std::vector<std::string>{"ann"});
  EXPECT_EQ(flags.lobby.keepaliveProbes, 2u);
  EXPECT_TRUE(flags.lobby.proxyFrom.Contains(asio::ip::make_address("10.1.2.3")));
  EXPECT_FALSE(flags.lobby.proxyFrom.Contains(asio::ip::make_address("10.2.0.1")));
}

TEST(Flags, BadValuesAreNamed) {
  Flags flags;
  EXPECT_NE(ParseFlags({"--listen", "localhost"}, flags), "");
  EXPECT_NE(ParseFlags({"--listen", "::1:4000"}, flags), "");
  EXPECT_NE(ParseFlags({"--listen", "127.0.0.1:70000"}, flags), "");
  EXPECT_NE(ParseFlags({"--client-version", "3.0"}, flags), "");
  EXPECT_NE(ParseFlags({"--accounts-per-hour", "0"}, flags), "");
  EXPECT_NE(ParseFlags({"--admin"}, flags), "");
  EXPECT_NE(ParseFlags({"--frobnicate", "1"}, flags), "");
  EXPECT_NE(ParseFlags({"--add-account", "nopassword"}, flags), "");
  EXPECT_EQ(ParseFlags({"--keepalive-probes", "128"}, flags),
            "--keepalive-probes needs a number from 1 to 127");
  EXPECT_EQ(ParseFlags({"--proxy-from", "proxy.example.org"}, flags),
            "--proxy-from: \"proxy.example.org\" is not an address or address/bits");
}

TEST(Flags, LimitsThatLinesHaveNoRoomForAreRefusedWithTheRange) {
  const std::string id =
      "--max-id-length needs a number from 3 to 407 (an account request, with "
      "a 64-character e-mail address, must fit in one line of 512 bytes)";
  const std::string fits =
      " must fit in one line of 8192 bytes with its other fields at their limits)";
  for (auto [args, error] : std::initializer_list<std::pair<std::vector<std::string>, std::string>>{
           {{"--max-id-length", "2"}, id},
           {{"--max-id-length", "1000"}, id},
           {{"--max-id-length", "3"}, ""},
           {{"--max-id-length", "407"}, ""},
           {{"--max-description-length", "8000"},
            "--max-description-length needs a number from 1 to 7710 (a game" + fits},
           {{"--max-description-length", "7710"}, ""},
           {{"--max-bio-length", "8000"},
            "--max-bio-length needs a number from 1 to 7123 (a profile" + fits},
           {{"--max-bio-length", "7123"}, ""},
           {{"--connection-queue-kb", "1"},
            "--connection-queue-kb needs a number from 100 to 1048576 (a chunk of the pilot list "
            "must fit, with the ID and away message limits given)"},
           {{"--connection-queue-kb", "100"}, ""}}) {
    Flags flags;
    EXPECT_EQ(ParseFlags(args, flags), error) << args[0] << " " << args[1];
  }
}

TEST(StartupActions, UnknownAccountIsAnErrorAndExistingOnesAreLeftAlone) {
  testing::TempFolder folder;
  std::string error;
  auto store = OpenSqliteStore(folder.Path() + "/s.db", error);
  ASSERT_TRUE(store);
  testing::CountingHasher hasher;
  ManualClock clock;
  EventLog log(nullptr, clock);
  EXPECT_EQ(ApplyStartupActions(*store, hasher, clock, {{{"ann", "pw"}}, {"ANN"}, {}, {}}, log),
            "");
  EXPECT_EQ(ApplyStartupActions(*store, hasher, clock, {{{"Ann", "other"}}, {}, {}, {}}, log), "");
  EXPECT_EQ(hasher.Hashes(), 1);
  EXPECT_EQ(ApplyStartupActions(*store, hasher, clock, {{}, {"nobody"}, {}, {}}, log),
            "no account named \"nobody\" (administrator rights granted)");
  // The operator's new IDs follow the rules of account creation.
  const std::string kBad = "One of your fields contains disallowed punctuation or letters!";
  for (auto [name, why] : std::initializer_list<std::pair<std::string, std::string>>{
           {"a b", kBad},
           {"\xCE\xA9mega", kBad},  // a letter Windows-1252 lacks
           {"ab\xFF", kBad},        // not UTF-8
           {"L0bby", kBad},
           {"a,b", kBad},
           {"ab", "Corvane ID must be 3 letters/numbers or more!"},
           {std::string(33, 'x'), "Corvane ID must be at most 32 letters/numbers!"}}) {
    EXPECT_EQ(ApplyStartupActions(*store, hasher, clock, {{{name, "pw"}}, {}, {}, {}}, log),
              "cannot add account \"" + name + "\": " + why);
  }
  std::vector<AccountRecord> accounts;
  ASSERT_EQ(store->LoadAccounts(accounts), "");
  ASSERT_EQ(accounts.size(), 1u);
  EXPECT_TRUE(accounts[0].admin);
  EXPECT_TRUE(hasher.Verify(accounts[0].passwordHash, testing::Digest("pw")));
}

TEST(AddressKey, AnIpv6AddressCountsByItsSlash64) {
  for (auto [address, key] : std::initializer_list<std::pair<const char*, const char*>>{
           {"203.0.113.7", "203.0.113.7"},
           {"::ffff:203.0.113.7", "203.0.113.7"},
           {"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
           {"2001:db8:1:2::1", "2001:db8:1:2::/64"},
           {"2001:db8:1:3::1", "2001:db8:1:3::/64"}}) {
    EXPECT_EQ(AddressKey(asio::ip::make_address(address)), key) << address;
  }
}

TEST(EventLog, EscapesWhatCameFromTheWire) {
  EXPECT_EQ(EventLog::Escape("a\nb\\c\xB6"), "a\\x0Ab\\x5Cc\\xB6");
  EXPECT_EQ(EventLog::Escape(std::string(100, 'x'), 4), "xxxx...");
}

}  // namespace
}  // namespace lobbyd
