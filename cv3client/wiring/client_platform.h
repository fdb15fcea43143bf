// What the program (or a test) gives the client's core: the main window's roles and the platform's
// services, real or fake.
#pragma once

#include <functional>
#include <string>

#include "common/deferral.h"
#include "common/files.h"
#include "common/game_windows.h"
#include "common/processes.h"
#include "common/registry.h"
#include "common/timers.h"
#include "cv3client/model/roster.h"
#include "cv3client/model/views.h"
#include "cv3client/model/window_factory.h"
#include "cv3client/session/lobby_socket.h"

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

}  // namespace cv3
