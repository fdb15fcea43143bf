// frmLogin's rules: filling the window from the remembered ID and digest, the registry writes of
// its check boxes and of Login, the placeholder that stands for a remembered password, Help and
// the way to a new ID. The login window creates one when it loads and calls it from its events;
// UI thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/message_box.h"
#include "common/registry.h"
#include "cv3client/session/session_controller.h"

namespace cv3 {

// Stands in the password box while the remembered digest is in use; never hashed or sent.
inline constexpr std::string_view kPasswordPlaceholder = "wexdorfupa";
inline constexpr std::string_view kUnusablePasswordText =
    "Your password contains a character that cannot be used. Please use only the letters, "
    "digits and signs of Western European languages.";

// What the controller needs of frmLogin.
class LoginView {
 public:
  virtual ~LoginView() = default;
  // The check boxes; setting one must not raise its click event (the controller runs the
  // click's rule itself).
  virtual bool RememberChecked() const = 0;
  virtual bool AutoChecked() const = 0;
  virtual void SetRemember(bool checked) = 0;
  virtual void SetAuto(bool checked) = 0;
  virtual std::string LoginId() const = 0;   // txtLoginID
  virtual std::string Password() const = 0;  // txtPassword
  virtual void SetLoginId(const std::string& text) = 0;
  virtual void SetPassword(const std::string& text) = 0;
  virtual BoxResult ShowMessage(const MessageBoxSpec& box) = 0;
  virtual void Hide() = 0;
  // Ends the modal window; the controller makes no further calls on the view after it.
  virtual void Unload() = 0;
  // Runs a command line in a minimised window without waiting for it.
  virtual void RunMinimized(const std::string& commandLine) = 0;
};

class LoginController {
 public:
  struct Hooks {
    std::function<void()> connectToServer;     // SessionController::ConnectToServer
    std::function<void()> showCreateIdWindow;  // frmCreateId, modal
  };

  LoginController(LoginView& view, Registry& registry, SessionValues& session, Hooks hooks)
      : view_(view), registry_(registry), session_(session), hooks_(std::move(hooks)) {}

  void Form_Load();
  void cmdLogin_Click();
  // The boxes were clicked; their new state is read from the view.
  void chkRememberIDPass_Click();
  void chkAutoLogin_Click();
  void Command2_Click();  // Cancel
  void Command3_Click();  // Help: the forum page, always through "cmd"
  void Command4_Click();  // Get a Corvane ID

 private:
  LoginView& view_;
  Registry& registry_;
  SessionValues& session_;
  Hooks hooks_;
};

}  // namespace cv3
