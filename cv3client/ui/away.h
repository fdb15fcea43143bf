// frmAway's rules: the away message is checked, sent untrimmed as "AWAY:" and the window hidden,
// so it offers the last message again. Nothing changes locally until the server's notice.
// ClientCore keeps the window for the life of the program. UI thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/message_box.h"

namespace cv3 {

inline constexpr std::string_view kAwayCaption = "Enter your away message";
inline constexpr std::string_view kAwayEmptyText = "Your must enter an away message!";
inline constexpr std::string_view kAwayDisallowedText =
    "Your away message contains disallowed punctuation or letters!";

// The box that refuses an away message, or nothing when it may be sent.
std::optional<MessageBoxSpec> AwayRefusal(std::string_view message);

class AwayEvents {
 public:
  virtual void cmdOk_Click() = 0;
  virtual void cmdCancel_Click() = 0;  // also the close box and Esc

 protected:
  ~AwayEvents() = default;
};

class AwayView {
 public:
  virtual ~AwayView() = default;
  // Shows the window modally with the text it had, and returns when it is hidden.
  virtual void ShowModal(AwayEvents& events) = 0;
  virtual std::string AwayMessage() const = 0;  // txtAwayMsg
  virtual BoxResult ShowMessage(const MessageBoxSpec& box) = 0;
  virtual void Hide() = 0;
};

class AwayController : public AwayEvents {
 public:
  // send: SendCommand.
  AwayController(AwayView& view, std::function<void(const std::string& line)> send)
      : view_(view), send_(std::move(send)) {}
  void cmdOk_Click() override;
  void cmdCancel_Click() override { view_.Hide(); }

 private:
  AwayView& view_;
  std::function<void(const std::string& line)> send_;
};

}  // namespace cv3
