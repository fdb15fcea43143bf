// The PROXY protocol: the header's forms, and lobbyd taking the client's address from a listed
// proxy only.
#include <gtest/gtest.h>

#include "lobbyd/proxy_header.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd {
namespace {

using namespace std::string_literals;
using testing::CreateRequest;
using testing::TestServer;

const std::string kV2 = "\r\n\r\n\0\r\nQUIT\n"s;

// A version 2 PROXY header for TCP over IPv4 from 203.0.113.7:`port` to 127.0.0.1:13228.
std::string V2Tcp4(unsigned char port) {
  return kV2 + "\x21\x11\x00\x0c"s + "\xcb\x00\x71\x07"s + "\x7f\x00\x00\x01"s + "\x9c"s +
         static_cast<char>(port) + "\x33\xac"s;
}

TEST(ProxyHeader, ReadsEachFormAndRefusesTheRest) {
  const std::string v2Tcp6 = kV2 + "\x21\x21\x00\x24"s + "\x20\x01\x0d\xb8"s +
                             std::string(11, '\0') + "\x09"s + std::string(16, '\0') +
                             "\x01\xbb\x33\xac"s;
  const std::string v2Local = kV2 + "\x20\x00\x00\x00"s;
  const std::string v1Tcp4 = "PROXY TCP4 203.0.113.7 127.0.0.1 40001 13228\r\n";
  struct Case {
    std::string bytes;
    ProxyHeader::State state;
    size_t length;
    std::string client;  // "address:port", empty for the proxy's own connection
  };
  using S = ProxyHeader::State;
  const Case cases[] = {
      {v1Tcp4 + "AUTH:ann", S::kComplete, v1Tcp4.size(), "203.0.113.7:40001"},
      {"PROXY TCP6 2001:db8::9 ::1 443 13228\r\n", S::kComplete, 38, "2001:db8::9:443"},
      {"PROXY UNKNOWN\r\n", S::kComplete, 15, ""},
      {"PROXY UNKNOWN ffff:f::1 ffff:f::2 1 2\r\n", S::kComplete, 39, ""},
      {V2Tcp4(0x41) + "AUTH:ann", S::kComplete, 28, "203.0.113.7:40001"},
      {v2Tcp6, S::kComplete, 52, "2001:db8::9:443"},
      {v2Local, S::kComplete, 16, ""},
      // Cut short: more may come.
      {"", S::kIncomplete, 0, ""},
      {"PROX", S::kIncomplete, 0, ""},
      {v1Tcp4.substr(0, 30), S::kIncomplete, 0, ""},
      {kV2.substr(0, 5), S::kIncomplete, 0, ""},
      {V2Tcp4(0x41).substr(0, 20), S::kIncomplete, 0, ""},
      // Too long, wrong or garbage.
      {"PROXY TCP4 " + std::string(100, '1'), S::kMalformed, 0, ""},
      {"PROXY TCP4 " + std::string(96, '1') + "\r\n", S::kMalformed, 0, ""},
      {kV2 + "\x21\x11\xff\xff"s, S::kMalformed, 0, ""},
      {"PROXY TCP4 2001:db8::9 127.0.0.1 1 2\r\n", S::kMalformed, 0, ""},
      {"PROXY TCP4 203.0.113.7 127.0.0.1 70000 2\r\n", S::kMalformed, 0, ""},
      {"PROXY TCP4 203.0.113.7 127.0.0.1 1\r\n", S::kMalformed, 0, ""},
      {"PROXY UDP4 203.0.113.7 127.0.0.1 1 2\r\n", S::kMalformed, 0, ""},
      {kV2 + "\x11\x11\x00\x0c"s + std::string(12, '\0'), S::kMalformed, 0, ""},
      {kV2 + "\x21\x12\x00\x0c"s + std::string(12, '\0'), S::kMalformed, 0, ""},
      {kV2 + "\x21\x11\x00\x04"s + std::string(4, '\0'), S::kMalformed, 0, ""},
      {"AUTH:ann:0123\r\n", S::kMalformed, 0, ""},
      {"\x16\x03\x01\x02\x00"s, S::kMalformed, 0, ""},
  };
  for (const Case& c : cases) {
    ProxyHeader header = ParseProxyHeader(c.bytes);
    std::string client;
    if (header.client) {
      client = header.client->address().to_string() + ":" + std::to_string(header.client->port());
    }
    EXPECT_EQ(header.state, c.state) << EventLog::Escape(c.bytes, 200);
    EXPECT_EQ(header.length, c.length) << EventLog::Escape(c.bytes, 200);
    EXPECT_EQ(client, c.client) << EventLog::Escape(c.bytes, 200);
    EXPECT_EQ(header.problem.empty(), c.state != S::kMalformed) << header.problem;
  }
}

TEST(ProxyProtocol, AListedProxyNamesTheClientForLimitsAndLogsAndNoOneElseMay) {
  LobbyOptions options;
  options.proxyFrom = AddressList::Of("127.0.0.2");
  options.connectionsPerAddress = 1;
  options.signInSeconds = 1;  // the header's deadline; the lobby's own runs on the manual clock
  TestServer server({}, options);
  ASSERT_EQ(server.Start(), "");
  auto viaProxy = [&] { return server.Connect(0, "127.0.0.2"); };
  auto silent = viaProxy();

  // The header and the first line in one write: the line is the session's.
  auto ann = viaProxy();
  ASSERT_TRUE(ann->SendRaw("PROXY TCP4 203.0.113.7 127.0.0.1 40001 13228\r\n" +
                           CreateRequest("ann", "pw") + "\r\n"));
  EXPECT_EQ(ann->ReadLine(), "AUTH_ACK:OK");
  // One connection per address: the proxy's next for 203.0.113.7 is refused, one for another
  // client is not.
  auto again = viaProxy();
  ASSERT_TRUE(again->SendRaw(V2Tcp4(0x42)));
  EXPECT_TRUE(again->WaitClosed());
  auto bob = viaProxy();
  ASSERT_TRUE(bob->SendRaw("PROXY TCP4 203.0.113.8 127.0."));
  ASSERT_TRUE(bob->SendRaw("0.1 40003 13228\r\n"));
  EXPECT_TRUE(testing::SignedIn(std::move(bob), "bob", CreateRequest("bob", "pw")));
  // A header from an address not listed, and a malformed one from the proxy.
  auto unlisted = server.Connect();
  ASSERT_TRUE(unlisted->SendRaw(V2Tcp4(0x44)));
  EXPECT_TRUE(unlisted->WaitClosed());
  auto malformed = viaProxy();
  ASSERT_TRUE(malformed->SendRaw("PROXY TCP4 203.0.113.9\r\n"));
  EXPECT_TRUE(malformed->WaitClosed());
  EXPECT_TRUE(silent->WaitClosed());
  server.Stop();

  std::string log = server.LogText();
  for (const std::string& line :
       {" 203.0.113.7:40001 - connected\n"s,
        "connection from 203.0.113.7 refused (too many connections from this address; 1 refused "
        "so far)\n"s,
        " 203.0.113.8:40003 - connected\n"s,
        " - PROXY protocol header from an address not in --proxy-from\n"s,
        " - malformed PROXY protocol header (version 1 header is not \"PROXY TCP4|TCP6 SOURCE "
        "DEST SPORT DPORT\")\n"s,
        " - no PROXY protocol header within the sign-in deadline\n"s}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << "\nin\n" << log;
  }
  // The proxy's own address shows only where no header named another: the malformed and the
  // silent connection.
  size_t proxyLines = 0;
  for (size_t at = log.find(" 127.0.0.2:"); at != std::string::npos;
       at = log.find(" 127.0.0.2:", at + 1)) {
    ++proxyLines;
  }
  EXPECT_EQ(proxyLines, 2u) << log;
}

}  // namespace
}  // namespace lobbyd
