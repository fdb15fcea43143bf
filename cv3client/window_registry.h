// The program's WindowOpener: runs what each window's wiring registered for its kind. Opening is
// the registration's business (a modal window defers itself to the top of the message loop; the
// reconnect window starts its countdown at once). Kinds nobody registered open nothing. UI thread
// only.
#pragma once

#include <map>

#include "cv3client/model/views.h"

namespace cv3 {

class WindowRegistry : public WindowOpener {
 public:
  void Register(WindowKind kind, Action show, Action close) override;
  void ShowWindow(WindowKind kind) override;
  void CloseWindow(WindowKind kind) override;
  void RegisterChatClosers(Action closeFirst, Action closeAll) override {
    closeFirstChat_ = std::move(closeFirst);
    closeAllChats_ = std::move(closeAll);
  }
  void CloseFirstChatWindow() override {
    if (closeFirstChat_) closeFirstChat_();
  }
  void CloseAllChatWindows() override {
    if (closeAllChats_) closeAllChats_();
  }

 private:
  struct Actions {
    Action show;
    Action close;
  };
  std::map<WindowKind, Actions> kinds_;
  Action closeFirstChat_, closeAllChats_;
};

}  // namespace cv3
