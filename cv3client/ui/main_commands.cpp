#include "cv3client/ui/main_commands.h"

#include <utility>

#include "cv3client/session/login_controller.h"
#include "cv3client/support/client_settings.h"
#include "cv3client/support/ignore_list.h"
#include "cv3client/support/web_pages.h"
#include "protocol/catalogue.h"
#include "protocol/md5.h"
#include "protocol/text_helpers.h"
#include "protocol/wire.h"

namespace cv3 {

namespace {

constexpr ToolbarItem kButton1Items[] = {{"Lobby Chat", MainCommand::toolLobbyChat}};
constexpr ToolbarItem kButton2Items[] = {{"Host Game", MainCommand::toolHostGame},
                                         {"Resume Game", MainCommand::toolResumeGame},
                                         {"Remove Game", MainCommand::toolRemoveGame},
                                         {"-", MainCommand::toolRemoveGame},
                                         {"Admin Mode", MainCommand::toolAdminMode}};
constexpr ToolbarItem kButton3Items[] = {
    {kCommunityLinks[0].caption, MainCommand::toolCommunityLink1},
    {kCommunityLinks[1].caption, MainCommand::toolCommunityLink2},
    {kCommunityLinks[2].caption, MainCommand::toolCommunityLink3},
    {kCommunityLinks[3].caption, MainCommand::toolCommunityLink4}};

}  // namespace

std::span<const ToolbarItem> ToolbarDropDown(int button) {
  switch (button) {
    case 1:
      return kButton1Items;
    case 2:
      return kButton2Items;
    case 3:
      return kButton3Items;
    default:
      return {};
  }
}

std::string_view ToolbarTip(int button) {
  switch (button) {
    case 1:
      return "Join lobby chat room.";
    case 2:
      return "Manage your Skyrend games.";
    case 3:
      return "Visit the Skyrend community on the web.";
    default:
      return {};
  }
}

void MainCommands::Execute(MainCommand command) {
  using C = MainCommand;
  switch (command) {
    case C::mnuEditProfile:
      return mnuEditProfile_Click();
    case C::mnuPreferences:
      return mnuPreferences_Click();
    case C::mnuLogin:
      return mnuLogin_Click();
    case C::mnuDisconnect:
      return mnuDisconnect_Click();
    case C::mnuExit:
      return mnuExit_Click();
    case C::mnuOnline:
      return mnuOnline_Click();
    case C::mnuNewAway:
      return mnuNewAway_Click();
    case C::mnuInvisible:
      return mnuInvisible_Click();
    case C::mnuGetHelp:
      return mnuGetHelp_Click();
    case C::mnuFaq:
      return mnuFaq_Click();
    case C::mnuAbout:
      return mnuAbout_Click();
    case C::mnuGameDetails:
      return mnuGameDetails_Click();
    case C::mnuResumeGame:
      return mnuResumeGame_Click();
    case C::mnuRemoveGame:
      return mnuRemoveGame_Click();
    case C::mnuRemUser:
      return mnuRemUser_Click();
    case C::mnuSuspend:
      return mnuSuspend_Click();
    case C::mnuUnsuspend:
      return mnuUnsuspend_Click();
    case C::mnuChangePass:
      return mnuChangePass_Click();
    case C::mnuViewProfile:
      return mnuViewProfile_Click();
    case C::mnuIgnore:
      return mnuIgnore_Click();
    case C::toolButton1:
      return barTool_ButtonClick(1);
    case C::toolButton2:
      return barTool_ButtonClick(2);
    case C::toolButton3:
      return barTool_ButtonClick(3);
    default:
      return barTool_ButtonMenuClick(command);
  }
}

void MainCommands::mnuEditProfile_Click() {
  session_.SendCommand(FormatLine(msg::kEditProfile, session_.SignedIn().name));
}

void MainCommands::mnuOnline_Click() { session_.SendCommand(msg::kOnline); }

void MainCommands::mnuInvisible_Click() { session_.SendCommand(msg::kInvisible); }

void MainCommands::mnuGetHelp_Click() { session_.OpenWebPage(WebSitePage(kForumsPath)); }

void MainCommands::mnuFaq_Click() { session_.OpenWebPage(WebSitePage(kFaqPath)); }

std::optional<MainCommands::MenuNode> MainCommands::SelectedMenuNode() const {
  const RosterNode* node = roster_.SelectedNode();
  if (!node) return std::nullopt;
  if (node->tag == kTagUser) return MenuNode{kTagUser, PilotName(node->text)};
  if (node->tag == kTagGame) return MenuNode{kTagGame, node->text};
  return std::nullopt;
}

const RosterNode* MainCommands::FindMenuNode(std::string_view tag, std::string_view name) const {
  return tag == kTagUser ? roster_.FindPilot(name) : roster_.FindGame(name);
}

std::string MainCommands::MenuNodeName(std::string_view tag) {
  // A menu pumps socket events while it is open: a notice may have replaced the selected node
  // and moved the selection to a neighbour, so the node is the one taken when the menu opened.
  std::optional<MenuNode> taken = std::exchange(menuNode_, std::nullopt);
  if (!taken) taken = SelectedMenuNode();
  if (!taken || taken->tag != tag || !FindMenuNode(tag, taken->name)) return {};
  return taken->name;
}

void MainCommands::SendAbout(std::string_view command, const std::string& name) {
  if (!name.empty()) session_.SendCommand(FormatLine(command, name));
}

void MainCommands::mnuRemUser_Click() { SendAbout(msg::kRemUser, MenuPilot()); }

void MainCommands::mnuSuspend_Click() { SendAbout(msg::kSuspend, MenuPilot()); }

void MainCommands::mnuUnsuspend_Click() { SendAbout(msg::kUnsuspend, MenuPilot()); }

void MainCommands::mnuChangePass_Click() {
  std::string pilot = MenuPilot();
  if (pilot.empty()) return;
  std::string password =
      messages_.InputBox(std::string(kChangePassPrompt), std::string(kInputTitle), "");
  if (TrimSpaces(password).empty()) return;
  // The box pumps events too: a pilot removed meanwhile gets no line.
  if (!roster_.FindPilot(pilot)) return;
  std::optional<std::string> digest = clsMD5().DigestStrToHexStr(password);
  if (!digest) {
    messages_.ShowMessage(WarningBox(std::string(kUnusablePasswordText)));
    return;
  }
  session_.SendCommand(FormatLine(msg::kChngPass, pilot + ":" + *digest));
}

void MainCommands::mnuViewProfile_Click() { SendAbout(msg::kUserInfo, MenuPilot()); }

void MainCommands::mnuIgnore_Click() {
  std::string name = MenuPilot();
  if (name.empty()) return;
  std::optional<IgnoreList> list = ReadIgnoreListToChange(registry_);
  if (!list) {
    // Written back, the list would be this name alone: every name stored before would be lost.
    messages_.ShowMessage(WarningBox(std::string(kIgnoreListTooLongText)));
    return;
  }
  IgnoreList::AddResult added = list->Add(name);
  if (added == IgnoreList::AddResult::kAlreadyPresent) {
    messages_.ShowMessage(WarningBox(std::string(kAlreadyIgnoredText)));
    return;
  }
  if (added == IgnoreList::AddResult::kUnusableName) {
    // Stored, a name with "," would read back as two names and silence both.
    messages_.ShowMessage(WarningBox(std::string(kCannotIgnoreText)));
    return;
  }
  roster_.SetImage(roster_.FindPilot(name)->key, kImageOffline);
  WriteIgnoreList(registry_, *list);
  roster_.IgnoredListChanged();
  messages_.ShowMessage(WarningBox(std::string(kIgnoreAddedText)));
}

void MainCommands::mnuGameDetails_Click() { SendAbout(msg::kGameInfo, MenuGame()); }

void MainCommands::mnuResumeGame_Click() {
  std::string game = MenuGame();
  if (game.empty()) return;
  // The game as it stands now: it may have come up while the menu was open.
  if (roster_.FindGame(game)->image == kImageGameUp) {
    messages_.ShowMessage(WarningBox(std::string(kResumeOnlineGameText)));
    return;
  }
  session_.SendCommand(FormatLine(msg::kResumeInfo, game));
}

// Only a game can be removed: with a pilot selected the line would name a pilot as a game.
void MainCommands::mnuRemoveGame_Click() { SendAbout(msg::kRemGame, MenuGame()); }

void MainCommands::barTool_ButtonClick(int button) {
  switch (button) {
    case 1:
      OpenLobbyChat();
      break;
    case 2:
      HostGame();
      break;
    case 3:
      session_.OpenWebPage(WebSitePage(""));
      break;
    default:
      break;
  }
}

void MainCommands::barTool_ButtonMenuClick(MainCommand item) {
  using C = MainCommand;
  switch (item) {
    case C::toolLobbyChat:
      return OpenLobbyChat();
    case C::toolHostGame:
      return HostGame();
    // On the game selected when the drop-down opened.
    case C::toolResumeGame:
      return mnuResumeGame_Click();
    case C::toolRemoveGame:
      return mnuRemoveGame_Click();
    case C::toolAdminMode:
      session_.SendCommand(msg::kAdminMode);
      return;
    case C::toolCommunityLink1:
      return session_.OpenWebPage(kCommunityLinks[0].url);
    case C::toolCommunityLink2:
      return session_.OpenWebPage(kCommunityLinks[1].url);
    case C::toolCommunityLink3:
      return session_.OpenWebPage(kCommunityLinks[2].url);
    case C::toolCommunityLink4:
      return session_.OpenWebPage(kCommunityLinks[3].url);
    default:
      return;
  }
}

void MainCommands::TrayMouse(std::string_view action) {
  if (action == kTrayShowWindow) {
    shell_.ShowMainWindow();
  } else if (action == kTrayLoginMenu) {
    menus_.ShowPopupMenu(PopupMenuId::kLogin);
  }
}

void MainCommands::tvObjects_DblClick() {
  RosterAction action = DoubleClickAction(roster_.SelectedNode());
  if (action.kind == RosterAction::Kind::kGameInfo) {
    session_.SendCommand(FormatLine(msg::kGameInfo, action.text));
  } else if (action.kind == RosterAction::Kind::kPrivateChat) {
    OpenPrivateChat(action.text);
  }
}

void MainCommands::barTool_ButtonDropDown(int) { menuNode_ = SelectedMenuNode(); }

void MainCommands::tvObjects_MouseUp(int button) {
  if (button != 2) return;
  RosterAction action = RightClickAction(roster_.SelectedNode());
  menuNode_ = SelectedMenuNode();
  if (action.kind == RosterAction::Kind::kPopupGames) {
    menus_.ShowPopupMenu(PopupMenuId::kGames);
  } else if (action.kind == RosterAction::Kind::kPopupUsers) {
    menus_.ShowPopupMenu(PopupMenuId::kUsers);
  }
}

void MainCommands::AboutWebSite_Click() { session_.OpenWebPage(WebSitePage("")); }

}  // namespace cv3
