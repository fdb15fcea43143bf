#include "win32/winsock_connection_win32.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace cv3 {
namespace {

// Refuses every window this thread tries to create while it is installed.
LRESULT CALLBACK RefuseWindows(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) return 1;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(WinsockConnection, WithoutItsWindowConnectReportsTheFailureAtOnce) {
  HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseWindows, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  std::vector<WinsockConnection::CloseKind> closes;
  WinsockConnection connection(
      {nullptr, nullptr, [&](WinsockConnection::CloseKind kind) { closes.push_back(kind); }});
  UnhookWindowsHookEx(hook);

  EXPECT_FALSE(connection.ok());
  connection.Connect("127.0.0.1", 9001);
  EXPECT_EQ(closes, std::vector{WinsockConnection::CloseKind::kFailed});
  EXPECT_EQ(connection.State(), WinsockConnection::kError);
}

TEST(WinsockConnection, WithItsWindowIsOk) {
  WinsockConnection connection({});
  EXPECT_TRUE(connection.ok());
}

// Pumps messages until `done` holds or five seconds pass.
bool PumpUntil(const std::function<bool()>& done) {
  DWORD deadline = GetTickCount() + 5000;
  while (!done()) {
    if (static_cast<int>(GetTickCount() - deadline) > 0) return false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

std::string Describe(WinsockConnection::CloseKind kind) {
  switch (kind) {
    case WinsockConnection::CloseKind::kByServer:
      return "closed by server";
    case WinsockConnection::CloseKind::kFailed:
      return "failed";
    case WinsockConnection::CloseKind::kCancelled:
      return "cancelled";
  }
  return "?";
}

// A connection to a loopback listener of the test's own, its events in one list.
struct Loopback : ::testing::Test {
  void SetUp() override {
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  }
  void TearDown() override {
    if (listener != INVALID_SOCKET) closesocket(listener);
    WSACleanup();
  }
  int Port() const { return ntohs(address.sin_port); }
  // Connects and accepts; true once the connected event has come.
  bool Connected() {
    connection.Connect("127.0.0.1", Port());
    peer = accept(listener, nullptr, nullptr);
    return peer != INVALID_SOCKET && PumpUntil([&] { return !events.empty(); });
  }

  WSADATA data{};
  SOCKET listener = INVALID_SOCKET;
  SOCKET peer = INVALID_SOCKET;
  sockaddr_in address{};
  std::vector<std::string> events;
  WinsockConnection connection{
      {[&] { events.push_back("connected"); },
       [&](std::string_view bytes) { events.emplace_back(bytes); },
       [&](WinsockConnection::CloseKind kind) { events.push_back(Describe(kind)); }}};
};

// How the connection ended, as the session needs to know it: a server that closes cleanly (a
// restart, or after telling the client it signed on elsewhere) is reported at once, after the
// data it sent first, not left for the next send; our own Close is reported as cancelled, from
// the message loop, never from inside Close.
TEST_F(Loopback, EachEndIsReportedWithItsKind) {
  struct Case {
    const char* end;
    std::function<void(Loopback&)> endIt;
    const char* expected;
  };
  const Case cases[] = {
      {"the server closes",
       [](Loopback& t) {
         shutdown(t.peer, SD_SEND);
         closesocket(t.peer);
       },
       "closed by server"},
      {"we close",
       [](Loopback& t) {
         t.connection.Close();
         EXPECT_EQ(t.events.size(), 2u);  // nothing from inside Close
         closesocket(t.peer);
       },
       "cancelled"},
  };
  for (const Case& c : cases) {
    events.clear();
    ASSERT_TRUE(Connected()) << c.end;
    // The host window's first game address.
    EXPECT_EQ(connection.LocalAddress(), "127.0.0.1");
    send(peer, "AUTH_ACK:OK\r\n", 13, 0);
    ASSERT_TRUE(PumpUntil([&] { return events.size() == 2; })) << c.end;
    c.endIt(*this);
    EXPECT_TRUE(PumpUntil([&] { return events.size() >= 3; })) << c.end;
    EXPECT_EQ(events, (std::vector<std::string>{"connected", "AUTH_ACK:OK\r\n", c.expected}))
        << c.end;
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_EQ(connection.LocalAddress(), "");
  }
}

TEST_F(Loopback, ARefusedConnectionFailsAndANewConnectDropsTheCancelOfTheOldOne) {
  closesocket(listener);
  listener = INVALID_SOCKET;
  connection.Connect("127.0.0.1", Port());
  ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
  EXPECT_EQ(events, std::vector<std::string>{"failed"});
  // A retry that gives up a pending attempt for a fresh one hears only of the fresh one.
  events.clear();
  connection.Connect("127.0.0.1", Port());
  connection.Close();
  connection.Connect("127.0.0.1", Port());
  ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
  EXPECT_EQ(events, std::vector<std::string>{"failed"});
}

// The connection's own socket, found among the process's handles as the one whose local port
// the listener saw connecting: what the system probes with is read back from it as it is.
TEST_F(Loopback, TheSocketProbesAServerThatVanishedWithoutAWord) {
  ASSERT_TRUE(Connected());
  sockaddr_in client{};
  int length = sizeof client;
  ASSERT_EQ(getpeername(peer, reinterpret_cast<sockaddr*>(&client), &length), 0);
  std::vector<DWORD> keepAlive;
  for (UINT_PTR handle = 4; handle < 0x10000; handle += 4) {
    SOCKET candidate = static_cast<SOCKET>(handle);
    sockaddr_in local{};
    length = sizeof local;
    if (candidate == peer || candidate == listener ||
        getsockname(candidate, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        local.sin_family != AF_INET || local.sin_port != client.sin_port) {
      continue;
    }
    DWORD on = 0;
    length = sizeof on;
    getsockopt(candidate, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<char*>(&on), &length);
    keepAlive.push_back(on);
  }
  EXPECT_EQ(keepAlive, std::vector<DWORD>{1});
  closesocket(peer);
}

}  // namespace
}  // namespace cv3
