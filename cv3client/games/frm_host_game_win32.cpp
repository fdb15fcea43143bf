#include "cv3client/games/frm_host_game_win32.h"

namespace cv3 {

void frmHostGame::SetCaption(const std::string& text) {
  if (Make()) SetControlText(hwnd_, text);
}

void frmHostGame::SetHostPlayer(const std::string& text) {
  if (Make()) SetControlText(txtHostPlayer(), text);
}

void frmHostGame::SetEntries(const HostedGame& entries) {
  if (Make()) ShowEntries(entries);
}

void frmHostGame::SetResumeMode() {
  if (!Make()) return;
  resume_ = true;
  // Locked, an edit draws on the button face.
  SendMessageW(txtGameName(), EM_SETREADONLY, TRUE, 0);
  // The logging boxes keep the stored values, which are still sent.
  EnableWindow(chk(kChkFileLogging), FALSE);
  EnableWindow(chk(kChkFullDebug), FALSE);
  SetWindowTextW(cmdAction(), L"Resume");
}

void frmHostGame::SetHostEnabled(bool enabled) {
  if (Make()) EnableWindow(cmdAction(), enabled);
}

void frmHostGame::ShowModal(HostGameEvents& events) {
  if (!Make()) return;
  events_ = &events;
  // The name is the first thing to change when hosting; a resumed game's name is fixed.
  RunForm(resume_ ? txtGameAddress() : txtGameName());
  events_ = nullptr;
}

void frmHostGame::OnAction() {
  if (events_) events_->cmdHost_Click();
}

void frmHostGame::OnCancel() {
  if (events_) {
    events_->cmdCancel_Click();
  } else {
    EndModal();
  }
}

}  // namespace cv3
