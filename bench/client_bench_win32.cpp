// client-bench.exe: times the real cv3client.exe under Wine from outside. It plays the lobby
// server on a loopback listener, points the client at it with automatic login, and prints
//   a. start of the process to the main window shown,
//   b. one arrival of 10,000 USER and 500 GAME lines to the roster shown and sorted,
//   c. the client's private bytes after it,
// beside their targets; then
//   d. 10,000 lobby lines into the open, visible, tiled lobby window, and
//   e. a private conversation of 1 MB (10,000 lines of 100 characters),
// each as the time for the first and the last 1,000 lines (they should be alike), the total, and
// the private bytes after. Then it ends the client through Exit ("QUIT"/"QUIT_ACK").
// Usage: client-bench.exe [path\to\cv3client.exe]   (default: next to this program)
// Every wait has a deadline; the client is terminated if it does not end by itself.
// Winsock before windows.h, and windows.h before the headers that build on it.
#include <winsock2.h>
#include <ws2tcpip.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bench/roster_lines.h"
#include "common/registry.h"
#include "common/registry_win32.h"
#include "cv3client/ui/frm_main_win32.h"
#include "testbed/remote_controls_win32.h"

namespace {

using cv3::bench::kGames;
using cv3::bench::kUsers;
constexpr LRESULT kTreeItems = 4 + kUsers + kGames;
constexpr double kWindowTargetMs = 1000;
constexpr double kIngestTargetMs = 500;
constexpr double kMemoryTargetMb = 50;

constexpr DWORD kStartDeadlineMs = 30000;  // a cold Wine start can take seconds
constexpr DWORD kStepDeadlineMs = 20000;
constexpr DWORD kPollMs = 2;

double NowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void PumpOwnMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

using cv3::bench::GameLines;
using cv3::bench::UserLines;

// The lobby server's side of one connection: answers the sign-in sequence and QUIT.
class FakeLobby {
 public:
  ~FakeLobby() {
    if (client_ != INVALID_SOCKET) closesocket(client_);
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
  }

  // Listens on 127.0.0.1 at a port the system picks; 0 on failure.
  int Listen() {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = 0;
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    int length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 1) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return 0;
    }
    return ntohs(address.sin_port);
  }

  // Accepts the client if it has connected; never blocks.
  bool TryAccept() {
    if (client_ != INVALID_SOCKET) return true;
    if (!Readable(listener_)) return false;
    client_ = accept(listener_, nullptr, nullptr);
    if (client_ == INVALID_SOCKET) return false;
    // The lists go out in one send each; a large buffer lets that call complete at once, and
    // the timeout keeps a stalled client from holding it forever.
    int buffer = 1 << 20;
    setsockopt(client_, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&buffer),
               sizeof buffer);
    DWORD timeout = kStepDeadlineMs;
    setsockopt(client_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
    return true;
  }

  // Reads what has arrived and answers each complete line; never blocks. False once the
  // connection is gone.
  bool Serve() {
    if (client_ == INVALID_SOCKET && (closed_ || !TryAccept())) return !closed_;
    while (Readable(client_)) {
      char chunk[4096];
      int got = recv(client_, chunk, sizeof chunk, 0);
      if (got <= 0) {
        closesocket(client_);
        client_ = INVALID_SOCKET;
        closed_ = true;
        return false;
      }
      received_.append(chunk, got);
    }
    for (size_t end; (end = received_.find("\r\n")) != std::string::npos;) {
      Answer(received_.substr(0, end));
      received_.erase(0, end + 2);
    }
    return true;
  }

  // Sends bytes as they are, as a server relaying lines would.
  void SendRaw(const std::string& bytes) { Send(bytes); }

  double usersSentAt = 0;  // just before the one send of the pilot list
  bool sawVersion = false, sawQuit = false;
  std::string authLine;

 private:
  static bool Readable(SOCKET s) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval now{0, 0};
    return select(0, &set, nullptr, nullptr, &now) == 1;
  }

  void Send(const std::string& bytes) {
    // One send call; a blocking socket takes it whole (or fails at the timeout).
    int sent = send(client_, bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent != static_cast<int>(bytes.size())) {
      std::printf("  (send of %zu bytes returned %d, error %d)\n", bytes.size(), sent,
                  WSAGetLastError());
    }
  }

  void Answer(const std::string& line) {
    if (line.rfind("AUTH:", 0) == 0) {
      authLine = line;
      Send("AUTH_ACK:OK\r\n");
    } else if (line == "USERS") {
      static const std::string users = UserLines();
      usersSentAt = NowMs();
      Send(users);
    } else if (line == "GAMES") {
      static const std::string games = GameLines();
      Send(games);
    } else if (line.rfind("VERSION:", 0) == 0) {
      sawVersion = true;
      Send("VERSION_ACK:OK\r\n");
    } else if (line == "QUIT") {
      sawQuit = true;
      Send("QUIT_ACK:OK\r\n");
    }
  }

  SOCKET listener_ = INVALID_SOCKET;
  SOCKET client_ = INVALID_SOCKET;
  bool closed_ = false;
  std::string received_;
};

