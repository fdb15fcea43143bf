#include "cv3client/ui/profile.h"

#include "protocol/catalogue.h"
#include "protocol/text_helpers.h"

namespace cv3 {
namespace {

// The window's buttons, for one showing.
class ProfileWindow : public ProfileEvents {
 public:
  ProfileWindow(ProfileView& view, bool edit, const ProfileController::Parts& parts)
      : view_(view), edit_(edit), parts_(parts) {}

  void cmdOK_Click() override {
    if (!edit_) {
      view_.Unload();
      return;
    }
    ProfileFields fields{view_.Box(ProfileBox::kLocation), view_.Box(ProfileBox::kAge),
                         view_.Box(ProfileBox::kEmail), view_.Box(ProfileBox::kWeb),
                         LineBreaksToParagraphs(view_.Box(ProfileBox::kBio))};
    // The web address and the bio are not tested: a web address may hold a colon.
    if (!IsSafeText(fields.location) || !IsSafeText(fields.age) || !IsSafeText(fields.email)) {
      view_.ShowMessage(WarningBox(std::string(kProfileRefusalText)));
      return;
    }
    std::string own = parts_.ownName ? parts_.ownName() : std::string();
    if (parts_.send) parts_.send(SaveProfileCommand({own, fields}));
    view_.Unload();
  }
  void cmdCancel_Click() override { view_.Unload(); }

 private:
  ProfileView& view_;
  bool edit_;
  const ProfileController::Parts& parts_;
};

}  // namespace

void ProfileController::Register(Dispatcher& dispatcher) {
  using S = const std::string&;
  dispatcher.On(std::string(msg::kUserInfoAck), [this](S args) { OnAck(args, false); });
  dispatcher.On(std::string(msg::kEditProfileAck), [this](S args) { OnAck(args, true); });
}

void ProfileController::OnAck(std::string_view args, bool edit) {
  if (!filling_) filling_.emplace();
  if (args == msg::kOk) {
    ProfileInfo profile = std::move(*filling_);
    filling_.reset();
    parts_.deferral.Defer([this, profile = std::move(profile), edit] { Show(profile, edit); });
    return;
  }
  ApplyProfileLine(*filling_, args);  // other keys are ignored
}

void ProfileController::Show(ProfileInfo profile, bool edit) {
  std::unique_ptr<ProfileView> view = parts_.makeView ? parts_.makeView() : nullptr;
  if (!view) return;
  if (!profile.user.empty()) {
    view->SetCaption(profile.user + std::string(edit ? kEditProfileSuffix : kViewProfileSuffix));
  }
  view->SetBox(ProfileBox::kMemberSince, profile.memberSince);
  view->SetBox(ProfileBox::kLastOn, profile.lastOn);
  view->SetBox(ProfileBox::kLocation, profile.fields.location);
  view->SetBox(ProfileBox::kAge, profile.fields.age);
  view->SetBox(ProfileBox::kEmail, profile.fields.email);
  view->SetBox(ProfileBox::kWeb, profile.fields.web);
  view->SetBox(ProfileBox::kBio, ParagraphsToLineBreaks(profile.fields.bio));
  if (edit) {
    view->SetCaption(std::string(kEditProfileCaption));
    view->SetEditable();
  }
  ProfileWindow window(*view, edit, parts_);
  view->ShowModal(window);
}

}  // namespace cv3
