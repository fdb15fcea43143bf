// End to end under Wine: the real cv3client.exe signs in automatically against a real lobbyd
// (started by the test script; its port in CV3_LOBBYD_PORT) and is watched from outside through
// its controls. A second pilot, driven here over a plain socket, hosts a game and goes away.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdlib>
#include <string>

#include "common/registry.h"
#include "common/registry_win32.h"
#include "cv3client/ui/frm_main_win32.h"
#include "protocol/md5.h"
#include "testbed/remote_controls_win32.h"

namespace cv3 {
namespace {

using testbed::FindChildByClass;
using testbed::ReadStatusText;
using testbed::ReadTree;
using testbed::WaitFor;

constexpr DWORD kDeadlineMs = 30000;

std::string Digest(const std::string& password) {
  clsMD5 md5;
  return *md5.DigestStrToHexStr(password);
}

// A pilot on a blocking socket, sending lines and reading whatever comes back.
class RawPilot {
 public:
  bool Connect(int port) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    return connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  void Send(const std::string& line) {
    std::string bytes = line + "\r\n";
    send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0);
  }
  // Reads until a line equal to `wanted` has arrived or the deadline passes.
  bool WaitForLine(const std::string& wanted) {
    DWORD timeout = 200;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
    return WaitFor(
        [&] {
          char chunk[4096];
          int got = recv(socket_, chunk, sizeof chunk, 0);
          if (got > 0) received_.append(chunk, got);
          return received_.find(wanted + "\r\n") != std::string::npos;
        },
        kDeadlineMs);
  }
  ~RawPilot() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    WSACleanup();
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  std::string received_;
};

class ClientEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* port = std::getenv("CV3_LOBBYD_PORT");
    if (!port) GTEST_SKIP() << "CV3_LOBBYD_PORT is not set: no lobbyd to talk to";
    port_ = std::atoi(port);
    Win32Registry backend;
    Registry registry(backend, nullptr, "Corvane");
    const char* key = "HKEY_CURRENT_USER\\Software\\Corvane";
    registry.CreateKey(key);
    registry.SetString(key, "CvAddress", "127.0.0.1");
    registry.SetString(key, "CvPort", port);
    registry.SetString(key, "Username", "pilot");
    registry.SetString(key, "Password", Digest("skyrend"));
    registry.SetDWord(key, "AutoLogin", 1);
    registry.SetDWord(key, "SlowCPU", 0);
  }
  void TearDown() override {
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
      }
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
  }
  bool StartClient() {
    std::wstring line = L"\"" CV3_CLIENT_EXE L"\"";
    STARTUPINFOW startup{sizeof startup};
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process_);
  }
  HWND Main() { return FindWindowW(frmMain::kClassName, nullptr); }
  std::string Status() {
    HWND main = Main();
    HWND bar = main ? FindChildByClass(main, L"msctls_statusbar32") : nullptr;
    return bar ? ReadStatusText(bar) : std::string();
  }
  // The group a node with this text is under, or empty.
  std::string GroupOf(const std::string& text) {
    HWND main = Main();
    HWND tree = main ? FindChildByClass(main, L"SysTreeView32") : nullptr;
    if (!tree) return {};
    for (const auto& item : ReadTree(tree)) {
      if (item.text == text && !item.parent.empty()) return item.parent;
    }
    return {};
  }

  int port_ = 0;
  PROCESS_INFORMATION process_{};
};

TEST_F(ClientEndToEnd, SignsInSeesTheLobbyFollowsPresenceAndExits) {
  RawPilot wingman;
  ASSERT_TRUE(wingman.Connect(port_));
  wingman.Send("AUTH:wingman:" + Digest("skyrend"));
  ASSERT_TRUE(wingman.WaitForLine("AUTH_ACK:OK"));
  wingman.Send("HOSTGAME:Canyon Run:127.0.0.1:1.2:Named:1:0:0:0:0:0:0:0:0:1:Friendly");
  ASSERT_TRUE(wingman.WaitForLine("HOSTGAME_ACK:OK"));

  ASSERT_TRUE(StartClient());
  ASSERT_TRUE(WaitFor([&] { return Status() == "Online"; }, kDeadlineMs)) << Status();
  EXPECT_TRUE(WaitFor([&] { return GroupOf("wingman") == "Online Pilots"; }, kDeadlineMs));
  EXPECT_EQ(GroupOf("Canyon Run"), "Skyrend Games");
  ASSERT_TRUE(wingman.WaitForLine("ISON:pilot"));

  wingman.Send("AWAY:refuelling");
  EXPECT_TRUE(
      WaitFor([&] { return GroupOf("wingman (refuelling)") == "Busy Pilots"; }, kDeadlineMs));
  EXPECT_EQ(GroupOf("wingman"), "");

  // Exit sends QUIT and the program ends on QUIT_ACK:OK.
  PostMessageW(Main(), WM_COMMAND, frmMain::CommandId(MainCommand::mnuExit), 0);
  EXPECT_TRUE(wingman.WaitForLine("ISOFF:pilot"));
  EXPECT_EQ(WaitForSingleObject(process_.hProcess, kDeadlineMs), WAIT_OBJECT_0);
}

}  // namespace
}  // namespace cv3
