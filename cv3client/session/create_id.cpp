#include "cv3client/session/create_id.h"

#include "cv3client/session/login_controller.h"
#include "cv3client/support/web_pages.h"
#include "protocol/md5.h"
#include "protocol/text_helpers.h"

namespace cv3 {

std::optional<std::string_view> CreateIdRefusal(std::string_view id, std::string_view password,
                                                std::string_view verifyPassword,
                                                std::string_view email) {
  std::string_view trimmedId = TrimSpaces(id);
  if (trimmedId.empty()) return "You must enter a Corvane ID!";
  if (CharacterCount(trimmedId) < 3) return "Corvane ID must be 3 letters/numbers or more!";
  if (!IsSafeName(id) || !IsSafeName(password) || !IsSafeName(email)) {
    return "One of your fields contains disallowed punctuation or letters!";
  }
  if (TrimSpaces(password) != TrimSpaces(verifyPassword)) return "Your passwords do not match!";
  if (TrimSpaces(password).empty()) return "You must enter a password!";
  if (TrimSpaces(email).empty()) return "You must enter an e-mail address!";
  if (email.find('@') == std::string_view::npos) return "You must enter a valid e-mail address!";
  return std::nullopt;
}

void CreateIdController::cmdCreate_Click() {
  std::string id = view_.LoginId();
  std::string password = view_.Password();
  std::string email = view_.Email();
  if (auto refusal = CreateIdRefusal(id, password, view_.VerifyPassword(), email)) {
    view_.ShowMessage(WarningBox(std::string(*refusal)));
    return;
  }
  // Folding a character without a Windows-1252 byte into another would create an account whose
  // password the player never typed.
  std::optional<std::string> digest = clsMD5().DigestStrToHexStr(password);
  if (!digest) {
    view_.ShowMessage(WarningBox(std::string(kUnusablePasswordText)));
    return;
  }
  hooks_.createAccount(id, *digest, email);
  view_.Hide();
  if (hooks_.connectToServer) hooks_.connectToServer();
}

void CreateIdController::cmdCancel_Click() {
  view_.Unload();
  if (hooks_.unloaded) hooks_.unloaded();
}

void CreateIdController::Command3_Click() {
  processes_.Start("cmd /c start " + WebSitePage(registry_, kForumsPath), "",
                   ShowMode::kMinimizedNoActivate);
}

}  // namespace cv3
