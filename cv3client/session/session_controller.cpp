#include "cv3client/session/session_controller.h"

#include <charconv>
#include <utility>

#include "cv3client/support/client_settings.h"
#include "cv3client/support/system_info.h"
#include "cv3client/support/web_pages.h"
#include "protocol/catalogue.h"
#include "protocol/session_messages.h"
#include "protocol/text_helpers.h"

namespace cv3 {
namespace {

// "CvPort" as typed in the preferences: decimal digits, perhaps with spaces around them.
std::optional<int> PortFromText(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int port = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || port < 1 ||
      port > 65535) {
    return std::nullopt;
  }
  return port;
}

}  // namespace

MessageBoxSpec AnotherInstanceBox(std::string_view exeName) {
  return WarningBox("Another instance of " + std::string(exeName) + " is already running!");
}

std::string TlsFailureText(std::string_view host, int port, const TlsFailure& failure) {
  std::string reason;
  switch (failure.problem) {
    case TlsProblem::kNameMismatch:
      reason = "The server's certificate is not for \"" + std::string(host) + "\".";
      break;
    case TlsProblem::kExpired:
      reason = "The server's certificate has expired.";
      break;
    case TlsProblem::kUntrusted:
      reason =
          "The server's certificate is not trusted by Windows. If your community uses its own "
          "certificate, enter its pin in the preferences.";
      break;
    case TlsProblem::kPinMismatch:
      reason = "The server's key does not match the pin in the preferences.";
      break;
    case TlsProblem::kBadPin:
      reason = "The pin in the preferences is not a valid pin-sha256 value.";
      break;
    case TlsProblem::kHandshake:
      reason = "The secure connection failed (" + StatusText(failure.status) + ").";
      break;
  }
  return "Corvane could not connect securely to " + std::string(host) + ":" + std::to_string(port) +
         ", so nothing was sent.\n\n" + reason;
}

SessionController::SessionController(SessionParts parts)
    : status_(parts.status),
      menus_(parts.menus),
      messages_(parts.messages),
      shell_(parts.shell),
      windows_(parts.windows),
      socket_(parts.socket),
      registry_(parts.registry),
      timers_(parts.timers),
      processes_(parts.processes),
      roster_(parts.roster),
      link_(parts.link),
      presence_(messages_, status_, menus_, roster_,
                Presence::Hooks{[this] { return identity_.name; },
                                [this](SessionEnd why) { EndSession(why); }}) {}

void SessionController::Register(Dispatcher& handlers) {
  using S = const std::string&;
  handlers.On(std::string(msg::kAuthAck), [this](S args) { OnAuthAck(args); });
  handlers.On(std::string(msg::kUser), [this](S args) { OnUser(args); });
  handlers.On(std::string(msg::kGame), [this](S args) { OnGame(args); });
  handlers.On(std::string(msg::kUsersAck), [this](S) { OnUsersAck(); });
  handlers.On(std::string(msg::kGamesAck), [this](S) { OnGamesAck(); });
  handlers.On(std::string(msg::kVersionAck), [this](S args) { OnVersionAck(args); });
  handlers.On(std::string(msg::kQuitAck), [this](S args) { OnQuitAck(args); });
  handlers.On(std::string(msg::kDisconnectAck),
              [this](S) { EndSession(SessionEnd::kDisconnected); });
  presence_.Register(handlers);
}

void SessionController::SignInAs(std::string name, std::string passwordDigest) {
  identity_.name = std::move(name);
  identity_.passwordDigest = std::move(passwordDigest);
}

void SessionController::CreateAccount(std::string name, std::string passwordDigest,
                                      std::string email) {
  SignInAs(std::move(name), std::move(passwordDigest));
  identity_.email = std::move(email);
  identity_.creatingAccount = true;
}

bool SessionController::Startup(std::string_view winVersion) {
  osMajorVersion_ = cv3::OsMajorVersion(winVersion);
  return registry_.CreateKey(settings::kClientKey);
}

void SessionController::FinishStartup() {
  mainWindowLoaded_ = true;
  shell_.ShowMainWindow();
  if (settings::FlagIsOn(registry_, settings::kAutoLogin)) {
    SignInAs(settings::TextOrEmpty(registry_, settings::kUsername),
             settings::TextOrEmpty(registry_, settings::kPassword));
    ConnectToServer();
  } else {
    windows_.ShowWindow(WindowKind::kLogin);
  }
}

