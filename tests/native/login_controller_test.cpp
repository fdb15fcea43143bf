#include "cv3client/session/login_controller.h"

#include <gtest/gtest.h>

#include "common/client_fakes.h"

namespace cv3 {
namespace {

using testing::Describe;
using testing::Log;
using testing::TestRegistry;

class FakeLoginView : public testing::LoggingView<LoginView> {
 public:
  using LoggingView::LoggingView;
  void ShowModal(LoginEvents& events) override {
    log_.push_back("login window");
    events.Form_Load();
    log_.push_back("filled " + id + " " + password);
    events.Command4_Click();
  }
  bool RememberChecked() const override { return remember; }
  bool AutoChecked() const override { return autoLogin; }
  void SetRemember(bool checked) override { remember = checked; }
  void SetAuto(bool checked) override { autoLogin = checked; }
  std::string LoginId() const override { return id; }
  std::string Password() const override { return password; }
  void SetLoginId(const std::string& text) override { id = text; }
  void SetPassword(const std::string& text) override { password = text; }
  void Hide() override { log_.push_back("hide"); }
  void Unload() override { log_.push_back("unload"); }

  bool remember = false;
  bool autoLogin = false;
  std::string id;
  std::string password;
};

constexpr const char* kRemembered = "0123456789ABCDEF0123456789ABCDEF";
constexpr const char* kSecretDigest = "5EBE2294ECD0E0F08EAB7690D2A6EE69";  // "secret"

struct Login {
  Log log;
  FakeLoginView view{log};
  TestRegistry settings;
  Identity session;
  testing::LoggingProcesses processes{log};
  LoginController controller{
      view, settings.registry, session, processes,
      LoginController::Hooks{
          [this](std::string name, std::string digest) {
            session.name = std::move(name);
            session.passwordDigest = std::move(digest);
          },
          [this] { log.push_back("connect as " + session.name + " " + session.passwordDigest); },
          [this] { log.push_back("create id window"); }}};
};

TEST(LoginLoad, NothingStoredLeavesEverythingEmptyAndWritesNothing) {
  Login login;
  login.session.name = "kept";
  login.controller.Form_Load();
  EXPECT_FALSE(login.view.remember);
  EXPECT_FALSE(login.view.autoLogin);
  EXPECT_EQ(login.view.id, "");
  EXPECT_EQ(login.view.password, "");
  EXPECT_TRUE(login.settings.GetDWord("RememberLogin").IsMarker());
  EXPECT_TRUE(login.settings.GetDWord("AutoLogin").IsMarker());
  EXPECT_EQ(login.session.name, "kept");
}

TEST(LoginLoad, RememberedIdShowsWithThePlaceholder) {
  Login login;
  login.settings.SetDWord("RememberLogin", 1);
  login.settings.SetDWord("AutoLogin", 1);
  login.settings.SetString("Username", "bob");
  login.settings.SetString("Password", kRemembered);
  login.controller.Form_Load();
  EXPECT_TRUE(login.view.remember);
  EXPECT_TRUE(login.view.autoLogin);
  EXPECT_EQ(login.view.id, "bob");
  EXPECT_EQ(login.view.password, "wexdorfupa");
  EXPECT_EQ(login.session.name, "bob");
  EXPECT_EQ(login.session.passwordDigest, kRemembered);
  EXPECT_EQ(login.settings.GetDWord("RememberLogin"), 1);
  EXPECT_EQ(login.settings.GetDWord("AutoLogin"), 1);
}

TEST(LoginLoad, RememberWithNothingRememberedGivesAnEmptyDigestBehindThePlaceholder) {
  Login login;
  login.settings.SetDWord("RememberLogin", 1);
  login.session.passwordDigest = "OLD";
  login.controller.Form_Load();
  EXPECT_EQ(login.view.id, "");
  EXPECT_EQ(login.view.password, "wexdorfupa");
  EXPECT_EQ(login.session.passwordDigest, "");
  login.controller.cmdLogin_Click();
  EXPECT_EQ(login.log, (Log{"hide", "connect as  ", "unload"}));
}

TEST(LoginButton, PlaceholderSignsInWithTheRememberedDigest) {
  Login login;
  login.settings.SetDWord("RememberLogin", 1);
  login.settings.SetString("Username", "bob");
  login.settings.SetString("Password", kRemembered);
  login.controller.Form_Load();
  login.controller.cmdLogin_Click();
  EXPECT_EQ(login.log, (Log{"hide", std::string("connect as bob ") + kRemembered, "unload"}));
  EXPECT_EQ(login.settings.GetString("Password"), kRemembered);
  EXPECT_EQ(login.settings.GetString("Username"), "bob");
}

TEST(LoginButton, ATypedPasswordReplacesTheDigestInSessionAndRegistry) {
  Login login;
  login.settings.SetDWord("RememberLogin", 1);
  login.settings.SetString("Password", kRemembered);
  login.controller.Form_Load();
  login.view.id = " Bob ";
  login.view.password = "secret";
  login.controller.cmdLogin_Click();
  EXPECT_EQ(login.log, (Log{"hide", std::string("connect as  Bob  ") + kSecretDigest, "unload"}));
  EXPECT_EQ(login.settings.GetString("Password"), kSecretDigest);
  EXPECT_EQ(login.settings.GetString("Username"), " Bob ");
}

TEST(LoginButton, StoresIdAndDigestEvenWhenNotRemembering) {
  Login login;
  login.view.id = "bob";
  login.view.password = "secret";
  login.controller.cmdLogin_Click();
  EXPECT_EQ(login.settings.GetString("Username"), "bob");
  EXPECT_EQ(login.settings.GetString("Password"), kSecretDigest);
  EXPECT_TRUE(login.settings.GetDWord("RememberLogin").IsMarker());
}

TEST(LoginButton, APasswordThatIsLiterallyThePlaceholderIsNeverHashed) {
  Login login;
  login.session.passwordDigest = kRemembered;
  login.view.id = "bob";
  login.view.password = "wexdorfupa";
  login.controller.cmdLogin_Click();
  EXPECT_EQ(login.session.passwordDigest, kRemembered);
  EXPECT_EQ(login.settings.GetString("Password"), "Error");
}

TEST(LoginButton, AutomaticLoginAlsoRemembers) {
  Login login;
  login.view.autoLogin = true;
  login.view.id = "bob";
  login.view.password = "secret";
  login.controller.cmdLogin_Click();
  EXPECT_TRUE(login.view.remember);
  EXPECT_EQ(login.view.password, "secret");
  EXPECT_EQ(login.settings.GetDWord("RememberLogin"), 1);
}

TEST(LoginButton, AWindows1252PasswordIsDigestedAsItsBytes) {
  Login login;
  login.view.password =
      "\xE2\x82\xAC"
      "uro";  // €uro as 0x80 "uro": md5sum of the iconv output
  login.controller.cmdLogin_Click();
  EXPECT_EQ(login.session.passwordDigest, "203B6DA413075E767581E4BE9354295B");
}

TEST(LoginButton, APasswordWithoutWindows1252BytesIsRefusedAndNothingHappens) {
  Login login;
  login.settings.SetString("Password", kRemembered);
  login.session.passwordDigest = kRemembered;
  login.view.autoLogin = true;
  login.view.id = "bob";
  login.view.password = "\xCE\xA9mega";  // Ωmega
  login.controller.cmdLogin_Click();
  EXPECT_EQ(login.log, (Log{"box Warning! exclamation Your password contains a character that "
                            "cannot be used. Please use only the letters, digits and signs of "
                            "Western European languages."}));
  EXPECT_EQ(login.session.passwordDigest, kRemembered);
  EXPECT_EQ(login.session.name, "");
  EXPECT_EQ(login.settings.GetString("Password"), kRemembered);
  EXPECT_EQ(login.settings.GetString("Username"), "Error");
  EXPECT_TRUE(login.settings.GetDWord("RememberLogin").IsMarker());
}

TEST(CheckBoxes, UncheckingRememberEmptiesThePasswordAndKeepsTheStoredValues) {
  Login login;
  login.settings.SetDWord("RememberLogin", 1);
  login.settings.SetString("Username", "bob");
  login.settings.SetString("Password", kRemembered);
  login.controller.Form_Load();
  login.view.remember = false;
  login.controller.chkRememberIDPass_Click();
  EXPECT_EQ(login.view.password, "");
  EXPECT_EQ(login.settings.GetDWord("RememberLogin"), 0);
  EXPECT_EQ(login.settings.GetString("Username"), "bob");
  EXPECT_EQ(login.settings.GetString("Password"), kRemembered);
  login.view.remember = true;
  login.view.password = "typed";
  login.controller.chkRememberIDPass_Click();
  EXPECT_EQ(login.view.password, "typed");
  EXPECT_EQ(login.settings.GetDWord("RememberLogin"), 1);
}

TEST(CheckBoxes, AutoLoginIsStoredAtOnceEvenWhenCancelled) {
  Login login;
  login.view.autoLogin = true;
  login.controller.chkAutoLogin_Click();
  EXPECT_EQ(login.settings.GetDWord("AutoLogin"), 1);
  login.controller.Command2_Click();
  EXPECT_EQ(login.log, (Log{"unload"}));
  EXPECT_EQ(login.settings.GetDWord("AutoLogin"), 1);
  login.view.autoLogin = false;
  login.controller.chkAutoLogin_Click();
  EXPECT_EQ(login.settings.GetDWord("AutoLogin"), 0);
}

TEST(Buttons, HelpOpensTheForumThroughCmd) {
  Login login;
  login.controller.Command3_Click();
  EXPECT_EQ(login.log,
            (Log{"run minimized cmd /c start http://www.corvane.net/modules.php?name=Forums"}));
}

TEST(Buttons, GetACorvaneIdUnloadsThenOpensAccountCreation) {
  Login login;
  login.controller.Command4_Click();
  EXPECT_EQ(login.log, (Log{"unload", "create id window"}));
}

// The core opens the login window through the platform's maker, with a controller over it whose
// hooks reach the session and the window opener.
TEST(Window, TheCoreOpensItWithItsController) {
  testing::ClientHarness core;
  core.settings.SetDWord("RememberLogin", 1);
  core.settings.SetString("Username", "Ann");
  Log windowLog;
  core.factory.Provide<LoginView>([&] { return std::make_unique<FakeLoginView>(windowLog); });
  core.view.ShowWindow(WindowKind::kLogin);
  EXPECT_EQ(core.Take(), (Log{"login window"}));
  EXPECT_EQ(windowLog, Log{});  // from the top of the message loop only
  core.deferral.RunDeferred();
  EXPECT_EQ(windowLog, (Log{"login window", "filled Ann wexdorfupa", "unload"}));
  EXPECT_EQ(core.Take(), (Log{"create id window"}));
  EXPECT_EQ(core.session.SignedIn().name, "Ann");
}

}  // namespace
}  // namespace cv3
