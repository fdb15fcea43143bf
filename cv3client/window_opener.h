// The program's WindowOpener: a window is opened from the top of the message loop, once the
// handler that asked for it has returned, so the lines that follow still reach it; it is closed
// at once. Kinds nobody registered open nothing. UI thread only.
#pragma once

#include <map>

#include "common/deferral.h"
#include "cv3client/ui/views.h"

namespace cv3 {

class DeferredWindowOpener : public WindowOpener {
 public:
  explicit DeferredWindowOpener(Deferral& deferral) : deferral_(deferral) {}

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
  Deferral& deferral_;
  std::map<WindowKind, Actions> kinds_;
};

}  // namespace cv3
