#include "cv3client/session/presence.h"

#include "protocol/catalogue.h"
#include "protocol/text_helpers.h"

namespace cv3 {

void Presence::Register(Dispatcher& dispatcher) {
  using S = const std::string&;
  dispatcher.On(std::string(msg::kGameUp), [this](S args) { GameUp(args); });
  dispatcher.On(std::string(msg::kGameDown), [this](S args) { GameDown(args); });
  dispatcher.On(std::string(msg::kGameRem), [this](S args) { GameRem(args); });
  dispatcher.On(std::string(msg::kRemUser), [this](S args) { RemUser(args); });
  dispatcher.On(std::string(msg::kIsAdmin), [this](S args) { IsAdmin(args); });
  dispatcher.On(std::string(msg::kIsNvis), [this](S args) { IsNvis(args); });
  dispatcher.On(std::string(msg::kIsOn), [this](S args) { IsOn(args); });
  dispatcher.On(std::string(msg::kIsOff), [this](S args) { IsOff(args); });
  dispatcher.On(std::string(msg::kIsAway), [this](S args) { IsAway(args); });
  dispatcher.On(std::string(msg::kInvisibleAck), [this](S) { InvisibleAck(); });
  dispatcher.On(std::string(msg::kWarning), [this](S args) { Warning(args); });
  dispatcher.On(std::string(msg::kError), [this](S args) { Error(args); });
  dispatcher.On(std::string(msg::kNothercation), [this](S) { Nothercation(); });
}

bool Presence::IsMe(std::string_view name) const {
  return SameName(name, hooks_.signedInName ? hooks_.signedInName() : std::string());
}

// A notice without a name says nothing about anyone: it changes nothing.

void Presence::SetGameImage(std::string_view name, int image) {
  if (name.empty()) return;
  if (const RosterNode* game = roster_.FindGame(name)) {
    roster_.SetImage(game->key, image);
  } else {
    roster_.AddRosterNode(kKindGame, name, image);
  }
}

void Presence::GameUp(std::string_view args) { SetGameImage(args, kImageGameUp); }

void Presence::GameDown(std::string_view args) { SetGameImage(args, kImageGameDown); }

void Presence::GameRem(std::string_view args) {
  if (const RosterNode* game = roster_.FindGame(args)) roster_.Remove(game->key);
}

bool Presence::RemovePilot(std::string_view name) {
  const RosterNode* pilot = roster_.FindPilot(name);
  if (!pilot) return false;
  roster_.Remove(pilot->key);
  return true;
}

void Presence::RemUser(std::string_view args) { RemovePilot(args); }

void Presence::IsAdmin(std::string_view args) {
  if (args.empty()) return;
  if (IsMe(args)) {
    menus_.SetAdminMenuVisible(true);
    status_.SetStatusText(std::string(kStatusAdminMode));
  }
  RemovePilot(args);
  roster_.AddRosterNode(kKindAdmin, args);
}

void Presence::IsNvis(std::string_view args) {
  if (args.empty()) return;
  RemovePilot(args);
  roster_.AddRosterNode(kKindOnline, args, std::string(kInvisibleExtra));
}

void Presence::IsOn(std::string_view args) {
  if (args.empty()) return;
  if (IsMe(args)) {
    menus_.SetAdminMenuVisible(false);
    status_.SetStatusText(std::string(kStatusOnline));
  }
  RemovePilot(args);
  roster_.AddRosterNode(kKindOnline, args);
}

void Presence::IsOff(std::string_view args) {
  std::string name =
      args.find(':') == std::string_view::npos ? std::string(args) : TextBefore(args, ":");
  std::string text =
      args.find(':') == std::string_view::npos ? std::string() : TextAfter(args, ":");
  if (!RemovePilot(name)) return;
  if (text.empty()) {
    roster_.AddRosterNode(kKindOffline, name);
  } else {
    roster_.AddRosterNode(kKindOffline, name, text);
  }
}

void Presence::IsAway(std::string_view args) {
  std::string name = TextBefore(args, ":");
  std::string message = TextAfter(args, ":");
  if (!RemovePilot(name)) return;
  roster_.AddRosterNode(kKindAway, name, message);
  if (IsMe(name)) {
    menus_.SetAdminMenuVisible(false);
    status_.SetStatusText(message);
  }
}

void Presence::InvisibleAck() {
  menus_.SetAdminMenuVisible(false);
  status_.SetStatusText(std::string(kStatusInvisible));
}

void Presence::Warning(std::string_view text) {
  messages_.ShowMessage(WarningBox(std::string(text)));
}

void Presence::Error(std::string_view text) {
  messages_.ShowMessage(ErrorBox(std::string(text)));
  if (hooks_.endSession) hooks_.endSession(SessionEnd::kLost);
}

void Presence::Nothercation() {
  messages_.ShowMessage(WarningBox(std::string(kSignedOnElsewhereText)));
  if (hooks_.endSession) hooks_.endSession(SessionEnd::kTakenOver);
}

}  // namespace cv3
