// The server's notices: games starting, stopping and disappearing, pilots changing state, and the
// three messages that speak to the user (WARNING, ERROR, NOTHERCATION). Each keeps the roster,
// the status text and the administrator menu current. Owned by the session controller, which
// registers it with the receive loop; UI thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "cv3client/model/roster.h"
#include "cv3client/model/views.h"
#include "cv3client/session/session_end.h"
#include "protocol/wire.h"

namespace cv3 {

inline constexpr std::string_view kSignedOnElsewhereText =
    "You have been signed on at another location!";
inline constexpr std::string_view kStatusOnline = "Online";
inline constexpr std::string_view kStatusAdminMode = "Admin Mode";
inline constexpr std::string_view kStatusInvisible = "Invisible";
inline constexpr std::string_view kInvisibleExtra = "(invisible)";

class Presence {
 public:
  struct Hooks {
    std::function<std::string()> signedInName;
    // Resets the session, remembering why it ended (and reconnecting after a loss).
    std::function<void(SessionEnd)> endSession;
  };

  Presence(MessageView& messages, StatusView& status, MenuView& menus, RosterModel& roster,
           Hooks hooks)
      : messages_(messages),
        status_(status),
        menus_(menus),
        roster_(roster),
        hooks_(std::move(hooks)) {}

  // Registers a handler for every notice.
  void Register(Dispatcher& dispatcher);

  void GameUp(std::string_view args);
  void GameDown(std::string_view args);
  void GameRem(std::string_view args);
  void RemUser(std::string_view args);
  void IsAdmin(std::string_view args);
  void IsNvis(std::string_view args);
  void IsOn(std::string_view args);
  void IsOff(std::string_view args);
  void IsAway(std::string_view args);
  void InvisibleAck();
  void Warning(std::string_view text);
  void Error(std::string_view text);
  void Nothercation();

 private:
  bool IsMe(std::string_view name) const;
  void SetGameImage(std::string_view name, int image);
  // Removes the pilot's node if there is one; true when one was removed.
  bool RemovePilot(std::string_view name);

  MessageView& messages_;
  StatusView& status_;
  MenuView& menus_;
  RosterModel& roster_;
  Hooks hooks_;
};

}  // namespace cv3
