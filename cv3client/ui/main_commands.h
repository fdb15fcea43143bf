// The main window's command surface: every menu item, popup menu item, toolbar button and
// drop-down item, the status bar click, the tray icon's actions and the tree's clicks. The window
// calls the entry point named after its control; the rules live here or in the controller each
// one leads to. Commands of features still to come reach an entry point that does nothing yet.
// UI thread only.
#pragma once

#include <string>
#include <string_view>

#include "cv3client/session/session_controller.h"
#include "cv3client/ui/main_view.h"
#include "cv3client/ui/roster.h"

namespace cv3 {

inline constexpr std::string_view kResumeOnlineGameText =
    "You cannot resume games that are already online!";

// Drop-down items of the toolbar, by their text (the community links are in web_pages.h).
inline constexpr std::string_view kItemLobbyChat = "Lobby Chat";
inline constexpr std::string_view kItemHostGame = "Host Game";
inline constexpr std::string_view kItemResumeGame = "Resume Game";
inline constexpr std::string_view kItemRemoveGame = "Remove Game";
inline constexpr std::string_view kItemAdminMode = "Admin Mode";

// Tray icon actions the window reacts to (see TrayMouseMessage).
inline constexpr std::string_view kTrayShowWindow = "LEFTDOUBLE";
inline constexpr std::string_view kTrayLoginMenu = "RIGHTUP";

class MainCommands {
 public:
  MainCommands(MainView& view, SessionController& session, RosterModel& roster)
      : view_(view), session_(session), roster_(roster) {}

  // "&Login" menu.
  void mnuEditProfile_Click();
  void mnuPreferences_Click() {}  // frmPreferences: comes with the preferences
  void mnuLogin_Click() { session_.mnuLogin_Click(); }
  void mnuDisconnect_Click() { session_.mnuDisconnect_Click(); }
  void mnuExit_Click() { session_.mnuExit_Click(); }
  // Status menu.
  void mnuOnline_Click();
  void mnuNewAway_Click() {}  // frmAway: comes with the away status
  void mnuInvisible_Click();
  // "&Help" menu.
  void mnuGetHelp_Click();
  void mnuFaq_Click();
  void mnuAbout_Click() { view_.ShowAboutWindow(); }
  // popupGames, on the selected node.
  void mnuGameDetails_Click();
  void mnuResumeGame_Click();
  void mnuRemoveGame_Click();
  // popupUsers: these come with administration, profiles and chat.
  void mnuRemUser_Click() {}
  void mnuSuspend_Click() {}
  void mnuUnsuspend_Click() {}
  void mnuChangePass_Click() {}
  void mnuViewProfile_Click() {}
  void mnuIgnore_Click() {}

  // Toolbar: button 1 to 3, and a drop-down item chosen by its text.
  void barTool_ButtonClick(int button);
  void barTool_ButtonMenuClick(std::string_view itemText);
  // The status bar's panel: pops up the status menu, connected or not.
  void barStatus_PanelClick() { view_.ShowPopupMenu(PopupMenuId::kStatus); }
  // A decoded tray notification ("LEFTDOUBLE", "RIGHTUP", ...; others are ignored).
  void TrayMouse(std::string_view action);
  // The tree, on its selected node.
  void tvObjects_DblClick();
  void tvObjects_MouseUp(int button);  // 1 left, 2 right
  // frmAbout's web-site label.
  void AboutWebSite_Click();

  // Entry points of features still to come; they do nothing yet.
  void OpenLobbyChat() {}
  void OpenPrivateChat(const std::string& /*pilotName*/) {}
  void HostGame() {}

 private:
  const RosterNode* SelectedNode();

  MainView& view_;
  SessionController& session_;
  RosterModel& roster_;
};

}  // namespace cv3
