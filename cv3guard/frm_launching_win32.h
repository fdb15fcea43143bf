// frmLaunching: the notice that the watchdog is starting the game, two Verdana labels on a small
// bordered window in the middle of the screen. It shows above other windows without taking the
// focus, and owns no controls the player could use. UI thread only.
#pragma once

#include <windows.h>

#include "win32/window_win32.h"

namespace cv3 {

class frmLaunching : public Window {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3GuardLaunching";
  ~frmLaunching() override;

  // Creates the hidden window with its labels; false when it cannot.
  bool Load();
  // Topmost and shown, leaving the focus where it is.
  void Show();
  void Hide();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HFONT titleFont_ = nullptr;
  HFONT font_ = nullptr;
};

}  // namespace cv3
