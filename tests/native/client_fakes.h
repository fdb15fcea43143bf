// Recording stand-ins for the client core's tests: the main window, the lobby socket and the
// timers all write into one ordered log, so a test asserts the exact sequence of view calls,
// socket operations and lines sent.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/registry.h"
#include "common/registry_memory.h"
#include "common/timers.h"
#include "cv3client/session/lobby_socket.h"
#include "cv3client/session/session_controller.h"
#include "cv3client/support/client_settings.h"
#include "cv3client/ui/main_view.h"
#include "cv3client/ui/roster.h"

namespace cv3::testing {

using Log = std::vector<std::string>;

inline std::string Describe(const MessageBoxSpec& box) {
  const char* icon = box.icon == BoxIcon::kExclamation ? "exclamation"
                     : box.icon == BoxIcon::kCritical  ? "critical"
                                                       : "other";
  return "box " + box.title + " " + icon + " " + box.text;
}

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

class RecordingMainView : public MainView {
 public:
  explicit RecordingMainView(Log& log) : log_(log) {}

  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    log_.push_back(Describe(box));
    return BoxResult::kOk;
  }
  void SetLogoCaption(const std::string& text) override { log_.push_back("logo " + text); }
  void SetStatusText(const std::string& text) override { log_.push_back("status " + text); }
  void SetMenuEnabled(MenuItem item, bool enabled) override {
    log_.push_back((enabled ? "enable " : "disable ") + Describe(item));
  }
  void SetAdminMenuVisible(bool visible) override {
    log_.push_back(visible ? "admin menu shown" : "admin menu hidden");
  }
  void ShowRoster(bool visible) override {
    log_.push_back(visible ? "roster shown" : "roster hidden");
  }
  std::string SelectedNodeKey() override { return selectedKey; }
  void ShowPopupMenu(PopupMenuId menu) override {
    static const char* names[] = {"status", "games", "users", "login"};
    log_.push_back(std::string("popup ") + names[static_cast<int>(menu)]);
  }
  void ShowLoginWindow() override { log_.push_back("login window"); }
  void ShowAboutWindow() override { log_.push_back("about window"); }
  void ShowCreateIdWindow() override { log_.push_back("create id window"); }
  void ShowReconnectWindow() override { log_.push_back("reconnect window"); }
  void CloseReconnectWindow() override { log_.push_back("close reconnect window"); }
  void RunHidden(const std::string& commandLine) override { log_.push_back("run " + commandLine); }
  void ShowMainWindow() override { log_.push_back("show main window"); }
  void HideMainWindow() override { log_.push_back("hide main window"); }
  void RemoveTrayIcon() override { log_.push_back("remove tray icon"); }
  void UnhookTree() override { log_.push_back("unhook tree"); }
  void CloseFirstChatWindow() override { log_.push_back("close first chat"); }
  void CloseAllChatWindows() override { log_.push_back("close all chats"); }
  void EndProgram() override { log_.push_back("end program"); }

  void TreeClear() override { log_.push_back("tree clear"); }
  bool TreeAdd(const RosterNode& node) override {
    log_.push_back("tree add " + node.key + " under " +
                   (node.parentKey.empty() ? "-" : node.parentKey) + " \"" + node.text +
                   "\" image " + std::to_string(node.image) + " tag " +
                   (node.tag.empty() ? "-" : node.tag) + " colour " + Hex(node.foreColor) +
                   (node.bold ? " bold" : ""));
    return true;
  }
  void TreeRemove(const std::string& key) override { log_.push_back("tree remove " + key); }
  void TreeSetImage(const std::string& key, int image) override {
    log_.push_back("tree image " + key + " " + std::to_string(image));
  }
  void TreeSortAndExpandGroups() override { log_.push_back("tree sort and expand"); }

  std::string selectedKey;

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
  }
  void Connect(const std::string& host, int port) override {
    log_.push_back("connect " + host + ":" + std::to_string(port));
  }
  void Close() override {
    connected = false;
    log_.push_back("close socket");
  }

  bool connected = false;

 private:
  Log& log_;
};

class ManualTimers : public Timers {
 public:
  explicit ManualTimers(Log& log) : log_(log) {}
  void StartTimer(int id, int intervalMs) override {
    running[id] = intervalMs;
    log_.push_back("start timer " + std::to_string(id) + " " + std::to_string(intervalMs));
  }
  void StopTimer(int id) override {
    running.erase(id);
    log_.push_back("stop timer " + std::to_string(id));
  }
  std::map<int, int> running;

 private:
  Log& log_;
};

// A registry over memory with the client's key created, as the start-up leaves it.
struct TestRegistry {
  MemoryRegistry backend;
  std::vector<MessageBoxSpec> formatBoxes;
  Registry registry{backend, [this](const MessageBoxSpec& box) { formatBoxes.push_back(box); },
                    "Corvane"};
  TestRegistry() { registry.CreateKey(settings::kClientKey); }
  void SetDWord(std::string_view name, int32_t value) {
    registry.SetDWord(settings::kClientKey, name, value);
  }
  void SetString(std::string_view name, std::string_view value) {
    registry.SetString(settings::kClientKey, name, value);
  }
  std::string GetString(std::string_view name) {
    return registry.GetString(settings::kClientKey, name);
  }
  DWordValue GetDWord(std::string_view name) {
    return registry.GetDWord(settings::kClientKey, name);
  }
};

// The whole core of the main window, wired as the window wires it.
struct ClientCore {
  Log log;
  RecordingMainView view{log};
  FakeSocket socket{log};
  ManualTimers timers{log};
  TestRegistry settings;
  std::string now = "5/1/2024 6:07:42 PM";  // stamp 51202460742PM
  RosterModel roster{view, settings.registry, [this] { return now; }};
  SessionController session{view, socket, settings.registry, timers, roster};

  // Feeds server lines (each given without CR LF) as one arrival.
  void Receive(std::initializer_list<std::string_view> lines) {
    std::string bytes;
    for (std::string_view line : lines) {
      bytes.append(line);
      bytes.append("\r\n");
    }
    session.OnDataArrival(bytes);
  }
  // The log since the last Take, emptied.
  Log Take() {
    Log taken;
    taken.swap(log);
    return taken;
  }
  // Signs in as name and leaves the log empty, in the Online state with the groups built.
  void SignIn(const std::string& name) {
    session.Values().signedInName = name;
    session.Values().passwordDigest = "D41D8CD98F00B204E9800998ECF8427E";
    session.ConnectToServer();
    socket.connected = true;
    session.OnSocketConnect();
    Receive({"AUTH_ACK:OK", "USERS_ACK", "GAMES_ACK"});
    log.clear();
  }
};

inline constexpr const char* kStamp = "51202460742PM";

}  // namespace cv3::testing
