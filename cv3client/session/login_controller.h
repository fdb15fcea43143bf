// frmLogin's rules: filling the window from the remembered ID and digest, the registry writes of
// its check boxes and of Login, the placeholder that stands for a remembered password, Help and
// the way to a new ID. ClientCore creates one for each login window it opens; the window calls
// it through LoginEvents. UI thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/message_box.h"
#include "common/processes.h"
#include "common/registry.h"
#include "cv3client/model/identity.h"

namespace cv3 {

// Stands in the password box while the remembered digest is in use; never hashed or sent.
inline constexpr std::string_view kPasswordPlaceholder = "wexdorfupa";
inline constexpr std::string_view kUnusablePasswordText =
    "Your password contains a character that cannot be used. Please use only the letters, "
    "digits and signs of Western European languages.";

// What frmLogin reports: its load and the clicks of its controls.
class LoginEvents {
 public:
  virtual void Form_Load() = 0;
  virtual void cmdLogin_Click() = 0;
  // The boxes were clicked; their new state is read from the view.
  virtual void chkRememberIDPass_Click() = 0;
  virtual void chkAutoLogin_Click() = 0;
  virtual void Command2_Click() = 0;  // Cancel
  virtual void Command3_Click() = 0;  // Help: the forum page, always through "cmd"
  virtual void Command4_Click() = 0;  // Get a Corvane ID

 protected:
  ~LoginEvents() = default;
};

// What the controller needs of frmLogin.
class LoginView {
 public:
  virtual ~LoginView() = default;
  // Creates the window, reports Form_Load, shows it and returns when it is unloaded. `events`
  // outlives the call; the window does not keep it afterwards.
  virtual void ShowModal(LoginEvents& events) = 0;
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
};

class LoginController : public LoginEvents {
 public:
  struct Hooks {
    // SessionController::SignInAs: the name with the digest the controller gives.
    std::function<void(std::string name, std::string passwordDigest)> signInAs;
    std::function<void()> connectToServer;     // SessionController::ConnectToServer
    std::function<void()> showCreateIdWindow;  // frmCreateId, modal
  };

  // `identity` is the session's, changed only through the hooks.
  LoginController(LoginView& view, Registry& registry, const Identity& identity,
                  Processes& processes, Hooks hooks)
      : view_(view),
        registry_(registry),
        identity_(identity),
        processes_(processes),
        hooks_(std::move(hooks)) {}

  void Form_Load() override;
  void cmdLogin_Click() override;
  void chkRememberIDPass_Click() override;
  void chkAutoLogin_Click() override;
  void Command2_Click() override;
  void Command3_Click() override;
  void Command4_Click() override;

 private:
  LoginView& view_;
  Registry& registry_;
  const Identity& identity_;
  Processes& processes_;
  Hooks hooks_;
};

}  // namespace cv3
