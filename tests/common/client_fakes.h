// Recording stand-ins for the client core's tests and benchmarks: the main window's roles, the
// lobby socket and the timers all write into one ordered log, so a test asserts the exact sequence
// of view calls, socket operations and lines sent.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/fake_files.h"
#include "common/fake_game_windows.h"
#include "common/fake_processes.h"
#include "common/manual_timers.h"
#include "common/registry.h"
#include "common/registry_memory.h"
#include "common/timers.h"
#include "cv3client/client_core.h"
#include "cv3client/model/roster.h"
#include "cv3client/model/views.h"
#include "cv3client/model/window_factory.h"
#include "cv3client/session/lobby_socket.h"
#include "cv3client/session/session_controller.h"
#include "cv3client/support/client_settings.h"

namespace cv3::testing {

inline std::string Describe(const MessageBoxSpec& box) {
  const char* icon = box.icon == BoxIcon::kExclamation ? "exclamation"
                     : box.icon == BoxIcon::kCritical  ? "critical"
                                                       : "other";
  return "box " + box.title + " " + icon + " " + box.text;
}

// A box as the log shows it; a question says so, since its answer matters.
inline std::string DescribeBox(const MessageBoxSpec& box) {
  return Describe(box) + (box.buttons == BoxButtons::kYesNo ? " [yes/no]" : "");
}

// A fake window over View that writes what happens to it into the test's log: its boxes as
// DescribeBox shows them, each answered OK.
template <class View>
class LoggingView : public View {
 public:
  explicit LoggingView(Log& log) : log_(log) {}
  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    log_.push_back(DescribeBox(box));
    return BoxResult::kOk;
  }

 protected:
  Log& log_;
};

inline std::string Describe(MenuItem item) {
  switch (item) {
    case MenuItem::kEditProfile:
      return "EditProfile";
    case MenuItem::kLogin:
      return "Login";
    case MenuItem::kDisconnect:
      return "Disconnect";
  }
  return "?";
}

inline std::string Hex(uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X", colour);
  return text;
}

// The main window's roles, recorded. The window opener also runs what the core registered, as
// the program's opener does.
class RecordingViews : public StatusView,
                       public MenuView,
                       public MessageView,
                       public ShellView,
                       public RosterView,
                       public WindowOpener {
 public:
  explicit RecordingViews(Log& log) : log_(log) {}

  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    Record(Describe(box));
    RunWhileOpen();
    return BoxResult::kOk;
  }
  std::string InputBox(const std::string& prompt, const std::string& title,
                       const std::string& defaultText) override {
    Record("input box " + title + " " + prompt + " [" + defaultText + "]");
    RunWhileOpen();
    return inputAnswer;
  }
  void SetLogoCaption(const std::string& text) override { Record("logo " + text); }
  void SetStatusText(const std::string& text) override { Record("status " + text); }
  void SetMenuEnabled(MenuItem item, bool enabled) override {
    Record((enabled ? "enable " : "disable ") + Describe(item));
  }
  void SetAdminMenuVisible(bool visible) override {
    Record(visible ? "admin menu shown" : "admin menu hidden");
  }
  void ShowRoster(bool visible) override { Record(visible ? "roster shown" : "roster hidden"); }
  std::string SelectedNodeKey() override { return selectedKey; }
  void ShowPopupMenu(PopupMenuId menu) override {
    static const char* names[] = {"status", "games", "users", "login"};
    Record(std::string("popup ") + names[static_cast<int>(menu)]);
    RunWhileOpen();
  }
  void Register(WindowKind kind, Action show, Action close) override {
    registered[kind] = {std::move(show), std::move(close)};
  }
  void ShowWindow(WindowKind kind) override {
    Record(std::string(WindowKindName(kind)) + " window");
    if (registered[kind].show) registered[kind].show();
  }
  void CloseWindow(WindowKind kind) override {
    Record("close " + std::string(WindowKindName(kind)) + " window");
    if (registered[kind].close) registered[kind].close();
  }
  void ShowMainWindow() override { Record("show main window"); }
  void HideMainWindow() override { Record("hide main window"); }
  void RemoveTrayIcon() override { Record("remove tray icon"); }
  void UnhookTree() override { Record("unhook tree"); }
  void RegisterChatClosers(Action closeFirst, Action closeAll) override {
    closeFirstChat = std::move(closeFirst);
    closeAllChats = std::move(closeAll);
  }
  void CloseFirstChatWindow() override {
    Record("close first chat");
    if (closeFirstChat) closeFirstChat();
  }
  void CloseAllChatWindows() override {
    Record("close all chats");
    if (closeAllChats) closeAllChats();
  }
  void EndProgram() override { Record("end program"); }

  void TreeClear() override { Record("tree clear"); }
  bool TreeAdd(const RosterNode& node) override {
    if (record) {
      Record("tree add " + node.key + " under " + (node.parentKey.empty() ? "-" : node.parentKey) +
             " \"" + node.text + "\" image " + std::to_string(node.image) + " tag " +
             (node.tag.empty() ? "-" : node.tag) + " colour " + Hex(node.foreColor) +
             (node.bold ? " bold" : ""));
    }
    return true;
  }
  void TreeRemove(const std::string& key) override { Record("tree remove " + key); }
  void TreeSetImage(const std::string& key, int image) override {
    Record("tree image " + key + " " + std::to_string(image));
  }
  void TreeSortAndExpandGroups() override { Record("tree sort and expand"); }

  std::string selectedKey;
  std::string inputAnswer;  // what the next input box returns
  // Runs once inside the next message box, popup menu or input box, as events run while it is open.
  std::function<void()> whileOpen;
  bool record = true;  // benchmarks turn the log off
  struct Actions {
    Action show;
    Action close;
  };
  std::map<WindowKind, Actions> registered;
  Action closeFirstChat, closeAllChats;

 private:
  void Record(std::string entry) {
    if (record) log_.push_back(std::move(entry));
  }
  void RunWhileOpen() {
    if (auto events = std::exchange(whileOpen, nullptr)) events();
  }
  Log& log_;
};

