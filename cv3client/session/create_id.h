// frmCreateId's rules: the seven checks of a new ID in their order, then the account the session
// is to create, and the connection that sends "CREATE:" in place of the sign-in.
// ClientCore keeps the window while it is hidden after a successful Create, so it offers its
// entries again. UI thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/message_box.h"
#include "common/processes.h"
#include "common/registry.h"

namespace cv3 {

inline constexpr std::string_view kCreateIdCaption = "Get a Corvane ID";

// The first check a new account's entries fail, as the text of its warning; nothing when all
// pass. The entries are taken as typed.
std::optional<std::string_view> CreateIdRefusal(std::string_view id, std::string_view password,
                                                std::string_view verifyPassword,
                                                std::string_view email);

// What frmCreateId reports.
class CreateIdEvents {
 public:
  virtual void cmdCreate_Click() = 0;
  virtual void cmdCancel_Click() = 0;  // also the close box and Esc
  virtual void Command3_Click() = 0;   // Help

 protected:
  ~CreateIdEvents() = default;
};

// What the controller needs of frmCreateId.
class CreateIdView {
 public:
  virtual ~CreateIdView() = default;
  // Shows the window modally (again, with its entries, after a Hide) and returns when it is
  // hidden or unloaded. `events` outlives the call.
  virtual void ShowModal(CreateIdEvents& events) = 0;
  virtual std::string LoginId() const = 0;         // txtLoginID
  virtual std::string Password() const = 0;        // txtPassword
  virtual std::string VerifyPassword() const = 0;  // txtPassword2
  virtual std::string Email() const = 0;           // txtEmail
  virtual BoxResult ShowMessage(const MessageBoxSpec& box) = 0;
  virtual void Hide() = 0;
  virtual void Unload() = 0;
};

class CreateIdController : public CreateIdEvents {
 public:
  struct Hooks {
    // SessionController::CreateAccount: the next connection creates this account.
    std::function<void(std::string name, std::string passwordDigest, std::string email)>
        createAccount;
    std::function<void()> connectToServer;  // SessionController::ConnectToServer
    std::function<void()> unloaded;         // the window is gone for good
  };

  CreateIdController(CreateIdView& view, Processes& processes, Registry& registry, Hooks hooks)
      : view_(view), processes_(processes), registry_(registry), hooks_(std::move(hooks)) {}

  void cmdCreate_Click() override;
  void cmdCancel_Click() override;
  void Command3_Click() override;

 private:
  CreateIdView& view_;
  Processes& processes_;
  Registry& registry_;  // the web site's root for Help
  Hooks hooks_;
};

}  // namespace cv3
