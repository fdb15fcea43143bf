// frmGameDetails: the details of a listed game, for display, modal over the main window; Play and
// Cancel are reported as GameDetailsEvents. Filling it from the server's lines and Play's checks
// are the details controller's.
#pragma once

#include "cv3client/games/game_details.h"
#include "cv3client/games/game_form_win32.h"

namespace cv3 {

class frmGameDetails : public GameForm, public GameDetailsView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3GameDetailsWindow";

  // Modal over `owner` (centred on it, or on the screen without one). The window is made with
  // the first call that needs it.
  explicit frmGameDetails(HWND owner) : GameForm(owner, true) {}

  // GameDetailsView
  void SetCaption(const std::string& text) override;
  void SetDetails(const GameDetails& details) override;
  void SetPlayersCaption(const std::string& text) override;
  void SetPlayEnabled(bool enabled) override;
  void ShowModal(GameDetailsEvents& events) override;
  BoxResult ShowMessage(const MessageBoxSpec& box) override { return ShowMessageBox(hwnd_, box); }
  void Unload() override { EndModal(); }

  // For tests: the window made now.
  bool Make();

 protected:
  void OnAction() override;
  void OnCancel() override;

 private:
  GameDetailsEvents* events_ = nullptr;  // only while shown
};

}  // namespace cv3
