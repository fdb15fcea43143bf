// The preferences window's rules on the in-memory registry: what a load shows (initial states of
// missing values, the ignore list cut into entries), what OK writes, Remove and its roster icons,
// and Cancel writing nothing.
#include "cv3client/ui/preferences.h"

#include <gtest/gtest.h>

#include <map>

#include "common/client_fakes.h"

namespace cv3 {
namespace {

using testing::ClientHarness;
using testing::Log;
using Boxes = std::map<PrefBox, bool>;
using Names = std::vector<std::string>;
using enum PrefBox;

constexpr const char* kRunKey =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kDigest = "D41D8CD98F00B204E9800998ECF8427E";
constexpr const char* kAdvice =
    "box Warning! exclamation You're advised to restart Corvane after changing the SlowCPU "
    "setting!";

// The window's controls, as plain values.
struct Shown {
  Boxes boxes;
  std::map<PrefText, std::string> texts;
  Names ignored;
  std::optional<size_t> selected;
};

class FakePreferencesView : public PreferencesView {
 public:
  using Hand = std::function<void(FakePreferencesView&, PreferencesEvents&)>;
  FakePreferencesView(Log& log, Shown& loaded, Hand hand)
      : log_(log), loaded_(loaded), hand_(std::move(hand)) {}
  void ShowModal(PreferencesEvents& events) override {
    events.Form_Load();
    loaded_ = now;
    if (hand_) hand_(*this, events);
  }
  bool Checked(PrefBox box) const override { return now.boxes.at(box); }
  void SetChecked(PrefBox box, bool checked) override { now.boxes[box] = checked; }
  std::string Text(PrefText box) const override { return now.texts.at(box); }
  void SetText(PrefText box, const std::string& text) override { now.texts[box] = text; }
  void AddIgnored(const std::string& name) override { now.ignored.push_back(name); }
  Names IgnoredEntries() const override { return now.ignored; }
  std::optional<size_t> SelectedIgnored() const override { return now.selected; }
  void RemoveIgnored(size_t index) override {
    now.ignored.erase(now.ignored.begin() + static_cast<std::ptrdiff_t>(index));
  }
  BoxResult ShowMessage(const MessageBoxSpec& box) override {
    log_.push_back(testing::Describe(box));
    if (onMessage) onMessage();
    return BoxResult::kOk;
  }
  void Unload() override { log_.push_back("unload"); }

  // Selects an entry (or none) and presses Remove.
  void Remove(PreferencesEvents& events, std::optional<size_t> entry) {
    now.selected = entry;
    events.cmdRemove_Click();
  }

  Shown now;
  std::function<void()> onMessage;

 private:
  Log& log_;
  Shown& loaded_;
  Hand hand_;
};

struct Preferences : ClientHarness {
  Shown loaded;  // the window as loaded, before the test's hand touched it
  std::function<void()> onMessage;

