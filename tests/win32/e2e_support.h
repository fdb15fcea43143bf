// What the end-to-end tests share: the real cv3client.exe started and watched from outside, pilots
// on plain sockets, and a lobbyd of a test's own, started and stopped through Wine's bridge to
// Unix programs (start /unix), on a fresh store.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/registry.h"
#include "common/registry_win32.h"
#include "cv3client/ui/frm_main_win32.h"
#include "protocol/md5.h"
#include "testbed/remote_controls_win32.h"

namespace cv3::e2e {

using testbed::FindChildByClass;
using testbed::ReadStatusText;
using testbed::ReadTree;
using testbed::ReadWindowText;
using testbed::WaitFor;

inline constexpr DWORD kDeadlineMs = 30000;

// A Western lobby's text and its bytes on the wire: accents, and the letters Windows-1252 alone
// keeps at 0x80-0x9F, which a conversion through any other code page loses.
inline constexpr char kWesternText[] = "café naïve – € „Œuvre“ ‰ ™ ž Ÿ";
inline constexpr char kWesternBytes[] =
    "caf\xE9 na\xEFve \x96 \x80 \x84\x8Cuvre\x93 \x89 \x99 \x9E \x9F";
// A pilot whose name is not ASCII, as the windows show it and as it travels.
inline constexpr char kZoe[] = "Zoë";
inline constexpr char kZoeBytes[] = "Zo\xEB";
// What a player types, and the bytes that must leave.
inline constexpr wchar_t kTyped[] = L"José €";
inline constexpr char kTypedBytes[] = "Jos\xE9 \x80";

inline std::string Digest(const std::string& password) {
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
  // Connects and signs in with the password "skyrend"; true once `answer` has come.
  bool SignIn(int port, const std::string& name, const std::string& answer = "AUTH_ACK:OK",
              DWORD deadlineMs = kDeadlineMs) {
    if (!Connect(port)) return false;
    Send("AUTH:" + name + ":" + Digest("skyrend"));
    return WaitForLine(answer, deadlineMs);
  }
  // How many times this line has arrived so far.
  int Count(const std::string& line) const {
    std::string all = "\r\n" + received_, whole = "\r\n" + line + "\r\n";
    int count = 0;
    for (size_t at = all.find(whole); at != std::string::npos; at = all.find(whole, at + 1)) {
      ++count;
    }
    return count;
  }
  // Reads until a line equal to `wanted` has arrived or the deadline passes.
  bool WaitForLine(const std::string& wanted, DWORD deadlineMs = kDeadlineMs) {
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
        deadlineMs);
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
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    registry.SetString(key, "Username", "pilot");
    registry.SetString(key, "Password", Digest("skyrend"));
    registry.SetDWord(key, "AutoLogin", 1);
    registry.SetDWord(key, "RememberLogin", 1);
    registry.SetDWord(key, "Reconnect", 0);
    registry.SetDWord(key, "SlowCPU", 0);
  }
  // Changes one of the client's settings before it starts.
  void SetString(const char* name, const std::string& value) {
    Win32Registry backend;
    Registry(backend, nullptr, "Corvane").SetString(kKey, name, value);
  }
  void SetDWord(const char* name, int value) {
    Win32Registry backend;
    Registry(backend, nullptr, "Corvane").SetDWord(kKey, name, value);
  }
  static constexpr const char* kKey = "HKEY_CURRENT_USER\\Software\\Corvane";
  void TearDown() override {
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
      }
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
  }
  // exe: the program to start, the build's own unless a test names another copy.
  bool StartClient(const std::wstring& exe = CV3_CLIENT_EXE) {
    std::wstring line = L"\"" + exe + L"\"";
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

  // A top-level window of the client with this caption, once it is shown.
  static HWND ShownWindow(const wchar_t* caption) {
    HWND found = nullptr;
    WaitFor(
        [&] {
          found = FindWindowW(nullptr, caption);
          return found && IsWindowVisible(found);
        },
        kDeadlineMs);
    return found && IsWindowVisible(found) ? found : nullptr;
  }
  // Presses the button with this caption as a click would.
  static bool Click(HWND window, const wchar_t* caption) {
    HWND button = window ? FindWindowExW(window, nullptr, L"Button", caption) : nullptr;
    if (!button) return false;
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return true;
  }
  // Types into the edit boxes of a window, in their order.
  static bool Type(HWND window, const std::vector<std::wstring>& texts) {
    std::vector<HWND> edits = testbed::ChildrenByClass(window, L"Edit");
    if (edits.size() < texts.size()) return false;
    for (size_t i = 0; i < texts.size(); ++i) {
      SendMessageW(edits[i], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(texts[i].c_str()));
    }
    return true;
  }
  // Whether a static text of the window reads `text`.
  static bool ShowsText(HWND window, const std::string& text) {
    for (HWND label : testbed::ChildrenByClass(window, L"Static")) {
      if (ReadWindowText(label) == text) return true;
    }
    return false;
  }
  void Command(MainCommand command) {
    PostMessageW(Main(), WM_COMMAND, frmMain::CommandId(command), 0);
  }
  HWND Tree() {
    HWND main = Main();
    return main ? FindChildByClass(main, L"SysTreeView32") : nullptr;
  }

  int port_ = 0;
  PROCESS_INFORMATION process_{};
};

