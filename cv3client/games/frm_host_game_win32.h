// frmHostGame: the host window, modal over the main window, in host or resume mode; Host (or
// Resume) and Cancel are reported as HostGameEvents. Hidden, it keeps its entries for the next
// ShowModal. The checks, the settings and the messages are the host controller's.
#pragma once

#include "cv3client/games/game_form_win32.h"
#include "cv3client/games/host_game.h"

namespace cv3 {

class frmHostGame : public GameForm, public HostGameView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3HostGameWindow";

  // Modal over `owner` (centred on it, or on the screen without one). The window is made with
  // the first call that needs it.
  explicit frmHostGame(HWND owner) : GameForm(owner, false) {}

  // HostGameView
  void SetCaption(const std::string& text) override;
  void SetHostPlayer(const std::string& text) override;
  void SetEntries(const HostedGame& entries) override;
  HostedGame Entries() const override { return ReadEntries(); }
  void SetResumeMode() override;
  void SetHostEnabled(bool enabled) override;
  void ShowModal(HostGameEvents& events) override;
  BoxResult ShowMessage(const MessageBoxSpec& box) override { return ShowMessageBox(hwnd_, box); }
  void Hide() override { EndModal(); }
  void Unload() override { EndModal(); }

  // For tests: the window made now.
  bool Make() { return MakeForm(kClassName, std::string(kHostGameCaption), L"Host"); }

 protected:
  void OnAction() override;
  void OnCancel() override;

 private:
  HostGameEvents* events_ = nullptr;  // only while shown
  bool resume_ = false;
};

}  // namespace cv3
