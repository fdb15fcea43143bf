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

TEST(WinsockConnection, WithoutItsWindowConnectReportsTheErrorAtOnce) {
  HHOOK hook = SetWindowsHookExW(WH_CBT, RefuseWindows, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  int errors = 0;
  WinsockConnection connection({nullptr, nullptr, [&] { ++errors; }});
  UnhookWindowsHookEx(hook);

  EXPECT_FALSE(connection.ok());
  connection.Connect("127.0.0.1", 9001);
  EXPECT_EQ(errors, 1);
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

// A server that closes cleanly (a lobby server's restart) ends the connection at once: the data
// it sent first arrives, then the error event, without waiting for a send.
TEST(WinsockConnection, ACleanCloseByThePeerIsAnErrorAfterItsData) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 1), 0);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

  std::vector<std::string> events;
  WinsockConnection connection({[&] { events.push_back("connected"); },
                                [&](std::string_view bytes) { events.emplace_back(bytes); },
                                [&] { events.push_back("error"); }});
  EXPECT_EQ(connection.LocalAddress(), "");
  connection.Connect("127.0.0.1", ntohs(address.sin_port));
  SOCKET peer = accept(listener, nullptr, nullptr);
  ASSERT_NE(peer, INVALID_SOCKET);
  ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
  // The host window's first game address.
  EXPECT_EQ(connection.LocalAddress(), "127.0.0.1");
  send(peer, "AUTH_ACK:OK\r\n", 13, 0);
  shutdown(peer, SD_SEND);
  closesocket(peer);
  EXPECT_TRUE(PumpUntil([&] { return events.size() >= 3; }));
  EXPECT_EQ(events, (std::vector<std::string>{"connected", "AUTH_ACK:OK\r\n", "error"}));
  EXPECT_FALSE(connection.IsConnected());
  closesocket(listener);
  WSACleanup();
}

}  // namespace
}  // namespace cv3
