#include "cv3client/ui/preferences.h"

#include "common/processes.h"
#include "cv3client/support/client_settings.h"
#include "cv3client/support/ignore_list.h"

namespace cv3 {

std::string StartWithWindowsCommand(std::string_view programFolder) {
  return QuoteArgument(std::string(programFolder) + std::string(kClientExeName));
}

namespace {

struct FlagBox {
  PrefBox box;
  const settings::Setting& flag;
};
// The boxes that mirror a flag (the start box mirrors a text instead).
const FlagBox kFlagBoxes[] = {
    {PrefBox::kRememberIDPass, settings::kRememberLogin},
    {PrefBox::kAutoLogin, settings::kAutoLogin},
    {PrefBox::kTls, settings::kCvTls},
    {PrefBox::kReconnect, settings::kReconnect},
    {PrefBox::kSoundOnMsg, settings::kPlaySoundOnMsg},
    {PrefBox::kFlashInactive, settings::kFlashInactive},
    {PrefBox::kPopupLobbyOnMsg, settings::kPopupLobbyOnMsg},
    {PrefBox::kPopupPrivateOnMsg, settings::kPopupPrivateOnMsg},
    {PrefBox::kBuffLobby, settings::kBuffLobby},
    {PrefBox::kBuffPrivates, settings::kBuffPrivates},
    {PrefBox::kAlternateLaunch, settings::kAltLaunch},
    {PrefBox::kSlowCPU, settings::kSlowCpu},
};

const settings::Setting& FlagOf(PrefBox box) {
  for (const FlagBox& entry : kFlagBoxes) {
    if (entry.box == box) return entry.flag;
  }
  return settings::kSlowCpu;  // not reached: every box but the start box is in the table
}

}  // namespace

void PreferencesController::Form_Load() {
  Registry& registry = parts_.registry;
  // Only a stored empty text means off; a missing value reads as the marker, so the box shows
  // checked, its initial state.
  view_.SetChecked(PrefBox::kStartWithWin,
                   settings::ReadText(registry, settings::kStartWithWindows) != "");
  for (const FlagBox& entry : kFlagBoxes) LoadFlag(entry.box);
  view_.SetText(PrefText::kCVAddress, settings::ReadText(registry, settings::kCvAddress));
  view_.SetText(PrefText::kCVPort, settings::ReadText(registry, settings::kCvPort));
  std::string ignored = settings::ReadText(registry, settings::kIgnored);
  ignoredLoaded_ = ignored != kRegistryError;
  if (ignoredLoaded_) {
    IgnoreList list = IgnoreList::Parse(ignored);
    for (const std::string& name : list.Names()) view_.AddIgnored(name);
  }
}

// A box takes 0 or 1; a missing flag, or a number a box cannot show, leaves the initial state.
void PreferencesController::LoadFlag(PrefBox box) {
  const settings::Setting& flag = FlagOf(box);
  DWordValue stored = settings::ReadFlag(parts_.registry, flag);
  bool checked = stored == 1 || (stored != 0 && flag.boxInitiallyChecked);
  view_.SetChecked(box, checked);
}

void PreferencesController::cmdOK_Click() {
  Registry& registry = parts_.registry;
  if (view_.Checked(PrefBox::kAutoLogin)) view_.SetChecked(PrefBox::kRememberIDPass, true);
  // Remembered values are never erased: unchecked keeps them, and an empty name (nobody has
  // signed in yet) would only overwrite them.
  if (view_.Checked(PrefBox::kRememberIDPass)) {
    if (!parts_.identity.name.empty())
      settings::WriteText(registry, settings::kUsername, parts_.identity.name);
    if (!parts_.identity.passwordDigest.empty())
      settings::WriteText(registry, settings::kPassword, parts_.identity.passwordDigest);
  }
  SaveFlags({PrefBox::kAutoLogin, PrefBox::kRememberIDPass, PrefBox::kFlashInactive,
             PrefBox::kPopupLobbyOnMsg, PrefBox::kPopupPrivateOnMsg, PrefBox::kSoundOnMsg});
  settings::WriteText(registry, settings::kCvAddress, view_.Text(PrefText::kCVAddress));
  settings::WriteText(registry, settings::kCvPort, view_.Text(PrefText::kCVPort));
  SaveFlags({PrefBox::kTls, PrefBox::kReconnect});
  // A writable Run key may still be missing on a fresh profile.
  registry.CreateKey(settings::kStartWithWindows.key);
  settings::WriteText(registry, settings::kStartWithWindows,
                      view_.Checked(PrefBox::kStartWithWin)
                          ? StartWithWindowsCommand(parts_.programFolder)
                          : std::string());
  SaveIgnoredList();
  SaveFlags({PrefBox::kBuffLobby, PrefBox::kBuffPrivates, PrefBox::kAlternateLaunch});
  SaveSlowCpu();
  view_.Unload();
}

void PreferencesController::SaveFlags(std::initializer_list<PrefBox> boxes) {
  for (PrefBox box : boxes) settings::WriteFlag(parts_.registry, FlagOf(box), view_.Checked(box));
}

void PreferencesController::SaveIgnoredList() {
  // Nothing was loaded, so nothing can have been removed: the stored value stays as it is
  // (missing is the empty list already; unreadable is a list too long to show).
  if (!ignoredLoaded_) return;
  WriteIgnoreList(parts_.registry, IgnoreList(view_.IgnoredEntries()));
  parts_.roster.IgnoredListChanged();
}

// The advice comes before the write, while the stored value still differs.
void PreferencesController::SaveSlowCpu() {
  bool checked = view_.Checked(PrefBox::kSlowCPU);
  if (!(settings::ReadFlag(parts_.registry, settings::kSlowCpu) == (checked ? 1 : 0))) {
    view_.ShowMessage(WarningBox(std::string(kSlowCpuAdviceText)));
  }
  settings::WriteFlag(parts_.registry, settings::kSlowCpu, checked);
}

void PreferencesController::cmdRemove_Click() {
  std::optional<size_t> selected = view_.SelectedIgnored();
  std::vector<std::string> entries = view_.IgnoredEntries();
  if (!selected || *selected >= entries.size()) {
    view_.ShowMessage(WarningBox(std::string(kSelectUserFirstText)));
    return;
  }
  parts_.roster.GiveBackIcon(entries[*selected]);
  view_.RemoveIgnored(*selected);
}

}  // namespace cv3
