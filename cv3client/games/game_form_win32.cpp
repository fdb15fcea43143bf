#include "cv3client/games/game_form_win32.h"

#include "cv3client/games/game_details.h"

namespace cv3 {
namespace {

// In the order of kGameCheckBoxes.
constexpr const wchar_t* kCheckBoxCaptions[GameForm::kCheckBoxCount] = {
    L"Include CPU Pilots", L"Restrict to Alpha crater", L"Moth Hopping", L"Blood Money",
    L"Require Passwords",  L"God Hanger Access",        L"Dedicated",    L"Long-term Game",
    L"File Logging",       L"Full Debug Logging"};

// Design, in twips: "Server Host" over "Settings" on the left, "Description" over the players
// on the right, the buttons below on the right.
constexpr int kLeftFrame = 120, kLeftWidth = 4400, kRightFrame = 4640, kRightWidth = 4240;
constexpr int kRowTop = 360, kRowStep = 380, kLabelWidth = 1800, kBoxLeft = 2100, kBoxWidth = 2300;
constexpr int kSettingsTop = 2040, kSettingsHeight = 3000;
constexpr int kCheckTop = 2780, kCheckStep = 420, kCheckWidth = 2100, kCheckHeight = 255;
constexpr int kPlayersTop = 2620, kFrameHeight = 2420;
constexpr int kButtonTop = 5160, kButtonWidth = 1200;
constexpr int kClientWidth = 9000, kClientHeight = 5655;

}  // namespace

bool GameForm::MakeForm(const wchar_t* className, const std::string& caption,
                        const std::wstring& actionCaption) {
  if (hwnd_) return true;
  if (!CreateForm(className, Widen(caption), kClientWidth, kClientHeight)) return false;
  SetKeyButtons(kCmdAction, kCmdCancel);
  CreateControls(actionCaption);
  return true;
}

void GameForm::CreateControls(const std::wstring& actionCaption) {
  HFONT boxFont = AddFont(8, L"Verdana");
  const DWORD locked = display_ ? ES_READONLY : 0;
  // Each box follows its label (the frames label the description and the list), so screen
  // readers name it; the tab order is the order of creation.
  AddControl(L"BUTTON", L"Server Host", BS_GROUPBOX, kLeftFrame, 60, kLeftWidth, 1860);
  struct Row {
    const wchar_t* label;
    HWND* box;
    DWORD style;
  };
  const Row rows[] = {{L"Game Name:", &txtGameName_, locked},
                      {L"Game Host:", &txtHostPlayer_, ES_READONLY},
                      {L"Game Address:", &txtGameAddress_, locked},
                      {L"Skyrend Version:", &txtSkyrendVer_, ES_READONLY}};
  int top = kRowTop;
  for (const Row& row : rows) {
    AddControl(L"STATIC", row.label, SS_RIGHT, 240, top + 40, kLabelWidth, 255);
    *row.box = AddTextBox(row.style, kBoxLeft, top, kBoxWidth, 0, boxFont);
    top += kRowStep;
  }

  AddControl(L"BUTTON", L"Settings", BS_GROUPBOX, kLeftFrame, kSettingsTop, kLeftWidth,
             kSettingsHeight);
  AddControl(L"STATIC", L"Player Announcement:", SS_RIGHT, 240, kSettingsTop + 340, kLabelWidth,
             255);
  cboAnnounce_ = AddControl(L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, kBoxLeft,
                            kSettingsTop + 300, kBoxWidth, 1300, kCboAnnounce, 0, boxFont);
  for (std::string_view item : kAnnounceItems) {
    SendMessageW(cboAnnounce_, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Widen(std::string(item)).c_str()));
  }
  // A display shows the values it was given: clicks do not change them.
  const DWORD check = (display_ ? BS_CHECKBOX : BS_AUTOCHECKBOX) | WS_TABSTOP;
  for (int i = 0; i < kCheckBoxCount; ++i) {
    int column = i / 5, row = i % 5;
    checkBoxes_[i] =
        AddControl(L"BUTTON", kCheckBoxCaptions[i], check, 240 + column * 2160,
                   kCheckTop + row * kCheckStep, kCheckWidth, kCheckHeight, kFirstCheckBox + i);
  }

