// frmChat: the lobby window and one per partner, made as lines arrive or the main window asks;
// the session's reset and the quit close them.
#pragma once

#include "cv3client/ui/chat.h"
#include "cv3client/wiring/window_parts.h"

namespace cv3 {

class ChatWindows {
 public:
  ChatWindows(WindowWiring& wiring, const WindowParts& parts)
      : router_({.registry = parts.platform.registry,
                 .deferral = parts.platform.deferral,
                 .makeView = wiring.ViewMaker<ChatView>("frmChat"),
                 .send = parts.send,
                 .ownName = [&session = parts.session] { return session.SignedIn().name; },
                 .quitting = [&session = parts.session] { return session.Quitting(); },
                 .rosterColour = [&roster = parts.roster] { return roster.RosterColour(); },
                 .playSound = parts.platform.playMessageSound,
                 .doEvents =
                     [&wait = parts.platform.wait] {
                       if (wait) wait(0);
                     }}) {
    router_.Register(wiring.Lines());
    wiring.ClosesChats([this] { router_.CloseFirstChatWindow(); },
                       [this] { router_.CloseAllChatWindows(); });
  }

  ChatRouter& Chat() { return router_; }

 private:
  ChatRouter router_;
};

}  // namespace cv3
