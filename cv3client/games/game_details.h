// frmGameDetails' rules: the server's "GAMEINFO_ACK" lines fill the details window, which is shown
// at "OK" from the top of the message loop and keeps being filled while it is open; Play checks
// the installation and the version and starts the join. One window at a time, made by the first
// line that touches it and destroyed by Play or Cancel. Owned by ClientCore; UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/deferral.h"
#include "common/files.h"
#include "common/message_box.h"
#include "common/registry.h"
#include "cv3client/games/game_starter.h"
#include "protocol/game_messages.h"
#include "protocol/wire.h"

namespace cv3 {

inline constexpr std::string_view kGameDetailsCaption = "Game Details";
inline constexpr std::string_view kGameDetailsSuffix = " - Game Details";
inline constexpr std::string_view kVersionMismatchText =
    "Your version of Skyrend does not match the game hosts version!";
// The items of cboAnnounce, in both game windows.
inline constexpr std::string_view kAnnounceItems[] = {"Anonymous", "Named", "Named & Target"};

// "Players (" + count + "/13)": 13 is only shown, never enforced.
std::string PlayersCaption(size_t count);

class GameDetailsEvents {
 public:
  virtual void cmdPlay_Click() = 0;
  virtual void cmdCancel_Click() = 0;  // also the close box and Esc

 protected:
  ~GameDetailsEvents() = default;
};

class GameDetailsView {
 public:
  virtual ~GameDetailsView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  // Everything the boxes, the drop-down list, the check boxes and the players list show. The
  // description has CR LF for its line breaks; an announcement that is not an item selects none.
  virtual void SetDetails(const GameDetails& details) = 0;
  virtual void SetPlayersCaption(const std::string& text) = 0;  // famPlayers
  virtual void SetPlayEnabled(bool enabled) = 0;
  // Shows the window modally and returns when it is unloaded. `events` outlives the call.
  virtual void ShowModal(GameDetailsEvents& events) = 0;
  virtual BoxResult ShowMessage(const MessageBoxSpec& box) = 0;
  virtual void Unload() = 0;
};

class GameDetailsController : private GameDetailsEvents {
 public:
  struct Parts {
    Deferral& deferral;
    Registry& registry;
    Files& files;
    GameStarter& starter;
    std::function<std::unique_ptr<GameDetailsView>()> makeView;
  };
  explicit GameDetailsController(Parts parts) : parts_(std::move(parts)) {}

  void Register(Dispatcher& dispatcher);
  void OnGameInfoAck(std::string_view args);

 private:
  void cmdPlay_Click() override;
  void cmdCancel_Click() override;
  bool MakeWindow();
  void ShowWindow();

  Parts parts_;
  std::unique_ptr<GameDetailsView> view_;
  GameDetails details_;   // what the window shows, as received
  bool showing_ = false;  // "OK" came: the window is shown or about to be
};

}  // namespace cv3