  AddControl(L"BUTTON", L"Description", BS_GROUPBOX, kRightFrame, 60, kRightWidth, kFrameHeight);
  txtDescription_ = AddControl(L"EDIT", L"",
                               ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP |
                                   (display_ ? ES_READONLY : ES_WANTRETURN),
                               kRightFrame + 120, 340, kRightWidth - 240, kFrameHeight - 400, 0,
                               WS_EX_CLIENTEDGE, boxFont);
  famPlayers_ = AddControl(L"BUTTON", Widen(PlayersCaption(0)), BS_GROUPBOX, kRightFrame,
                           kPlayersTop, kRightWidth, kFrameHeight);
  lstPlayers_ = AddControl(L"LISTBOX", L"", LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
                           kRightFrame + 120, kPlayersTop + 280, kRightWidth - 240,
                           kFrameHeight - 400, 0, WS_EX_CLIENTEDGE, boxFont);
  NameForScreenReaders(lstPlayers_, L"Players");

  int cancelLeft = kRightFrame + kRightWidth - kButtonWidth;
  cmdAction_ =
      AddButton(actionCaption, cancelLeft - 120 - kButtonWidth, kButtonTop, kCmdAction, true);
  cmdCancel_ = AddButton(L"Cancel", cancelLeft, kButtonTop, kCmdCancel);
}

void GameForm::SelectAnnouncement(const std::string& text) {
  // Exact, case included: CB_FINDSTRINGEXACT would ignore case.
  int index = -1;
  for (size_t i = 0; i < std::size(kAnnounceItems); ++i) {
    if (text == kAnnounceItems[i]) index = static_cast<int>(i);
  }
  shownAnnouncement_ = index;
  SendMessageW(cboAnnounce_, CB_SETCURSEL, index, 0);
}

void GameForm::ShowEntries(const HostedGame& entries) {
  SetControlText(txtGameName_, entries.name);
  SetControlText(txtGameAddress_, entries.address);
  SetControlText(txtSkyrendVer_, entries.version);
  SelectAnnouncement(entries.announcement);
  for (int i = 0; i < kCheckBoxCount; ++i) {
    bool on = entries.*kGameCheckBoxes[i].value;
    SendMessageW(checkBoxes_[i], BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  SetControlText(txtDescription_, entries.description);
}

HostedGame GameForm::ReadEntries() const {
  HostedGame entries;
  if (!hwnd_) return entries;
  entries.name = GetControlText(txtGameName_);
  entries.address = GetControlText(txtGameAddress_);
  entries.version = GetControlText(txtSkyrendVer_);
  LRESULT selected = SendMessageW(cboAnnounce_, CB_GETCURSEL, 0, 0);
  if (selected >= 0 && selected < static_cast<LRESULT>(std::size(kAnnounceItems))) {
    entries.announcement = kAnnounceItems[selected];
  }
  for (int i = 0; i < kCheckBoxCount; ++i) {
    entries.*kGameCheckBoxes[i].value =
        SendMessageW(checkBoxes_[i], BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  entries.description = GetControlText(txtDescription_);
  return entries;
}

void GameForm::ShowPlayers(const std::vector<std::string>& players) {
  SendMessageW(lstPlayers_, LB_RESETCONTENT, 0, 0);
  for (const std::string& player : players) {
    SendMessageW(lstPlayers_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(player).c_str()));
  }
}

void GameForm::RunForm(HWND focus) {
  if (!focus) focus = IsWindowEnabled(cmdAction_) ? cmdAction_ : cmdCancel_;
  RunModal(focus);
}

void GameForm::OnClick(int id) {
  if (id == kCmdAction) {
    // Enter reaches a disabled default button too.
    if (IsWindowEnabled(cmdAction_)) OnAction();
  } else if (id == kCmdCancel) {
    OnCancel();
  }
}

LRESULT GameForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && display_ && LOWORD(wParam) == kCboAnnounce &&
      HIWORD(wParam) == CBN_SELCHANGE) {
    SendMessageW(cboAnnounce_, CB_SETCURSEL, shownAnnouncement_, 0);
    return 0;
  }
  return Form::HandleMessage(message, wParam, lParam);
}

}  // namespace cv3
