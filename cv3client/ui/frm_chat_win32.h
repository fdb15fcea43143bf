// frmChat: one chat window, modeless: the conversation (txtOutput) over the line being typed
// (txtInput). It reports Enter and the closing as ChatEvents; which window a line goes to, what is
// sent and whether a closed window survives are the chat router's.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "cv3client/support/text_box_background_win32.h"
#include "cv3client/ui/chat.h"
#include "win32/subclass_win32.h"
#include "win32/window_win32.h"

namespace cv3 {

struct ChatLook {
  // Its icons are shown (it may be null). The window is not owned by it, so it keeps its own
  // place in the task bar and stays when the main window hides in the tray.
  HWND mainWindow = nullptr;
  // SlowCPU 0: both boxes over the tiled picture below programDir, with light text; else plain
  // (black on white), also when the picture cannot be read.
  bool tiled = false;
  std::wstring programDir;
};

// Owned by the chat router, which deletes it after its window is gone (from the top of the loop);
// the window itself goes at Unload or when a close is allowed. Deleting it earlier destroys the
// window.
class frmChat : public Window, public ChatView, private HookOwner {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3ChatWindow";
  // A private window's designed size, in twips.
  static constexpr int kPrivateWidthTwips = 7200;
  static constexpr int kPrivateHeightTwips = 5400;

  explicit frmChat(ChatLook look = {}) : look_(std::move(look)) {}
  ~frmChat() override;

  // ChatView
  bool Create(const std::string& caption, bool lobbySize, ChatEvents& events) override;
  bool IsVisible() const override { return hwnd_ && IsWindowVisible(hwnd_); }
  void ShowWindow() override;
  void Hide() override;
  bool IsActive() const override { return hwnd_ && GetActiveWindow() == hwnd_; }
  void Flash() override;
  void AppendOutput(const std::string& text, int colour = -1) override;
  std::string InputText() const override;
  void ClearInput() override;
  void Unload() override;

  HWND txtOutput() const { return txtOutput_; }
  HWND txtInput() const { return txtInput_; }
  HWND lblOutput() const { return lblOutput_; }
  HWND lblInput() const { return lblInput_; }
  // The boxes' background painters: null in the plain look.
  cTextBoxBackground* outputBackground() const { return outputBackground_.get(); }
  cTextBoxBackground* inputBackground() const { return inputBackground_.get(); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnTeardown() override;

 private:
  // The boxes' keys and mouse, before the boxes see them.
  void TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM wParam, LPARAM lParam, LRESULT& RetVal,
                       bool& UseRetVal) override;
  void CreateControls();
  // The tiled look's painters on both boxes; false (none) when the tile cannot be read.
  bool AttachBackgrounds();
  LRESULT BoxColours(HDC dc, HWND box);
  void Form_Resize();
  void OutputCaretToEnd();
  void FlushOutput();
  void txtOutput_MouseUp();

  ChatLook look_;
  ChatEvents* events_ = nullptr;  // until the window is gone
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  COLORREF outputColour_ = RGB(0, 0, 0), inputColour_ = RGB(0, 0, 0);
  std::unique_ptr<cTextBoxBackground> outputBackground_, inputBackground_;
  std::wstring pendingOutput_;  // appended, not yet in the box
  bool flushPosted_ = false;
  HWND lblOutput_ = nullptr, txtOutput_ = nullptr, lblInput_ = nullptr, txtInput_ = nullptr;
  // Turned false by the destructor: a handler whose event deleted the object returns at once.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace cv3
