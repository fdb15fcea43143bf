// frmPreferences' rules: loading every box from the settings catalogue, saving them all on OK in
// a fixed order, and Remove on the ignore list, which gives the pilot his roster icon back at once
// while the registry waits for OK. Nothing takes effect here: the other parts read the values
// when they next need them. ClientCore makes one controller for each opening of the window. UI
// thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/message_box.h"
#include "common/registry.h"
#include "cv3client/model/identity.h"
#include "cv3client/model/roster.h"

namespace cv3 {

inline constexpr std::string_view kPreferencesCaption = "Corvane Preferences";
inline constexpr std::string_view kSlowCpuAdviceText =
    "You're advised to restart Corvane after changing the SlowCPU setting!";
inline constexpr std::string_view kSelectUserFirstText = "You must select a user to remove first!";
// What "CV30" holds while starting with Windows: the program's folder followed by this.
inline constexpr std::string_view kClientExeName = "\\cv3client.exe";

// The "CV30" command line: the program's path, quoted when it holds a space (Windows runs the
// value as a command line, and would otherwise try "C:\Program" first).
std::string StartWithWindowsCommand(std::string_view programFolder);

// The window's check boxes.
enum class PrefBox {
  kStartWithWin,
  kRememberIDPass,
  kAutoLogin,
  kTls,
  kReconnect,
  kSoundOnMsg,
  kFlashInactive,
  kPopupLobbyOnMsg,
  kPopupPrivateOnMsg,
  kBuffLobby,
  kBuffPrivates,
  kAlternateLaunch,
  kSlowCPU,
};
// The window's text boxes.
enum class PrefText { kCVAddress, kCVPort };

class PreferencesEvents {
 public:
  virtual void Form_Load() = 0;
  virtual void cmdOK_Click() = 0;      // also Enter
  virtual void cmdCancel_Click() = 0;  // also Esc and the close box
  virtual void cmdRemove_Click() = 0;

 protected:
  ~PreferencesEvents() = default;
};

class PreferencesView {
 public:
  virtual ~PreferencesView() = default;
  // Creates the window, reports Form_Load, shows it modally and returns when it is unloaded.
  // `events` outlives the call; the window does not keep it afterwards.
  virtual void ShowModal(PreferencesEvents& events) = 0;
  virtual bool Checked(PrefBox box) const = 0;
  virtual void SetChecked(PrefBox box, bool checked) = 0;
  virtual std::string Text(PrefText box) const = 0;
  virtual void SetText(PrefText box, const std::string& text) = 0;
  // lstIgnored, in list order (never sorted).
  virtual void AddIgnored(const std::string& name) = 0;
  virtual std::vector<std::string> IgnoredEntries() const = 0;
  virtual std::optional<size_t> SelectedIgnored() const = 0;  // none when nothing is selected
  virtual void RemoveIgnored(size_t index) = 0;
  virtual BoxResult ShowMessage(const MessageBoxSpec& box) = 0;
  // Ends the modal window; the controller makes no further calls on the view after it.
  virtual void Unload() = 0;
};

struct PreferencesParts {
  Registry& registry;
  RosterModel& roster;
  const Identity& identity;   // the signed-in name and password digest to remember
  std::string programFolder;  // without a "\" at its end
};

class PreferencesController : public PreferencesEvents {
 public:
  PreferencesController(PreferencesView& view, PreferencesParts parts)
      : view_(view), parts_(std::move(parts)) {}

  void Form_Load() override;
  void cmdOK_Click() override;
  void cmdCancel_Click() override { view_.Unload(); }
  void cmdRemove_Click() override;

 private:
  void LoadFlag(PrefBox box);
  void SaveFlags(std::initializer_list<PrefBox> boxes);
  void SaveIgnoredList();
  void SaveSlowCpu();

  PreferencesView& view_;
  PreferencesParts parts_;
  // Whether "Ignored" was read at load. A list too long even for its large read buffer reads as
  // missing: OK must then leave the stored list alone rather than save the empty one over it.
  bool ignoredLoaded_ = false;
};

}  // namespace cv3
