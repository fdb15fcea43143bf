// frmUserInfo's rules: the server's USERINFO_ACK or EDITPROFILE_ACK lines fill a profile, which
// is shown at "OK" from the top of the message loop (so the lines that follow keep being
// handled); in edit mode Save checks three boxes and sends "SAVEPROFILE:". Every answer fills a
// fresh window. Owned by ClientCore; UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/deferral.h"
#include "common/message_box.h"
#include "protocol/profile_messages.h"
#include "protocol/wire.h"

namespace cv3 {

inline constexpr std::string_view kViewProfileSuffix = " - View Profile";
inline constexpr std::string_view kEditProfileSuffix = " - Edit Profile";
inline constexpr std::string_view kEditProfileCaption = "Edit Profile";
inline constexpr std::string_view kProfileRefusalText =
    "One of your fields contains disallowed punctuation or letters!";

// The boxes of frmUserInfo, in their order.
enum class ProfileBox { kMemberSince, kLastOn, kLocation, kAge, kEmail, kWeb, kBio };

class ProfileEvents {
 public:
  virtual void cmdOK_Click() = 0;
  virtual void cmdCancel_Click() = 0;  // also the close box and Esc

 protected:
  ~ProfileEvents() = default;
};

class ProfileView {
 public:
  virtual ~ProfileView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  // Texts with CR LF for line breaks (the bio).
  virtual void SetBox(ProfileBox box, const std::string& text) = 0;
  virtual std::string Box(ProfileBox box) const = 0;
  // Edit mode: the five editable boxes unlocked on white, cmdOK captioned "Save".
  virtual void SetEditable() = 0;
  // Shows the window modally and returns when it is unloaded. `events` outlives the call.
  virtual void ShowModal(ProfileEvents& events) = 0;
  virtual BoxResult ShowMessage(const MessageBoxSpec& box) = 0;
  virtual void Unload() = 0;
};

class ProfileController {
 public:
  struct Parts {
    Deferral& deferral;
    std::function<std::unique_ptr<ProfileView>()> makeView;
    std::function<bool(std::string_view line)> send;  // SendCommand
    std::function<std::string()> ownName;
  };
  explicit ProfileController(Parts parts) : parts_(std::move(parts)) {}

  void Register(Dispatcher& dispatcher);
  void OnAck(std::string_view args, bool edit);

 private:
  void Show(ProfileInfo profile, bool edit);

  Parts parts_;
  // The answer being received; a new one starts after each "OK".
  std::optional<ProfileInfo> filling_;
};

}  // namespace cv3
