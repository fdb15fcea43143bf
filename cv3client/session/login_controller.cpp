#include "cv3client/session/login_controller.h"

#include <optional>

#include "cv3client/support/client_settings.h"
#include "cv3client/support/web_pages.h"
#include "protocol/md5.h"

namespace cv3 {

void LoginController::Form_Load() {
  // A box set from the registry runs its click rule only when that changes it (a fresh window
  // has both unchecked); a missing value leaves it unchecked and writes nothing.
  if (registry_.GetDWord(settings::kClientKey, settings::kRememberLogin) == 1) {
    view_.SetRemember(true);
    chkRememberIDPass_Click();
  }
  if (registry_.GetDWord(settings::kClientKey, settings::kAutoLogin) == 1) {
    view_.SetAuto(true);
    chkAutoLogin_Click();
  }
  if (view_.RememberChecked()) {
    hooks_.signInAs(settings::TextOrEmpty(registry_, settings::kUsername),
                    settings::TextOrEmpty(registry_, settings::kPassword));
    view_.SetLoginId(identity_.name);
    view_.SetPassword(std::string(kPasswordPlaceholder));
  }
}

void LoginController::cmdLogin_Click() {
  std::string id = view_.LoginId();
  std::string password = view_.Password();
  bool typed = password != kPasswordPlaceholder;
  std::optional<std::string> digest;
  if (typed) {
    // Refused before anything is stored or sent: folding the character into another one would
    // sign in with a password the user never typed.
    digest = clsMD5().DigestStrToHexStr(password);
    if (!digest) {
      view_.ShowMessage(WarningBox(std::string(kUnusablePasswordText)));
      return;
    }
  }
  view_.Hide();
  if (view_.AutoChecked()) {
    view_.SetRemember(true);
    chkRememberIDPass_Click();
  }
  registry_.SetString(settings::kClientKey, settings::kUsername, id);
  if (typed) registry_.SetString(settings::kClientKey, settings::kPassword, *digest);
  hooks_.signInAs(id, typed ? *digest : identity_.passwordDigest);
  if (hooks_.connectToServer) hooks_.connectToServer();
  view_.Unload();
}

void LoginController::chkRememberIDPass_Click() {
  bool checked = view_.RememberChecked();
  if (!checked) view_.SetPassword("");
  registry_.SetDWord(settings::kClientKey, settings::kRememberLogin, checked ? 1 : 0);
}

void LoginController::chkAutoLogin_Click() {
  registry_.SetDWord(settings::kClientKey, settings::kAutoLogin, view_.AutoChecked() ? 1 : 0);
}

void LoginController::Command2_Click() { view_.Unload(); }

void LoginController::Command3_Click() {
  // Unlike the main window's pages, Help never falls back to "command".
  processes_.Start("cmd /c start " + WebSitePage(registry_, kForumsPath), "",
                   ShowMode::kMinimizedNoActivate);
}

void LoginController::Command4_Click() {
  view_.Unload();
  if (hooks_.showCreateIdWindow) hooks_.showCreateIdWindow();
}

}  // namespace cv3
