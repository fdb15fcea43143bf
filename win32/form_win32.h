// The client's small modal windows ("forms"): a fixed popup with a caption and a close box,
// centred on its owner, laid out in twips at the window's DPI with Tahoma 8 controls, and shown
// modally over the owner with Tab, Enter and Esc through the dialog manager. A derived window
// adds its controls and turns their clicks into its own events. UI thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win32/window_win32.h"

namespace cv3 {

class Form : public Window {
 public:
  ~Form() override;

 protected:
  explicit Form(HWND owner) : owner_(owner) {}

  // Creates the hidden window, its client area this size; false when it cannot.
  bool CreateForm(const wchar_t* className, const std::wstring& caption, int clientWidthTwips,
                  int clientHeightTwips);
  // A visible child placed in twips, in the form's font unless another is given.
  HWND AddControl(const wchar_t* className, const std::wstring& text, DWORD style, int x, int y,
                  int width, int height, int id = 0, DWORD exStyle = 0, HFONT font = nullptr);
  // A push button of the usual size, a tab stop; the default one (Enter's) looks so.
  HWND AddButton(const std::wstring& text, int x, int y, int id, bool isDefault = false);
  // A single-line text box (with a client edge) placed in twips.
  HWND AddTextBox(DWORD style, int x, int y, int width, int id, HFONT font = nullptr);
  // A font at the form's DPI, deleted with the form.
  HFONT AddFont(int points, const wchar_t* face);
  // Shows the window with `focus` focused and runs the modal loop over the owner until
  // EndModal; the window is hidden (not destroyed) when it returns.
  void RunModal(HWND focus);
  // Ends the modal loop, from any handler that runs inside it, and hides the window.
  void EndModal();
  // A click on the button with this id, for the derived window to report. Enter comes as
  // `enterId`'s click (IDOK unless set), Esc and the close box as `escId`'s (IDCANCEL unless set).
  virtual void OnClick(int /*id*/) {}
  // Sees each message of the modal loop before the dialog manager; true when it handled it.
  virtual bool TakeFirst(const MSG& /*message*/) { return false; }
  void SetKeyButtons(int enterId, int escId) {
    enterId_ = enterId;
    escId_ = escId;
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  HWND owner_;

 private:
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  std::vector<HFONT> fonts_;
  bool ended_ = false;
  int enterId_ = IDOK, escId_ = IDCANCEL;
};

}  // namespace cv3
