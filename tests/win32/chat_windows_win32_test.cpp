// The chat window and the profile window in-process under Wine: what only the real controls can
// show (keys, the clipboard, the edit controls' limits, locking and tab order). The rules behind
// their events are tested natively with the router and the profile controller.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cv3client/ui/frm_chat_win32.h"
#include "cv3client/ui/frm_user_info_win32.h"
#include "testbed/remote_controls_win32.h"
#include "tests/win32/loop_support.h"

namespace cv3 {
namespace {

using testbed::FontFace;
using testbed::HasStyle;
using testbed::ReadWindowText;

void SetClipboardText(HWND owner, const std::wstring& text) {
  ASSERT_TRUE(OpenClipboard(owner));
  EmptyClipboard();
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(memory);
  SetClipboardData(CF_UNICODETEXT, memory);
  CloseClipboard();
}

std::wstring ClipboardText(HWND owner) {
  std::wstring text;
  if (!OpenClipboard(owner)) return L"(clipboard busy)";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

// What the router would do with the chat window's events, recorded.
struct ChatRecorder : ChatEvents {
  void txtInput_Enter() override {
    seen.push_back("enter [" + view->InputText() + "]");
    if (onEnter) onEnter();
  }
  bool Form_QueryUnload() override {
    seen.push_back("query unload");
    return allowUnload;
  }
  std::vector<std::string> seen;
  bool allowUnload = true;
  ChatView* view = nullptr;
  std::function<void()> onEnter;
};

class ChatWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The tiled look, the program's default: the boxes' painters hook them too.
    chat_ = std::make_unique<frmChat>(ChatLook{nullptr, true, CV3_ASSETS_DIR});
    events_.view = chat_.get();
    // Left hidden: under Wine without a window manager, hiding a shown window takes seconds.
    ASSERT_TRUE(chat_->Create("Lobby Chat", true, events_));
  }
  static void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  void Type(HWND box, const std::wstring& keys) {
    for (wchar_t key : keys) SendMessageW(box, WM_CHAR, key, 1);
  }

  ChatRecorder events_;
  std::unique_ptr<frmChat> chat_;
};

TEST(ChatWindowLook, CaptionSizeAndBoxes) {
  struct Case {
    std::string caption;
    bool lobby;
    int widthTwips, heightTwips;
  };
  for (const Case& c : {Case{"Lobby Chat", true, kLobbyWidthTwips, kLobbyHeightTwips},
                        Case{"Private chat with bob", false, frmChat::kPrivateWidthTwips,
                             frmChat::kPrivateHeightTwips}}) {
    SCOPED_TRACE(c.caption);
    ChatRecorder events;
    frmChat chat;
    ASSERT_TRUE(chat.Create(c.caption, c.lobby, events));
    EXPECT_FALSE(chat.IsVisible());  // made hidden
    EXPECT_EQ(ReadWindowText(chat.hwnd()), c.caption);
    RECT frame;
    GetWindowRect(chat.hwnd(), &frame);
    UINT dpi = DpiOf(chat.hwnd());
    EXPECT_EQ(frame.right - frame.left, TwipsToPixels(c.widthTwips, dpi));
    EXPECT_EQ(frame.bottom - frame.top, TwipsToPixels(c.heightTwips, dpi));
    // Each box follows its label; the output is above the input.
    EXPECT_EQ(GetWindow(chat.txtOutput(), GW_HWNDPREV), chat.lblOutput());
    EXPECT_EQ(GetWindow(chat.txtInput(), GW_HWNDPREV), chat.lblInput());
    EXPECT_EQ(ReadWindowText(chat.lblOutput()), "Conversation:");
    EXPECT_EQ(ReadWindowText(chat.lblInput()), "Message:");
    EXPECT_TRUE(HasStyle(chat.txtOutput(), ES_MULTILINE));
    EXPECT_TRUE(HasStyle(chat.txtOutput(), ES_READONLY));
    EXPECT_TRUE(HasStyle(chat.txtOutput(), WS_VSCROLL));
    EXPECT_FALSE(HasStyle(chat.txtInput(), ES_MULTILINE | ES_READONLY));
    EXPECT_EQ(FontFace(chat.txtOutput()), "Verdana");
    EXPECT_EQ(FontFace(chat.txtInput()), "Verdana");
    RECT output, input;
    GetWindowRect(chat.txtOutput(), &output);
    GetWindowRect(chat.txtInput(), &input);
    EXPECT_LT(output.bottom, input.top);
    EXPECT_EQ(output.right - output.left, input.right - input.left);
  }
}

TEST(ChatWindowLook, TiledLookPutsBothBoxesOverTheTileWithLightText) {
  struct Case {
    const char* name;
    ChatLook look;
    bool tiled;
  };
  for (const Case& c : {Case{"tiled", {nullptr, true, CV3_ASSETS_DIR}, true},
                        Case{"plain", {nullptr, false, CV3_ASSETS_DIR}, false},
                        Case{"no picture", {nullptr, true, L"Z:\\nowhere"}, false}}) {
    SCOPED_TRACE(c.name);
    ChatRecorder events;
    frmChat chat(c.look);
    ASSERT_TRUE(chat.Create("Lobby Chat", true, events));
    EXPECT_EQ(chat.outputBackground() != nullptr, c.tiled);
    EXPECT_EQ(chat.inputBackground() != nullptr, c.tiled);
    for (HWND box : {chat.txtOutput(), chat.txtInput()}) {
      HDC dc = GetDC(box);
      UINT message = box == chat.txtOutput() ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT;
      LRESULT brush = SendMessageW(chat.hwnd(), message, reinterpret_cast<WPARAM>(dc),
                                   reinterpret_cast<LPARAM>(box));
      EXPECT_EQ(GetTextColor(dc), c.tiled ? RGB(0xF8, 0xF8, 0xF8) : RGB(0, 0, 0));
      EXPECT_EQ(brush == reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)), c.tiled);
      ReleaseDC(box, dc);
    }
  }
}