// Polls `done` every few milliseconds (serving the lobby and pumping our messages) until it
// holds, the client ends, or the deadline passes.
template <typename Done>
bool PollUntil(HANDLE process, FakeLobby& lobby, DWORD deadlineMs, Done done) {
  double end = NowMs() + deadlineMs;
  for (;;) {
    lobby.Serve();
    if (done()) return true;
    if (NowMs() > end) return false;
    DWORD woke = MsgWaitForMultipleObjects(1, &process, FALSE, kPollMs, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0) return done();
    PumpOwnMessages();
  }
}

HWND MainWindowOf(DWORD processId) {
  for (HWND window = FindWindowExW(nullptr, nullptr, cv3::frmMain::kClassName, nullptr); window;
       window = FindWindowExW(nullptr, window, cv3::frmMain::kClassName, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId) return window;
  }
  return nullptr;
}

// The tree's item count without blocking on a busy client for long: no pointers, so the plain
// timed send works across processes.
LRESULT TreeCount(HWND tree) {
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(tree, TVM_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &count)) return -1;
  return static_cast<LRESULT>(count);
}

// The status bar's first panel, only once the client answers promptly.
std::string StatusText(HWND bar) {
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutW(bar, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored)) return {};
  return cv3::testbed::ReadStatusText(bar);
}

void Row(const char* what, double value, const char* unit, double target) {
  std::printf("  %-48s %9.1f %-3s (target < %.0f %s: %s)\n", what, value, unit, target, unit,
              value < target ? "met" : "MISSED");
}

// The process's private bytes, or the commit charge where Wine leaves them at 0.
void PrintMemory(HANDLE process, const char* when) {
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                            sizeof memory)) {
    std::printf("  private bytes: GetProcessMemoryInfo failed (error %lu)\n", GetLastError());
    return;
  }
  // Windows keeps PagefileUsage equal to PrivateUsage (both the commit charge); Wine may leave
  // PrivateUsage at 0 for another process, so the commit charge stands in and is named.
  bool fallback = memory.PrivateUsage == 0 && memory.PagefileUsage != 0;
  SIZE_T privateBytes = fallback ? memory.PagefileUsage : memory.PrivateUsage;
  std::string what = std::string("private bytes ") + when + (fallback ? " (PagefileUsage)" : "");
  Row(what.c_str(), privateBytes / 1048576.0, "MB", kMemoryTargetMb);
  std::printf("  %-48s %9.1f MB\n", "(working set)", memory.WorkingSetSize / 1048576.0);
}

// The conversation box's length, without blocking on a busy client for long.
LRESULT TextLength(HWND edit) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length)) return -1;
  return static_cast<LRESULT>(length);
}

// 10,000 incoming chat lines from "wingman", sent 1,000 at a time; each batch is timed from its
// send to the conversation box holding it.
struct ChatFlood {
  static constexpr int kLines = 10000, kBatch = 1000;
  const wchar_t* caption;
  std::function<std::string(int)> text;  // the text of line i
  std::vector<double> batchMs;

