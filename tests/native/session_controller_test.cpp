#include "cv3client/session/session_controller.h"

#include <gtest/gtest.h>

#include "common/client_fakes.h"
#include "common/window_fakes.h"

namespace cv3 {
namespace {

using testing::ClientHarness;
using testing::kStamp;
using testing::Log;

Log Concat(Log a, const Log& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A reset where no signed-in session ends (a refusal, a failed attempt): no chat window closes.
const Log kReset = {"close socket",     "tree clear",           "disable EditProfile",
                    "logo Corvane 3.0", "status Not Connected", "roster hidden",
                    "enable Login",     "disable Disconnect"};
// The reset that ends a signed-in session also closes the first chat window.
const Log kResetSignedIn = Concat(kReset, {"close first chat"});

// The reconnect window opening: its countdown and the main window's texts start at once.
const Log kReconnectOpens = {"reconnect window", "logo Connecting", "status Connecting",
                             "start timer 7302 1300"};

const Log kGroups = {
    "tree add GAMES under - \"Skyrend Games\" image 1 tag - colour F8F8F8 bold",
    "tree add ONLINE under - \"Online Pilots\" image 2 tag - colour F8F8F8 bold",
    "tree add AWAY under - \"Busy Pilots\" image 4 tag - colour F8F8F8 bold",
    "tree add OFFLINE under - \"Offline Pilots\" image 3 tag - colour F8F8F8 bold",
};

TEST(AnotherInstance, NamesTheExecutable) {
  EXPECT_EQ(AnotherInstanceBox("cv3client.exe"),
            WarningBox("Another instance of cv3client.exe is already running!"));
}

TEST(Startup, CreatesTheKeyAndTakesTheOsMajorVersion) {
  ClientHarness core{ClientHarness::FreshInstall{}};
  ASSERT_FALSE(core.settings.backend.KeyExists(RootKey::kCurrentUser, "Software\\Corvane"));
  core.session.Startup("6.1");
  EXPECT_TRUE(core.settings.backend.KeyExists(RootKey::kCurrentUser, "Software\\Corvane"));
  EXPECT_EQ(core.session.OsMajorVersion(), 6);
  EXPECT_FALSE(core.session.MainWindowLoaded());
}

TEST(Startup, AKeyThatCannotBeMadeFailsTheStartup) {
  ClientHarness core{ClientHarness::FreshInstall{}};
  core.settings.backend.DenyWrites(RootKey::kCurrentUser);
  EXPECT_FALSE(core.session.Startup("6.1"));
  ClientHarness made{ClientHarness::FreshInstall{}};
  EXPECT_TRUE(made.session.Startup("6.1"));
}

TEST(Startup, WithoutAutoLoginShowsTheWindowThenTheLoginWindow) {
  ClientHarness core;
  core.settings.SetDWord("AutoLogin", 0);
  core.session.Startup("5.1");
  core.session.FinishStartup();
  EXPECT_TRUE(core.session.MainWindowLoaded());
  EXPECT_EQ(core.Take(), (Log{"show main window", "login window"}));
}

TEST(Startup, AutoLoginConnectsWithTheRememberedIdAndNeverShowsTheLoginWindow) {
  ClientHarness core;
  core.settings.SetDWord("AutoLogin", 1);
  core.settings.SetString("Username", "Bob");
  core.settings.SetString("Password", "0123456789ABCDEF0123456789ABCDEF");
  core.session.Startup("5.1");
  core.session.FinishStartup();
  EXPECT_EQ(core.Take(),
            (Log{"show main window", "disable Login", "enable Disconnect", "close socket",
                 "logo Connecting", "status Connecting", "connect localhost:13228"}));
  EXPECT_EQ(core.session.SignedIn().name, "Bob");
  EXPECT_EQ(core.session.SignedIn().passwordDigest, "0123456789ABCDEF0123456789ABCDEF");
}

TEST(Startup, AutoLoginWithNothingRememberedSignsInWithEmptyValues) {
  ClientHarness core;
  core.session.SignInAs("stale", "");
  core.settings.SetDWord("AutoLogin", 1);
  core.session.FinishStartup();
  core.socket.connected = true;
  core.session.OnSocketConnect();
  EXPECT_EQ(core.log.back(), "send AUTH::");
}

TEST(Startup, FailureShowsTheLoadErrorThenEnds) {
  ClientHarness core;
  core.session.StartupFailed();
  EXPECT_EQ(core.Take(),
            (Log{"box Error! critical Corvane encountered an error while loading. Please "
                 "reinstall.",
                 "remove tray icon", "end program"}));
}

TEST(ConnectToServer, UsesTheStoredAddressAndPort) {
  ClientHarness core;
  core.settings.SetString("CvAddress", "lobby.example.net");
  core.settings.SetString("CvPort", "4000");
  core.session.ConnectToServer();
  EXPECT_EQ(core.Take(),
            (Log{"disable Login", "enable Disconnect", "close socket", "logo Connecting",
                 "status Connecting", "connect lobby.example.net:4000"}));
  EXPECT_EQ(core.session.LastHost(), "lobby.example.net");
  EXPECT_EQ(core.session.LastPort(), 4000);
  // A port the player stored as a number in regedit is that port.
  ClientHarness dword;
  dword.settings.SetDWord("CvPort", 4000);
  dword.session.ConnectToServer();
  EXPECT_EQ(dword.log.back(), "connect localhost:4000");
}

// A connection that could not be made secure shows one box and ends as refused: no reconnect,
// though "Reconnect" is 1 (every retry would fail the same way), and a retry's window closes.
TEST(SocketInsecure, ShowsOneBoxAndEndsAsRefused) {
  ClientHarness core;
  core.settings.SetString("CvAddress", "lobby.example.net");
  core.settings.SetString("CvPort", "4000");
  core.settings.SetDWord("Reconnect", 1);
  core.session.ConnectToServer();
  core.Take();
  core.session.OnSocketInsecure({TlsProblem::kPinMismatch});
  EXPECT_EQ(core.Take(), Concat({"close reconnect window",
                                 "box Error! critical Corvane could not connect securely to "
                                 "lobby.example.net:4000, so nothing was sent.\n\nThe server's "
                                 "key does not match the pin in the preferences."},
                                kReset));
}

TEST(ConnectToServer, MissingOrUnusableValuesFallBackToLocalhostAnd13228) {
  for (const char* port : {"", "abc", "0", "70000", "40 00", "-5"}) {
    ClientHarness core;
    if (*port) core.settings.SetString("CvPort", port);
    core.settings.SetString("CvAddress", "");
    core.session.ConnectToServer();
    EXPECT_EQ(core.log.back(), "connect localhost:13228") << "port '" << port << "'";
  }
  ClientHarness spaced;
  spaced.settings.SetString("CvPort", " 4000 ");
  spaced.session.ConnectToServer();
  EXPECT_EQ(spaced.log.back(), "connect localhost:4000");
}

TEST(SocketConnect, SignsInWithNameAndDigest) {
  ClientHarness core;
  core.session.SignInAs("bob ", "ABCDEF");
  core.socket.connected = true;
  core.session.OnSocketConnect();
  EXPECT_EQ(core.Take(), (Log{"close reconnect window", "disable Login", "enable Disconnect",
                              "logo Connected", "status Connected", "send AUTH:bob :ABCDEF"}));
}

TEST(SocketConnect, PendingAccountCreationSendsCreateOnceThenAuth) {
  ClientHarness core;
  core.session.CreateAccount("neo", "ABCDEF", "neo@example.net");
  core.socket.connected = true;
  core.session.OnSocketConnect();
  EXPECT_EQ(core.Take(),
            (Log{"close reconnect window", "disable Login", "enable Disconnect", "logo Creating ID",
                 "status Creating ID", "send CREATE:neo:ABCDEF:neo@example.net"}));
  EXPECT_FALSE(core.session.SignedIn().creatingAccount);
  core.session.OnSocketConnect();
  EXPECT_EQ(core.log.back(), "send AUTH:neo:ABCDEF");
}

TEST(SignIn, WalksThroughEveryStateToOnline) {
  ClientHarness core;
  core.session.SignInAs("bob", "");
  core.socket.connected = true;
  core.Receive({"AUTH_ACK:OK"});
  EXPECT_EQ(core.Take(), Concat(Concat({"enable EditProfile"}, kGroups),
                                {"logo Loading Users", "status Loading Users", "send USERS"}));
  core.Receive(
      {"USER:alice:online", "USER:BOB:online", "USER:carol:away:back in 5: really", "USERS_ACK"});
  EXPECT_EQ(core.Take(),
            (Log{std::string("tree add ") + kStamp +
                     "alice under ONLINE \"alice\" image 2 tag user colour F8F8F8",
                 std::string("tree add ") + kStamp +
                     "carol under AWAY \"carol (back in 5: really)\" image 4 tag user colour "
                     "F8F8F8",
                 "logo Loading Games", "status Loading Games", "send GAMES"}));
  core.Receive({"GAME:Big Race:up", "GAME:Arena:down", "GAME:Open:", "GAMES_ACK"});
  EXPECT_EQ(core.Take(),
            (Log{std::string("tree add ") + kStamp +
                     "BigRace under GAMES \"Big Race\" image 1 tag game colour F8F8F8",
                 std::string("tree add ") + kStamp +
                     "Arena under GAMES \"Arena\" image 6 tag game colour F8F8F8",
                 std::string("tree add ") + kStamp +
                     "Open under GAMES \"Open\" image 6 tag game colour F8F8F8",
                 "tree sort and expand", "status Online", "roster shown", "send VERSION:300"}));
}

TEST(SignIn, RefusalsShowTheirTextAndResetWithoutReconnecting) {
  const std::pair<const char*, const char*> cases[] = {
      {"FAILED", "Invalid username or password!"},
      {"SUSPENDED", "Your account has been temporarily suspended!"},
      {"PERMBAN", "Your account has been permanently banned!"},
  };
  for (auto [result, text] : cases) {
    ClientHarness core;
    core.settings.SetDWord("Reconnect", 1);
    core.socket.connected = true;
    core.Receive({std::string("AUTH_ACK:") + result});
    EXPECT_EQ(core.Take(), Concat({std::string("box Warning! exclamation ") + text}, kReset));
  }
}

TEST(SignIn, OtherResultsAndOtherVersionVerdictsChangeNothing) {
  ClientHarness core;
  core.socket.connected = true;
  core.Receive({"AUTH_ACK", "AUTH_ACK:ok", "AUTH_ACK:MAYBE", "VERSION_ACK:OK", "VERSION_ACK"});
  EXPECT_EQ(core.Take(), Log{});
}

TEST(VersionAck, UpdateShowsTheMessageThenOpensTheDownloadPage) {
  ClientHarness core;
  core.session.Startup("6.1");
  core.Receive({"VERSION_ACK:UPDATE"});
  EXPECT_EQ(core.Take(),
            (Log{"box Warning! exclamation A new version of the Corvane client is available!",
                 "run cmd /c start http://www.corvane.net/modules.php?name=Downloads"}));
  core.session.Startup("4.90");
  core.Receive({"VERSION_ACK:UPDATE"});
  EXPECT_EQ(core.log.back(),
            "run command /c start http://www.corvane.net/modules.php?name=Downloads");
}

TEST(ResetSession, KeepsNameDigestAndAPartialLine) {
  ClientHarness core;
  core.SignIn("bob");
  core.session.OnDataArrival("USERS_");
  core.session.OnSocketError();
  EXPECT_EQ(core.Take(), kResetSignedIn);
  EXPECT_EQ(core.session.SignedIn().name, "bob");
  EXPECT_EQ(core.session.SignedIn().passwordDigest, "D41D8CD98F00B204E9800998ECF8427E");
  // The partial line waits for the next connection's data.
  core.socket.connected = true;
  core.session.OnDataArrival("ACK\r\n");
  EXPECT_EQ(core.Take(), (Log{"logo Loading Games", "status Loading Games", "send GAMES"}));
}

// During an outage each failed retry resets the window behind the reconnect window; only the
// reset that ended the signed-in session closes a chat window.
TEST(ResetSession, OnlyTheEndOfASignedInSessionClosesAChatWindow) {
  ClientHarness core;
  core.settings.SetDWord("Reconnect", 1);
  for (int session = 0; session < 2; ++session) {
    core.SignIn("bob");
    core.SocketCloses(SocketClose::kByServer);
    for (int retry = 0; retry < 3; ++retry) {
      core.timers.Advance(13000);
      core.SocketCloses(SocketClose::kFailed);
    }
    Log outage = core.Take();
    EXPECT_EQ(std::count(outage.begin(), outage.end(), "close first chat"), 1) << session;
    EXPECT_EQ(std::count(outage.begin(), outage.end(), "status Not Connected"), 4) << session;
  }
}

TEST(Disconnect, WhileConnectedSendsDisconnectAndWaitsElseResetsAtOnce) {
  ClientHarness core;
  core.SignIn("bob");
  core.session.mnuDisconnect_Click();
  EXPECT_EQ(core.Take(), (Log{"send DISCONNECT"}));
  ClientHarness offline;
  offline.session.mnuDisconnect_Click();
  EXPECT_EQ(offline.Take(), kReset);
}

TEST(SocketClose, ResetsAndReconnectsOnlyWhenReconnectIsOne) {
  ClientHarness core;
  core.settings.SetDWord("Reconnect", 1);
  core.session.OnSocketError();
  EXPECT_EQ(core.Take(), Concat(kReset, kReconnectOpens));
  for (int value : {0, 2}) {
    core.settings.SetDWord("Reconnect", value);
    core.session.OnSocketError();
    EXPECT_EQ(core.Take(), kReset);
  }
  ClientHarness missing;
  missing.session.OnSocketError();
  EXPECT_EQ(missing.Take(), kReset);
}

// The socket says how its connection ended; a close we made ourselves starts nothing.
TEST(SocketClose, EachKindOfCloseOfASignedInSession) {
  const std::pair<SocketClose, Log> cases[] = {
      {SocketClose::kByServer, Concat(kResetSignedIn, kReconnectOpens)},
      {SocketClose::kFailed, Concat(kResetSignedIn, kReconnectOpens)},
      {SocketClose::kCancelled, {}},
  };
  for (const auto& [kind, expected] : cases) {
    ClientHarness core;
    core.settings.SetDWord("Reconnect", 1);
    core.SignIn("bob");
    core.SocketCloses(kind);
    EXPECT_EQ(core.Take(), expected) << static_cast<int>(kind);
  }
}

// Lines the server sent before it closed, and the boxes they show, come first: a line that ends
// the session decides whether a reconnect follows, and the session is reset once. While the
// first box is open the server closes and 13 s pass.
TEST(SocketClose, ComesAfterTheBoxesOfTheLinesBeforeIt) {
  const Log warning = {"box Warning! exclamation Back in an hour"};
  const Log error = {"box Error! critical Server going down"};
  const Log elsewhere = {"box Warning! exclamation You have been signed on at another location!"};
  const Log lost = Concat(kResetSignedIn, kReconnectOpens);
  const std::pair<Log, Log> cases[] = {
      {{"NOTHERCATION"}, Concat(elsewhere, kResetSignedIn)},
      {{"ERROR:Server going down"}, Concat(error, lost)},
      {{"WARNING:Back in an hour", "NOTHERCATION"},
       Concat(Concat(warning, elsewhere), kResetSignedIn)},
      {{"WARNING:Back in an hour", "ERROR:Server going down"},
       Concat(Concat(warning, error), lost)},
      {{"WARNING:Back in an hour"}, Concat(warning, lost)},
  };
  for (const auto& [lines, expected] : cases) {
    ClientHarness core;
    core.settings.SetDWord("Reconnect", 1);
    core.SignIn("bob");
    core.view.whileOpen = [&core] {
      core.SocketCloses(SocketClose::kByServer);
      core.timers.Advance(13000);
    };
    core.ReceiveAll(lines);
    EXPECT_EQ(core.Take(), expected) << lines.back();
    // No retry ever comes for a session that was signed on elsewhere.
    core.timers.Advance(13000);
    Log retries = core.Take();
    EXPECT_EQ(retries.empty(), lines.back() == "NOTHERCATION") << lines.back();
  }
}

TEST(SendCommand, LostConnectionShowsTheBoxResetsAndReconnects) {
  ClientHarness core;
  core.settings.SetDWord("Reconnect", 1);
  EXPECT_FALSE(core.session.SendCommand("ONLINE"));
  EXPECT_EQ(core.Take(),
            Concat(Concat({"box Error! critical The connection to Corvane has been lost!"}, kReset),
                   kReconnectOpens));
}

// A signed-out player still has his chat windows and the status menu. A send from them takes
// up again only a session lost by accident; after a takeover or his own Disconnect it says that
// he is not connected and starts nothing, however long the client then runs.
TEST(SendCommand, OnlyASessionLostByAccidentIsTakenUpAgain) {
  const Log elsewhere = {"box Warning! exclamation You have been signed on at another location!"};
  const Log notConnected = {"box Warning! exclamation You are not connected to Corvane!"};
  // The reconnect window, already open, goes on counting.
  const Log lost =
      Concat(Concat({"box Error! critical The connection to Corvane has been lost!"}, kReset),
             {"reconnect window"});
  const Log retry = {"stop timer 7302", "close socket", "connect localhost:13228",
                     "start timer 7302 1300"};
  struct Case {
    const char* end;
    std::function<void(ClientHarness&)> endSession;
    Log ended;
    Log eachSend;
    Log retries;
  };
  const Case cases[] = {
      {"taken over",
       [](ClientHarness& c) { c.Receive({"NOTHERCATION"}); },
       Concat(elsewhere, kResetSignedIn),
       notConnected,
       {}},
      {"disconnected",
       [](ClientHarness& c) {
         c.commands.Execute(MainCommand::mnuDisconnect);
         c.Receive({"DISCONNECT_ACK"});
       },
       Concat({"send DISCONNECT"}, kResetSignedIn),
       notConnected,
       {}},
      {"disconnected, the server closing first",
       [](ClientHarness& c) {
         c.commands.Execute(MainCommand::mnuDisconnect);
         c.SocketCloses(SocketClose::kByServer);
       },
       Concat({"send DISCONNECT"}, kResetSignedIn),
       notConnected,
       {}},
      {"lost", [](ClientHarness& c) { c.SocketCloses(SocketClose::kByServer); },
       Concat(kResetSignedIn, kReconnectOpens), lost, Concat(retry, retry)},
  };
  for (const Case& c : cases) {
    ClientHarness core;
    core.settings.SetDWord("Reconnect", 1);
    Log windows;
    testing::FakeChatView* bob = nullptr;
    core.factory.Provide<ChatView>([&] {
      auto view = std::make_unique<testing::FakeChatView>(windows);
      bob = view.get();
      return view;
    });
    core.factory.Provide<AwayView>([&] {
      auto view = std::make_unique<testing::FakeAwayView>(windows);
      view->onShow = [](testing::FakeAwayView& v, AwayEvents& e) {
        v.text = "at lunch";
        e.cmdOk_Click();
      };
      return view;
    });
    core.SignIn("me");
    // The first chat window goes with the session; bob's stays open.
    core.commands.OpenPrivateChat("al");
    core.commands.OpenPrivateChat("bob");
    core.Take();
    c.endSession(core);
    EXPECT_EQ(core.Take(), c.ended) << c.end;
    bob->input = "still there?";
    bob->events().txtInput_Enter();
    core.commands.Execute(MainCommand::mnuOnline);
    core.commands.Execute(MainCommand::mnuInvisible);
    core.commands.Execute(MainCommand::mnuNewAway);
    core.deferral.RunDeferred();
    Log sends = Concat(Concat(c.eachSend, c.eachSend), c.eachSend);
    sends.push_back("away window");
    sends = Concat(sends, c.eachSend);
    EXPECT_EQ(core.Take(), sends) << c.end;
    core.timers.Advance(2 * 13000);
    EXPECT_EQ(core.Take(), c.retries) << c.end;
  }
}

// A close that waits behind a line's box belongs to its own connection: signing in again from
// the tray while the box is open leaves the new session standing when the box closes.
TEST(SocketClose, AWaitingCloseIsForgottenByANewConnection) {
  ClientHarness core;
  core.settings.SetDWord("Reconnect", 1);
  core.SignIn("bob");
  core.view.whileOpen = [&core] {
    core.SocketCloses(SocketClose::kByServer);
    core.session.ConnectToServer();
    core.socket.connected = true;
    core.core.OnSocketConnect();
    core.Receive({"AUTH_ACK:OK"});
  };
  core.Receive({"WARNING:Back in an hour"});
  EXPECT_EQ(
      core.Take(),
      Concat(Concat({"box Warning! exclamation Back in an hour"},
                    {"disable Login", "enable Disconnect", "close socket", "logo Connecting",
                     "status Connecting", "connect localhost:13228", "close reconnect window",
                     "disable Login", "enable Disconnect", "logo Connected", "status Connected",
                     "send AUTH:bob:D41D8CD98F00B204E9800998ECF8427E"}),
             {"enable EditProfile", "logo Loading Users", "status Loading Users", "send USERS"}));
}

TEST(Exit, WhileNotConnectedEndsAtOnceAndThePlainLookHasNoTreeHookToRemove) {
  for (bool slowCpu : {false, true}) {
    ClientHarness core;
    if (slowCpu) core.settings.SetDWord("SlowCPU", 1);
    core.session.mnuExit_Click();
    EXPECT_TRUE(core.session.Quitting());
    Log expected = {"hide main window", "remove tray icon", "unhook tree",
                    "close all chats",  "stop timer 7301",  "end program"};
    if (slowCpu) expected.erase(expected.begin() + 2);
    EXPECT_EQ(core.Take(), expected) << "SlowCPU " << slowCpu;
  }
}

TEST(Exit, WhileConnectedSendsQuitAndEndsOnQuitAckOk) {
  ClientHarness core;
  core.SignIn("bob");
  core.session.mnuExit_Click();
  EXPECT_EQ(core.Take(), (Log{"hide main window", "remove tray icon", "unhook tree",
                              "close all chats", "send QUIT", "start timer 7301 5000"}));
  core.Receive({"QUIT_ACK:NO"});
  EXPECT_EQ(core.Take(), Log{});
  core.Receive({"QUIT_ACK:OK"});
  EXPECT_EQ(core.Take(), (Log{"close socket", "remove tray icon", "unhook tree", "close all chats",
                              "stop timer 7301", "end program"}));
  EXPECT_TRUE(core.timers.running.empty());
}

TEST(Exit, WithoutQuitAckTheProgramEndsWhenTheTimerFires) {
  ClientHarness core;
  core.SignIn("bob");
  core.session.mnuExit_Click();
  core.Receive({"QUIT_ACK:LATER"});
  core.Take();
  core.timers.Fire(kQuitAckTimerId + 1);
  EXPECT_EQ(core.Take(), Log{});
  core.timers.Fire(kQuitAckTimerId);
  EXPECT_EQ(core.Take(), (Log{"stop timer 7301", "end program"}));
}

TEST(Exit, ASocketErrorWhileWaitingForQuitAckEndsAtOnce) {
  ClientHarness core;
  core.settings.SetDWord("Reconnect", 1);
  core.SignIn("bob");
  core.session.mnuExit_Click();
  core.Take();
  core.session.OnSocketError();
  EXPECT_EQ(core.Take(), (Log{"stop timer 7301", "end program"}));
}

TEST(CloseBox, HidesToTheTrayOnceLoadedUntilQuitting) {
  ClientHarness core;
  EXPECT_TRUE(core.session.MainWindowCloseRequested());  // load not finished yet
  core.session.FinishStartup();
  core.Take();
  EXPECT_FALSE(core.session.MainWindowCloseRequested());
  EXPECT_EQ(core.Take(), (Log{"hide main window"}));
  core.session.QuitClient();
  core.Take();
  EXPECT_TRUE(core.session.MainWindowCloseRequested());
  EXPECT_EQ(core.Take(), Log{});
}

TEST(LoginMenu, ShowsTheLoginWindow) {
  ClientHarness core;
  core.session.mnuLogin_Click();
  EXPECT_EQ(core.Take(), (Log{"login window"}));
}

}  // namespace
}  // namespace cv3
