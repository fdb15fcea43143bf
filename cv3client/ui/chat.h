// frmChat's rules: the lobby window and one window per private partner, found in load order;
// typing and the local echo; incoming LMSG and PMSG routed to their window, which is created,
// shown, buffered or flashed as the settings say (read at each message); the closing rules with
// buffering; the reset's and the quit's closing. Owned by ClientCore; UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/deferral.h"
#include "common/registry.h"
#include "cv3client/support/client_settings.h"
#include "protocol/wire.h"

namespace cv3 {

inline constexpr std::string_view kLobbyPartner = "l0bby";
inline constexpr std::string_view kLobbyCaption = "Lobby Chat";
inline constexpr std::string_view kPrivateCaptionPrefix = "Private chat with ";
inline constexpr int kLobbyWidthTwips = 8880;
inline constexpr int kLobbyHeightTwips = 7335;

// "<" + name + "> " + text + CR LF: one line of a conversation as its window shows it.
std::string ConversationLine(std::string_view name, std::string_view text);

// What frmChat reports.
class ChatEvents {
 public:
  // Enter in txtInput.
  virtual void txtInput_Enter() = 0;
  // The close box: true lets the window unload (the view then destroys it), false keeps it,
  // hidden, with its conversation.
  virtual bool Form_QueryUnload() = 0;

 protected:
  ~ChatEvents() = default;
};

// What the router needs of one frmChat.
class ChatView {
 public:
  virtual ~ChatView() = default;
  // Creates the window, hidden, with its caption; the lobby window is given its designed size.
  // `events` outlives the view.
  virtual bool Create(const std::string& caption, bool lobbySize, ChatEvents& events) = 0;
  virtual bool IsVisible() const = 0;
  virtual void ShowWindow() = 0;  // visible and in front
  virtual void Hide() = 0;
  virtual bool IsActive() const = 0;  // the active window of the program
  virtual void Flash() = 0;           // the caption flashes once
  // Appends at the end of txtOutput, caret to the end before and after; colour: 0xRRGGBB, or
  // negative to keep the output's colour. The text may reach the box from the top of the message
  // loop, together with the other lines of the same arrival.
  virtual void AppendOutput(const std::string& text, int colour = -1) = 0;
  virtual std::string InputText() const = 0;
  virtual void ClearInput() = 0;
  // Unloads the window: the view destroys it at once, without asking Form_QueryUnload.
  virtual void Unload() = 0;
};

class ChatRouter {
 public:
  struct Parts {
    Registry& registry;
    Deferral& deferral;
    std::function<std::unique_ptr<ChatView>()> makeView;  // nullptr when there is none
    std::function<bool(std::string_view line)> send;      // SendCommand
    std::function<std::string()> ownName;
    std::function<bool()> quitting;
    std::function<uint32_t()> rosterColour;  // the echo's colour
    std::function<void()> playSound;         // the message sound
    std::function<void()> doEvents;          // lets pending window events run
  };

  explicit ChatRouter(Parts parts);
  ~ChatRouter();
  ChatRouter(const ChatRouter&) = delete;
  ChatRouter& operator=(const ChatRouter&) = delete;

  void Register(Dispatcher& dispatcher);
  void OnLmsg(std::string_view payload);
  void OnPmsg(std::string_view payload);

  // The toolbar's lobby chat and a double-click on a pilot: the existing window is shown, else a
  // new one is created and shown.
  void OpenLobbyChat();
  void OpenPrivateChat(std::string_view partner);
  // At the main window's load with BuffLobby 1: the lobby window, hidden.
  void CreateHiddenLobby();
  // The reset closes the first window found (with buffering only hiding it); quitting closes all.
  void CloseFirstChatWindow();
  void CloseAllChatWindows();

  // The open windows' partners in load order, for tests and diagnostics.
  std::vector<std::string> Partners() const;

 private:
  struct Window;
  Window* FindLobby();
  Window* FindPrivate(std::string_view partner);
  Window* Create(std::string_view partner, bool lobby);
  Window* CreateLobby();
  void Route(std::string_view payload, bool lobby);
  void ShowAndSound(Window& window);
  void Enter(Window& window);
  // The closing rule: true when the window unloads, false when it is only hidden.
  bool QueryUnload(Window& window);
  void Close(Window& window);
  void Forget(Window& window);
  bool Flag(const settings::Setting& flag);

  Parts parts_;
  std::vector<std::unique_ptr<Window>> windows_;  // load order
  std::vector<std::unique_ptr<Window>> closed_;   // deleted from the top of the message loop
};

}  // namespace cv3
