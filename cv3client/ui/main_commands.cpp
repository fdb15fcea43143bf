#include "cv3client/ui/main_commands.h"

#include <utility>

#include "cv3client/session/login_controller.h"
#include "cv3client/support/client_settings.h"
#include "cv3client/support/ignore_list.h"
#include "protocol/catalogue.h"
#include "protocol/md5.h"
#include "protocol/session_messages.h"
#include "protocol/text_helpers.h"
#include "protocol/wire.h"

namespace cv3 {

namespace {

using C = MainCommand;
using P = CommandPlace;
using M = MainCommands;
constexpr bool kSeparator = true, kNoSeparator = false, kGrayed = true;

constexpr CommandEntry kMainCommands[] = {
    {C::mnuEditProfile, P::kLoginMenu, "Edit Profile", "", &M::mnuEditProfile_Click, kNoSeparator,
     kGrayed},
    {C::mnuPreferences, P::kLoginMenu, "Preferences", "", &M::mnuPreferences_Click, kSeparator},
    {C::mnuLogin, P::kLoginMenu, "Login", "", &M::mnuLogin_Click, kSeparator},
    {C::mnuDisconnect, P::kLoginMenu, "Disconnect", "", &M::mnuDisconnect_Click, kNoSeparator,
     kGrayed},
    {C::mnuExit, P::kLoginMenu, "Exit", "", &M::mnuExit_Click, kSeparator},
    {C::mnuOnline, P::kStatusMenu, "Online", "", &M::mnuOnline_Click},
    {C::mnuNewAway, P::kStatusMenu, "Set away message", "", &M::mnuNewAway_Click, kSeparator},
    {C::mnuInvisible, P::kStatusMenu, "Invisible", "", &M::mnuInvisible_Click, kSeparator},
    {C::mnuGetHelp, P::kHelpMenu, "Contents", "", &M::mnuGetHelp_Click},
    {C::mnuFaq, P::kHelpMenu, "FAQ", "", &M::mnuFaq_Click},
    {C::mnuAbout, P::kHelpMenu, "About Corvane", "", &M::mnuAbout_Click, kSeparator},
    {C::mnuGameDetails, P::kGamesMenu, "Game Details", "", &M::mnuGameDetails_Click},
    {C::mnuResumeGame, P::kGamesMenu, "Resume Game", "", &M::mnuResumeGame_Click},
    {C::mnuRemoveGame, P::kGamesMenu, "Remove Game", "", &M::mnuRemoveGame_Click},
    {C::mnuRemUser, P::kAdminMenu, "Remove User", "", &M::mnuRemUser_Click},
    {C::mnuSuspend, P::kAdminMenu, "Suspend User", "", &M::mnuSuspend_Click, kSeparator},
    {C::mnuUnsuspend, P::kAdminMenu, "Unsuspend User", "", &M::mnuUnsuspend_Click},
    {C::mnuChangePass, P::kAdminMenu, "Change Pass", "", &M::mnuChangePass_Click, kSeparator},
    {C::mnuViewProfile, P::kUsersMenu, "View Profile", "", &M::mnuViewProfile_Click},
    {C::mnuIgnore, P::kUsersMenu, "Ignore User", "", &M::mnuIgnore_Click, kSeparator},
    {C::toolButton1, P::kToolbar, "", "Join lobby chat room.", &M::OpenLobbyChat},
    {C::toolButton2, P::kToolbar, "", "Manage your Skyrend games.", &M::HostGame},
    {C::toolButton3, P::kToolbar, "", "Visit the Skyrend community on the web.", &M::OpenWebSite},
    {C::toolLobbyChat, P::kButton1Menu, "Lobby Chat", "", &M::OpenLobbyChat},
    {C::toolHostGame, P::kButton2Menu, "Host Game", "", &M::HostGame},
    // On the game selected when the drop-down opened.
    {C::toolResumeGame, P::kButton2Menu, "Resume Game", "", &M::mnuResumeGame_Click},
    {C::toolRemoveGame, P::kButton2Menu, "Remove Game", "", &M::mnuRemoveGame_Click},
    {C::toolAdminMode, P::kButton2Menu, "Admin Mode", "", &M::AdminMode, kSeparator},
    {C::toolCommunityLink1, P::kButton3Menu, kCommunityLinks[0].caption, "",
     &M::OpenCommunityLink<0>},
    {C::toolCommunityLink2, P::kButton3Menu, kCommunityLinks[1].caption, "",
     &M::OpenCommunityLink<1>},
    {C::toolCommunityLink3, P::kButton3Menu, kCommunityLinks[2].caption, "",
     &M::OpenCommunityLink<2>},
    {C::toolCommunityLink4, P::kButton3Menu, kCommunityLinks[3].caption, "",
     &M::OpenCommunityLink<3>},
};

// Execute finds a command's entry at its number; every command shows a text and runs something.
constexpr bool TableIsWhole() {
  for (size_t i = 0; i < std::size(kMainCommands); ++i) {
    const CommandEntry& entry = kMainCommands[i];
    if (static_cast<size_t>(entry.id) != i || !entry.handler) return false;
    if (entry.caption.empty() == (entry.place != CommandPlace::kToolbar)) return false;
    if (entry.tip.empty() == (entry.place == CommandPlace::kToolbar)) return false;
  }
  return std::size(kMainCommands) == static_cast<size_t>(MainCommand::toolCommunityLink4) + 1;
}
static_assert(TableIsWhole(), "kMainCommands: each MainCommand in order, each with its texts");

}  // namespace

std::span<const CommandEntry> MainCommandTable() { return kMainCommands; }

std::vector<CommandEntry> CommandsAt(CommandPlace place) {
  std::vector<CommandEntry> commands;
  for (const CommandEntry& entry : kMainCommands) {
    if (entry.place == place) commands.push_back(entry);
  }
  return commands;
}

std::vector<std::string> WithAccessKeys(const std::vector<std::string_view>& captions,
                                        std::string taken) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  std::vector<std::string> out;
  for (std::string_view caption : captions) {
    size_t key = std::string_view::npos;
    for (bool wordStartsOnly : {true, false}) {
      for (size_t i = 0; i < caption.size() && key == std::string_view::npos; ++i) {
        bool wordStart = i == 0 || caption[i - 1] == ' ';
        if (letter(caption[i]) && (wordStart || !wordStartsOnly) &&
            taken.find(upper(caption[i])) == std::string::npos) {
          key = i;
        }
      }
    }
    std::string marked;
    for (size_t i = 0; i < caption.size(); ++i) {
      if (i == key) marked += '&';
      marked += caption[i];
      if (caption[i] == '&') marked += '&';
    }
    if (key != std::string_view::npos) taken += upper(caption[key]);
    out.push_back(marked);
  }
  return out;
}