// Deferred work waits until the test runs it, as it would wait for the top of the message loop.
class ManualDeferral : public Deferral {
 public:
  void Defer(std::function<void()> work) override { queue.push_back(std::move(work)); }
  // Runs what is queued now and what that queues in turn.
  void RunDeferred() {
    while (!queue.empty()) {
      std::function<void()> work = std::move(queue.front());
      queue.pop_front();
      work();
    }
  }
  std::deque<std::function<void()>> queue;
};

// Processes whose starts, launches and terminations are written into the log: "run " for a
// hidden start, "run minimized " for a minimised one (activated or not), "run normal ",
// "run maximized "; "end launch N" when the Nth launch is ended.
class LoggingProcesses : public FakeProcesses {
 public:
  explicit LoggingProcesses(Log& log) : log_(log) {}
  bool Start(const std::string& commandLine, const std::string& currentDirectory,
             ShowMode show) override {
    static const std::map<ShowMode, std::string> kModes = {
        {ShowMode::kHidden, ""},
        {ShowMode::kNormal, "normal "},
        {ShowMode::kMaximized, "maximized "},
        {ShowMode::kMinimized, "minimized "},
        {ShowMode::kMinimizedNoActivate, "minimized "}};
    log_.push_back("run " + kModes.at(show) + commandLine);
    return FakeProcesses::Start(commandLine, currentDirectory, show);
  }
  bool Terminate(uint32_t id) override {
    log_.push_back("terminate " + std::to_string(id));
    return FakeProcesses::Terminate(id);
  }
  void Ended(int launch) override {
    log_.push_back("end launch " + std::to_string(launch));
    FakeProcesses::Ended(launch);
  }

 private:
  Log& log_;
};

class FakeSocket : public LobbySocket {
 public:
  explicit FakeSocket(Log& log) : log_(log) {}
  bool IsConnected() const override { return connected; }
  void SendData(std::string_view bytes) override {
    std::string text(bytes);
    while (!text.empty()) {
      size_t end = text.find("\r\n");
      log_.push_back("send " + text.substr(0, end));
      text = end == std::string::npos ? std::string() : text.substr(end + 2);
    }
    if (whileSending) whileSending();
  }
  void Connect(const std::string& host, int port) override {
    log_.push_back("connect " + host + ":" + std::to_string(port));
  }
  void Close() override {
    connected = false;
    log_.push_back("close socket");
  }
  std::string LocalAddress() const override { return connected ? localAddress : std::string(); }

