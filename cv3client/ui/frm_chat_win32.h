// frmChat: one chat window, modeless: the conversation (txtOutput) over the line being typed
// (txtInput). It reports Enter and the closing as ChatEvents; which window a line goes to, what is
// sent and whether a closed window survives are the chat router's.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "cv3client/ui/chat.h"
#include "win32/subclass_win32.h"
#include "win32/window_win32.h"

namespace cv3 {

// Owned by the chat router, which deletes it after its window is gone (from the top of the loop);
// the window itself goes at Unload or when a close is allowed. Deleting it earlier destroys the
// window.
class frmChat : public Window, public ChatView, private HookOwner {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3ChatWindow";
  // A private window's designed size, in twips.
  static constexpr int kPrivateWidthTwips = 7200;
  static constexpr int kPrivateHeightTwips = 5400;

  // The window shows `mainWindow`'s icons (it may be null); it is not owned by it, so it keeps its
  // own place in the task bar and stays when the main window hides in the tray.
  explicit frmChat(HWND mainWindow = nullptr) : mainWindow_(mainWindow) {}
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

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnTeardown() override;

 private:
  // The boxes' keys and mouse, before the boxes see them.
  void TreeViewMessage(HWND hwnd, UINT wMsg, WPARAM wParam, LPARAM lParam, LRESULT& RetVal,
                       bool& UseRetVal) override;
  void CreateControls();
  void Form_Resize();
  void OutputCaretToEnd();
  void txtOutput_MouseUp();

  HWND mainWindow_ = nullptr;
  ChatEvents* events_ = nullptr;  // until the window is gone
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  COLORREF outputColour_ = RGB(0, 0, 0);
  HWND lblOutput_ = nullptr, txtOutput_ = nullptr, lblInput_ = nullptr, txtInput_ = nullptr;
  // Turned false by the destructor: a handler whose event deleted the object returns at once.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace cv3
