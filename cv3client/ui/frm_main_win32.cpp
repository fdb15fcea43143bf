#include "cv3client/ui/frm_main_win32.h"

#include <windowsx.h>

#include <algorithm>
#include <span>
#include <vector>

#include "cv3client/session/session_controller.h"
#include "cv3client/ui/main_window_parts_win32.h"
#include "win32/input_box_win32.h"
#include "win32/tray_win32.h"

namespace cv3 {
namespace {

constexpr int kTreeId = 200, kToolId = 201, kStatusId = 202;
constexpr int kDesignWidthTwips = 4200;  // the window's designed width

int Id(MainCommand command) { return frmMain::CommandId(command); }

// The command of a WM_COMMAND id or a toolbar button's id; nullptr for another id.
const CommandEntry* CommandOfId(int id) {
  std::span<const CommandEntry> table = MainCommandTable();
  int index = id - frmMain::kFirstCommandId;
  return index >= 0 && index < static_cast<int>(table.size()) ? &table[index] : nullptr;
}

// The pilots' popup menu's "Admin Mode" submenu, shown to administrators above its commands.
constexpr wchar_t kAdminModeCaption[] = L"&Admin Mode";

// A new popup menu with the commands of one place, each with its access key.
HMENU CommandMenu(CommandPlace place) {
  HMENU menu = CreatePopupMenu();
  std::vector<CommandEntry> commands = CommandsAt(place);
  std::vector<std::string_view> captions;
  for (const CommandEntry& command : commands) captions.push_back(command.caption);
  std::vector<std::string> marked =
      WithAccessKeys(captions, place == CommandPlace::kUsersMenu ? "A" : "");
  for (size_t i = 0; i < commands.size(); ++i) {
    if (commands[i].separatorBefore) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING | (commands[i].grayed ? MF_GRAYED : 0), Id(commands[i].id),
                Widen(marked[i]).c_str());
  }
  return menu;
}

}  // namespace

frmMain::frmMain() = default;

frmMain::~frmMain() {
  treeLook_.reset();
  treeMenuKeys_.reset();
  tray_.reset();
  if (hwnd_) {
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
  for (HMENU menu : {statusMenu_, popupRoot_}) {
    if (menu) DestroyMenu(menu);
  }
  for (HMENU menu : toolDropDowns_) {
    if (menu) DestroyMenu(menu);
  }
  if (adminMenu_ && !adminMenuVisible_) DestroyMenu(adminMenu_);
  for (HFONT font : {font_, treeFont_, logoFont_}) {
    if (font) DeleteObject(font);
  }
  if (smallIcons_) ImageList_Destroy(smallIcons_);
  if (toolImages_) ImageList_Destroy(toolImages_);
  if (logoBitmap_) DeleteObject(logoBitmap_);
  if (frameBitmap_) DeleteObject(frameBitmap_);
  if (icon_) DestroyIcon(icon_);
  if (smallIcon_) DestroyIcon(smallIcon_);
}

bool frmMain::Load(const MainWindowLook& look, MainWindowEvents* events) {
  look_ = look;
  events_ = events;
  INITCOMMONCONTROLSEX init{sizeof init,
                            ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&init);
  LoadAppIcons(DpiOf(nullptr), icon_, smallIcon_);
  CreateMenus();
  if (!Create(kClassName, kCaption, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, CW_USEDEFAULT,
              CW_USEDEFAULT, 400, 600, nullptr, menuBar_, icon_)) {
    return false;
  }
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  dpi_ = DpiOf(hwnd_);
  CreateControls();
  // The tiled look cannot do without its pictures: a broken installation is reported.
  if (!picturesLoaded_) return false;
  // Top 105 twips; right edge 105 twips from the screen's; height the screen's less 600 twips.
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  int width = Px(kDesignWidthTwips);
  int height = std::max(Px(3000), screenHeight - Px(600));
  SetWindowPos(hwnd_, nullptr, screenWidth - width - Px(105), Px(105), width,
               std::min<int>(height, work.bottom - Px(105)), SWP_NOZORDER | SWP_NOACTIVATE);
  tray_ = std::make_unique<TrayIcon>();
  tray_->AddTrayIcon(smallIcon_ ? smallIcon_ : icon_, hwnd_, kTrayTip);
  Layout();
  return true;
}

void frmMain::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
}

