// Profiles (lines given as their Windows-1252 bytes, "\xB6" for the line-break sign): the
// answer lines fill a fresh window shown from the top of the loop, view and edit
// modes, the bio's line breaks both ways, and the three boxes Save checks.
#include "cv3client/ui/profile.h"

#include <gtest/gtest.h>

#include <map>

#include "common/client_fakes.h"

namespace cv3 {
namespace {

using testing::ClientHarness;
using testing::Log;

class FakeProfileView : public testing::LoggingView<ProfileView> {
 public:
  using LoggingView::LoggingView;
  void SetCaption(const std::string& text) override { log_.push_back("caption " + text); }
  void SetBox(ProfileBox box, const std::string& text) override { boxes[box] = text; }
  std::string Box(ProfileBox box) const override {
    auto found = boxes.find(box);
    return found == boxes.end() ? std::string() : found->second;
  }
  void SetEditable() override { log_.push_back("editable"); }
  void ShowModal(ProfileEvents& events) override {
    log_.push_back("shown");
    if (onShow) onShow(*this, events);
  }
  void Unload() override { log_.push_back("unload"); }

  std::map<ProfileBox, std::string> boxes;
  std::function<void(FakeProfileView&, ProfileEvents&)> onShow;
};

struct Profiles : ClientHarness {
  Log window;
  std::map<ProfileBox, std::string> shown;  // the boxes as they were when shown
  std::function<void(FakeProfileView&, ProfileEvents&)> press;
  Profiles() {
    factory.Provide<ProfileView>([this] {
      auto view = std::make_unique<FakeProfileView>(window);
      view->onShow = [this](FakeProfileView& v, ProfileEvents& e) {
        shown = v.boxes;
        if (press) press(v, e);
      };
      return view;
    });
    SignIn("Me");
  }
};

TEST(ProfileView, TheLinesFillTheWindowShownAfterOk) {
  Profiles p;
  p.Receive({"USERINFO_ACK:USER:bob", "USERINFO_ACK:MEMSINCE:2024-05-01",
             "USERINFO_ACK:LASTON:2024-06-01 13:45 UTC", "USERINFO_ACK:LOCATION:Oslo",
             "USERINFO_ACK:AGE:31", "USERINFO_ACK:EMAIL:bob@example.net",
             "USERINFO_ACK:WEB:http://bob.example.net:8080",
             "USERINFO_ACK:BIO:a\xB6"
             "b",
             "USERINFO_ACK:BIO:\xB6"
             "c",
             "USERINFO_ACK:COLOUR:blue", "USERINFO_ACK:OK"});
  EXPECT_EQ(p.window, Log{});  // from the top of the message loop only
  p.press = [](FakeProfileView&, ProfileEvents& e) { e.cmdOK_Click(); };
  p.deferral.RunDeferred();
  EXPECT_EQ(p.window, (Log{"caption bob - View Profile", "shown", "unload"}));
  EXPECT_EQ(p.shown,
            (std::map<ProfileBox, std::string>{{ProfileBox::kMemberSince, "2024-05-01"},
                                               {ProfileBox::kLastOn, "2024-06-01 13:45 UTC"},
                                               {ProfileBox::kLocation, "Oslo"},
                                               {ProfileBox::kAge, "31"},
                                               {ProfileBox::kEmail, "bob@example.net"},
                                               {ProfileBox::kWeb, "http://bob.example.net:8080"},
                                               {ProfileBox::kBio, "a\r\nb\r\nc"}}));
  EXPECT_EQ(p.Take(), Log{});  // viewing sends nothing
  // A second answer fills a fresh window.
  p.Receive({"USERINFO_ACK:USER:cy", "USERINFO_ACK:OK"});
  p.deferral.RunDeferred();
  EXPECT_EQ(p.shown.at(ProfileBox::kBio), "");
}

TEST(ProfileEdit, SaveChecksThreeBoxesAndSendsTheBioWithParagraphs) {
  Profiles p;
  p.core.Commands().mnuEditProfile_Click();
  EXPECT_EQ(p.Take(), (Log{"send EDITPROFILE:Me"}));
  p.Receive({"EDITPROFILE_ACK:USER:Me", "EDITPROFILE_ACK:EMAIL:me@x", "EDITPROFILE_ACK:OK"});
  p.press = [](FakeProfileView& v, ProfileEvents& e) {
    v.boxes[ProfileBox::kEmail] = "me:x";  // refused: the window stays
    e.cmdOK_Click();
    v.boxes[ProfileBox::kEmail] = "me@x";
    v.boxes[ProfileBox::kWeb] = "http://me.example:81";  // not tested
    v.boxes[ProfileBox::kBio] = "line one\r\nline two";
    e.cmdOK_Click();
  };
  p.deferral.RunDeferred();
  EXPECT_EQ(p.window,
            (Log{"caption Me - Edit Profile", "caption Edit Profile", "editable", "shown",
                 "box Warning! exclamation One of your fields contains disallowed punctuation or "
                 "letters!",
                 "unload"}));
  EXPECT_EQ(p.Take(), (Log{"send SAVEPROFILE:Me:::me@x:http://me.example:81:line one\xB6"
                           "line two"}));
}

TEST(ProfileEdit, CancelSendsNothingAndViewProfileAsksForTheSelectedPilot) {
  Profiles p;
  p.Receive({"EDITPROFILE_ACK:OK"});
  p.press = [](FakeProfileView&, ProfileEvents& e) { e.cmdCancel_Click(); };
  p.deferral.RunDeferred();
  EXPECT_EQ(p.Take(), Log{});
  p.Receive({"USER:bob:away:brb", "GAME:Arena:up"});
  p.Take();
  for (const char* selected : {"bob", "Arena"}) {
    p.view.selectedKey = std::string(testing::kStamp) + selected;
    p.core.OnCommand(MainCommand::mnuViewProfile);
  }
  EXPECT_EQ(p.Take(), (Log{"send USERINFO:bob"}));
}

}  // namespace
}  // namespace cv3
