#include "cv3client/client_core.h"

#include "cv3client/session/login_controller.h"
#include "cv3client/support/preferences.h"
#include "cv3client/ui/about_view.h"

namespace cv3 {

ClientCore::ClientCore(ClientPlatform platform)
    : platform_(std::move(platform)),
      roster_(platform_.tree, platform_.registry, platform_.clock),
      session_({platform_.status, platform_.menus, platform_.messages, platform_.shell,
                platform_.windows, platform_.socket, platform_.registry, platform_.timers,
                platform_.processes, roster_, platform_.wait}),
      chat_({.registry = platform_.registry,
             .deferral = platform_.deferral,
             .makeView = [this] { return platform_.factory.Make<ChatView>(); },
             .send = [this](std::string_view line) { return session_.SendCommand(line); },
             .ownName = [this] { return session_.Values().signedInName; },
             .quitting = [this] { return session_.Values().quitting; },
             .rosterColour = [this] { return roster_.RosterColour(); },
             .playSound = platform_.playMessageSound,
             .doEvents =
                 [this] {
                   if (platform_.wait) platform_.wait(0);
                 }}),
      profile_({.deferral = platform_.deferral,
                .makeView = [this] { return platform_.factory.Make<ProfileView>(); },
                .send = [this](std::string_view line) { return session_.SendCommand(line); },
                .ownName = [this] { return session_.Values().signedInName; }}),
      commands_(platform_.messages, platform_.menus, platform_.shell, platform_.windows, session_,
                roster_, chat_, platform_.registry),
      launcher_({.timers = platform_.timers,
                 .windows = platform_.gameWindows,
                 .processes = platform_.processes,
                 .registry = platform_.registry,
                 .files = platform_.files,
                 .messages = platform_.messages,
                 .programFolder = platform_.programFolder}),
      details_({.deferral = platform_.deferral,
                .registry = platform_.registry,
                .files = platform_.files,
                .starter = launcher_,
                .makeView = [this] { return platform_.factory.Make<GameDetailsView>(); }}),
      host_({.deferral = platform_.deferral,
             .registry = platform_.registry,
             .files = platform_.files,
             .starter = launcher_,
             .messages = platform_.messages,
             .makeView = [this] { return platform_.factory.Make<HostGameView>(); },
             .send = [this](std::string_view line) { return session_.SendCommand(line); },
             .ownName = [this] { return session_.Values().signedInName; },
             .localAddress = [this] { return platform_.socket.LocalAddress(); },
             .programFolder = platform_.programFolder}),
      reconnect_(
          {.status = platform_.status,
           .socket = platform_.socket,
           .timers = platform_.timers,
           .deferral = platform_.deferral,
           .makeView = [this] { return platform_.factory.Make<ReconnectView>(); },
           .lastServer =
               [this] { return std::make_pair(session_.LastHost(), session_.LastPort()); }}) {
  RegisterWindows();
  chat_.Register(session_.Link().Handlers());
  profile_.Register(session_.Link().Handlers());
  details_.Register(session_.Link().Handlers());
  host_.Register(session_.Link().Handlers());
}

void ClientCore::FinishStartup() {
  chat_.CreateHiddenLobby();
  session_.FinishStartup();
}

// One registration per window kind: what opening it means.
void ClientCore::RegisterWindows() {
  platform_.windows.RegisterChatClosers([this] { chat_.CloseFirstChatWindow(); },
                                        [this] { chat_.CloseAllChatWindows(); });
  platform_.windows.Register(WindowKind::kLogin,
                             [this] { platform_.deferral.Defer([this] { OpenLoginWindow(); }); });
  platform_.windows.Register(WindowKind::kAbout,
                             [this] { platform_.deferral.Defer([this] { OpenAboutWindow(); }); });
  platform_.windows.Register(WindowKind::kCreateId, [this] {
    platform_.deferral.Defer([this] { OpenCreateIdWindow(); });
  });
  platform_.windows.Register(WindowKind::kAway,
                             [this] { platform_.deferral.Defer([this] { OpenAwayWindow(); }); });
  // The host window defers itself; a hidden one comes back with its entries.
  platform_.windows.Register(WindowKind::kHostGame, [this] { host_.Open(); });
  platform_.windows.Register(WindowKind::kPreferences, [this] {
    platform_.deferral.Defer([this] { OpenPreferencesWindow(); });
  });
  // The countdown starts at once and the window follows from the top of the loop, so a
  // connection that comes first finds the window already closed.
  platform_.windows.Register(
      WindowKind::kReconnect, [this] { reconnect_.Open(); }, [this] { reconnect_.Close(); });
}

void ClientCore::OpenLoginWindow() {
  std::unique_ptr<LoginView> view = platform_.factory.Make<LoginView>();
  if (!view) return;
  LoginController controller(*view, platform_.registry, session_.Values(), platform_.processes,
                             {[this] { session_.ConnectToServer(); },
                              [this] { platform_.windows.ShowWindow(WindowKind::kCreateId); }});
  view->ShowModal(controller);
}

void ClientCore::OpenCreateIdWindow() {
  if (!createId_) createId_ = platform_.factory.Make<CreateIdView>();
  if (!createId_) return;
  bool unloaded = false;
  CreateIdController controller(*createId_, session_.Values(), platform_.processes,
                                platform_.registry,
                                {[this] { session_.ConnectToServer(); }, [&] { unloaded = true; }});
  createId_->ShowModal(controller);
  if (unloaded) createId_.reset();
}

void ClientCore::OpenAwayWindow() {
  if (!away_) away_ = platform_.factory.Make<AwayView>();
  if (!away_) return;
  AwayController controller(*away_,
                            [this](const std::string& line) { session_.SendCommand(line); });
  away_->ShowModal(controller);
}

void ClientCore::OpenPreferencesWindow() {
  std::unique_ptr<PreferencesView> view = platform_.factory.Make<PreferencesView>();
  if (!view) return;
  PreferencesController controller(
      *view, {platform_.registry, roster_, session_.Values(), platform_.programFolder});
  view->ShowModal(controller);
}

void ClientCore::OpenAboutWindow() {
  std::unique_ptr<AboutView> view = platform_.factory.Make<AboutView>();
  if (view) view->ShowModal([this] { commands_.AboutWebSite_Click(); });
}

}  // namespace cv3
