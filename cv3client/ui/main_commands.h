// The main window's command surface: every menu item, popup menu item, toolbar button and
// drop-down item (each a MainCommand with one entry in the command table, which the window builds
// its menus and toolbar from and Execute runs), the status bar click, the tray icon's
// actions and the tree's clicks. The window reports the command; the rules live here or in the
// controller each one leads to. Commands of features still to come reach an entry point that
// does nothing yet. UI thread only.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cv3client/model/roster.h"
#include "cv3client/model/views.h"
#include "cv3client/session/session_controller.h"
#include "cv3client/support/web_pages.h"
#include "cv3client/ui/chat.h"

namespace cv3 {

// Every command the main window offers, by the name of its menu item or toolbar entry, in the
// order of the command table (MainCommandTable).
enum class MainCommand {
  mnuEditProfile,
  mnuPreferences,
  mnuLogin,
  mnuDisconnect,
  mnuExit,
  mnuOnline,
  mnuNewAway,
  mnuInvisible,
  mnuGetHelp,
  mnuFaq,
  mnuAbout,
  mnuGameDetails,
  mnuResumeGame,
  mnuRemoveGame,
  mnuRemUser,
  mnuSuspend,
  mnuUnsuspend,
  mnuChangePass,
  mnuViewProfile,
  mnuIgnore,
  // Toolbar buttons 1 to 3.
  toolButton1,
  toolButton2,
  toolButton3,
  // Items of the buttons' drop-down lists.
  toolLobbyChat,
  toolHostGame,
  toolResumeGame,
  toolRemoveGame,
  toolAdminMode,
  toolCommunityLink1,
  toolCommunityLink2,
  toolCommunityLink3,
  toolCommunityLink4,
};

class MainCommands;

// Where a command is offered.
enum class CommandPlace {
  kLoginMenu,    // the menu bar's "&Login", also the tray icon's popup
  kHelpMenu,     // the menu bar's "&Help"
  kStatusMenu,   // the status bar's popup
  kGamesMenu,    // popupGames, on a game node
  kAdminMenu,    // popupUsers' "Admin Mode" submenu, on a pilot node
  kUsersMenu,    // popupUsers, on a pilot node
  kToolbar,      // the buttons, in order
  kButton1Menu,  // the buttons' drop-down lists
  kButton2Menu,
  kButton3Menu,
};

// One command: where it is offered, what it shows and what runs it. Menus and the toolbar are
// built from the table and every command is run through it.
struct CommandEntry {
  MainCommand id;
  CommandPlace place;
  std::string_view caption;  // the menu or drop-down item's text; empty for a toolbar button
  std::string_view tip;      // a toolbar button's tool tip
  void (MainCommands::*handler)();
  bool separatorBefore = false;  // within its place
  bool grayed = false;           // until the session enables it
};

// Every command, in the order of MainCommand, which is also each place's order.
std::span<const CommandEntry> MainCommandTable();
// The commands of one place, in order.
std::vector<CommandEntry> CommandsAt(CommandPlace place);

// The items' captions of one menu with an access key each ("&" before it), the keys told apart
// within the menu: the first letter of a word not yet taken, else any letter not yet taken, in
// the caption's order; "&&" for a caption's own "&". The keys in `taken` (upper case, such as
// "A" for an item added beside them) are left to their items. A caption without a free letter
// keeps none.
std::vector<std::string> WithAccessKeys(const std::vector<std::string_view>& captions,
                                        std::string taken = {});

inline constexpr std::string_view kAlreadyIgnoredText =
    "User is already present in the ignored list!";
inline constexpr std::string_view kIgnoreAddedText = "User has been added to the ignore list.";
inline constexpr std::string_view kCannotIgnoreText =
    "This user's ID holds a comma and cannot be put on the ignore list.";
inline constexpr std::string_view kIgnoreListTooLongText =
    "Your ignore list is too long to be read, so this user cannot be put on it.";

inline constexpr std::string_view kChangePassPrompt = "Enter a new password for this user:";
inline constexpr std::string_view kInputTitle = "Input";

inline constexpr std::string_view kResumeOnlineGameText =
    "You cannot resume games that are already online!";

// Tray icon actions the window reacts to (see TrayMouseMessage).
inline constexpr std::string_view kTrayShowWindow = "LEFTDOUBLE";
inline constexpr std::string_view kTrayLoginMenu = "RIGHTUP";

class MainCommands {
 public:
  // `send` puts a command on the server link.
  MainCommands(MessageView& messages, MenuView& menus, ShellView& shell, WindowOpener& windows,
               SessionController& session, std::function<bool(std::string_view line)> send,
               RosterModel& roster, ChatRouter& chat, Registry& registry)
      : messages_(messages),
        menus_(menus),
        shell_(shell),
        windows_(windows),
        session_(session),
        send_(std::move(send)),
        roster_(roster),
        chat_(chat),
        registry_(registry) {}

