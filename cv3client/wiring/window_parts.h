// What every window's wiring may use, and the list type that builds them all. Each window of the
// client has one file here that registers, in its constructor, how it opens, the lines it
// handles and the maker of its view (see WindowWiring); ClientCore lists them once.
#pragma once

#include <functional>
#include <string_view>
#include <utility>

#include "cv3client/games/launcher.h"
#include "cv3client/model/roster.h"
#include "cv3client/model/window_wiring.h"
#include "cv3client/session/session_controller.h"
#include "cv3client/wiring/client_platform.h"

namespace cv3 {

class MainCommands;

// The core's parts the windows share. All outlive the windows.
struct WindowParts {
  const ClientPlatform& platform;
  SessionController& session;
  RosterModel& roster;
  std::function<bool(std::string_view line)> send;  // the server link's SendCommand
  GameLauncher& launcher;
  // Made after the windows (the main window's commands lead to the chat windows); only used
  // once a window is open.
  MainCommands& commands;

  // Opening a modal window from the top of the message loop, as every modal window opens.
  WindowOpener::Action Deferred(std::function<void()> open) const {
    return [&deferral = platform.deferral, open = std::move(open)] { deferral.Defer(open); };
  }
};

// Every window of a list, built in order over the same wiring and parts.
template <class... Windows>
class WindowList : public Windows... {
 public:
  WindowList(WindowWiring& wiring, const WindowParts& parts) : Windows(wiring, parts)... {}
};

}  // namespace cv3
