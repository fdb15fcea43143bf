// The client's one wiring: owns the server link, the session, the roster, the game launcher and
// every window, and takes the main window's and the socket's events. The program, the tests and
// the benchmarks construct this same object with real or fake parts. UI thread only.
#pragma once

#include <string>
#include <string_view>

#include "cv3client/games/launcher.h"
#include "cv3client/model/roster.h"
#include "cv3client/model/window_wiring.h"
#include "cv3client/session/server_link.h"
#include "cv3client/session/session_controller.h"
#include "cv3client/ui/main_commands.h"
#include "cv3client/ui/main_window_events.h"
#include "cv3client/wiring/about_window.h"
#include "cv3client/wiring/away_window.h"
#include "cv3client/wiring/chat_windows.h"
#include "cv3client/wiring/client_platform.h"
#include "cv3client/wiring/create_id_window.h"
#include "cv3client/wiring/game_details_window.h"
#include "cv3client/wiring/host_game_window.h"
#include "cv3client/wiring/login_window.h"
#include "cv3client/wiring/preferences_window.h"
#include "cv3client/wiring/profile_window.h"
#include "cv3client/wiring/reconnect_window.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

// Every window of the client, each wired in its own file below wiring/. A new window adds its
// file there and its name here.
using ClientWindows =
    WindowList<LoginWindow, CreateIdWindow, AboutWindow, AwayWindow, PreferencesWindow, ChatWindows,
               ProfileWindow, GameDetailsWindow, HostGameWindow, ReconnectWindow>;

class ClientCore : public MainWindowEvents {
 public:
  explicit ClientCore(ClientPlatform platform);
  ClientCore(const ClientCore&) = delete;
  ClientCore& operator=(const ClientCore&) = delete;

  SessionController& Session() { return session_; }
  RosterModel& Roster() { return roster_; }
  MainCommands& Commands() { return commands_; }
  ReconnectController& Reconnect() { return windows_.Reconnect(); }
  ChatRouter& Chat() { return windows_.Chat(); }
  GameLauncher& Launcher() { return launcher_; }

  // The first window whose view the platform's factory has no maker for (it could never open);
  // empty when every window has one. The program checks it at start-up.
  std::string MissingWindowMaker() const { return wiring_.MissingMaker(); }

  // The main window has loaded: the lobby window is made hidden when BuffLobby is 1, then the
  // session shows the window and signs in (SessionController::FinishStartup).
  void FinishStartup();

  // Socket events of wskChat, from the message loop.
  void OnSocketConnect() { session_.OnSocketConnect(); }
  void OnSocketClose(SocketClose kind) { session_.OnSocketClose(kind); }
  void OnSocketError() { session_.OnSocketError(); }
  void OnSocketInsecure(const TlsFailure& failure) { session_.OnSocketInsecure(failure); }
  void OnDataArrival(std::string_view bytes) { session_.OnDataArrival(bytes); }

  // MainWindowEvents
  void OnCommand(MainCommand command) override { commands_.Execute(command); }
  void OnTreeDoubleClick() override { commands_.tvObjects_DblClick(); }
  void OnTreeRightClick() override { commands_.tvObjects_MouseUp(2); }
  void OnToolbarDropDown(int button) override { commands_.barTool_ButtonDropDown(button); }
  void OnStatusPanelClick() override { commands_.barStatus_PanelClick(); }
  void OnTrayMouse(const std::string& action) override { commands_.TrayMouse(action); }
  bool OnCloseRequested() override { return session_.MainWindowCloseRequested(); }

 private:
  ClientPlatform platform_;
  RosterModel roster_;
  // The one connection's lines: every part sends through it and registers its own lines.
  ServerLink link_;
  SessionController session_;
  GameLauncher launcher_;
  WindowWiring wiring_;
  WindowParts parts_;
  ClientWindows windows_;
  MainCommands commands_;
};

}  // namespace cv3