void MainCommands::Execute(MainCommand command) {
  auto index = static_cast<size_t>(command);
  if (index < std::size(kMainCommands)) (this->*kMainCommands[index].handler)();
}

void MainCommands::mnuEditProfile_Click() {
  send_(FormatLine(msg::kEditProfile, session_.SignedIn().name));
}

void MainCommands::mnuOnline_Click() { send_(msg::kOnline); }

void MainCommands::mnuInvisible_Click() { send_(msg::kInvisible); }

void MainCommands::mnuGetHelp_Click() { session_.OpenWebPage(WebSitePage(registry_, kForumsPath)); }

void MainCommands::mnuFaq_Click() { session_.OpenWebPage(WebSitePage(registry_, kFaqPath)); }

std::optional<MainCommands::MenuNode> MainCommands::SelectedMenuNode() const {
  const RosterNode* node = roster_.SelectedNode();
  if (!node) return std::nullopt;
  if (node->tag == kTagUser) return MenuNode{kTagUser, NodeName(*node)};
  if (node->tag == kTagGame) return MenuNode{kTagGame, NodeName(*node)};
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
  if (!name.empty()) send_(FormatLine(command, name));
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
  send_(ChngPassCommand(pilot, *digest));
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
  send_(FormatLine(msg::kResumeInfo, game));
}

// Only a game can be removed: with a pilot selected the line would name a pilot as a game.
void MainCommands::mnuRemoveGame_Click() { SendAbout(msg::kRemGame, MenuGame()); }

void MainCommands::OpenWebSite() { session_.OpenWebPage(WebSitePage(registry_, "")); }

void MainCommands::AdminMode() { send_(msg::kAdminMode); }

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
    send_(FormatLine(msg::kGameInfo, action.text));
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

}  // namespace cv3