  // Opens the window from its menu entry and lets `hand` work it.
  void Open(FakePreferencesView::Hand hand) {
    factory.Provide<PreferencesView>([this, hand] {
      auto view = std::make_unique<FakePreferencesView>(log, loaded, hand);
      view->onMessage = onMessage;
      return view;
    });
    commands.mnuPreferences_Click();
    deferral.RunDeferred();
  }
  static void Ok(FakePreferencesView&, PreferencesEvents& e) { e.cmdOK_Click(); }
  // Every value of the catalogue as stored now ("Error" when missing), in catalogue order.
  std::string Stored() {
    std::string values;
    for (const settings::Setting& s : settings::kCatalogue) {
      values += std::string(values.empty() ? "" : ", ") + std::string(s.name) + " " +
                (s.type == settings::kFlag ? settings::ReadFlag(settings.registry, s).ToText()
                                           : settings::ReadText(settings.registry, s));
    }
    return values;
  }
};

const Boxes kInitialBoxes = {
    {kStartWithWin, true},  {kRememberIDPass, false}, {kAutoLogin, false},
    {kTls, false},          {kReconnect, true},       {kSoundOnMsg, true},
    {kFlashInactive, true}, {kPopupLobbyOnMsg, true}, {kPopupPrivateOnMsg, true},
    {kBuffLobby, true},     {kBuffPrivates, true},    {kAlternateLaunch, false},
    {kSlowCPU, false}};

TEST(Preferences, AFreshInstallationShowsTheInitialStatesAndOkWritesEveryValue) {
  Preferences p;
  p.Open(Preferences::Ok);
  EXPECT_EQ(p.loaded.boxes, kInitialBoxes);
  EXPECT_EQ(p.loaded.texts, (std::map<PrefText, std::string>{{PrefText::kCVAddress, "Error"},
                                                             {PrefText::kCVPort, "Error"}}));
  EXPECT_TRUE(p.loaded.ignored.empty());
  EXPECT_EQ(p.Take(), (Log{"preferences window", kAdvice, "unload"}));
  // Texts are stored as shown, so "Error" reads back as missing. "Ignored" stays missing, the
  // empty list it already is; the name and digest wait for remembering.
  EXPECT_EQ(p.Stored(),
            "SlowCPU 0, BuffLobby 1, BuffPrivates 1, AutoLogin 0, RememberLogin 0, Username Error, "
            "Password Error, FlashInactive 1, PopupLobbyOnMsg 1, PopupPrivateOnMsg 1, "
            "PlaySoundOnMsg 1, CvAddress Error, CvPort Error, CvTls 0, CvTlsPin Error, Reconnect "
            "1, Ignored Error, "
            "AltLaunch 0, CvWebSite Error, CV30 C:\\Corvane\\cv3client.exe");
  // Under the current user's Run key, which he may write.
  EXPECT_EQ(p.settings.registry.GetString(kRunKey, "CV30"), "C:\\Corvane\\cv3client.exe");
}

// Windows runs "CV30" as a command line: a folder with a space is quoted, or "C:\Program" runs.
TEST(Preferences, StartWithWindowsQuotesAProgramPathWithSpaces) {
  EXPECT_EQ(StartWithWindowsCommand("C:\\Corvane"), "C:\\Corvane\\cv3client.exe");
  EXPECT_EQ(StartWithWindowsCommand("C:\\Program Files\\Corvane"),
            "\"C:\\Program Files\\Corvane\\cv3client.exe\"");
}

TEST(Preferences, StoredValuesLoadAndCancelAfterEditingWritesNothing) {
  Preferences p;
  for (const settings::Setting& s : settings::kCatalogue) {
    if (s.type == settings::kFlag) p.settings.SetDWord(s.name, s.boxInitiallyChecked ? 0 : 1);
  }
  p.settings.SetDWord("Reconnect", 2);  // no box state: the initial one stays
  p.settings.registry.CreateKey(kRunKey);
  p.settings.registry.SetString(kRunKey, "CV30", "");
  p.settings.SetString("CvAddress", "lobby.example.net");
  p.settings.SetString("CvPort", " 4000");
  p.settings.SetString("Ignored", "alice,,bob");  // a last name without its comma
  std::string before = p.Stored();
  p.Open([](FakePreferencesView& v, PreferencesEvents& e) {
    for (auto& [box, checked] : v.now.boxes) checked = !checked;
    v.now.texts[PrefText::kCVAddress] = "elsewhere";
    v.Remove(e, 0);
    e.cmdCancel_Click();
  });
  Boxes expected;
  for (auto [box, checked] : kInitialBoxes) expected[box] = box == kReconnect || !checked;
  EXPECT_EQ(p.loaded.boxes, expected);
  EXPECT_EQ(p.loaded.texts,
            (std::map<PrefText, std::string>{{PrefText::kCVAddress, "lobby.example.net"},
                                             {PrefText::kCVPort, " 4000"}}));
  EXPECT_EQ(p.loaded.ignored, (Names{"alice", "", "bob"}));
  EXPECT_EQ(p.Take(), (Log{"preferences window", "unload"}));
  EXPECT_EQ(p.Stored(), before);
}

TEST(Preferences, TheListIsSavedInListOrderEmptiedToTheEmptyTextAndLeftAloneWhenUnreadable) {
  Preferences p;
  p.settings.SetDWord("SlowCPU", 0);
  p.settings.SetString("Ignored", "carol,alice,bob");
  p.Open([](FakePreferencesView& v, PreferencesEvents& e) {
    v.now.boxes[kStartWithWin] = false;
    e.cmdOK_Click();
  });
  EXPECT_EQ(p.settings.GetString("Ignored"), "carol,alice,bob,");
  EXPECT_EQ(p.settings.registry.GetString(kRunKey, "CV30"), "");
  p.Open([](FakePreferencesView& v, PreferencesEvents& e) {
    for (int i = 0; i < 3; ++i) v.Remove(e, 0);
    e.cmdOK_Click();
  });
  EXPECT_EQ(p.settings.GetString("Ignored"), "");
  p.Open(Preferences::Ok);
  EXPECT_TRUE(p.loaded.ignored.empty());
  EXPECT_FALSE(p.loaded.boxes.at(kStartWithWin));
  // Longer than other texts may be, the list still reads whole; longer than even its own read
  // buffer, it reads as missing, and OK must not empty it.
  for (size_t size : {300, 70000}) {
    std::string list = testing::LongIgnoredList(size);
    p.settings.SetString("Ignored", list);
    p.Open(Preferences::Ok);
    EXPECT_EQ(p.loaded.ignored.size(), size == 300 ? std::count(list.begin(), list.end(), ',') : 0);
    EXPECT_EQ(p.settings.registry.GetString(settings::kClientKey, "Ignored", 2 * size), list);
  }
}

TEST(Preferences, RememberingStoresTheSignedInNameAndDigestAndNeverErases) {
  struct Row {
    bool autoLogin, remember;
    std::string signedIn;
    Names expected;  // AutoLogin, RememberLogin, Username, Password
  } rows[] = {{true, false, "Pilot", {"1", "1", "Pilot", kDigest}},
              {false, true, "Pilot", {"0", "1", "Pilot", kDigest}},
              {false, false, "Pilot", {"0", "0", "old", "OLD"}},
              {false, true, "", {"0", "1", "old", "OLD"}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.autoLogin) + std::to_string(row.remember) + row.signedIn);
    Preferences p;
    p.settings.SetString("Username", "old");
    p.settings.SetString("Password", "OLD");
    p.session.SignInAs(row.signedIn, row.signedIn.empty() ? "" : kDigest);
    p.Open([&](FakePreferencesView& v, PreferencesEvents& e) {
      v.now.boxes[kAutoLogin] = row.autoLogin;
      v.now.boxes[kRememberIDPass] = row.remember;
      e.cmdOK_Click();
    });
    EXPECT_EQ((Names{p.settings.GetDWord("AutoLogin").ToText(),
                     p.settings.GetDWord("RememberLogin").ToText(),
                     p.settings.GetString("Username"), p.settings.GetString("Password")}),
              row.expected);
  }
}

TEST(Preferences, TheSlowCpuAdviceComesWhenTheStoredValueDiffersBeforeItIsWritten) {
  struct Row {
    std::optional<int> stored;
    bool checked;
    Log expected;
  } rows[] = {{std::nullopt, false, {kAdvice, "SlowCPU still Error", "unload"}},
              {0, false, {"unload"}},
              {0, true, {kAdvice, "SlowCPU still 0", "unload"}},
              {1, true, {"unload"}},
              {1, false, {kAdvice, "SlowCPU still 1", "unload"}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored.value_or(-1) * 2 + row.checked);
    Preferences p;
    if (row.stored) p.settings.SetDWord("SlowCPU", *row.stored);
    p.onMessage = [&] {
      p.log.push_back("SlowCPU still " + p.settings.GetDWord("SlowCPU").ToText());
      // Written before the box: the lobby's lines read them while it is up.
      EXPECT_EQ(p.settings.GetDWord("AltLaunch"), 0);
    };
    p.Open([&](FakePreferencesView& v, PreferencesEvents& e) {
      v.now.boxes[kSlowCPU] = row.checked;
      e.cmdOK_Click();
    });
    p.log.erase(p.log.begin());  // "preferences window"
    EXPECT_EQ(p.log, row.expected);
    EXPECT_EQ(p.settings.GetDWord("SlowCPU"), row.checked ? 1 : 0);
  }
}

TEST(Preferences, RemoveGivesAnIgnoredPilotTheIconOfHisGroupAndTheRegistryWaitsForOk) {
  Preferences p;
  p.SignIn("Me");
  p.settings.SetString("Ignored", "alice,bob,carol,ghost,");
  p.roster.AddRosterNode(kKindOnline, "alice");
  p.roster.AddRosterNode(kKindAway, "bob", std::string("brb"));
  p.roster.AddRosterNode(kKindOffline, "carol");
  p.Take();
  p.Open([&](FakePreferencesView& v, PreferencesEvents& e) {
    v.Remove(e, std::nullopt);
    EXPECT_EQ(v.now.ignored.size(), 4u);
    for (int i = 0; i < 4; ++i) v.Remove(e, 0);  // alice, bob, carol, ghost (not in the roster)
    EXPECT_TRUE(v.now.ignored.empty());
    EXPECT_EQ(p.settings.GetString("Ignored"), "alice,bob,carol,ghost,");
    e.cmdCancel_Click();
  });
  const std::string stamp = testing::kStamp;
  EXPECT_EQ(
      p.Take(),
      (Log{"preferences window", "box Warning! exclamation You must select a user to remove first!",
           "tree image " + stamp + "alice 2", "tree image " + stamp + "bob 4", "unload"}));
  EXPECT_EQ(p.settings.GetString("Ignored"), "alice,bob,carol,ghost,");
}

}  // namespace
}  // namespace cv3