void frmMain::CreateMenus() {
  menuBar_ = CreateMenu();
  menuLogin2_ = CommandMenu(CommandPlace::kLoginMenu);
  AppendMenuW(menuBar_, MF_POPUP, reinterpret_cast<UINT_PTR>(menuLogin2_), L"&Login");
  menuHelp_ = CommandMenu(CommandPlace::kHelpMenu);
  AppendMenuW(menuBar_, MF_POPUP, reinterpret_cast<UINT_PTR>(menuHelp_), L"&Help");
  statusMenu_ = CommandMenu(CommandPlace::kStatusMenu);

  // The popup menus hang below one hidden root so that one DestroyMenu frees them.
  popupRoot_ = CreatePopupMenu();
  popupGames_ = CommandMenu(CommandPlace::kGamesMenu);
  AppendMenuW(popupRoot_, MF_POPUP, reinterpret_cast<UINT_PTR>(popupGames_), L"popupGames");
  adminMenu_ = CommandMenu(CommandPlace::kAdminMenu);
  // "Admin Mode" and the separator after it are inserted only while the user is an administrator.
  popupUsers_ = CommandMenu(CommandPlace::kUsersMenu);
  AppendMenuW(popupRoot_, MF_POPUP, reinterpret_cast<UINT_PTR>(popupUsers_), L"popupUsers");

  const CommandPlace dropDowns[3] = {CommandPlace::kButton1Menu, CommandPlace::kButton2Menu,
                                     CommandPlace::kButton3Menu};
  for (int b = 0; b < 3; ++b) toolDropDowns_[b] = CommandMenu(dropDowns[b]);
}