  bool connected = false;
  std::string localAddress = "203.0.113.7";
  // Runs inside each send, as window events run during the real send's wait.
  std::function<void()> whileSending;

 private:
  Log& log_;
};

// A registry over memory with the client's key created, as the start-up leaves it.
struct TestRegistry {
  MemoryRegistry backend;
  std::vector<MessageBoxSpec> formatBoxes;
  Registry registry{backend, [this](const MessageBoxSpec& box) { formatBoxes.push_back(box); },
                    "Corvane"};
  explicit TestRegistry(bool withClientKey = true) {
    if (withClientKey) registry.CreateKey(settings::kClientKey);
  }
  void SetDWord(std::string_view name, int32_t value) {
    registry.SetDWord(settings::kClientKey, name, value);
  }
  void SetString(std::string_view name, std::string_view value) {
    registry.SetString(settings::kClientKey, name, value);
  }
  std::string GetString(std::string_view name) {
    return registry.GetString(settings::kClientKey, name, 1 << 20);  // what is stored, whole
  }
  DWordValue GetDWord(std::string_view name) {
    return registry.GetDWord(settings::kClientKey, name);
  }
};

// The client's core as the program wires it, over recording parts. The socket is the test's
// choice: a recording one, or a real one against lobbyd.
template <class Socket>
struct BasicClientHarness {
  // A first start: the registry without the client's key.
  struct FreshInstall {};
  BasicClientHarness() = default;
  explicit BasicClientHarness(FreshInstall) : settings(false) {}

  Log log;
  RecordingViews view{log};
  Socket socket{log};
  ManualTimers timers{log};
  LoggingProcesses processes{log};
  FakeGameWindows gameWindows;
  FakeFiles files;
  TestRegistry settings;
  ManualDeferral deferral;
  WindowFactory factory;
  std::string now = "5/1/2024 6:07:42 PM";  // stamp 51202460742PM
  RosterModel::Clock clock = [this] { return now; };
  ClientCore core{ClientPlatform{.status = view,
                                 .menus = view,
                                 .messages = view,
                                 .shell = view,
                                 .tree = view,
                                 .windows = view,
                                 .deferral = deferral,
                                 .factory = factory,
                                 .socket = socket,
                                 .registry = settings.registry,
                                 .timers = timers,
                                 .processes = processes,
                                 .gameWindows = gameWindows,
                                 .files = files,
                                 .programFolder = "C:\\Corvane",
                                 .wait = {},
                                 .clock = [this] { return clock(); },
                                 .playMessageSound = [this] { log.push_back("play sound"); }}};
  SessionController& session = core.Session();
  RosterModel& roster = core.Roster();
  MainCommands& commands = core.Commands();

  // Feeds server lines (each given without CR LF) as one arrival.
  void Receive(std::initializer_list<std::string_view> lines) { ReceiveAll(lines); }
  template <class Lines>
  void ReceiveAll(const Lines& lines) {
    std::string bytes;
    for (std::string_view line : lines) {
      bytes.append(line);
      bytes.append("\r\n");
    }
    core.OnDataArrival(bytes);
  }
  // The socket reports the end of its connection.
  void SocketCloses(SocketClose kind) {
    socket.connected = false;
    core.OnSocketClose(kind);
  }
  // The log since the last Take, emptied.
  Log Take() { return std::exchange(log, {}); }
  // Signs in as name and leaves the log empty, in the Online state with the groups built.
  void SignIn(const std::string& name) requires std::is_same_v<Socket, FakeSocket> {
    session.SignInAs(name, "D41D8CD98F00B204E9800998ECF8427E");
    session.ConnectToServer();
    socket.connected = true;
    core.OnSocketConnect();
    Receive({"AUTH_ACK:OK", "USERS_ACK", "GAMES_ACK"});
    log.clear();
  }
};

using ClientHarness = BasicClientHarness<FakeSocket>;

inline constexpr const char* kStamp = "51202460742PM";

// An "Ignored" list of pilot0,pilot6,... at least `bytes` long: past the registry's usual buffer.
inline std::string LongIgnoredList(size_t bytes) {
  std::string list;
  while (list.size() < bytes) list += "pilot" + std::to_string(list.size()) + ",";
  return list;
}

}  // namespace cv3::testing