std::string LoadErrorText(std::string_view missingWindow) {
  std::string text(kLoadErrorText);
  if (!missingWindow.empty())
    text += "\n\nNo maker for the window " + std::string(missingWindow) + ".";
  return text;
}

void SessionController::StartupFailed(std::string_view missingWindow) {
  messages_.ShowMessage(ErrorBox(LoadErrorText(missingWindow)));
  shell_.RemoveTrayIcon();
  shell_.EndProgram();
}

void SessionController::ConnectToServer() {
  menus_.SetMenuEnabled(MenuItem::kLogin, false);
  menus_.SetMenuEnabled(MenuItem::kDisconnect, true);
  socket_.Close();
  closeWaiting_ = false;
  // Both values are missing until the preferences are first saved; the lobby's usual endpoint
  // stands in for a missing or unusable one rather than failing the connection.
  std::string host = settings::TextOrEmpty(registry_, settings::kCvAddress);
  lastHost_ = host.empty() ? std::string(kDefaultServerHost) : host;
  lastPort_ = PortFromText(settings::TextOrEmpty(registry_, settings::kCvPort))
                  .value_or(kDefaultServerPort);
  SetProgress(kStatusConnecting);
  socket_.Connect(lastHost_, lastPort_);
}

void SessionController::OnSocketConnect() {
  link_.StartConnection();
  closeWaiting_ = false;
  end_ = SessionEnd::kNone;
  windows_.CloseWindow(WindowKind::kReconnect);
  // A reconnect's retry connects the socket without ConnectToServer: the menus follow the
  // connection, however it was started.
  menus_.SetMenuEnabled(MenuItem::kLogin, false);
  menus_.SetMenuEnabled(MenuItem::kDisconnect, true);
  if (!identity_.creatingAccount) {
    SetProgress(kStatusConnected);
    SendCommand(AuthCommand(identity_.name, identity_.passwordDigest));
  } else {
    identity_.creatingAccount = false;
    SetProgress(kStatusCreatingId);
    SendCommand(CreateCommand(identity_.name, identity_.passwordDigest, identity_.email));
  }
}

void SessionController::OnSocketClose(SocketClose kind) {
  // Whoever closed the socket on our side has already dealt with the session.
  if (kind == SocketClose::kCancelled) return;
  if (link_.Handling()) {
    // The server's last lines come first. NOTHERCATION (no reconnect) or ERROR may be showing
    // its box; the close must neither reset under it nor start a reconnect that would sign in
    // again behind it.
    if (!std::exchange(closeWaiting_, true)) resetsAtClose_ = resets_;
    return;
  }
  ConnectionGone();
}

void SessionController::OnSocketInsecure(const TlsFailure& failure) {
  windows_.CloseWindow(WindowKind::kReconnect);
  messages_.ShowMessage(ErrorBox(TlsFailureText(lastHost_, lastPort_, failure)));
  EndSession(SessionEnd::kRefused);
}

void SessionController::OnDataArrival(std::string_view bytes) {
  {
    RosterModel::Batch batch(roster_);
    link_.DataArrival(bytes);
  }
  if (!closeWaiting_ || link_.Handling()) return;
  closeWaiting_ = false;
  // One reset per loss: a line before the close ended the session already.
  if (resets_ == resetsAtClose_) ConnectionGone();
}

void SessionController::ConnectionGone() {
  if (quitting_) {
    // The program is only waiting for "QUIT_ACK", which can no longer come.
    timers_.StopTimer(kQuitAckTimerId);
    shell_.EndProgram();
    return;
  }
  EndSession(end_ == SessionEnd::kDisconnected ? SessionEnd::kDisconnected : SessionEnd::kLost);
}

void SessionController::OnAuthAck(std::string_view result) {
  if (result == msg::kOk) {
    signedIn_ = true;
    menus_.SetMenuEnabled(MenuItem::kEditProfile, true);
    roster_.BuildRosterTree();
    SetProgress(kStatusLoadingUsers);
    SendCommand(msg::kUsers);
    return;
  }
  std::string_view text;
  if (result == msg::kFailed) {
    text = kInvalidLoginText;
  } else if (result == msg::kSuspended) {
    text = kSuspendedText;
  } else if (result == msg::kPermban) {
    text = kBannedText;
  } else {
    return;
  }
  messages_.ShowMessage(WarningBox(std::string(text)));
  EndSession(SessionEnd::kRefused);
}