void frmMain::CreateControls() {
  ApplyFonts();
  barTool_ = CreateControl(hwnd_, TOOLBARCLASSNAMEW, L"",
                           TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP | CCS_NODIVIDER, 0, 0, 0, 0,
                           kToolId, font_);
  NameForScreenReaders(barTool_, L"Toolbar");
  SendMessageW(barTool_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(barTool_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  toolImages_ = LoadToolbarImages(look_.programDir, dpi_);
  if (toolImages_)
    SendMessageW(barTool_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolImages_));
  std::vector<TBBUTTON> buttons;
  for (const CommandEntry& command : CommandsAt(CommandPlace::kToolbar)) {
    TBBUTTON& button = buttons.emplace_back();
    button.iBitmap = static_cast<int>(buttons.size()) - 1;
    button.idCommand = Id(command.id);
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_DROPDOWN;
    button.iString = -1;
  }
  SendMessageW(barTool_, TB_ADDBUTTONS, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
  SendMessageW(barTool_, TB_AUTOSIZE, 0, 0);

  barStatus_ =
      CreateControl(hwnd_, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP, 0, 0, 0, 0, kStatusId, font_);
  SendMessageW(barStatus_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L"Not Connected"));
  statusTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0,
                               0, 0, 0, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{sizeof tool};
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = barStatus_;
  tool.uId = 1;
  tool.lpszText = const_cast<wchar_t*>(L"Change your status");
  SendMessageW(statusTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

  framePanel_ = std::make_unique<PicturePanel>(this, PicturePanel::Role::kFrame);
  picTVFrame_ = framePanel_->Make(hwnd_);
  logoPanel_ = std::make_unique<PicturePanel>(this, PicturePanel::Role::kLogo);
  picLogo_ = logoPanel_->Make(picTVFrame_);
  lblLogoStatus_ = CreateControl(picLogo_, L"STATIC", L"Corvane 3.0", SS_CENTER | SS_NOPREFIX, 0, 0,
                                 0, 0, 0, logoFont_);
  tvObjects_ = CreateControl(picTVFrame_, WC_TREEVIEWW, L"",
                             TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP, 0,
                             0, 0, 0, kTreeId, treeFont_);
  NameForScreenReaders(tvObjects_, L"Games and pilots");
  treeMenuKeys_ = std::make_unique<TreeMenuKeys>(tvObjects_, [this] { OnTreeContextKey(); });
  smallIcons_ = LoadRosterImages(look_.programDir, dpi_);
  if (smallIcons_) TreeView_SetImageList(tvObjects_, smallIcons_, TVSIL_NORMAL);
  // Over the dark tile the expand buttons and lines need the light roster colour to show.
  if (look_.tiled) {
    TreeView_SetLineColor(tvObjects_, RGB(0xF8, 0xF8, 0xF8));
    TreeView_SetTextColor(tvObjects_, RGB(0xF8, 0xF8, 0xF8));
  }
  TreeView_SetItemHeight(tvObjects_, std::max(Px(270), MulDiv(18, dpi_, 96)));
  ShowWindow(tvObjects_, SW_HIDE);
  if (look_.tiled) {
    picturesLoaded_ =
        LoadFramePictures(look_.programDir, logoBitmap_, logoSize_, frameBitmap_, frameSize_);
    treeLook_ = std::make_unique<TreeLook>(tvObjects_, look_.programDir);
    picturesLoaded_ = picturesLoaded_ && treeLook_->ok();
  }
}

void frmMain::ApplyFonts() {
  for (HFONT font : {font_, treeFont_, logoFont_}) {
    if (font) DeleteObject(font);
  }
  NONCLIENTMETRICSW metrics{sizeof metrics};
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  font_ = CreateUiFont(dpi_, 8, false, L"Tahoma");
  treeFont_ = CreateUiFont(dpi_, 8, false, L"Verdana");
  logoFont_ = CreateUiFont(dpi_, 8, true, L"Verdana");
  if (look_.tiled) {
    // Light text drawn over the tile: smoothing against the white the tree paints would fringe.
    LOGFONTW logFont;
    GetObjectW(treeFont_, sizeof logFont, &logFont);
    logFont.lfQuality = NONANTIALIASED_QUALITY;
    DeleteObject(treeFont_);
    treeFont_ = CreateFontIndirectW(&logFont);
  }
}

void frmMain::Layout() {
  if (!hwnd_ || IsIconic(hwnd_)) return;
  RECT client;
  GetClientRect(hwnd_, &client);
  SendMessageW(barTool_, TB_AUTOSIZE, 0, 0);
  SendMessageW(barStatus_, WM_SIZE, 0, 0);
  RECT toolRect, statusRect;
  GetWindowRect(barTool_, &toolRect);
  GetWindowRect(barStatus_, &statusRect);
  int top = toolRect.bottom - toolRect.top;
  int statusHeight = statusRect.bottom - statusRect.top;
  int margin = Px(45);
  int frameWidth = std::max(0, int(client.right) - 2 * margin);
  int frameHeight = std::max(0, int(client.bottom) - top - statusHeight - margin);
  MoveWindow(picTVFrame_, margin, top, frameWidth, frameHeight, TRUE);
  // The tree fills the frame less 45 twips on each side; the logo stands in its middle.
  MoveWindow(tvObjects_, margin, margin, std::max(0, frameWidth - 2 * margin),
             std::max(0, frameHeight - 2 * margin), TRUE);
  // The picture is drawn for 96 DPI; it grows with the window as its caption does.
  SIZE logo = logoSize_.cx ? SIZE{MulDiv(logoSize_.cx, static_cast<int>(dpi_), 96),
                                  MulDiv(logoSize_.cy, static_cast<int>(dpi_), 96)}
                           : SIZE{Px(2400), Px(1500)};
  MoveWindow(picLogo_, (frameWidth - logo.cx) / 2, (frameHeight - logo.cy) / 2, logo.cx, logo.cy,
             TRUE);
  int labelHeight = Px(300);
  MoveWindow(lblLogoStatus_, 0, logo.cy - labelHeight - Px(60), logo.cx, labelHeight, TRUE);
  int parts[] = {-1};
  SendMessageW(barStatus_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
  TTTOOLINFOW tool{sizeof tool};
  tool.hwnd = barStatus_;
  tool.uId = 1;
  SendMessageW(barStatus_, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&tool.rect));
  SendMessageW(statusTip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void frmMain::ShowPopupMenu(PopupMenuId which) {
  HMENU menu = which == PopupMenuId::kStatus  ? statusMenu_
               : which == PopupMenuId::kGames ? popupGames_
               : which == PopupMenuId::kUsers ? popupUsers_
                                              : menuLogin2_;
  POINT at = menuAt_.value_or(POINT{});
  if (!menuAt_) GetCursorPos(&at);
  // The window must be foreground for the menu to close when the user clicks elsewhere.
  SetForegroundWindow(hwnd_);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
  PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void frmMain::OnTreeContextKey() {
  HTREEITEM selected = TreeView_GetSelection(tvObjects_);
  RECT node{};
  if (!selected || !TreeView_GetItemRect(tvObjects_, selected, &node, TRUE)) return;
  MapWindowPoints(tvObjects_, nullptr, reinterpret_cast<POINT*>(&node), 2);
  menuAt_ = POINT{node.left, node.bottom};
  if (events_) events_->OnTreeRightClick();
  menuAt_.reset();
}

std::string frmMain::SelectedNodeKey() {
  HTREEITEM selected = TreeView_GetSelection(tvObjects_);
  if (!selected) return {};
  for (const auto& [key, item] : items_) {
    if (item == selected) return key;
  }
  return {};
}

HTREEITEM frmMain::FindItem(const std::string& key) const {
  auto it = items_.find(key);
  return it == items_.end() ? nullptr : it->second;
}

LRESULT frmMain::OnTreeCustomDraw(NMTVCUSTOMDRAW* draw) {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      auto item = reinterpret_cast<HTREEITEM>(draw->nmcd.dwItemSpec);
      auto it = itemColors_.find(item);
      bool selected = (draw->nmcd.uItemState & CDIS_SELECTED) != 0;
      if (it != itemColors_.end() && !selected) draw->clrText = it->second;
      if (look_.tiled && !selected) draw->clrTextBk = GetSysColor(COLOR_WINDOW);
      return look_.tiled ? CDRF_NOTIFYPOSTPAINT : CDRF_DODEFAULT;
    }
    case CDDS_ITEMPOSTPAINT: {
      // The tree draws its expand sign black whatever its colours: over the tile it is drawn again.
      auto item = reinterpret_cast<HTREEITEM>(draw->nmcd.dwItemSpec);
      if (TreeView_GetChild(tvObjects_, item)) {
        int indent = TreeView_GetIndent(tvObjects_);
        POINT centre{indent * draw->iLevel + indent / 2 - GetScrollPos(tvObjects_, SB_HORZ),
                     (draw->nmcd.rc.top + draw->nmcd.rc.bottom) / 2};
        int reach = std::min<int>(indent, draw->nmcd.rc.bottom - draw->nmcd.rc.top) / 4 + 1;
        bool open = TreeView_GetItemState(tvObjects_, item, TVIS_EXPANDED) & TVIS_EXPANDED;
        DrawExpandSign(draw->nmcd.hdc, centre, reach, open, dpi_);
      }
      return CDRF_DODEFAULT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

LRESULT frmMain::OnNotify(NMHDR* header) {
  if (header->hwndFrom == tvObjects_) {
    switch (header->code) {
      case NM_CUSTOMDRAW:
        return OnTreeCustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(header));
      case NM_DBLCLK:
        if (events_) events_->OnTreeDoubleClick();
        return 1;  // the tree would otherwise toggle the group
      case NM_RCLICK: {
        // The right button also selects the node under it, as the tree's own control does.
        TVHITTESTINFO hit{};
        GetCursorPos(&hit.pt);
        ScreenToClient(tvObjects_, &hit.pt);
        if (HTREEITEM item = TreeView_HitTest(tvObjects_, &hit))
          TreeView_SelectItem(tvObjects_, item);
        if (events_) events_->OnTreeRightClick();
        return 1;
      }
    }
  } else if (header->hwndFrom == barStatus_ &&
             (header->code == NM_CLICK || header->code == NM_RCLICK)) {
    if (events_) events_->OnStatusPanelClick();
    return 1;
  } else if (header->code == TBN_DROPDOWN && header->hwndFrom == barTool_) {
    auto* drop = reinterpret_cast<NMTOOLBARW*>(header);
    int button = drop->iItem - Id(MainCommand::toolButton1);
    if (button >= 0 && button < 3) {
      if (events_) events_->OnToolbarDropDown(button + 1);
      RECT rect;
      SendMessageW(barTool_, TB_GETRECT, drop->iItem, reinterpret_cast<LPARAM>(&rect));
      MapWindowPoints(barTool_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
      TrackPopupMenu(toolDropDowns_[button], TPM_LEFTALIGN | TPM_TOPALIGN, rect.left, rect.bottom,
                     0, hwnd_, nullptr);
    }
    return TBDDRET_DEFAULT;
  } else if (header->code == TTN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    const CommandEntry* command = CommandOfId(static_cast<int>(header->idFrom));
    if (command && !command->tip.empty()) {
      toolTip_ = Widen(command->tip);
      info->lpszText = toolTip_.data();
    }
    return 0;
  }
  return 0;
}

LRESULT frmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (tray_ && tray_->OnTaskbarCreated(message)) return 0;
  switch (message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wParam);
      ApplyFonts();
      for (HWND control : {barTool_, barStatus_}) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
      }
      SendMessageW(tvObjects_, WM_SETFONT, reinterpret_cast<WPARAM>(treeFont_), TRUE);
      SendMessageW(lblLogoStatus_, WM_SETFONT, reinterpret_cast<WPARAM>(logoFont_), TRUE);
      auto* suggested = reinterpret_cast<RECT*>(lParam);
      SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_COMMAND: {
      const CommandEntry* command = CommandOfId(LOWORD(wParam));
      if (events_ && command) events_->OnCommand(command->id);
      return 0;
    }
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case TrayIcon::kCallbackMessage: {
      // The tray icon's mouse action: its number is where a mouse move carries its x.
      if (events_) {
        int x = GET_X_LPARAM(lParam);
        std::string action = TrayActionFromPixels(x, dpi_);
        if (!action.empty()) events_->OnTrayMouse(action);
      }
      return 0;
    }
    case WM_CLOSE:
      if (!events_ || events_->OnCloseRequested()) DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      // The events' object may not outlive the window: nothing reaches it after this.
      events_ = nullptr;
      return 0;
  }
  return Default(message, wParam, lParam);
}

// ---- The roles ----

BoxResult frmMain::ShowMessage(const MessageBoxSpec& box) { return ShowMessageBox(hwnd_, box); }

std::string frmMain::InputBox(const std::string& prompt, const std::string& title,
                              const std::string& defaultText) {
  return ShowInputBox(hwnd_, prompt, title, defaultText);
}

void frmMain::SetLogoCaption(const std::string& text) {
  SetControlText(lblLogoStatus_, text);
  // The caption has no background of its own: repaint the picture under the old text.
  InvalidateRect(picLogo_, nullptr, TRUE);
}

void frmMain::SetStatusText(const std::string& text) {
  std::wstring wide = Widen(text);
  SendMessageW(barStatus_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void frmMain::SetMenuEnabled(MenuItem item, bool enabled) {
  MainCommand command = item == MenuItem::kEditProfile ? MainCommand::mnuEditProfile
                        : item == MenuItem::kLogin     ? MainCommand::mnuLogin
                                                       : MainCommand::mnuDisconnect;
  EnableMenuItem(menuBar_, Id(command), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void frmMain::SetAdminMenuVisible(bool visible) {
  if (visible == adminMenuVisible_) return;
  adminMenuVisible_ = visible;
  if (visible) {
    InsertMenuW(popupUsers_, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(adminMenu_),
                kAdminModeCaption);
    InsertMenuW(popupUsers_, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
  } else {
    RemoveMenu(popupUsers_, 1, MF_BYPOSITION);  // the separator
    RemoveMenu(popupUsers_, 0, MF_BYPOSITION);  // the submenu, kept for later
  }
}

void frmMain::ShowRoster(bool visible) {
  rosterVisible_ = visible;
  ShowWindow(tvObjects_, visible ? SW_SHOW : SW_HIDE);
  ShowWindow(picLogo_, visible ? SW_HIDE : SW_SHOW);
  EnableWindow(barTool_, visible);
}

void frmMain::TreeClear() {
  TreeView_DeleteAllItems(tvObjects_);
  items_.clear();
  itemColors_.clear();
  groupsSorted_ = false;
}

bool frmMain::TreeAdd(const RosterNode& node) {
  if (items_.count(node.key)) return false;
  HTREEITEM parent = TVI_ROOT;
  if (!node.parentKey.empty()) {
    parent = FindItem(node.parentKey);
    if (!parent) return false;
  }
  std::wstring text = Widen(node.text);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = (parent != TVI_ROOT && groupsSorted_) ? TVI_SORT : TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_STATE;
  insert.item.pszText = text.data();
  // Roster image n is image n of the strip, index n - 1 of the image list.
  insert.item.iImage = node.image - 1;
  insert.item.iSelectedImage = node.image - 1;
  insert.item.stateMask = TVIS_BOLD;
  insert.item.state = node.bold ? TVIS_BOLD : 0;
  // Wine's tree re-measures the whole visible list on every insert into an expanded group (tens
  // of milliseconds with thousands of pilots); with redraw off it only links the item in, and
  // turning redraw back on measures once. Only while shown: a hidden tree is already cheap.
  bool quiet = groupsSorted_ && IsWindowVisible(tvObjects_);
  if (quiet) SendMessageW(tvObjects_, WM_SETREDRAW, FALSE, 0);
  HTREEITEM item = TreeView_InsertItem(tvObjects_, &insert);
  if (quiet) {
    SendMessageW(tvObjects_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(tvObjects_, nullptr, FALSE);
  }
  if (!item) return false;
  items_[node.key] = item;
  itemColors_[item] =
      RGB((node.foreColor >> 16) & 0xFF, (node.foreColor >> 8) & 0xFF, node.foreColor & 0xFF);
  return true;
}

void frmMain::TreeRemove(const std::string& key) {
  HTREEITEM item = FindItem(key);
  if (!item) return;
  // Children of a removed group go too. Walk only the removed item's own subtree: asking every
  // item for its parent costs one message per roster node, far too slow for a presence notice.
  std::vector<HTREEITEM> gone{item};
  for (size_t i = 0; i < gone.size(); ++i) {
    for (HTREEITEM child = TreeView_GetChild(tvObjects_, gone[i]); child;
         child = TreeView_GetNextSibling(tvObjects_, child)) {
      gone.push_back(child);
    }
  }
  if (gone.size() == 1) {
    items_.erase(key);
  } else {
    std::sort(gone.begin(), gone.end(), std::less<HTREEITEM>());
    std::erase_if(items_, [&](const auto& entry) {
      return std::binary_search(gone.begin(), gone.end(), entry.second, std::less<HTREEITEM>());
    });
  }
  for (HTREEITEM g : gone) itemColors_.erase(g);
  TreeView_DeleteItem(tvObjects_, item);
}

void frmMain::TreeSetImage(const std::string& key, int image) {
  HTREEITEM item = FindItem(key);
  if (!item) return;
  TVITEMW tv{};
  tv.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  tv.hItem = item;
  tv.iImage = image - 1;
  tv.iSelectedImage = image - 1;
  TreeView_SetItem(tvObjects_, &tv);
}

void frmMain::TreeSortAndExpandGroups() {
  groupsSorted_ = true;
  std::vector<HTREEITEM> groups;
  for (HTREEITEM g = TreeView_GetRoot(tvObjects_); g; g = TreeView_GetNextSibling(tvObjects_, g)) {
    groups.push_back(g);
  }
  for (HTREEITEM g : groups) TreeView_SortChildren(tvObjects_, g, FALSE);
  for (HTREEITEM g : groups) TreeView_Expand(tvObjects_, g, TVE_EXPAND);
}

void frmMain::ShowMainWindow() {
  ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hwnd_);
}

void frmMain::HideMainWindow() { ShowWindow(hwnd_, SW_HIDE); }

void frmMain::RemoveTrayIcon() {
  if (tray_) tray_->RemoveTrayIcon();
}

void frmMain::UnhookTree() {
  treeLook_.reset();
  treeMenuKeys_.reset();
}

void frmMain::EndProgram() { PostQuitMessage(0); }

}  // namespace cv3
