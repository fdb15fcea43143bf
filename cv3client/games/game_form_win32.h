// The layout that frmGameDetails and frmHostGame share: the frame "Server Host" with the game's
// name, host, address and version; the frame "Settings" with the announcement's drop-down list
// and the ten check boxes; the frames "Description" and "Players (0/13)"; the action button
// (Play or Host) and Cancel. In display mode every box is read-only and the settings do not
// change. Tab order follows the layout; Enter is the action button, Esc Cancel. UI thread only.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "protocol/game_messages.h"
#include "win32/form_win32.h"

namespace cv3 {

class GameForm : public Form {
 public:
  static constexpr int kCheckBoxCount = 10;
  // The two logging boxes among them, which resume mode disables.
  static constexpr int kChkFileLogging = 8, kChkFullDebug = 9;

  // The controls, for the windows and for tests.
  HWND txtGameName() const { return txtGameName_; }
  HWND txtHostPlayer() const { return txtHostPlayer_; }
  HWND txtGameAddress() const { return txtGameAddress_; }
  HWND txtSkyrendVer() const { return txtSkyrendVer_; }
  HWND cboAnnounce() const { return cboAnnounce_; }
  // In the order of the check boxes of a hosted game: chkIncludeCPUs ... chkFullDebug.
  HWND chk(int index) const { return checkBoxes_[index]; }
  HWND txtDescription() const { return txtDescription_; }
  HWND famPlayers() const { return famPlayers_; }
  HWND lstPlayers() const { return lstPlayers_; }
  HWND cmdAction() const { return cmdAction_; }  // cmdPlay or cmdHost
  HWND cmdCancel() const { return cmdCancel_; }

 protected:
  enum ControlId { kCmdAction = 101, kCmdCancel, kCboAnnounce, kFirstCheckBox };

  GameForm(HWND owner, bool display) : Form(owner), display_(display) {}

  // Makes the hidden window with its controls once; false when it cannot.
  bool MakeForm(const wchar_t* className, const std::string& caption,
                const std::wstring& actionCaption);
  // The entries as the boxes show them; the description with CR LF for its line breaks.
  void ShowEntries(const HostedGame& entries);
  HostedGame ReadEntries() const;
  void ShowPlayers(const std::vector<std::string>& players);
  // Runs the modal loop with the focus on `focus`, or on the action button.
  void RunForm(HWND focus);
  // The action button's or Cancel's click, Enter and Esc included; never while the action button
  // is disabled.
  virtual void OnAction() = 0;
  virtual void OnCancel() = 0;

  void OnClick(int id) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateControls(const std::wstring& actionCaption);
  void SelectAnnouncement(const std::string& text);

  bool display_;
  int shownAnnouncement_ = -1;  // display mode: the item the server named
  HWND txtGameName_ = nullptr, txtHostPlayer_ = nullptr, txtGameAddress_ = nullptr,
       txtSkyrendVer_ = nullptr, cboAnnounce_ = nullptr, txtDescription_ = nullptr,
       famPlayers_ = nullptr, lstPlayers_ = nullptr, cmdAction_ = nullptr, cmdCancel_ = nullptr;
  std::array<HWND, kCheckBoxCount> checkBoxes_{};
};

}  // namespace cv3