  // command: "LMSG:" or "PMSG:", as the server relays them.
  bool Run(const PROCESS_INFORMATION& process, FakeLobby& lobby, const std::string& command) {
    // The private window appears with its first line; the lobby window is already open.
    HWND output = nullptr;
    LRESULT expected = 0;
    for (int start = 0; start < kLines; start += kBatch) {
      std::string bytes;
      for (int i = start; i < start + kBatch; ++i) {
        bytes += command + "wingman:" + text(i) + "\r\n";
        expected += static_cast<LRESULT>(10 + text(i).size() + 2);  // "<wingman> " ... CR LF
      }
      double sentAt = NowMs();
      lobby.SendRaw(bytes);
      bool shown = PollUntil(process.hProcess, lobby, kStepDeadlineMs, [&] {
        if (!output) {
          HWND window = FindWindowW(nullptr, caption);
          std::vector<HWND> boxes =
              window ? cv3::testbed::ChildrenByClass(window, L"Edit") : std::vector<HWND>{};
          if (boxes.empty() || !IsWindowVisible(window)) return false;
          output = boxes[0];
        }
        return TextLength(output) == expected;
      });
      if (!shown) {
        std::printf("client-bench: \"%ls\" does not hold %lld characters within %lu ms (%lld)\n",
                    caption, static_cast<long long>(expected), kStepDeadlineMs,
                    static_cast<long long>(output ? TextLength(output) : -1));
        return false;
      }
      batchMs.push_back(NowMs() - sentAt);
    }
    return true;
  }

  void Print(const char* what, HANDLE process) const {
    double total = 0;
    for (double ms : batchMs) total += ms;
    std::printf("  %d %s into \"%ls\":\n", kLines, what, caption);
    std::printf("  %-48s %9.1f ms\n", "  first 1,000 lines", batchMs.front());
    std::printf("  %-48s %9.1f ms\n", "  last 1,000 lines", batchMs.back());
    std::printf("  %-48s %9.2f\n", "  last / first", batchMs.back() / batchMs.front());
    std::printf("  %-48s %9.1f ms\n", "  all 10,000 lines", total);
    PrintMemory(process, "after them");
    std::fflush(stdout);
  }
};

std::wstring DefaultClientPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir = path;
  return dir.substr(0, dir.find_last_of(L"\\/") + 1) + L"cv3client.exe";
}

// Points the client at our listener and makes it sign in at once.
void PrepareRegistry(int port) {
  cv3::Win32Registry backend;
  cv3::Registry registry(backend, nullptr, "Corvane");
  const char* key = "HKEY_CURRENT_USER\\Software\\Corvane";
  registry.CreateKey(key);
  registry.SetString(key, "CvAddress", "127.0.0.1");
  registry.SetString(key, "CvPort", std::to_string(port));
  registry.SetString(key, "Username", "benchpilot");
  registry.SetString(key, "Password", "D41D8CD98F00B204E9800998ECF8427E");
  registry.SetDWord(key, "AutoLogin", 1);
  // The default, tiled look; CV3_BENCH_PLAIN=1 measures the plain one.
  const char* plain = std::getenv("CV3_BENCH_PLAIN");
  registry.SetDWord(key, "SlowCPU", plain && *plain == '1' ? 1 : 0);
  registry.SetDWord(key, "Reconnect", 0);
  // Every line shows in its window; nothing flashes or sounds.
  registry.SetDWord(key, "PopupLobbyOnMsg", 1);
  registry.SetDWord(key, "PopupPrivateOnMsg", 1);
  registry.SetDWord(key, "FlashInactive", 0);
  registry.SetDWord(key, "PlaySoundOnMsg", 0);
  registry.SetString(key, "Ignored", "");
}

