#include "cv3client/games/frm_game_details_win32.h"

namespace cv3 {

bool frmGameDetails::Make() {
  if (hwnd_) return true;
  if (!MakeForm(kClassName, std::string(kGameDetailsCaption), L"Play")) return false;
  EnableWindow(cmdAction(), FALSE);  // until the game is reported running
  return true;
}

void frmGameDetails::SetCaption(const std::string& text) {
  if (Make()) SetControlText(hwnd_, text);
}

void frmGameDetails::SetDetails(const GameDetails& details) {
  if (!Make()) return;
  ShowEntries(details.game);
  SetControlText(txtHostPlayer(), details.hostPlayer);
  ShowPlayers(details.players);
}

void frmGameDetails::SetPlayersCaption(const std::string& text) {
  if (Make()) SetControlText(famPlayers(), text);
}

void frmGameDetails::SetPlayEnabled(bool enabled) {
  if (Make()) EnableWindow(cmdAction(), enabled);
}

void frmGameDetails::ShowModal(GameDetailsEvents& events) {
  if (!Make()) return;
  events_ = &events;
  RunForm(nullptr);
  events_ = nullptr;
}

void frmGameDetails::OnAction() {
  if (events_) events_->cmdPlay_Click();
}

void frmGameDetails::OnCancel() {
  if (events_) {
    events_->cmdCancel_Click();
  } else {
    EndModal();
  }
}

}  // namespace cv3
