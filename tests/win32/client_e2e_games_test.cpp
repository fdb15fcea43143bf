// End to end under Wine: the real client and a pilot on a plain socket hosting, joining,
// resuming and removing games through a lobbyd of the test's own, with the stand-in game
// installed as the game would be.
#include <gtest/gtest.h>

#include "common/processes.h"
#include "common/processes_win32.h"
#include "common/wide_text_win32.h"
#include "testbed/game_install_win32.h"
#include "tests/win32/e2e_support.h"

namespace cv3::e2e {
namespace {

constexpr char kAccounts[] = "--add-account pilot:skyrend --add-account wingman:skyrend";

class GamesEndToEnd : public OwnLobbyEndToEnd {
 protected:
  void SetUp() override {
    OwnLobbyEndToEnd::SetUp();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    game_ = testbed::GameInstallBelow(std::filesystem::path(temp) /
                                      (L"cv3 e2e game " + std::to_wstring(GetCurrentProcessId())));
    ASSERT_TRUE(testbed::InstallGame(game_, CV3_SKYRENDW_EXE));
  }
  void TearDown() override {
    EndTheGame();
    OwnLobbyEndToEnd::TearDown();
    testbed::RemoveGame(game_);
  }
  void EndTheGame() {
    Win32Processes processes;
    KillProcessByName(processes, "skyrendw.exe");
    WaitFor([] { return !FindWindowA("KVYMAINWIN", "Skyrend"); }, kDeadlineMs);
  }
  // Whether the stand-in has logged this line (this run or an earlier one), within the deadline.
  bool GameLogged(const std::string& wanted) {
    return WaitFor(
        [&] {
          for (const std::string& line : testbed::ReadGameLog(game_)) {
            if (line == wanted) return true;
          }
          return false;
        },
        kDeadlineMs);
  }
  // In UTF-8, as the stand-in logs it; asked in UTF-16, as a name may hold any letter.
  static std::string ShortPath(const std::filesystem::path& path) {
    wchar_t shortPath[MAX_PATH] = {};
    DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    return Narrow(std::wstring_view(shortPath, n < MAX_PATH ? n : 0));
  }
  // Hosts a game from the host window as a player would.
  void HostFromTheWindow(const std::wstring& name, const std::wstring& address) {
    Command(MainCommand::toolHostGame);
    HWND host = ShownWindow(L"Host Game");
    ASSERT_NE(host, nullptr);
    std::vector<HWND> boxes = testbed::ChildrenByClass(host, L"Edit");
    ASSERT_GE(boxes.size(), 3u);
    SendMessageW(boxes[0], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(boxes[2], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(address.c_str()));
    ASSERT_TRUE(Click(host, L"Host"));
  }
  // Answers the client's message box with this caption: the button with this id.
  static bool Answer(const wchar_t* caption, int button) {
    HWND box = ShownWindow(caption);
    if (!box) return false;
    PostMessageW(box, WM_COMMAND, button, 0);
    return true;
  }

  testbed::GameInstall game_;
};

// The game's name is Windows-1252 text that no other code page holds, and so is its save file's.
TEST_F(GamesEndToEnd, AGameHostedInTheWindowStartsTheGameIsSeenAndIsRemovedFromBothRosters) {
  RawPilot wingman;
  ASSERT_TRUE(StartLobby(kAccounts));
  ASSERT_TRUE(wingman.SignIn(lobby_->Port(), "wingman"));
  ASSERT_TRUE(StartedOnline()) << Status();

  HostFromTheWindow(L"Café Run", L"203.0.113.7");
  ASSERT_TRUE(wingman.WaitForLine("GAMEUP:Caf\xE9 Run"));
  // A new file: the short folder and the file's name, as no short form of it exists yet.
  const std::string newFile = ShortPath(game_.savePath) + "\\Café_Run.sav";
  EXPECT_TRUE(GameLogged("switches: /t:newserver " + newFile));
  EXPECT_TRUE(GameLogged("save file: " + newFile + " (new)"));
  wingman.Send("GAMEINFO:Caf\xE9 Run");
  EXPECT_TRUE(wingman.WaitForLine("GAMEINFO_ACK:GAMEADDRESS:203.0.113.7"));

  // Removed: the node goes from the client's roster and the other pilot is told.
  ASSERT_TRUE(WaitFor([&] { return testbed::SelectTreeItem(Tree(), "Café Run"); }, kDeadlineMs));
  Command(MainCommand::mnuRemoveGame);
  EXPECT_TRUE(wingman.WaitForLine("GAMEREM:Caf\xE9 Run"));
  EXPECT_TRUE(WaitFor([&] { return GroupOf("Café Run").empty(); }, kDeadlineMs));
  EndTheGame();

  // Hosted again with its save file there: the player is asked, and the file is loaded.
  HostFromTheWindow(L"Café Run", L"203.0.113.7");
  ASSERT_TRUE(Answer(L"Question", IDYES));
  const std::string savedFile = ShortPath(game_.savePath / L"Café_Run.sav");
  EXPECT_TRUE(GameLogged("switches: /t:loadserver " + savedFile));
  EXPECT_TRUE(GameLogged("save file: " + savedFile + " (loaded)"));
  Exit();
}

TEST_F(GamesEndToEnd, AnotherPilotsGameIsJoinedFromItsDetailsButNotResumed) {
  RawPilot wingman;
  ASSERT_TRUE(StartLobby(kAccounts));
  ASSERT_TRUE(wingman.SignIn(lobby_->Port(), "wingman"));
  // Running, at the installed version, described in Windows-1252; and a long-term game of his
  // that is down.
  wingman.Send(std::string("HOSTGAME:Crater Duel:198.51.100.4:") + testbed::kGameVersion +
               ":Named:0:0:0:0:0:0:0:0:0:0:" + kWesternBytes);
  ASSERT_TRUE(wingman.WaitForLine("HOSTGAME_ACK:OK"));
  ASSERT_TRUE(StartedOnline()) << Status();

  ASSERT_TRUE(WaitFor([&] { return testbed::SelectTreeItem(Tree(), "Crater Duel"); }, kDeadlineMs));
  Command(MainCommand::mnuGameDetails);
  HWND details = ShownWindow(L"Crater Duel - Game Details");
  ASSERT_NE(details, nullptr);
  EXPECT_TRUE(WaitFor(
      [&] {
        for (HWND box : testbed::ChildrenByClass(details, L"Edit")) {
          if (ReadWindowText(box) == kWesternText) return true;
        }
        return false;
      },
      kDeadlineMs));
  HWND play = FindWindowExW(details, nullptr, L"Button", L"Play");
  ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(play); }, kDeadlineMs));
  ASSERT_TRUE(Click(details, L"Play"));
  // The launcher answers the stand-in's dialogs: the host's address is typed for the player.
  EXPECT_TRUE(GameLogged("address: 198.51.100.4"));
  EXPECT_TRUE(GameLogged("server: Skyrend at 198.51.100.4"));
  EndTheGame();

