// frmMain: the client's one permanent window. Toolbar, the roster tree inside its frame with the
// logo in front, the status bar, the menus and popup menus, the tray icon's notifications. It
// turns Win32 messages into calls on MainWindowEvents and implements the main window's roles for
// the controllers; no protocol or rule lives here.
#pragma once

// windows.h first: the other platform headers need it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cv3client/model/views.h"
#include "cv3client/ui/main_commands.h"
#include "cv3client/ui/main_window_events.h"
#include "win32/window_win32.h"

namespace cv3 {

struct MainWindowLook {
  bool tiled = true;        // SlowCPU 0: the pictures and the tiled tree
  std::wstring programDir;  // pictures are below it
};

class frmMain : public Window,
                public StatusView,
                public MenuView,
                public MessageView,
                public ShellView,
                public RosterView {
 public:
  static constexpr wchar_t kClassName[] = L"Cv3MainWindow";
  static constexpr wchar_t kCaption[] = L"Corvane 3.0 BETA";

  frmMain();
  ~frmMain() override;

  // The WM_COMMAND id of a menu command, a drop-down item or a toolbar button.
  static constexpr int kFirstCommandId = 1000;
  static int CommandId(MainCommand command) { return kFirstCommandId + static_cast<int>(command); }

  // `events` is told of the window's events until the window is destroyed.
  bool Load(const MainWindowLook& look, MainWindowEvents* events);
  void Show();

  BoxResult ShowMessage(const MessageBoxSpec& box) override;
  std::string InputBox(const std::string& prompt, const std::string& title,
                       const std::string& defaultText) override;
  void SetLogoCaption(const std::string& text) override;
  void SetStatusText(const std::string& text) override;
  void SetMenuEnabled(MenuItem item, bool enabled) override;
  void SetAdminMenuVisible(bool visible) override;
  void ShowRoster(bool visible) override;
  std::string SelectedNodeKey() override;
  void ShowPopupMenu(PopupMenuId menu) override;
  void TreeClear() override;
  bool TreeAdd(const RosterNode& node) override;
  void TreeRemove(const std::string& key) override;
  void TreeSetImage(const std::string& key, int image) override;
  void TreeSortAndExpandGroups() override;
  void ShowMainWindow() override;
  void HideMainWindow() override;
  void RemoveTrayIcon() override;
  void UnhookTree() override;
  void EndProgram() override;

  // For tests and tools: the controls.
  HWND tvObjects() const { return tvObjects_; }
  HWND barStatus() const { return barStatus_; }
  HWND barTool() const { return barTool_; }
  HWND picLogo() const { return picLogo_; }
  HWND lblLogoStatus() const { return lblLogoStatus_; }
  HMENU menuBar() const { return menuBar_; }
  HMENU popupUsers() const { return popupUsers_; }
  HMENU popupGames() const { return popupGames_; }
  HMENU statusMenu() const { return statusMenu_; }
  HMENU toolDropDown(int button) const { return toolDropDowns_[button - 1]; }  // 1 to 3

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void CreateMenus();
  void CreateControls();
  void Layout();
  void ApplyFonts();
  LRESULT OnNotify(NMHDR* header);
  LRESULT OnTreeCustomDraw(NMTVCUSTOMDRAW* draw);
  void OnTreeContextKey();
  HTREEITEM FindItem(const std::string& key) const;
  int Px(int twips) const { return TwipsToPixels(twips, dpi_); }

  MainWindowLook look_;
  MainWindowEvents* events_ = nullptr;
  UINT dpi_ = 96;
  HWND barTool_ = nullptr, barStatus_ = nullptr, picTVFrame_ = nullptr, picLogo_ = nullptr,
       lblLogoStatus_ = nullptr, tvObjects_ = nullptr, statusTip_ = nullptr;
  HMENU menuBar_ = nullptr, menuLogin2_ = nullptr, menuHelp_ = nullptr, statusMenu_ = nullptr,
        popupGames_ = nullptr, popupUsers_ = nullptr, adminMenu_ = nullptr, popupRoot_ = nullptr;
  HMENU toolDropDowns_[3] = {};
  HFONT font_ = nullptr, treeFont_ = nullptr, logoFont_ = nullptr;
  HIMAGELIST smallIcons_ = nullptr, toolImages_ = nullptr;
  HBITMAP logoBitmap_ = nullptr, frameBitmap_ = nullptr;
  SIZE logoSize_{}, frameSize_{};
  HICON icon_ = nullptr, smallIcon_ = nullptr;
  std::wstring toolTip_;  // the text of the tool tip being shown
  // Where a popup menu opens instead of at the mouse, while the keyboard asks for one.
  std::optional<POINT> menuAt_;
  std::map<std::string, HTREEITEM> items_;
  std::map<HTREEITEM, COLORREF> itemColors_;
  bool groupsSorted_ = false;
  bool picturesLoaded_ = true;
  bool rosterVisible_ = false;
  bool adminMenuVisible_ = false;
  std::unique_ptr<class TrayIcon> tray_;
  std::unique_ptr<class TreeLook> treeLook_;
  std::unique_ptr<class TreeMenuKeys> treeMenuKeys_;
  std::unique_ptr<class PicturePanel> framePanel_, logoPanel_;
  friend class PicturePanel;
};

}  // namespace cv3
