// The session with the lobby server (frmMain's side of it): start-up, connecting, the sign-in
// sequence (AUTH, USERS, GAMES, VERSION), the session messages, `ResetSession`, `QuitClient`,
// Disconnect and Exit, and who the client signs in as. ClientCore owns the server link and
// forwards the socket events, timer ticks and close requests here. UI thread only; nothing here
// throws: failures are message boxes through the view.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/processes.h"
#include "common/registry.h"
#include "common/timers.h"
#include "common/tls_trust.h"
#include "cv3client/model/identity.h"
#include "cv3client/model/roster.h"
#include "cv3client/model/views.h"
#include "cv3client/session/lobby_socket.h"
#include "cv3client/session/presence.h"
#include "cv3client/session/server_link.h"
#include "cv3client/session/session_end.h"

namespace cv3 {

inline constexpr int kClientVersionMajor = 3;
inline constexpr int kClientVersionMinor = 0;
inline constexpr int kClientVersionRevision = 0;

inline constexpr std::string_view kTrayTip = "Corvane 3.0 BETA";
inline constexpr std::string_view kDefaultServerHost = "localhost";
inline constexpr int kDefaultServerPort = 13228;

// What the session works with: the main window's roles, the socket and its link, the settings,
// the timers and the roster. All outlive the controller.
struct SessionParts {
  StatusView& status;
  MenuView& menus;
  MessageView& messages;
  ShellView& shell;
  WindowOpener& windows;
  LobbySocket& socket;
  // The connection's lines: the session starts each connection's buffer afresh and lets a close
  // wait behind a running handler.
  ServerLink& link;
  Registry& registry;
  Timers& timers;
  Processes& processes;
  RosterModel& roster;
};

// The id of the timer that bounds the wait for "QUIT_ACK".
inline constexpr int kQuitAckTimerId = 7301;
inline constexpr int kQuitAckTimeoutMs = 5000;

// Logo caption and status texts.
inline constexpr std::string_view kLogoIdle = "Corvane 3.0";
inline constexpr std::string_view kStatusNotConnected = "Not Connected";
inline constexpr std::string_view kStatusConnecting = "Connecting";
inline constexpr std::string_view kStatusConnected = "Connected";
inline constexpr std::string_view kStatusCreatingId = "Creating ID";
inline constexpr std::string_view kStatusLoadingUsers = "Loading Users";
inline constexpr std::string_view kStatusLoadingGames = "Loading Games";

inline constexpr std::string_view kLoadErrorText =
    "Corvane encountered an error while loading. Please reinstall.";
// The load error, naming the window the program has no maker for when that was the failure.
std::string LoadErrorText(std::string_view missingWindow);
inline constexpr std::string_view kInvalidLoginText = "Invalid username or password!";
inline constexpr std::string_view kSuspendedText = "Your account has been temporarily suspended!";
inline constexpr std::string_view kBannedText = "Your account has been permanently banned!";
inline constexpr std::string_view kConnectionLostText = "The connection to Corvane has been lost!";
inline constexpr std::string_view kNotConnectedText = "You are not connected to Corvane!";
// The box of a connection that could not be made secure: "Corvane could not connect securely
// to HOST:PORT, so nothing was sent.", a blank line, then the reason.
std::string TlsFailureText(std::string_view host, int port, const TlsFailure& failure);
inline constexpr std::string_view kNewVersionText =
    "A new version of the Corvane client is available!";

// The refusal of a second copy: "Another instance of " + exeName + " is already running!".
MessageBoxSpec AnotherInstanceBox(std::string_view exeName);

class SessionController {
 public:
  explicit SessionController(SessionParts parts);
  SessionController(const SessionController&) = delete;
  SessionController& operator=(const SessionController&) = delete;

  // The session's lines: sign-in, lists, presence and the end of the session.
  void Register(Dispatcher& handlers);

  // Who the client signs in as. The login window signs in as a name with a digest (the new one,
  // or the remembered one kept); the account window asks for the next connection to create the
  // account. Neither connects: ConnectToServer does.
  const Identity& SignedIn() const { return identity_; }
  void SignInAs(std::string name, std::string passwordDigest);
  void CreateAccount(std::string name, std::string passwordDigest, std::string email);

  bool Quitting() const { return quitting_; }
  bool MainWindowLoaded() const { return mainWindowLoaded_; }
  int OsMajorVersion() const { return osMajorVersion_; }