// A lobbyd of the test's own on a fresh store, started, stopped (SIGTERM, as an operator would)
// and started again on the same store and port through the Unix shell.
class OwnLobby {
 public:
  // extraArgs: further flags, e.g. accounts ("--add-account boss:pw --admin boss"); address: the
  // loopback address to listen on (any of 127.0.0.0/8).
  explicit OwnLobby(const std::string& extraArgs, const std::string& address = "127.0.0.1")
      : extraArgs_(extraArgs), address_(address) {
    const char* program = std::getenv("CV3_LOBBYD_PROGRAM");
    if (program) program_ = program;
    unsigned salt = GetTickCount() ^ (GetCurrentProcessId() << 16);
    // Two lobbies of one test, made in the same tick, differ by their addresses.
    for (char c : address_) salt = salt * 31 + static_cast<unsigned char>(c);
    folder_ = "/tmp/cv3-e2e-" + std::to_string(salt);
    port_ = 20000 + static_cast<int>(salt % 20000);
    CreateDirectoryA(("Z:" + folder_).c_str(), nullptr);
  }
  ~OwnLobby() {
    if (started_) Stop();
    RunShell("rm -rf '" + folder_ + "'", false);
  }
  bool ok() const { return !program_.empty(); }
  int Port() const { return port_; }
  // The folder of its store and log, as Unix names it; a test's own files may go there too.
  const std::string& Folder() const { return folder_; }
  // The TLS port, once ServeTls named the certificate and key (paths in Folder()).
  int TlsPort() const { return port_ + 20000; }
  void ServeTls(const std::string& certificate, const std::string& key) {
    extraArgs_ += " --tls-listen " + address_ + ":" + std::to_string(TlsPort()) + " --tls-cert '" +
                  folder_ + "/" + certificate + "' --tls-key '" + folder_ + "/" + key + "'";
  }
  // What lobbyd has logged so far.
  std::string Log() const {
    std::ifstream in("Z:" + folder_ + "/lobbyd.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  bool Start() {
    started_ = true;
    RunShell("'" + program_ + "' --listen " + address_ + ":" + std::to_string(port_) + " --db '" +
             folder_ + "/lobby.db' " + extraArgs_ + " 2>>'" + folder_ +
             "/lobbyd.log' & echo $! > '" + folder_ + "/pid'");
    return WaitFor([&] { return Listening(); }, kDeadlineMs);
  }
  void Stop() {
    started_ = false;
    RunShell("pid=$(cat '" + folder_ + "/pid'); kill -TERM $pid; " +
             "while kill -0 $pid 2>/dev/null; do sleep 0.05; done");
  }

 private:
  bool Listening() const {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port_));
    inet_pton(AF_INET, address_.c_str(), &address.sin_addr);
    bool up = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    closesocket(probe);
    return up;
  }

 public:
  // Runs a shell command line, and waits until it has run: Wine's bridge to Unix programs
  // returns before they end, so the script leaves a mark when done. The script goes through a
  // file, so no quoting crosses Wine's command line.
  void RunShell(const std::string& command, bool wait = true) {
    std::string name = folder_ + "/run" + std::to_string(++runs_);
    {
      std::ofstream out("Z:" + name + ".sh", std::ios::binary);
      out << command << "\n"
          << "touch '" << name << ".done'\n";
    }
    std::wstring line =
        L"start.exe /unix /bin/sh " + std::wstring(name.begin(), name.end()) + L".sh";
    STARTUPINFOW startup{sizeof startup};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
      return;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (!wait) return;
    std::string done = "Z:" + name + ".done";
    WaitFor([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
            kDeadlineMs);
  }

 private:
  std::string program_;
  std::string extraArgs_;
  std::string address_;
  std::string folder_;
  int port_ = 0;
  int runs_ = 0;
  bool started_ = false;
};

// The client against a lobbyd of the test's own, with the accounts given.
class OwnLobbyEndToEnd : public ClientEndToEnd {
 protected:
  // Starts the test's own lobbyd and points the client at it.
  bool StartLobby(const std::string& accounts) {
    lobby_ = std::make_unique<OwnLobby>(accounts);
    if (!lobby_->ok() || !lobby_->Start()) return false;
    SetString("CvPort", std::to_string(lobby_->Port()));
    return true;
  }
  bool Online() {
    return WaitFor([&] { return Status() == "Online"; }, kDeadlineMs);
  }
  // Starts the client and waits until it is signed in.
  bool StartedOnline() { return StartClient() && Online(); }
  void Exit() {
    Command(MainCommand::mnuExit);
    WaitForSingleObject(process_.hProcess, kDeadlineMs);
  }
  std::unique_ptr<OwnLobby> lobby_;
};

}  // namespace cv3::e2e
