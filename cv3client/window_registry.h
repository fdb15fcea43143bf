// The program's WindowOpener: runs what ClientCore registered for each window kind. Opening is
// the registration's business (a modal window defers itself to the top of the message loop; the
// reconnect window starts its countdown at once). Kinds nobody registered open nothing. UI thread
// only.
#pragma once

#include <map>

#include "cv3client/ui/views.h"

namespace cv3 {

class WindowRegistry : public WindowOpener {
 public:
  void Register(WindowKind kind, Action show, Action close) override;
  void ShowWindow(WindowKind kind) override;
  void CloseWindow(WindowKind kind) override;
  // Chat windows come with chat; until then there is none to close.
  void CloseFirstChatWindow() override {}
  void CloseAllChatWindows() override {}

 private:
  struct Actions {
    Action show;
    Action close;
  };
  std::map<WindowKind, Actions> kinds_;
};

}  // namespace cv3
