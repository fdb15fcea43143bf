#include "cv3client/ui/main_commands.h"

#include "protocol/catalogue.h"
#include "protocol/wire.h"
#include "cv3client/ui/web_pages.h"

namespace cv3 {

const RosterNode* MainCommands::SelectedNode() {
  return roster_.FindByKey(view_.SelectedNodeKey());
}

void MainCommands::mnuEditProfile_Click() {
  session_.SendCommand(FormatLine(msg::kEditProfile, session_.Values().signedInName));
}

void MainCommands::mnuOnline_Click() { session_.SendCommand(msg::kOnline); }

void MainCommands::mnuInvisible_Click() { session_.SendCommand(msg::kInvisible); }

void MainCommands::mnuGetHelp_Click() { session_.OpenWebPage(WebSitePage(kForumsPath)); }

void MainCommands::mnuFaq_Click() { session_.OpenWebPage(WebSitePage(kFaqPath)); }

void MainCommands::mnuGameDetails_Click() {
  const RosterNode* node = SelectedNode();
  if (node && node->tag == kTagGame) session_.SendCommand(FormatLine(msg::kGameInfo, node->text));
}

void MainCommands::mnuResumeGame_Click() {
  const RosterNode* node = SelectedNode();
  if (!node || node->tag != kTagGame) return;
  if (node->image == kImageGameUp) {
    view_.ShowMessage(WarningBox(std::string(kResumeOnlineGameText)));
    return;
  }
  session_.SendCommand(FormatLine(msg::kResumeInfo, node->text));
}

void MainCommands::mnuRemoveGame_Click() {
  // Only a game can be removed: with a pilot selected the line would name a pilot as a game.
  const RosterNode* node = SelectedNode();
  if (node && node->tag == kTagGame) session_.SendCommand(FormatLine(msg::kRemGame, node->text));
}

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

void MainCommands::barTool_ButtonMenuClick(std::string_view itemText) {
  if (itemText == kItemLobbyChat) {
    OpenLobbyChat();
  } else if (itemText == kItemHostGame) {
    HostGame();
  } else if (itemText == kItemResumeGame) {
    mnuResumeGame_Click();
  } else if (itemText == kItemRemoveGame) {
    mnuRemoveGame_Click();
  } else if (itemText == kItemAdminMode) {
    session_.SendCommand(msg::kAdminMode);
  } else if (std::string_view url = CommunityLinkUrl(itemText); !url.empty()) {
    session_.OpenWebPage(url);
  }
}

void MainCommands::TrayMouse(std::string_view action) {
  if (action == kTrayShowWindow) {
    view_.ShowMainWindow();
  } else if (action == kTrayLoginMenu) {
    view_.ShowPopupMenu(PopupMenuId::kLogin);
  }
}

void MainCommands::tvObjects_DblClick() {
  RosterAction action = DoubleClickAction(SelectedNode());
  if (action.kind == RosterAction::Kind::kGameInfo) {
    session_.SendCommand(FormatLine(msg::kGameInfo, action.text));
  } else if (action.kind == RosterAction::Kind::kPrivateChat) {
    OpenPrivateChat(action.text);
  }
}

void MainCommands::tvObjects_MouseUp(int button) {
  if (button != 2) return;
  RosterAction action = RightClickAction(SelectedNode());
  if (action.kind == RosterAction::Kind::kPopupGames) {
    view_.ShowPopupMenu(PopupMenuId::kGames);
  } else if (action.kind == RosterAction::Kind::kPopupUsers) {
    view_.ShowPopupMenu(PopupMenuId::kUsers);
  }
}

void MainCommands::AboutWebSite_Click() { session_.OpenWebPage(WebSitePage("")); }

}  // namespace cv3
