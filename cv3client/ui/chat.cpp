#include "cv3client/ui/chat.h"

#include <algorithm>

#include "cv3client/support/client_settings.h"
#include "cv3client/support/ignore_list.h"
#include "protocol/catalogue.h"
#include "protocol/chat_messages.h"
#include "protocol/text_helpers.h"

namespace cv3 {

struct ChatRouter::Window : ChatEvents {
  Window(ChatRouter& router, std::string partner, bool lobby)
      : router(router), partner(std::move(partner)), lobby(lobby) {}
  // A flag of its own: a pilot may be named like the lobby's partner.
  bool IsLobby() const { return lobby; }
  void txtInput_Enter() override { router.Enter(*this); }
  bool Form_QueryUnload() override { return router.QueryUnload(*this); }

  ChatRouter& router;
  std::string partner;  // PmsgUser
  const bool lobby;
  std::unique_ptr<ChatView> view;
};

std::string ConversationLine(std::string_view name, std::string_view text) {
  return "<" + std::string(name) + "> " + std::string(text) + "\r\n";
}

ChatRouter::ChatRouter(Parts parts) : parts_(std::move(parts)) {}

ChatRouter::~ChatRouter() = default;

void ChatRouter::Register(Dispatcher& dispatcher) {
  using S = const std::string&;
  dispatcher.On(std::string(msg::kLmsg), [this](S args) { OnLmsg(args); });
  dispatcher.On(std::string(msg::kPmsg), [this](S args) { OnPmsg(args); });
}

bool ChatRouter::Flag(const settings::Setting& flag) {
  return settings::FlagIsOn(parts_.registry, flag);
}

ChatRouter::Window* ChatRouter::FindLobby() {
  for (auto& window : windows_) {
    if (window->IsLobby()) return window.get();
  }
  return nullptr;
}

ChatRouter::Window* ChatRouter::FindPrivate(std::string_view partner) {
  for (auto& window : windows_) {
    if (!window->IsLobby() && SameName(window->partner, partner)) return window.get();
  }
  return nullptr;
}

ChatRouter::Window* ChatRouter::CreateLobby() { return Create(kLobbyPartner, true); }

ChatRouter::Window* ChatRouter::Create(std::string_view partner, bool lobby) {
  if (!parts_.makeView) return nullptr;
  auto window = std::make_unique<Window>(*this, std::string(partner), lobby);
  window->view = parts_.makeView();
  std::string caption = lobby ? std::string(kLobbyCaption)
                              : std::string(kPrivateCaptionPrefix) + std::string(partner);
  if (!window->view || !window->view->Create(caption, lobby, *window)) return nullptr;
  windows_.push_back(std::move(window));
  return windows_.back().get();
}

void ChatRouter::ShowAndSound(Window& window) {
  window.view->ShowWindow();
  if (parts_.doEvents) parts_.doEvents();
  if (Flag(settings::kPlaySoundOnMsg) && parts_.playSound) parts_.playSound();
}

void ChatRouter::OnLmsg(std::string_view payload) { Route(payload, true); }

void ChatRouter::OnPmsg(std::string_view payload) { Route(payload, false); }

void ChatRouter::Route(std::string_view payload, bool lobby) {
  // A line without the sender's ":" is all text, from no one.
  ChatLine line = ParseChatLine(payload).value_or(ChatLine{"", std::string(payload)});
  const std::string& sender = line.name;
  const std::string& text = line.text;
  if (ReadIgnoreList(parts_.registry).Contains(sender)) return;
  bool popup = Flag(lobby ? settings::kPopupLobbyOnMsg : settings::kPopupPrivateOnMsg);
  if (Window* window = lobby ? FindLobby() : FindPrivate(sender)) {
    // The own lobby line was echoed when it was sent.
    if (lobby && parts_.ownName && SameName(sender, parts_.ownName())) return;
    window->view->AppendOutput(ConversationLine(lobby ? sender : window->partner, text));
    if (!popup) return;
    if (!window->view->IsVisible()) ShowAndSound(*window);
    if (Flag(settings::kFlashInactive) && !window->view->IsActive()) window->view->Flash();
    return;
  }
  if (popup) {
    if (Window* window = lobby ? CreateLobby() : Create(sender, false)) {
      window->view->AppendOutput(ConversationLine(sender, text));
      ShowAndSound(*window);
    }
  } else if (Flag(lobby ? settings::kBuffLobby : settings::kBuffPrivates)) {
    // The message that made the window is not put into it.
    lobby ? CreateLobby() : Create(sender, false);
  }
}

void ChatRouter::OpenLobbyChat() {
  Window* window = FindLobby();
  if (!window) window = CreateLobby();
  if (window) window->view->ShowWindow();
}

void ChatRouter::OpenPrivateChat(std::string_view partner) {
  if (partner.empty()) return;
  Window* window = FindPrivate(partner);
  if (!window) window = Create(partner, false);
  if (window) window->view->ShowWindow();
}

void ChatRouter::CreateHiddenLobby() {
  if (Flag(settings::kBuffLobby) && !FindLobby()) CreateLobby();
}

void ChatRouter::Enter(Window& window) {
  std::string input = window.view->InputText();
  if (TrimSpaces(input).empty()) {
    window.view->ClearInput();
    return;
  }
  if (parts_.send) {
    const Window* sent = &window;
    parts_.send(window.IsLobby() ? LobbyChatCommand(input)
                                 : ChatLineText(msg::kPmsg, {window.partner, input}));
    // The send waits with window events running: the window may have been closed meanwhile,
    // its object deleted, and then there is nothing left to echo into.
    if (std::none_of(windows_.begin(), windows_.end(),
                     [&](const auto& open) { return open.get() == sent; })) {
      return;
    }
  }
  std::string own = parts_.ownName ? parts_.ownName() : std::string();
  window.view->AppendOutput(ConversationLine(own, input),
                            parts_.rosterColour ? static_cast<int>(parts_.rosterColour()) : -1);
  window.view->ClearInput();
}

bool ChatRouter::QueryUnload(Window& window) {
  bool quitting = parts_.quitting && parts_.quitting();
  if (!quitting && Flag(window.IsLobby() ? settings::kBuffLobby : settings::kBuffPrivates)) {
    // Buffered: the conversation survives and later messages keep collecting in it.
    window.view->Hide();
    return false;
  }
  Forget(window);
  return true;
}

void ChatRouter::Close(Window& window) {
  ChatView* view = window.view.get();
  if (QueryUnload(window)) view->Unload();
}

void ChatRouter::CloseFirstChatWindow() {
  if (!windows_.empty()) Close(*windows_.front());
}

void ChatRouter::CloseAllChatWindows() {
  // Closed windows stay alive until the top of the loop, so the pointers hold throughout.
  std::vector<Window*> all;
  for (const auto& window : windows_) all.push_back(window.get());
  for (Window* window : all) Close(*window);
}

void ChatRouter::Forget(Window& window) {
  auto found = std::find_if(windows_.begin(), windows_.end(),
                            [&](const auto& w) { return w.get() == &window; });
  if (found == windows_.end()) return;
  // The window may be inside one of its own handlers: its object goes from the top of the loop.
  closed_.push_back(std::move(*found));
  windows_.erase(found);
  parts_.deferral.Defer([this] { closed_.clear(); });
}

std::vector<std::string> ChatRouter::Partners() const {
  std::vector<std::string> partners;
  for (const auto& window : windows_) partners.push_back(window->partner);
  return partners;
}

}  // namespace cv3
