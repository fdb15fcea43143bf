// The lobby as the web side serves it: taken from the io thread at most once per `maxAge` and
// rendered here, on the web side's threads, so a crowd of browsers costs the lobby one snapshot a
// second and a slow browser costs it nothing. Any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "lobbyd/lobby_view.h"

namespace lobbyd::web {

class ViewCache {
 public:
  // Asks the io thread for the lobby; the answer comes on that thread.
  using Take = std::function<void(std::function<void(LobbyView)>)>;

  struct Published {
    LobbyView view;
    std::string tag;  // the ETag: changes when the lobby shown changes, and with each run
    std::string page;
    std::string part;
    std::chrono::steady_clock::time_point taken;
  };

  ViewCache(Take take, std::chrono::milliseconds maxAge, std::chrono::milliseconds wait);

  // The lobby taken within maxAge. Older, it is taken again; meanwhile other callers get the
  // last one. Null when the io thread has not answered within `wait` and nothing was taken yet.
  std::shared_ptr<const Published> Current();

 private:
  std::shared_ptr<const Published> Publish(LobbyView view,
                                           const std::shared_ptr<const Published>& last);

  Take take_;
  std::chrono::milliseconds maxAge_;
  std::chrono::milliseconds wait_;
  std::string run_;  // tells this run's tags from an earlier run's
  std::mutex mutex_;
  std::condition_variable refreshed_;
  bool refreshing_ = false;
  uint64_t revision_ = 0;
  std::shared_ptr<const Published> current_;
};

}  // namespace lobbyd::web