  // Sends a line (without CR LF) through the server link (see ServerLink::SendCommand): the
  // session's own lines, and those of the main window's commands, which hold the session for
  // signing in and out.
  bool SendCommand(std::string_view line) { return link_.SendCommand(line); }

  // Start-up, after the window refused a second copy (AnotherInstanceBox) and created itself:
  // Startup takes the OS major version from the version text and creates the settings key;
  // false when the key cannot be made. Then the window adds its tray icon (kTrayTip) and
  // decorates itself; if either failed it calls StartupFailed, otherwise FinishStartup, which
  // shows the window and signs in automatically or shows the login window.
  bool Startup(std::string_view winVersion);
  void FinishStartup();
  // The load error box, then the tray icon is removed and the program ends. A window the program
  // cannot make (see ClientCore::MissingWindowMaker) is named in the box.
  void StartupFailed(std::string_view missingWindow = {});

  // Opens a new connection to "CvAddress":"CvPort" ("localhost" and 13228 when missing or
  // unusable) with the current signed-in name and digest; the socket makes it secure when
  // "CvTls" is 1.
  void ConnectToServer();
  // The host and port of the last ConnectToServer; reconnect attempts use them.
  const std::string& LastHost() const { return lastHost_; }
  int LastPort() const { return lastPort_; }

  // Socket events of wskChat. A close that comes while a line's handler runs (its box is open)
  // waits until the lines before it are handled: one of them may end the session itself.
  void OnSocketConnect();
  void OnSocketClose(SocketClose kind);
  // The socket's Error event: a connection refused, failed or broken.
  void OnSocketError() { OnSocketClose(SocketClose::kFailed); }
  // The socket could not make the connection secure and sent nothing: one box, and the session
  // ends as refused, since every retry would be refused the same way.
  void OnSocketInsecure(const TlsFailure& failure);
  void OnDataArrival(std::string_view bytes);

  void ResetSession();
  // Resets and remembers why the session ended; only a loss starts the reconnect.
  void EndSession(SessionEnd why);
  // A send found no connection. After a loss (or before any session) that is the loss found:
  // the lost-connection box, and the session ends as lost. After a takeover, a Disconnect or a
  // refusal the player is only told that he is not connected: nothing starts.
  void SendWithoutConnection();
  void QuitClient();

  // Menu commands.
  void mnuLogin_Click();
  void mnuDisconnect_Click();
  void mnuExit_Click();

  // The main window's close box: false when the close is cancelled (the window is then only
  // hidden to the tray), true when the window may really close.
  bool MainWindowCloseRequested();

  // Opens a web page in the browser through the command interpreter of this Windows version.
  void OpenWebPage(std::string_view url);

 private:
  void OnAuthAck(std::string_view result);
  void OnUser(std::string_view args);
  void OnGame(std::string_view args);
  void OnUsersAck();
  void OnGamesAck();
  void OnVersionAck(std::string_view verdict);
  void OnQuitAck(std::string_view result);
  void QuitAckTimeout();
  void SetProgress(std::string_view text);
  void ConnectionGone();
  // Shows the reconnect window when "Reconnect" is 1.
  void StartReconnect();

  StatusView& status_;
  MenuView& menus_;
  MessageView& messages_;
  ShellView& shell_;
  WindowOpener& windows_;
  LobbySocket& socket_;
  Registry& registry_;
  Timers& timers_;
  Processes& processes_;
  RosterModel& roster_;
  ServerLink& link_;
  Identity identity_;
  bool quitting_ = false;
  bool mainWindowLoaded_ = false;
  int osMajorVersion_ = 0;
  Presence presence_;
  std::string lastHost_{kDefaultServerHost};
  int lastPort_ = kDefaultServerPort;
  // "AUTH_ACK:OK" came and no reset has ended that session yet.
  bool signedIn_ = false;
  // Why the last session ended; kDisconnected already while "DISCONNECT_ACK" is awaited, so a
  // connection that breaks first is no loss to reconnect.
  SessionEnd end_ = SessionEnd::kNone;
  // Resets so far: a close that waited behind the lines tells whether one of them ended the
  // session meanwhile. A new connection forgets a waiting close: it was the old one's.
  int resets_ = 0;
  bool closeWaiting_ = false;
  int resetsAtClose_ = 0;
};

}  // namespace cv3