  // Runs the command of a menu item, toolbar button or drop-down item (its table entry).
  void Execute(MainCommand command);

  // "&Login" menu.
  void mnuEditProfile_Click();
  void mnuPreferences_Click() { windows_.ShowWindow(WindowKind::kPreferences); }
  void mnuLogin_Click() { session_.mnuLogin_Click(); }
  void mnuDisconnect_Click() { session_.mnuDisconnect_Click(); }
  void mnuExit_Click() { session_.mnuExit_Click(); }
  // Status menu.
  void mnuOnline_Click();
  void mnuNewAway_Click() { windows_.ShowWindow(WindowKind::kAway); }
  void mnuInvisible_Click();
  // "&Help" menu.
  void mnuGetHelp_Click();
  void mnuFaq_Click();
  void mnuAbout_Click() { windows_.ShowWindow(WindowKind::kAbout); }
  // popupGames, on the game node selected when the menu opened (see MenuNodeName).
  void mnuGameDetails_Click();
  void mnuResumeGame_Click();
  void mnuRemoveGame_Click();
  // popupUsers' "Admin Mode" submenu, on the pilot node selected when the menu opened (see
  // MenuNodeName).
  void mnuRemUser_Click();
  void mnuSuspend_Click();
  void mnuUnsuspend_Click();
  void mnuChangePass_Click();
  // popupUsers: the pilot's profile, and putting him on the ignore list (see MenuNodeName).
  void mnuViewProfile_Click();
  void mnuIgnore_Click();

  // A toolbar button's drop-down opens (1 to 3); like the tree's menus, it pumps socket events
  // while open.
  void barTool_ButtonDropDown(int button);
  // The status bar's panel: pops up the status menu, connected or not.
  void barStatus_PanelClick() { menus_.ShowPopupMenu(PopupMenuId::kStatus); }
  // A decoded tray notification ("LEFTDOUBLE", "RIGHTUP", ...; others are ignored).
  void TrayMouse(std::string_view action);
  // The tree, on its selected node.
  void tvObjects_DblClick();
  void tvObjects_MouseUp(int button);  // 1 left, 2 right
  // frmAbout's web-site label.
  void AboutWebSite_Click() { OpenWebSite(); }

  void OpenLobbyChat() { chat_.OpenLobbyChat(); }
  void OpenPrivateChat(const std::string& pilotName) { chat_.OpenPrivateChat(pilotName); }
  // "Host Game": frmHostGame, modally.
  void HostGame() { windows_.ShowWindow(WindowKind::kHostGame); }
  // The web site's root page.
  void OpenWebSite();
  // The games drop-down's "Admin Mode": sends ADMINMODE.
  void AdminMode();
  // A community link of the third button's drop-down, 0 to 3 (kCommunityLinks).
  template <int Link>
  void OpenCommunityLink() {
    session_.OpenWebPage(kCommunityLinks[Link].url);
  }

 private:
  // A pilot or game node as a popup menu takes it: its tag and its name (a pilot's name, a
  // game's text).
  struct MenuNode {
    std::string_view tag;
    std::string name;
  };
  // The selected node when it is a pilot or a game.
  std::optional<MenuNode> SelectedMenuNode() const;
  const RosterNode* FindMenuNode(std::string_view tag, std::string_view name) const;
  // The name a command of popupGames or popupUsers acts on: the node taken when the menu opened
  // (the selection for a command that came without it), used once; empty when that node is not
  // of the tag or is no longer in the roster.
  std::string MenuNodeName(std::string_view tag);
  std::string MenuPilot() { return MenuNodeName(kTagUser); }
  std::string MenuGame() { return MenuNodeName(kTagGame); }
  // Sends the command with the name; nothing for an empty name.
  void SendAbout(std::string_view command, const std::string& name);

  MessageView& messages_;
  MenuView& menus_;
  ShellView& shell_;
  WindowOpener& windows_;
  SessionController& session_;
  std::function<bool(std::string_view line)> send_;
  RosterModel& roster_;
  ChatRouter& chat_;
  Registry& registry_;
  // Taken when popupGames, popupUsers or a toolbar drop-down opened.
  std::optional<MenuNode> menuNode_;
};

}  // namespace cv3
