// End to end under Wine: the real client and pilots on plain sockets talking through a lobbyd of
// the test's own, in the lobby, privately, past an ignored pilot, and through profiles.
#include <gtest/gtest.h>

#include "tests/win32/e2e_support.h"

namespace cv3::e2e {
namespace {

class TalkEndToEnd : public OwnLobbyEndToEnd {
 protected:
  void SetUp() override {
    OwnLobbyEndToEnd::SetUp();
    SetDWord("PopupLobbyOnMsg", 1);
    SetDWord("PopupPrivateOnMsg", 1);
    SetDWord("BuffLobby", 0);
    SetDWord("BuffPrivates", 0);
    SetDWord("PlaySoundOnMsg", 0);
    SetString("Ignored", "");
  }
  // Types a line into a chat window's input box and presses Enter, as the keyboard would.
  static void Say(HWND chat, const std::wstring& text) {
    HWND input = testbed::ChildrenByClass(chat, L"Edit").at(1);
    for (wchar_t c : text + L"\r") PostMessageW(input, WM_CHAR, c, 0);
  }
  static std::string Conversation(HWND chat) {
    return ReadWindowText(testbed::ChildrenByClass(chat, L"Edit").at(0));
  }
  // Waits until the conversation reads `expected` and gives what it reads.
  static std::string ConversationOnce(HWND chat, const std::string& expected) {
    WaitFor([&] { return Conversation(chat) == expected; }, kDeadlineMs);
    return Conversation(chat);
  }
};

// The lines carry Windows-1252 text both ways: typed text leaves as its Windows-1252 bytes and
// received bytes show as written, whatever the system's code page.
TEST_F(TalkEndToEnd, ALobbyLineShowsOnceAtEachSideAndAPrivateLineArrivesWhole) {
  RawPilot zoe;
  ASSERT_TRUE(
      StartLobby(std::string("--add-account pilot:skyrend --add-account ") + kZoe + ":skyrend"));
  ASSERT_TRUE(zoe.SignIn(lobby_->Port(), kZoeBytes));
  ASSERT_TRUE(StartedOnline()) << Status();
  const std::string zoe_ = std::string("<") + kZoe + "> ";

  Command(MainCommand::toolLobbyChat);
  HWND lobby = ShownWindow(L"Lobby Chat");
  ASSERT_NE(lobby, nullptr);
  Say(lobby, kTyped);
  ASSERT_TRUE(zoe.WaitForLine(std::string("LMSG:pilot:") + kTypedBytes));
  zoe.Send(std::string("LMSG:") + kWesternBytes);
  // Zoë's own line comes back after the pilot's: nothing more of the pilot's is on its way.
  ASSERT_TRUE(zoe.WaitForLine(std::string("LMSG:") + kZoeBytes + ":" + kWesternBytes));
  EXPECT_EQ(zoe.Count(std::string("LMSG:pilot:") + kTypedBytes), 1);
  const std::string lobbyText = "<pilot> José €\r\n" + zoe_ + kWesternText + "\r\n";
  EXPECT_EQ(ConversationOnce(lobby, lobbyText), lobbyText);

  zoe.Send("PMSG:PILOT:meet at 20:00: crater B");
  HWND private_ = ShownWindow(L"Private chat with Zoë");
  ASSERT_NE(private_, nullptr);
  EXPECT_EQ(ConversationOnce(private_, zoe_ + "meet at 20:00: crater B\r\n"),
            zoe_ + "meet at 20:00: crater B\r\n");
  Say(private_, L"on my way: 5 min");
  EXPECT_TRUE(zoe.WaitForLine(std::string("PMSG:pilot:on my way: 5 min")));
  EXPECT_EQ(Conversation(lobby), lobbyText);
  Exit();
}

TEST_F(TalkEndToEnd, AnIgnoredPilotsLinesNeverShowWhileANameInsideHisStillTalks) {
  RawPilot wingman, man;
  SetString("Ignored", "WINGMAN,");
  ASSERT_TRUE(StartLobby(
      "--add-account pilot:skyrend --add-account wingman:skyrend --add-account man:skyrend"));
  ASSERT_TRUE(wingman.SignIn(lobby_->Port(), "wingman"));
  ASSERT_TRUE(man.SignIn(lobby_->Port(), "man"));
  ASSERT_TRUE(StartedOnline()) << Status();
  // The server handles one pilot's lines in order, so the private line reached the client before
  // the echo of the lobby line, and both before the next pilot's line.
  wingman.Send("PMSG:pilot:ignored in private");
  wingman.Send("LMSG:ignored in the lobby");
  ASSERT_TRUE(wingman.WaitForLine("LMSG:wingman:ignored in the lobby"));
  man.Send("LMSG:heard");
  HWND lobby = ShownWindow(L"Lobby Chat");
  ASSERT_NE(lobby, nullptr);
  EXPECT_EQ(ConversationOnce(lobby, "<man> heard\r\n"), "<man> heard\r\n");
  EXPECT_EQ(FindWindowW(nullptr, L"Private chat with wingman"), nullptr);
  Exit();
}

TEST_F(TalkEndToEnd, AProfileEditedByOnePilotIsSeenByTheOtherWithItsTwoLineBio) {
  RawPilot wingman;
  ASSERT_TRUE(StartLobby("--add-account pilot:skyrend --add-account wingman:skyrend"));
  ASSERT_TRUE(wingman.SignIn(lobby_->Port(), "wingman"));
  // The wire's "\xB6" is the bio's line break.
  wingman.Send(std::string("SAVEPROFILE:wingman:") + kWesternBytes +
               ":31:w@example.org:http://w.example:8080:first\xB6second");
  wingman.Send("EDITPROFILE:wingman");  // answered once the profile is stored
  ASSERT_TRUE(wingman.WaitForLine("EDITPROFILE_ACK:OK"));
  ASSERT_TRUE(StartedOnline()) << Status();

  ASSERT_TRUE(WaitFor([&] { return testbed::SelectTreeItem(Tree(), "wingman"); }, kDeadlineMs));
  Command(MainCommand::mnuViewProfile);
  HWND view = ShownWindow(L"wingman - View Profile");
  ASSERT_NE(view, nullptr);
  std::vector<HWND> boxes = testbed::ChildrenByClass(view, L"Edit");
  ASSERT_EQ(boxes.size(), 7u);
  std::vector<std::string> shown;
  for (size_t i = 2; i < boxes.size(); ++i) shown.push_back(ReadWindowText(boxes[i]));
  EXPECT_EQ(shown, (std::vector<std::string>{kWesternText, "31", "w@example.org",
                                             "http://w.example:8080", "first\r\nsecond"}));
  ASSERT_TRUE(Click(view, L"Cancel"));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(view); }, kDeadlineMs));

  Command(MainCommand::mnuEditProfile);
  HWND edit = ShownWindow(L"Edit Profile");
  ASSERT_NE(edit, nullptr);
  boxes = testbed::ChildrenByClass(edit, L"Edit");
  ASSERT_EQ(boxes.size(), 7u);
  const wchar_t* typed[] = {kTyped, L"40", L"p@example.org", L"", L"one\r\ntwo: three"};
  for (size_t i = 0; i < 5; ++i) {
    SendMessageW(boxes[i + 2], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed[i]));
  }
  ASSERT_TRUE(Click(edit, L"Save"));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(edit); }, kDeadlineMs));
  // The client's line and the wingman's question travel on two connections: ask until it is in.
  ASSERT_TRUE(WaitFor(
      [&] {
        wingman.Send("USERINFO:pilot");
        return wingman.WaitForLine(std::string("USERINFO_ACK:LOCATION:") + kTypedBytes, 1000);
      },
      kDeadlineMs));
  for (const std::string& line :
       {std::string("USERINFO_ACK:LOCATION:") + kTypedBytes, std::string("USERINFO_ACK:AGE:40"),
        std::string("USERINFO_ACK:EMAIL:p@example.org"), std::string("USERINFO_ACK:WEB:"),
        std::string("USERINFO_ACK:BIO:one\xB6two: three")}) {
    EXPECT_GE(wingman.Count(line), 1) << line;
  }
  Exit();
}

}  // namespace
}  // namespace cv3::e2e
