// Lobby and private chat: routing of LMSG and PMSG under every combination of the settings,
// typing and the echo, the closing rules with buffering, and the reset's and the quit's closing.
#include "cv3client/ui/chat.h"

#include <gtest/gtest.h>

#include "common/client_fakes.h"
#include "common/window_fakes.h"

namespace cv3 {
namespace {

using testing::ClientHarness;
using testing::FakeChatView;
using testing::Log;

struct Chat : ClientHarness {
  Log windows;
  std::vector<FakeChatView*> views;  // in creation order
  int sounds = 0;
  Chat() {
    factory.Provide<ChatView>([this] {
      auto view = std::make_unique<FakeChatView>(windows);
      views.push_back(view.get());
      return view;
    });
    SignIn("Me");
  }
  void Settings(std::initializer_list<std::pair<const char*, int>> flags) {
    for (auto [name, value] : flags) settings.SetDWord(name, value);
  }
  Log TakeWindows() { return std::exchange(windows, {}); }
};

TEST(ChatRouting, EachSettingCombinationForAFirstLobbyLine) {
  struct Case {
    int popup, buffer;
    Log expected;
  };
  const Case cases[] = {
      {1,
       0,
       {"Lobby Chat: created lobby size", "Lobby Chat: append <bob> hi: there",
        "Lobby Chat: shown"}},
      // Buffered without popping up: a hidden window, without the message that made it.
      {0, 1, {"Lobby Chat: created lobby size"}},
      {0, 0, {}},
  };
  for (const Case& c : cases) {
    Chat chat;
    chat.Settings({{"PopupLobbyOnMsg", c.popup}, {"BuffLobby", c.buffer}, {"FlashInactive", 1}});
    chat.Receive({"LMSG:bob:hi: there"});
    EXPECT_EQ(chat.TakeWindows(), c.expected) << c.popup << c.buffer;
    chat.Receive({"LMSG:bob:again"});
    // The next line lands in the window when there is one; without popup, no flash.
    Log next = chat.TakeWindows();
    if (c.popup || c.buffer) {
      EXPECT_EQ(next.front(), "Lobby Chat: append <bob> again");
      EXPECT_EQ(next.size(), c.popup ? 2u : 1u);  // the inactive window flashes with popup on
    } else {
      EXPECT_EQ(next, Log{});
    }
  }
}

TEST(ChatRouting, SoundOnlyForAWindowTheMessageMakesVisible) {
  Chat chat;
  chat.Settings({{"PopupLobbyOnMsg", 1}, {"PlaySoundOnMsg", 1}});
  chat.Receive({"LMSG:bob:one"});  // created and shown: sound
  chat.views[0]->active = true;
  chat.Receive({"LMSG:bob:two"});  // already visible: none
  chat.views[0]->visible = false;
  chat.Receive({"LMSG:bob:three"});  // made visible again: sound
  chat.settings.SetDWord("PlaySoundOnMsg", 0);
  chat.views[0]->visible = false;
  chat.Receive({"LMSG:bob:four"});  // the setting is read at each message
  EXPECT_EQ(chat.Take(), (Log{"play sound", "play sound"}));
  EXPECT_EQ(std::count(chat.windows.begin(), chat.windows.end(), "Lobby Chat: shown"), 3);
}

TEST(ChatRouting, OwnLobbyLineIsEchoedOnceAndPrivateLinesKeepTheirColons) {
  Chat chat;
  chat.Settings({{"PopupPrivateOnMsg", 1}});
  chat.core.Commands().OpenLobbyChat();
  FakeChatView& lobby = *chat.views[0];
  lobby.input = "hello: all";
  lobby.events().txtInput_Enter();
  chat.Receive({"LMSG:me:hello: all"});  // the server's relay of our own line
  EXPECT_EQ(lobby.output, "<Me> hello: all\r\n");
  EXPECT_EQ(chat.Take().back(), "send LMSG:hello: all");
  // A private line from BOB reaches the window opened for bob, shown as from bob.
  chat.core.Commands().OpenPrivateChat("bob");
  FakeChatView& bob = *chat.views[1];
  chat.Receive({"PMSG:BOB:see: you"});
  EXPECT_EQ(bob.output, "<bob> see: you\r\n");
  bob.input = "ok: bye";
  bob.events().txtInput_Enter();
  EXPECT_EQ(chat.Take().back(), "send PMSG:bob:ok: bye");
  EXPECT_EQ(chat.windows.back(), "Private chat with bob: input cleared");
  // Spaces only: nothing sent, the input emptied.
  bob.input = "   ";
  bob.events().txtInput_Enter();
  EXPECT_EQ(chat.Take(), Log{});
  EXPECT_EQ(bob.input, "");
  EXPECT_EQ(chat.core.Chat().Partners(), (std::vector<std::string>{"l0bby", "bob"}));
}

TEST(ChatRouting, TheEchoTakesTheRosterColour) {
  Chat chat;
  chat.core.Commands().OpenLobbyChat();
  chat.views[0]->input = "hi";
  chat.TakeWindows();
  chat.views[0]->events().txtInput_Enter();
  EXPECT_EQ(chat.TakeWindows().front(), "Lobby Chat: append <Me> hi colour F8F8F8");
}

TEST(ChatRouting, IgnoredPilotsByWholeEntryWithoutRegardToCase) {
  Chat chat;
  chat.Settings({{"PopupLobbyOnMsg", 1}, {"PopupPrivateOnMsg", 1}});
  chat.settings.SetString("Ignored", "alice,Troll");
  chat.Receive({"LMSG:ALICE:spam", "PMSG:troll:spam", "LMSG:lic:hello"});
  EXPECT_EQ(chat.TakeWindows(), (Log{"Lobby Chat: created lobby size",
                                     "Lobby Chat: append <lic> hello", "Lobby Chat: shown"}));
}

// The lobby window is known by a flag of its own, never by its partner's name.
TEST(ChatRouting, APilotNamedLikeTheLobbysPartnerTalksPrivately) {
  Chat chat;
  chat.Settings({{"PopupLobbyOnMsg", 1}, {"PopupPrivateOnMsg", 1}});
  chat.core.Commands().OpenLobbyChat();
  chat.Receive({"PMSG:l0bby:psst"});
  chat.Receive({"PMSG:l0bby:again"});
  EXPECT_EQ(
      chat.TakeWindows(),
      (Log{"Lobby Chat: created lobby size", "Lobby Chat: shown",
           "Private chat with l0bby: created", "Private chat with l0bby: append <l0bby> psst",
           "Private chat with l0bby: shown", "Private chat with l0bby: append <l0bby> again"}));
  chat.views[1]->input = "hi";
  chat.views[1]->events().txtInput_Enter();
  EXPECT_EQ(chat.Take().back(), "send PMSG:l0bby:hi");
  EXPECT_EQ(chat.core.Chat().Partners(), (std::vector<std::string>{"l0bby", "l0bby"}));
}

TEST(ChatClosing, BufferedWindowsHideAndKeepTheirConversation) {
  for (int buffered : {0, 1}) {
    Chat chat;
    chat.Settings({{"BuffLobby", buffered}});
    chat.core.Commands().OpenLobbyChat();
    chat.Receive({"LMSG:bob:before"});
    EXPECT_EQ(chat.views[0]->events().Form_QueryUnload(), buffered == 0);
    chat.deferral.RunDeferred();
    chat.core.Commands().OpenLobbyChat();
    EXPECT_EQ(chat.views.size(), buffered ? 1u : 2u);
    EXPECT_EQ(chat.views.back()->output, buffered ? "<bob> before\r\n" : "");
  }
}

TEST(ChatClosing, AWindowClosedWhileItsLineIsSentIsNotWrittenTo) {
  Chat chat;
  chat.core.Commands().OpenPrivateChat("bob");
  chat.views[0]->input = "bye";
  // The send's wait lets window events run: the window is closed, and its object deleted at the
  // top of that inner loop, before the send returns.
  chat.socket.whileSending = [&] {
    chat.socket.whileSending = nullptr;
    chat.views[0]->events().Form_QueryUnload();
    chat.deferral.RunDeferred();
  };
  chat.TakeWindows();
  chat.views[0]->events().txtInput_Enter();
  EXPECT_EQ(chat.Take().back(), "send PMSG:bob:bye");
  EXPECT_EQ(chat.TakeWindows(), Log{});
  EXPECT_EQ(chat.core.Chat().Partners(), std::vector<std::string>{});
}

TEST(ChatClosing, TheResetClosesTheFirstWindowAndQuittingClosesAll) {
  Chat chat;
  chat.Settings({{"BuffPrivates", 1}});
  chat.core.Commands().OpenPrivateChat("bob");
  chat.core.Commands().OpenLobbyChat();
  chat.core.Commands().OpenPrivateChat("cy");
  chat.TakeWindows();
  chat.core.OnSocketError();  // reset: the first window found, buffered, is only hidden
  EXPECT_EQ(chat.TakeWindows(), (Log{"Private chat with bob: hidden"}));
  chat.SignIn("Me");
  chat.core.OnSocketError();  // the same window is the first found again
  EXPECT_EQ(chat.TakeWindows(), (Log{"Private chat with bob: hidden"}));
  EXPECT_EQ(chat.core.Chat().Partners(), (std::vector<std::string>{"bob", "l0bby", "cy"}));
  chat.core.Commands().mnuExit_Click();  // quitting: every window unloads
  EXPECT_EQ(chat.TakeWindows(), (Log{"Private chat with bob: unloaded", "Lobby Chat: unloaded",
                                     "Private chat with cy: unloaded"}));
  EXPECT_TRUE(chat.core.Chat().Partners().empty());
}

TEST(ChatStartup, TheLobbyWindowIsMadeHiddenAtLoadWhenBuffered) {
  for (int buffered : {0, 1}) {
    Chat chat;
    chat.Settings({{"BuffLobby", buffered}});
    chat.core.FinishStartup();
    EXPECT_EQ(chat.core.Chat().Partners().size(), static_cast<size_t>(buffered));
    if (buffered) {
      EXPECT_FALSE(chat.views[0]->visible);
    }
  }
}

TEST(IgnoreUser, AddsWholeNamesAndRefusesOnesAlreadyThere) {
  Chat chat;
  chat.Receive({"USER:lic:online", "USER:bob:away:brb"});
  chat.settings.SetString("Ignored", "alice");  // a last name without its comma
  chat.Take();
  chat.view.selectedKey = std::string(testing::kStamp) + "lic";
  chat.core.OnCommand(MainCommand::mnuIgnore);
  chat.view.selectedKey = std::string(testing::kStamp) + "bob";
  chat.core.OnCommand(MainCommand::mnuIgnore);
  chat.core.OnCommand(MainCommand::mnuIgnore);
  EXPECT_EQ(chat.settings.GetString("Ignored"), "alice,lic,bob,");
  EXPECT_EQ(chat.Take(),
            (Log{"tree image " + std::string(testing::kStamp) + "lic 6",
                 "box Warning! exclamation User has been added to the ignore list.",
                 "tree image " + std::string(testing::kStamp) + "bob 6",
                 "box Warning! exclamation User has been added to the ignore list.",
                 "box Warning! exclamation User is already present in the ignored list!"}));
  // A list longer than other texts may be still counts: nothing of it is lost.
  std::string list = testing::LongIgnoredList(300);
  chat.settings.SetString("Ignored", list + "bob,");
  chat.core.OnCommand(MainCommand::mnuIgnore);
  chat.view.selectedKey = std::string(testing::kStamp) + "lic";
  chat.core.OnCommand(MainCommand::mnuIgnore);
  EXPECT_EQ(chat.settings.GetString("Ignored"), list + "bob,lic,");
}

// A list too long even for its own read buffer reads as missing: written back with one more name,
// it would lose every name it held. Such a list stays as it is; a missing one is the empty list.
TEST(IgnoreUser, LeavesAStoredListItCannotReadAsItIs) {
  const std::string tooLong = testing::LongIgnoredList(70000);
  const struct {
    std::optional<std::string> stored;
    std::string after;
    Log log;
  } cases[] = {
      {std::nullopt,
       "bob,",
       {"tree image " + std::string(testing::kStamp) + "bob 6",
        "box Warning! exclamation User has been added to the ignore list."}},
      {tooLong,
       tooLong,
       {"box Warning! exclamation Your ignore list is too long to be read, so this user cannot be "
        "put on it."}}};
  for (const auto& c : cases) {
    Chat chat;
    chat.Receive({"USER:bob:online"});
    if (c.stored) chat.settings.SetString("Ignored", *c.stored);
    chat.Take();
    chat.view.selectedKey = std::string(testing::kStamp) + "bob";
    chat.core.OnCommand(MainCommand::mnuIgnore);
    EXPECT_EQ(chat.Take(), c.log);
    EXPECT_EQ(chat.settings.GetString("Ignored"), c.after);
  }
}

// Stored, "x,bob" would be read back as x and bob: the ID is refused, and the list stays.
TEST(IgnoreUser, RefusesAnIdHoldingAComma) {
  Chat chat;
  chat.Receive({"USER:x,bob:online"});
  chat.settings.SetString("Ignored", "alice,");
  chat.Take();
  chat.view.selectedKey = std::string(testing::kStamp) + "x,bob";
  chat.core.OnCommand(MainCommand::mnuIgnore);
  EXPECT_EQ(chat.Take(), (Log{"box Warning! exclamation This user's ID holds a comma and cannot be "
                              "put on the ignore list."}));
  EXPECT_EQ(chat.settings.GetString("Ignored"), "alice,");
}

}  // namespace
}  // namespace cv3
