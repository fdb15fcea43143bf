// The client's one wiring: builds every controller from the platform's parts, registers their
// line handlers and their windows, and takes the main window's and the socket's events. The
// program, the tests and the benchmarks construct this same object with real or fake parts; a
// new feature adds its files and one registration here. UI thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/deferral.h"
#include "common/files.h"
#include "common/game_windows.h"
#include "common/processes.h"
#include "common/registry.h"
#include "common/timers.h"
#include "cv3client/games/game_details.h"
#include "cv3client/games/host_game.h"
#include "cv3client/games/launcher.h"
#include "cv3client/session/create_id.h"
#include "cv3client/session/lobby_socket.h"
#include "cv3client/session/reconnect.h"
#include "cv3client/session/session_controller.h"
#include "cv3client/ui/away.h"
#include "cv3client/ui/chat.h"
#include "cv3client/ui/main_commands.h"
#include "cv3client/ui/main_window_events.h"
#include "cv3client/ui/profile.h"
#include "cv3client/ui/roster.h"
#include "cv3client/ui/views.h"
#include "cv3client/window_factory.h"

namespace cv3 {

// The platform's parts. All outlive the core.
struct ClientPlatform {
  // The main window's roles (frmMain in the program).
  StatusView& status;
  MenuView& menus;
  MessageView& messages;
  ShellView& shell;
  RosterView& tree;
  WindowOpener& windows;
  // Work for the top of the message loop: modal windows open there.
  Deferral& deferral;
  // The windows that come and go, by their view kinds.
  const WindowFactory& factory;
  LobbySocket& socket;  // wskChat
  Registry& registry;
  Timers& timers;
  Processes& processes;
  // The game's windows and files, for starting and driving the game.
  GameWindows& gameWindows;
  Files& files;
  // The client program's own folder (where cv3guard.exe lives).
  std::string programFolder;
  // WaitWhileProcessing for the pause after each send; empty for none (tests).
  std::function<void(int ms)> wait;
  // The roster's date and time text.
  RosterModel::Clock clock = SystemDateTimeText;
  // The chat windows' message sound; empty for none.
  std::function<void()> playMessageSound = {};
};

class ClientCore : public MainWindowEvents {
 public:
  explicit ClientCore(ClientPlatform platform);
  ClientCore(const ClientCore&) = delete;
  ClientCore& operator=(const ClientCore&) = delete;

  SessionController& Session() { return session_; }
  RosterModel& Roster() { return roster_; }
  MainCommands& Commands() { return commands_; }
  ReconnectController& Reconnect() { return reconnect_; }
  ChatRouter& Chat() { return chat_; }
  GameLauncher& Launcher() { return launcher_; }

  // The main window has loaded: the lobby window is made hidden when BuffLobby is 1, then the
  // session shows the window and signs in (SessionController::FinishStartup).
  void FinishStartup();

  // Socket events of wskChat, from the message loop.
  void OnSocketConnect() { session_.OnSocketConnect(); }
  void OnSocketClose(SocketClose kind) { session_.OnSocketClose(kind); }
  void OnSocketError() { session_.OnSocketError(); }
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
  void RegisterWindows();
  void OpenLoginWindow();
  void OpenAboutWindow();
  void OpenCreateIdWindow();
  void OpenAwayWindow();
  void OpenPreferencesWindow();

  ClientPlatform platform_;
  RosterModel roster_;
  SessionController session_;
  ChatRouter chat_;
  ProfileController profile_;
  MainCommands commands_;
  GameLauncher launcher_;
  GameDetailsController details_;
  HostGameController host_;
  ReconnectController reconnect_;
  // Windows kept hidden between uses, so they offer their entries again.
  std::unique_ptr<CreateIdView> createId_;
  std::unique_ptr<AwayView> away_;
};

}  // namespace cv3
