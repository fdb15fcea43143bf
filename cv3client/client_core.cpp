#include "cv3client/client_core.h"

namespace cv3 {

ClientCore::ClientCore(ClientPlatform platform)
    : platform_(std::move(platform)),
      roster_(platform_.tree, platform_.registry, platform_.clock),
      link_(platform_.socket,
            LinkHooks{[this] { session_.SendWithoutConnection(); }, platform_.wait}),
      session_({platform_.status, platform_.menus, platform_.messages, platform_.shell,
                platform_.windows, platform_.socket, link_, platform_.registry, platform_.timers,
                platform_.processes, roster_}),
      launcher_({.timers = platform_.timers,
                 .windows = platform_.gameWindows,
                 .processes = platform_.processes,
                 .registry = platform_.registry,
                 .files = platform_.files,
                 .messages = platform_.messages,
                 .programFolder = platform_.programFolder}),
      wiring_(platform_.windows, link_.Handlers(), platform_.factory),
      parts_{.platform = platform_,
             .session = session_,
             .roster = roster_,
             .send = [this](std::string_view line) { return link_.SendCommand(line); },
             .launcher = launcher_,
             .commands = commands_},
      windows_(wiring_, parts_),
      commands_(platform_.messages, platform_.menus, platform_.shell, platform_.windows, session_,
                parts_.send, roster_, windows_.Chat(), platform_.registry) {
  session_.Register(link_.Handlers());
}

void ClientCore::FinishStartup() {
  windows_.Chat().CreateHiddenLobby();
  session_.FinishStartup();
}

}  // namespace cv3
