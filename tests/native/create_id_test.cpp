// Account creation: the seven checks in their order, then the session values, the flag that
// makes the next connection send "CREATE:", and the window kept with its entries.
#include "cv3client/session/create_id.h"

#include <gtest/gtest.h>

#include "common/client_fakes.h"
#include "cv3client/session/login_controller.h"

namespace cv3 {
namespace {

using testing::ClientHarness;
using testing::Log;

TEST(CreateIdChecks, TheFirstFailingCheckGivesItsText) {
  struct Case {
    const char *id, *password, *verify, *email, *refusal;
  };
  const Case cases[] = {
      {"", "pw", "pw", "a@b", "You must enter a Corvane ID!"},
      {"   ", "pw", "pw", "a@b", "You must enter a Corvane ID!"},
      {"ab", "pw", "pw", "a@b", "Corvane ID must be 3 letters/numbers or more!"},
      {"  ab  ", "pw", "pw", "a@b", "Corvane ID must be 3 letters/numbers or more!"},
      {"\xC3\xA9\xC3\xA9", "pw", "pw", "a@b", "Corvane ID must be 3 letters/numbers or more!"},
      {" abc", "pw", "pw", "a@b", "One of your fields contains disallowed punctuation or letters!"},
      {"abc", "p:w", "other", "a@b",
       "One of your fields contains disallowed punctuation or letters!"},
      {"abc", "p w", "p w", "a@b",
       "One of your fields contains disallowed punctuation or letters!"},
      {"abc", "pw", "pw", "a(b)@c",
       "One of your fields contains disallowed punctuation or letters!"},
      {"ab\xC2\xB6"
       "c",
       "pw", "pw", "a@b", "One of your fields contains disallowed punctuation or letters!"},
      {"abc", "pw", "pW", "a@b", "Your passwords do not match!"},
      {"abc", "", "", "a@b", "You must enter a password!"},
      {"abc", "pw", "pw", "", "You must enter an e-mail address!"},
      {"abc", "pw", "pw", "nobody", "You must enter a valid e-mail address!"},
      {"abc", "pw", "pw", "x@", nullptr},
      {"\xC3\xA9\xC3\xA9\xC3\xA9", "pw", "pw", "a@b", nullptr},
      // The verify password is never checked for punctuation, only compared trimmed.
      {"abc", "pw", " pw ", "a@b", nullptr},
  };
  for (const Case& c : cases) {
    auto refusal = CreateIdRefusal(c.id, c.password, c.verify, c.email);
    EXPECT_EQ(refusal.value_or("none"), c.refusal ? c.refusal : "none")
        << c.id << " / " << c.password << " / " << c.verify << " / " << c.email;
  }
}

class FakeCreateIdView : public testing::LoggingView<CreateIdView> {
 public:
  using LoggingView::LoggingView;
  void ShowModal(CreateIdEvents& events) override {
    log_.push_back("shown with " + id);
    if (onShow) onShow(events);
  }
  std::string LoginId() const override { return id; }
  std::string Password() const override { return password; }
  std::string VerifyPassword() const override { return verify; }
  std::string Email() const override { return email; }
  void Hide() override { log_.push_back("hide"); }
  void Unload() override { log_.push_back("unload"); }

  std::string id, password, verify, email;
  std::function<void(CreateIdEvents&)> onShow;
};

struct Newcomer : ClientHarness {
  Log window;
  int made = 0;
  std::function<void(FakeCreateIdView&, CreateIdEvents&)> press;
  Newcomer() {
    factory.Provide<CreateIdView>([this] {
      ++made;
      auto view = std::make_unique<FakeCreateIdView>(window);
      FakeCreateIdView* raw = view.get();
      view->onShow = [this, raw](CreateIdEvents& events) { press(*raw, events); };
      return view;
    });
  }
  void Open() {
    view.ShowWindow(WindowKind::kCreateId);
    deferral.RunDeferred();
  }
};

TEST(CreateIdWindow, CreateStoresTheValuesHidesAndConnectsThenSendsCreate) {
  Newcomer n;
  n.settings.SetString("CvAddress", "lobby.example.net");
  n.press = [](FakeCreateIdView& v, CreateIdEvents& e) {
    v.id = " neo";
    e.cmdCreate_Click();  // refused: the window stays
    v.id = "neo";
    v.password = v.verify = "secret";
    v.email = "neo@example.net";
    e.cmdCreate_Click();
  };
  n.Open();
  EXPECT_EQ(n.window,
            (Log{"shown with ",
                 "box Warning! exclamation One of your fields contains disallowed punctuation or "
                 "letters!",
                 "hide"}));
  const Identity& values = n.session.SignedIn();
  EXPECT_EQ(values.name, "neo");
  EXPECT_EQ(values.passwordDigest, "5EBE2294ECD0E0F08EAB7690D2A6EE69");
  EXPECT_EQ(values.email, "neo@example.net");
  EXPECT_TRUE(values.creatingAccount);
  EXPECT_EQ(n.log.back(), "connect lobby.example.net:13228");
  // Nothing is remembered in the registry.
  EXPECT_EQ(n.settings.GetString("Username"), "Error");
  // The first connection fails: the flag stays, so the next one still creates.
  n.core.OnSocketError();
  n.socket.connected = true;
  n.core.OnSocketConnect();
  EXPECT_EQ(n.log.back(), "send CREATE:neo:5EBE2294ECD0E0F08EAB7690D2A6EE69:neo@example.net");
  EXPECT_FALSE(n.session.SignedIn().creatingAccount);
  // Shown again, it is the same window with its entries.
  n.press = [](FakeCreateIdView&, CreateIdEvents& e) { e.cmdCancel_Click(); };
  n.Open();
  EXPECT_EQ(n.made, 1);
  EXPECT_EQ(n.window.back(), "unload");
  EXPECT_EQ(n.window[n.window.size() - 2], "shown with neo");
  // Cancelled, it is gone: the next one is new.
  n.Open();
  EXPECT_EQ(n.made, 2);
}

TEST(CreateIdWindow, HelpOpensTheForumMinimisedAndAPasswordWithoutAByteIsRefused) {
  Newcomer n;
  n.press = [](FakeCreateIdView& v, CreateIdEvents& e) {
    e.Command3_Click();
    v.id = "neo";
    v.password = v.verify = "\xE6\xBC\xA2";  // a character with no Windows-1252 byte
    v.email = "a@b";
    e.cmdCreate_Click();
  };
  n.Open();
  EXPECT_EQ(n.Take(), (Log{"create id window",
                           "run minimized cmd /c start "
                           "http://www.corvane.net/modules.php?name=Forums"}));
  EXPECT_EQ(n.window.back(), testing::Describe(WarningBox(std::string(kUnusablePasswordText))));
  EXPECT_FALSE(n.session.SignedIn().creatingAccount);
}

}  // namespace
}  // namespace cv3