  // The wingman's long-term game, down once he has gone: not the pilot's to resume.
  wingman.Send(std::string("HOSTGAME:Long Haul:198.51.100.5:") + testbed::kGameVersion +
               ":Named:0:0:0:0:0:0:0:1:0:0:");
  ASSERT_TRUE(wingman.WaitForLine("HOSTGAME_ACK:OK"));
  wingman.Send("QUIT");
  ASSERT_TRUE(wingman.WaitForLine("QUIT_ACK:OK"));
  // Its node shows the image of a game that is not running (1 is a running one).
  ASSERT_TRUE(WaitFor(
      [&] {
        for (const auto& item : testbed::ReadTree(Tree())) {
          if (item.text == "Long Haul") return item.image != 1;
        }
        return false;
      },
      kDeadlineMs));
  ASSERT_TRUE(testbed::SelectTreeItem(Tree(), "Long Haul"));
  Command(MainCommand::mnuResumeGame);
  HWND refusal = ShownWindow(L"Warning!");
  ASSERT_NE(refusal, nullptr);
  EXPECT_TRUE(ShowsText(refusal, "You're not permitted to resume other players games!"));
  PostMessageW(refusal, WM_COMMAND, IDOK, 0);
  Exit();
}

}  // namespace
}  // namespace cv3::e2e