int Run(const std::wstring& clientPath) {
  FakeLobby lobby;
  int port = lobby.Listen();
  if (!port) {
    std::printf("client-bench: no loopback listener (error %d)\n", WSAGetLastError());
    return 1;
  }
  PrepareRegistry(port);

  std::wstring line = L"\"" + clientPath + L"\"";
  STARTUPINFOW startup{sizeof startup};
  PROCESS_INFORMATION process{};
  double startedAt = NowMs();
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::printf("client-bench: cannot start %ls (error %lu)\n", clientPath.c_str(), GetLastError());
    return 1;
  }
  CloseHandle(process.hThread);
  struct Ender {
    HANDLE process;
    ~Ender() {
      if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        std::printf("client-bench: the client did not end; terminating it\n");
        TerminateProcess(process, 1);
      }
      CloseHandle(process);
    }
  } ender{process.hProcess};

  std::printf("cv3client under Wine (%d pilots, %d games, loopback port %d)\n", kUsers, kGames,
              port);

  // a. Start of the process to the main window shown.
  HWND main = nullptr;
  bool shown = PollUntil(process.hProcess, lobby, kStartDeadlineMs, [&] {
    main = MainWindowOf(process.dwProcessId);
    return main && IsWindowVisible(main);
  });
  double windowMs = NowMs() - startedAt;
  if (!shown) {
    std::printf("client-bench: no visible Cv3MainWindow within %lu ms\n", kStartDeadlineMs);
    return 1;
  }
  HWND tree = cv3::testbed::FindChildByClass(main, L"SysTreeView32");
  HWND bar = cv3::testbed::FindChildByClass(main, L"msctls_statusbar32");
  if (!tree || !bar) {
    std::printf("client-bench: the main window lacks its tree or status bar\n");
    return 1;
  }

  // b. The lists, each in one send, to "Online" with every node in the tree.
  if (!PollUntil(process.hProcess, lobby, kStepDeadlineMs, [&] { return lobby.usersSentAt > 0; })) {
    std::printf("client-bench: the client never asked for USERS (auth line: \"%s\")\n",
                lobby.authLine.c_str());
    return 1;
  }
  LRESULT count = 0;
  bool online = PollUntil(process.hProcess, lobby, kStepDeadlineMs, [&] {
    count = TreeCount(tree);
    return count == kTreeItems && StatusText(bar) == "Online";
  });
  double ingestMs = NowMs() - lobby.usersSentAt;
  if (!online) {
    std::printf("client-bench: not Online with %lld items within %lu ms (%lld items, \"%s\")\n",
                static_cast<long long>(kTreeItems), kStepDeadlineMs, static_cast<long long>(count),
                StatusText(bar).c_str());
    return 1;
  }
  PollUntil(process.hProcess, lobby, kStepDeadlineMs, [&] { return lobby.sawVersion; });

  Row("start of process to main window shown", windowMs, "ms", kWindowTargetMs);
  Row("10,000 pilots + 500 games to Online, sorted", ingestMs, "ms", kIngestTargetMs);
  PrintMemory(process.hProcess, "after the roster");
  std::fflush(stdout);

  // d. The lobby window, open and visible, then 10,000 lobby lines.
  PostMessageW(main, WM_COMMAND, cv3::frmMain::CommandId(cv3::MainCommand::toolLobbyChat), 0);
  ChatFlood lobbyFlood{L"Lobby Chat", [](int i) {
                         char text[64];
                         std::snprintf(text, sizeof text, "lobby line %05d of the benchmark", i);
                         return std::string(text);
                       }};
  if (!lobbyFlood.Run(process, lobby, "LMSG:")) return 1;
  lobbyFlood.Print("lobby lines", process.hProcess);

  // e. A private conversation of 1 MB: each line shows as 100 characters.
  ChatFlood privateFlood{L"Private chat with wingman", [](int i) {
                           char text[96];
                           std::snprintf(text, sizeof text, "private line %05d %.*s", i, 69,
                                         "of a long conversation that keeps going and going "
                                         "until a whole megabyte has been said");
                           return std::string(text);
                         }};
  if (!privateFlood.Run(process, lobby, "PMSG:")) return 1;
  privateFlood.Print("private lines (1 MB)", process.hProcess);
  std::fflush(stdout);

  // Exit: the client sends "QUIT", we answer, it ends.
  PostMessageW(main, WM_COMMAND, cv3::frmMain::CommandId(cv3::MainCommand::mnuExit), 0);
  bool ended = PollUntil(process.hProcess, lobby, kStepDeadlineMs,
                         [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; });
  std::printf("  client ended through Exit: %s%s\n", ended ? "yes" : "no",
              lobby.sawQuit ? " (QUIT answered)" : "");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    std::printf("client-bench: Winsock did not start\n");
    return 1;
  }
  int result = Run(argc > 1 ? argv[1] : DefaultClientPath());
  std::fflush(stdout);
  WSACleanup();
  return result;
}
