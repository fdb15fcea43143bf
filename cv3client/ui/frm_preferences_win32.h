// frmPreferences: the modal settings window, a six-page tab control (SSTab1) with OK and Cancel.
// Its boxes and clicks, reported as PreferencesEvents; loading, saving and Remove are the
// preferences controller's. Ctrl+Tab and Ctrl+Shift+Tab (or Ctrl+Page Down and Up) move between
// the pages, Tab between the controls of the page shown, OK and Cancel, and the tab strip.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cv3client/ui/preferences.h"
#include "win32/form_win32.h"

namespace cv3 {

class frmPreferences : public Form, public PreferencesView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3PreferencesWindow";
  static constexpr int kPageCount = 6;

  // Modal over `owner` (centred on it, or on the screen without one).
  explicit frmPreferences(HWND owner) : Form(owner) {}
  ~frmPreferences() override;

  // PreferencesView
  void ShowModal(PreferencesEvents& events) override;
  bool Checked(PrefBox box) const override;
  void SetChecked(PrefBox box, bool checked) override;
  std::string Text(PrefText box) const override;
  void SetText(PrefText box, const std::string& text) override;
  void AddIgnored(const std::string& name) override;
  std::vector<std::string> IgnoredEntries() const override;
  std::optional<size_t> SelectedIgnored() const override;
  void RemoveIgnored(size_t index) override;
  BoxResult ShowMessage(const MessageBoxSpec& box) override { return ShowMessageBox(hwnd_, box); }
  void Unload() override;

  // For tests: the tab control and the page it shows.
  HWND SSTab1() const { return SSTab1_; }
  int CurrentPage() const { return page_; }

 protected:
  void OnClick(int id) override;
  bool TakeFirst(const MSG& message) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  bool Create();
  // A control of one page, hidden while another page is shown.
  HWND AddToPage(int page, HWND control);
  void ShowPage(int page);

  PreferencesEvents* events_ = nullptr;  // only while shown
  bool unloaded_ = false;
  int page_ = 0;
  HWND SSTab1_ = nullptr, lstIgnored_ = nullptr;
  HBRUSH pageBrush_ = nullptr;
  std::array<HWND, 13> boxes_{};  // by PrefBox
  std::array<HWND, 2> texts_{};   // by PrefText
  std::vector<std::pair<int, HWND>> pageControls_;
};

}  // namespace cv3
