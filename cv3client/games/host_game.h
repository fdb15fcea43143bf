// frmHostGame's rules, for hosting and for resuming: the window's first contents, the checks of
// Host (and Resume) in their order, the host settings written into the game's key, "HOSTGAME:" or
// "RESUMEGAME:", and on the server's "OK" the choice between the game's save file and a new
// game. The window stays loaded but hidden while the server's answer is awaited, so "DUPNAME",
// "DUPADDY" or a declined question bring it back with the player's entries. Resume mode is
// switched on by "RESUMEINFO_ACK:OK" and filled by the key lines that follow. Owned by
// ClientCore; UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/deferral.h"
#include "common/files.h"
#include "common/game_installation.h"
#include "common/message_box.h"
#include "common/registry.h"
#include "cv3client/games/game_starter.h"
#include "cv3client/model/views.h"
#include "protocol/game_messages.h"
#include "protocol/wire.h"

namespace cv3 {

inline constexpr std::string_view kHostGameCaption = "Host Game";
inline constexpr std::string_view kResumeGameCaption = "Resume Game";
inline constexpr std::string_view kResumeGameSuffix = " - Resume Game";
// The host window reads the version under this spelling of the game's key.
inline constexpr std::string_view kHostVersionKey =
    "HKEY_CURRENT_USER\\Software\\Molteno\\veltrop\\Config";
inline constexpr std::string_view kDefaultAnnouncement = "Named & Target";
inline constexpr int kHostTerminalServerPort = 9001;

inline constexpr std::string_view kDisallowedText =
    "One of your fields contains disallowed punctuation or letters!";
inline constexpr std::string_view kNoAddressText = "You must have an IP address for your server!";
inline constexpr std::string_view kInternalAddressText =
    "You cannot use an internal IP addresses when hosting a game! If you're using NAT (network "
    "address translation) or port forwarding please enter your external IP address. For more "
    "information please visit the forums.";
inline constexpr std::string_view kNoGuardText =
    "You cannot host a dedicated game with cv3guard.exe missing!";
inline constexpr std::string_view kNoNameText = "You must enter a name for your game!";
inline constexpr std::string_view kDupNameText = "A hosted game with that name already exists!";
inline constexpr std::string_view kDupAddyText =
    "A hosted game with that Internet address already exists!";
inline constexpr std::string_view kSaveExistsText =
    "Skyrend save file already exists! Do you want to load game with this save file?";
inline constexpr std::string_view kOverwriteText =
    "Do you want to load a new game and overwrite existing file?";
inline constexpr std::string_view kResumeVersionText =
    "You cannot resume a Corvane game with a different version of Skyrend!";
inline constexpr std::string_view kNoAccessText =
    "You're not permitted to resume other players games!";
inline constexpr std::string_view kSaveMissingText =
    "Skyrend save file missing! Do you want to resume this game with a new file?";

// A game's save-file name without ".sav": spaces become "_", and "'", "|", ">", "<", the double
// quote, "?", ":", "*", "/", "\" and every control character (tab included) are dropped ("A b/c"
// gives "A_bc"). A resumed game's name comes from the server.
std::string SaveFileNameOf(std::string_view gameName);

// The host window's first game address, from the lobby connection's local address: an IPv4
// address as it is, the IPv4 address inside an IPv4-mapped IPv6 one ("::ffff:203.0.113.7"), and
// the empty text for any other IPv6 address, which the address check refuses (it holds ":").
std::string HostAddressOf(std::string_view localAddress);

// The first of the entry checks of Host (characters, empty address, internal address, missing
// watchdog) that the entries fail, as its box; nothing when they pass. The entries as typed.
std::optional<MessageBoxSpec> HostEntriesRefusal(const HostedGame& entries, bool guardPresent);

// The host settings the game reads when it starts as a server, as DWORDs in the game's key.
void WriteHostSettings(Registry& registry, const HostedGame& entries);

class HostGameEvents {
 public:
  virtual void cmdHost_Click() = 0;    // "Host", or "Resume" in resume mode
  virtual void cmdCancel_Click() = 0;  // also the close box and Esc

 protected:
  ~HostGameEvents() = default;
};

class HostGameView {
 public:
  virtual ~HostGameView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void SetHostPlayer(const std::string& text) = 0;  // txtHostPlayer
  // The entries: the four boxes, the drop-down list's text, the ten check boxes and the
  // description, which has CR LF for its line breaks. An announcement that is not an item
  // selects none and reads back empty.
  virtual void SetEntries(const HostedGame& entries) = 0;
  virtual HostedGame Entries() const = 0;
  // Resume mode: txtGameName locked on the button face, the two logging boxes disabled, cmdHost
  // captioned "Resume".
  virtual void SetResumeMode() = 0;
  virtual void SetHostEnabled(bool enabled) = 0;  // cmdHost
  // Shows the window modally (again, with its entries, after Hide) and returns when it is hidden
  // or unloaded. `events` outlives the call.
  virtual void ShowModal(HostGameEvents& events) = 0;
  virtual BoxResult ShowMessage(const MessageBoxSpec& box) = 0;
  virtual void Hide() = 0;
  virtual void Unload() = 0;
};

class HostGameController : private HostGameEvents {
 public:
  struct Parts {
    Deferral& deferral;
    Registry& registry;
    Files& files;
    GameStarter& starter;
    MessageView& messages;  // boxes while the window is hidden
    std::function<std::unique_ptr<HostGameView>()> makeView;
    std::function<bool(std::string_view line)> send;  // SendCommand
    std::function<std::string()> ownName;
    std::function<std::string()> localAddress;  // of the lobby connection's socket
    std::string programFolder;                  // where cv3guard.exe lives
  };
  explicit HostGameController(Parts parts) : parts_(std::move(parts)) {}

  void Register(Dispatcher& dispatcher);
  // "Host Game": the window, from the top of the message loop; a hidden one with its entries.
  void Open();
  void OnHostGameAck(std::string_view args);
  void OnResumeInfoAck(std::string_view args);
  void OnResumeGameAck(std::string_view args);

 private:
  enum class Mode { kHost, kResume };

  void cmdHost_Click() override;
  void cmdCancel_Click() override;
  bool MakeWindow();
  void ShowLater();
  void ShowWindow();
  void UnloadWindow();
  // The reply "OK": the save file or a new game, asking where the Parts say; the window is
  // unloaded unless the player declined.
  void StartServer();
  BoxResult Ask(std::string_view text);

  Parts parts_;
  std::unique_ptr<HostGameView> view_;
  Mode mode_ = Mode::kHost;
  bool pending_ = false;   // a showing is queued
  bool showing_ = false;   // inside ShowModal
  bool reshow_ = false;    // show again once ShowModal returns
  bool unload_ = false;    // destroy once ShowModal returns
  bool hidden_ = false;    // Host hid it to await the server's answer
  bool wasShown_ = false;  // the window has been shown since it was made
  // The installed-game record, read by the last press of Host or Resume; the server's start
  // uses it.
  InstalledGame installed_;
};

}  // namespace cv3
