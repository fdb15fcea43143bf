// The stand-in game on its own, installed and started as the launcher does: its save files and
// its terminal server. Its session dialogs are driven by the real launcher in
// launcher_win32_test.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "testbed/game_install_win32.h"
#include "testbed/remote_controls_win32.h"

namespace cv3::testbed {
namespace {

constexpr DWORD kDeadlineMs = 30000;
std::string ShortPath(const std::filesystem::path& path) {
  char shortPath[MAX_PATH] = {};
  DWORD n = GetShortPathNameA(path.string().c_str(), shortPath, MAX_PATH);
  return std::string(shortPath, n < MAX_PATH ? n : 0);
}

class FakeGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    game_ = GameInstallBelow(std::filesystem::path(temp) /
                             (L"cv3 fakegame " + std::to_wstring(GetCurrentProcessId())));
    ASSERT_TRUE(InstallGame(game_, CV3_SKYRENDW_EXE));
  }
  void TearDown() override {
    if (process_.hProcess) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, kDeadlineMs);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    RemoveGame(game_);
  }
  // Starts the game as the launcher does: its short path, the switches, no quotes.
  void Start(const std::string& switches) {
    std::string line = ShortPath(game_.runPath) + "\\skyrendw.exe " + switches;
    STARTUPINFOA startup{sizeof startup};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &process_));
  }
  // The main window once it is shown; every window of the start exists by then.
  static HWND Main() {
    HWND main = nullptr;
    WaitFor(
        [&] {
          main = FindWindowA("KVYMAINWIN", "Skyrend");
          return main && IsWindowVisible(main);
        },
        kDeadlineMs);
    return main;
  }
  std::vector<std::string> LogOf(size_t lines) {
    WaitFor([&] { return ReadGameLog(game_).size() >= lines; }, kDeadlineMs);
    return ReadGameLog(game_);
  }
  bool LogShows(const std::string& line) {
    return WaitFor(
        [&] {
          auto log = ReadGameLog(game_);
          return std::find(log.begin(), log.end(), line) != log.end();
        },
        kDeadlineMs);
  }
  bool CloseAndWait() {
    PostMessageW(Main(), WM_CLOSE, 0, 0);
    return WaitForSingleObject(process_.hProcess, kDeadlineMs) == WAIT_OBJECT_0;
  }

  GameInstall game_;
  PROCESS_INFORMATION process_{};
};

struct SaveCase {
  const char* command;
  bool existsBefore;
  const char* outcome;
};

void PrintTo(const SaveCase& c, std::ostream* out) { *out << c.command; }

class SaveFileTest : public FakeGameTest, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveFileTest, NewWritesLoadReads) {
  const SaveCase& c = GetParam();
  std::filesystem::path file = game_.savePath / "game.sav";
  if (c.existsBefore) {
    ASSERT_TRUE(std::ofstream(file, std::ios::binary) << "older game");
  }
  // The launcher's forms: the whole short path of an existing file, else the folder's.
  std::string path = c.existsBefore ? ShortPath(file) : ShortPath(game_.savePath) + "\\game.sav";
  bool dedicated = std::string(c.command).ends_with("ded");
  ASSERT_TRUE(SetGameDWord(L"TerminalServerPort", 0));
  Start(std::string(c.command) + " " + path);
  std::vector<std::string> expected = {"switches: " + std::string(c.command) + " " + path,
                                       "save file: " + path + " (" + c.outcome + ")"};
  if (dedicated) expected.push_back("listening: none");
  EXPECT_EQ(LogOf(expected.size()), expected);
  ASSERT_TRUE(CloseAndWait());
  std::ifstream in(file, std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bool written = std::string(c.outcome) == "new";
  EXPECT_EQ(content, written ? "Skyrend saved game\r\n" : c.existsBefore ? "older game" : "");
}

INSTANTIATE_TEST_SUITE_P(Commands, SaveFileTest,
                         ::testing::Values(SaveCase{"/t:newserver", false, "new"},
                                           SaveCase{"/t:newded", true, "new"},
                                           SaveCase{"/t:loadserver", true, "loaded"},
                                           SaveCase{"/t:loadded", false, "missing"}),
                         [](const auto& info) {
                           return std::string(info.param.command + 3) +
                                  (info.param.existsBefore ? "Existing" : "Absent");
                         });

// A TCP client on the loopback address, for the terminal server.
class Probe {
 public:
  explicit Probe(int port) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    ioctlsocket(socket_, FIONBIO, &nonBlocking);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  ~Probe() {
    closesocket(socket_);
    WSACleanup();
  }
  // "connected", "refused" or "no answer" within the time given.
  std::string Outcome(int ms) {
    fd_set done, failed;
    FD_ZERO(&done);
    FD_SET(socket_, &done);
    FD_ZERO(&failed);
    FD_SET(socket_, &failed);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    if (select(0, nullptr, &done, &failed, &wait) != 1) return "no answer";
    return FD_ISSET(socket_, &done) ? "connected" : "refused";
  }
  // Whether the server has closed the connection.
  bool ClosedByPeer() {
    return WaitFor(
        [&] {
          char byte;
          return recv(socket_, &byte, 1, 0) == 0;
        },
        kDeadlineMs);
  }

 private:
  SOCKET socket_;
};

class TerminalServerTest : public FakeGameTest {
 protected:
  // A dedicated start on a port of this test's own.
  void StartDedicated(const std::vector<std::string>& mode) {
    ASSERT_TRUE(SetGameMode(game_, mode));
    ASSERT_TRUE(SetGameDWord(L"TerminalServerPort", port_));
    Start("/t:newded " + ShortPath(game_.savePath) + "\\ded.sav");
    ASSERT_TRUE(LogShows("listening: " + std::to_string(port_)));
  }
  int port_ = 30000 + static_cast<int>(GetCurrentProcessId() % 20000);
};

TEST_F(TerminalServerTest, AcceptsAndClosesOnThePortOfTheKey) {
  StartDedicated({});
  Probe probe(port_);
  EXPECT_EQ(probe.Outcome(static_cast<int>(kDeadlineMs)), "connected");
  EXPECT_TRUE(probe.ClosedByPeer());
}

// The watchdog takes a connect that does not complete within seven seconds as a hung game.
TEST_F(TerminalServerTest, HungServerLeavesConnectsUnanswered) {
  StartDedicated({"hang=1"});
  ASSERT_TRUE(LogShows("hang"));
  Probe probe(port_);
  EXPECT_EQ(probe.Outcome(3000), "no answer");
}

}  // namespace
}  // namespace cv3::testbed