TEST_F(ChatWindowTest, EnterReportsTheLineAndDelIsDiscarded) {
  // DEL is what Ctrl+Backspace types: Windows' edit would insert it (Wine's drops it itself).
  Type(chat_->txtInput(), L"hi there\x7f\r");
  EXPECT_EQ(events_.seen, std::vector<std::string>{"enter [hi there]"});
  EXPECT_EQ(ReadWindowText(chat_->txtInput()), "hi there");
  chat_->ClearInput();
  EXPECT_EQ(chat_->InputText(), "");
}

TEST_F(ChatWindowTest, AppendOutputAppendsExactlyWithTheCaretAtTheEnd) {
  chat_->AppendOutput("<amy> hello: there\r\n");
  chat_->AppendOutput("<pilot> \xC2\xB6 ok\r\n", 0x00FF00);
  std::string expected = "<amy> hello: there\r\n<pilot> \xC2\xB6 ok\r\n";
  EXPECT_EQ(GetControlText(chat_->txtOutput()), "");  // the lines of one arrival go in together
  PumpMessages();
  EXPECT_EQ(GetControlText(chat_->txtOutput()), expected);
  // Well past the edit control's own limits (32 K and 64 K).
  std::string line = "<amy> a line of the conversation, number ";
  for (int i = 0; i < 1800; ++i) {
    std::string text = line + std::to_string(i) + "\r\n";
    chat_->AppendOutput(text);
    expected += text;
  }
  ASSERT_GT(expected.size(), 65536u);
  PumpMessages();
  std::string text = GetControlText(chat_->txtOutput());
  ASSERT_EQ(text.size(), expected.size());
  EXPECT_EQ(text, expected);
  DWORD start = 0, end = 0;
  SendMessageW(chat_->txtOutput(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, static_cast<DWORD>(GetWindowTextLengthW(chat_->txtOutput())));
  EXPECT_EQ(end, start);
}

TEST_F(ChatWindowTest, MouseUpOverTheOutputCopiesOnlyASelection) {
  chat_->AppendOutput("<amy> hello\r\n");
  PumpMessages();
  struct Case {
    DWORD start, end;
    std::wstring clipboard;
  };
  for (const Case& c : {Case{3, 3, L"before"}, Case{1, 4, L"amy"}}) {
    SetClipboardText(chat_->hwnd(), L"before");
    SetFocus(chat_->txtOutput());
    SendMessageW(chat_->txtOutput(), EM_SETSEL, c.start, c.end);
    SendMessageW(chat_->txtOutput(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(ClipboardText(chat_->hwnd()), c.clipboard);
    EXPECT_EQ(GetFocus(), chat_->txtInput());
  }
}

TEST_F(ChatWindowTest, EscAndTheCloseBoxAskAndObey) {
  struct Case {
    const char* name;
    bool allow;
    bool escape;  // else the close box
  };
  for (const Case& c : {Case{"esc kept", false, true}, Case{"close box kept", false, false},
                        Case{"esc unloads", true, true}, Case{"close box unloads", true, false}}) {
    SCOPED_TRACE(c.name);
    SetUp();
    events_.seen.clear();
    events_.allowUnload = c.allow;
    HWND window = chat_->hwnd();
    if (c.escape) {
      SendMessageW(chat_->txtInput(), WM_KEYDOWN, VK_ESCAPE, 1);
    } else {
      SendMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    EXPECT_EQ(events_.seen, std::vector<std::string>{"query unload"});
    EXPECT_EQ(IsWindow(window) != FALSE, !c.allow);
    EXPECT_EQ(chat_->hwnd() == nullptr, c.allow);
  }
}

TEST_F(ChatWindowTest, UnloadFromItsOwnEventThenDeletedLater) {
  HWND window = chat_->hwnd();
  events_.onEnter = [&] { chat_->Unload(); };
  Type(chat_->txtInput(), L"bye\r");
  EXPECT_FALSE(IsWindow(window));
  // What the router does afterwards, from the top of the loop.
  EXPECT_EQ(chat_->InputText(), "");
  chat_->AppendOutput("late\r\n");
  chat_.reset();
  EXPECT_EQ(events_.seen, std::vector<std::string>{"enter [bye]"});
}

// The profile window's buttons, recorded; each unloads the window as the controller does.
struct ProfileRecorder : ProfileEvents {
  void cmdOK_Click() override { Record("ok"); }
  void cmdCancel_Click() override { Record("cancel"); }
  void Record(const std::string& what) {
    seen.push_back(what + (IsWindowEnabled(owner) ? " (owner enabled)" : ""));
    view->Unload();
  }
  std::vector<std::string> seen;
  ProfileView* view = nullptr;
  HWND owner = nullptr;
};

class ProfileWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                             nullptr, nullptr, nullptr);
    profile_ = std::make_unique<frmUserInfo>(owner_);
    ASSERT_TRUE(profile_->Make());
  }
  void TearDown() override {
    profile_.reset();
    DestroyWindow(owner_);
  }

  HWND owner_ = nullptr;
  std::unique_ptr<frmUserInfo> profile_;
};

constexpr ProfileBox kAllBoxes[] = {
    ProfileBox::kMemberSince, ProfileBox::kLastOn, ProfileBox::kLocation, ProfileBox::kAge,
    ProfileBox::kEmail,       ProfileBox::kWeb,    ProfileBox::kBio};

TEST_F(ProfileWindowTest, LabelsBoxesAndLockingInBothModes) {
  struct Row {
    ProfileBox box;
    const char* label;
    bool editable;
  };
  const Row rows[] = {{ProfileBox::kMemberSince, "Member Since:", false},
                      {ProfileBox::kLastOn, "Last On:", false},
                      {ProfileBox::kLocation, "Location:", true},
                      {ProfileBox::kAge, "Age:", true},
                      {ProfileBox::kEmail, "E-mail:", true},
                      {ProfileBox::kWeb, "Web:", true},
                      {ProfileBox::kBio, "Player Bio:", true}};
  EXPECT_EQ(ReadWindowText(profile_->hwnd()), "View Profile");
  EXPECT_EQ(ReadWindowText(profile_->cmdOK()), "OK");
  EXPECT_EQ(ReadWindowText(profile_->cmdCancel()), "Cancel");
  EXPECT_TRUE(HasStyle(profile_->cmdOK(), BS_DEFPUSHBUTTON));
  EXPECT_EQ(FontFace(profile_->cmdOK()), "Verdana");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    HWND box = profile_->txt(row.box);
    EXPECT_EQ(ReadWindowText(profile_->lbl(row.box)), row.label);
    EXPECT_EQ(GetWindow(box, GW_HWNDPREV), profile_->lbl(row.box));
    EXPECT_EQ(FontFace(box), "Verdana");
    EXPECT_EQ(FontFace(profile_->lbl(row.box)), "Verdana");
    EXPECT_EQ(HasStyle(box, ES_MULTILINE), row.box == ProfileBox::kBio);
    EXPECT_TRUE(HasStyle(box, ES_READONLY));
  }
  profile_->SetBox(ProfileBox::kBio, "line one\r\nline two");
  EXPECT_EQ(profile_->Box(ProfileBox::kBio), "line one\r\nline two");

  profile_->SetEditable();
  EXPECT_EQ(ReadWindowText(profile_->cmdOK()), "Save");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    HWND box = profile_->txt(row.box);
    EXPECT_EQ(HasStyle(box, ES_READONLY), !row.editable);
    if (!row.editable) continue;
    // Unlocked boxes stand on white.
    HDC dc = GetDC(box);
    EXPECT_EQ(SendMessageW(profile_->hwnd(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(box)),
              reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    ReleaseDC(box, dc);
  }
}

TEST_F(ProfileWindowTest, TabGoesThroughTheBoxesThenTheButtons) {
  std::vector<HWND> expected;
  for (ProfileBox box : kAllBoxes) expected.push_back(profile_->txt(box));
  expected.push_back(profile_->cmdOK());
  expected.push_back(profile_->cmdCancel());
  std::vector<HWND> order;
  HWND at = profile_->cmdCancel();
  for (size_t i = 0; i < expected.size(); ++i) {
    at = GetNextDlgTabItem(profile_->hwnd(), at, FALSE);
    order.push_back(at);
  }
  EXPECT_EQ(order, expected);
}

TEST_F(ProfileWindowTest, TabLeavesTheBioBox) {
  ProfileRecorder events;
  events.view = profile_.get();
  events.owner = owner_;
  HWND bio = profile_->txt(ProfileBox::kBio), focusAfter = nullptr;
  testing::FromTheLoop([&] {
    SetFocus(bio);
    PostMessageW(bio, WM_KEYDOWN, VK_TAB, 1);
    PostMessageW(bio, WM_KEYUP, VK_TAB, 0xC0000001);
    testing::FromTheLoop([&] {
      focusAfter = GetFocus();
      PostMessageW(profile_->hwnd(), WM_CLOSE, 0, 0);
    });
  });
  profile_->ShowModal(events);
  EXPECT_EQ(focusAfter, profile_->cmdOK());
}

TEST_F(ProfileWindowTest, ModalOverTheOwnerWithEnterEscAndTheCloseBox) {
  struct Case {
    const char* name;
    UINT message;
    WPARAM key;
    std::string event;
  };
  for (const Case& c :
       {Case{"enter", WM_KEYDOWN, VK_RETURN, "ok"}, Case{"esc", WM_KEYDOWN, VK_ESCAPE, "cancel"},
        Case{"close box", WM_CLOSE, 0, "cancel"}}) {
    SCOPED_TRACE(c.name);
    profile_ = std::make_unique<frmUserInfo>(owner_);
    ASSERT_TRUE(profile_->Make());
    ProfileRecorder events;
    events.view = profile_.get();
    events.owner = owner_;
    // Keys go to the focused button; a close box behind them ends the loop should they fail.
    HWND target = c.message == WM_CLOSE ? profile_->hwnd() : profile_->cmdOK();
    PostMessageW(target, c.message, c.key, 1);
    PostMessageW(profile_->hwnd(), WM_CLOSE, 0, 0);
    profile_->ShowModal(events);
    EXPECT_EQ(events.seen, std::vector<std::string>{c.event});
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_FALSE(IsWindowVisible(profile_->hwnd()));
  }
}

}  // namespace
}  // namespace cv3
