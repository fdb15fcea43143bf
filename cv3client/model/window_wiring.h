// What a window registers, all in its own wiring file: how it opens and closes, the lines it
// handles, and the maker of its view. ClientCore hands one wiring to every window of its list.
// The program provides makers by view type; MissingMaker names a view that a registered window
// needs and nobody provides, so the program can refuse to start rather than have that window
// never open. UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cv3client/model/views.h"
#include "cv3client/model/window_factory.h"
#include "protocol/wire.h"

namespace cv3 {

class WindowWiring {
 public:
  using Action = WindowOpener::Action;

  WindowWiring(WindowOpener& windows, Dispatcher& lines, const WindowFactory& factory)
      : windows_(windows), lines_(lines), factory_(factory) {}

  // What showing and closing this kind of window does.
  void Opens(WindowKind kind, Action show, Action close = {}) {
    windows_.Register(kind, std::move(show), std::move(close));
  }
  // What closing the first chat window and all of them does.
  void ClosesChats(Action closeFirst, Action closeAll) {
    windows_.RegisterChatClosers(std::move(closeFirst), std::move(closeAll));
  }
  // The server lines the window handles.
  Dispatcher& Lines() { return lines_; }

  // The maker of the window's view, which the program must provide; `name` names the window when
  // it does not.
  template <class View>
  WindowFactory::Maker<View> ViewMaker(std::string_view name) {
    const WindowFactory& factory = factory_;
    needs_.push_back({std::string(name), [&factory] { return factory.Provides<View>(); }});
    return [&factory] { return factory.Make<View>(); };
  }

  // The first registered window whose view has no maker; empty when every one has its maker.
  std::string MissingMaker() const {
    for (const Need& need : needs_) {
      if (!need.provided()) return need.name;
    }
    return {};
  }

 private:
  struct Need {
    std::string name;
    std::function<bool()> provided;
  };
  WindowOpener& windows_;
  Dispatcher& lines_;
  const WindowFactory& factory_;
  std::vector<Need> needs_;
};

}  // namespace cv3