void SessionController::OnUser(std::string_view args) {
  UserItem item = ParseUserItem(args);
  if (SameName(item.name, identity_.name)) return;
  roster_.AddRosterNode(item.kind, item.name, item.note);
}

void SessionController::OnGame(std::string_view args) {
  GameItem item = ParseGameItem(args);
  roster_.AddRosterNode(kKindGame, item.name, item.up ? kImageGameUp : kImageGameDown);
}

void SessionController::OnUsersAck() {
  SetProgress(kStatusLoadingGames);
  SendCommand(msg::kGames);
}

void SessionController::OnGamesAck() {
  roster_.SortAndExpandGroups();
  status_.SetStatusText(std::string(kStatusOnline));
  status_.ShowRoster(true);
  SendCommand(VersionCommand(kClientVersionMajor, kClientVersionMinor, kClientVersionRevision));
}

void SessionController::OnVersionAck(std::string_view verdict) {
  if (verdict != msg::kUpdate) return;
  messages_.ShowMessage(WarningBox(std::string(kNewVersionText)));
  OpenWebPage(WebSitePage(registry_, kDownloadsPath));
}

void SessionController::OnQuitAck(std::string_view result) {
  if (result != msg::kOk) return;
  socket_.Close();
  QuitClient();
}

void SessionController::ResetSession() {
  socket_.Close();
  roster_.Clear();
  menus_.SetMenuEnabled(MenuItem::kEditProfile, false);
  status_.SetLogoCaption(std::string(kLogoIdle));
  status_.SetStatusText(std::string(kStatusNotConnected));
  status_.ShowRoster(false);
  menus_.SetMenuEnabled(MenuItem::kLogin, true);
  menus_.SetMenuEnabled(MenuItem::kDisconnect, false);
  ++resets_;
  // Only the end of a signed-in session closes a conversation: the failed retries of an outage
  // would otherwise close one window after another (their text lost when not buffered).
  if (std::exchange(signedIn_, false)) windows_.CloseFirstChatWindow();
}

void SessionController::EndSession(SessionEnd why) {
  ResetSession();
  end_ = why;
  if (why == SessionEnd::kLost) StartReconnect();
}

void SessionController::SendWithoutConnection() {
  if (end_ != SessionEnd::kNone && end_ != SessionEnd::kLost) {
    messages_.ShowMessage(WarningBox(std::string(kNotConnectedText)));
    return;
  }
  messages_.ShowMessage(ErrorBox(std::string(kConnectionLostText)));
  EndSession(SessionEnd::kLost);
}

void SessionController::StartReconnect() {
  if (settings::FlagIsOn(registry_, settings::kReconnect))
    windows_.ShowWindow(WindowKind::kReconnect);
}

void SessionController::QuitClient() {
  quitting_ = true;
  shell_.RemoveTrayIcon();
  if (!settings::PlainLook(registry_)) shell_.UnhookTree();
  windows_.CloseAllChatWindows();
  if (socket_.IsConnected()) {
    SendCommand(msg::kQuit);
    // The server may never answer; the program must end all the same.
    timers_.StartTimer(kQuitAckTimerId, kQuitAckTimeoutMs, [this] { QuitAckTimeout(); });
  } else {
    timers_.StopTimer(kQuitAckTimerId);
    shell_.EndProgram();
  }
}

void SessionController::mnuLogin_Click() { windows_.ShowWindow(WindowKind::kLogin); }

void SessionController::mnuDisconnect_Click() {
  if (socket_.IsConnected()) {
    end_ = SessionEnd::kDisconnected;
    SendCommand(msg::kDisconnect);
  } else {
    EndSession(SessionEnd::kDisconnected);
  }
}

void SessionController::mnuExit_Click() {
  shell_.HideMainWindow();
  QuitClient();
}

bool SessionController::MainWindowCloseRequested() {
  if (!quitting_ && mainWindowLoaded_) {
    shell_.HideMainWindow();
    return false;
  }
  return true;
}

void SessionController::QuitAckTimeout() {
  timers_.StopTimer(kQuitAckTimerId);
  if (quitting_) shell_.EndProgram();
}

void SessionController::OpenWebPage(std::string_view url) {
  processes_.Start(WebPageCommand(osMajorVersion_, url), "", ShowMode::kHidden);
}

void SessionController::SetProgress(std::string_view text) {
  status_.SetLogoCaption(std::string(text));
  status_.SetStatusText(std::string(text));
}

}  // namespace cv3
