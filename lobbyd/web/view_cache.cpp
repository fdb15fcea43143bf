#include "lobbyd/web/view_cache.h"

#include <future>

#include "lobbyd/web/lobby_page.h"

namespace lobbyd::web {

ViewCache::ViewCache(Take take, std::chrono::milliseconds maxAge, std::chrono::milliseconds wait)
    : take_(std::move(take)),
      maxAge_(maxAge),
      wait_(wait),
      run_(std::to_string(std::chrono::system_clock::now().time_since_epoch() /
                          std::chrono::milliseconds(1))) {}

std::shared_ptr<const ViewCache::Published> ViewCache::Current() {
  std::shared_ptr<const Published> last;
  {
    std::unique_lock lock(mutex_);
    auto now = std::chrono::steady_clock::now();
    if (current_ && now - current_->taken < maxAge_) return current_;
    if (refreshing_) {
      if (current_) return current_;
      refreshed_.wait_for(lock, wait_, [this] { return !refreshing_; });
      return current_;
    }
    refreshing_ = true;
    last = current_;
  }
  // The promise is shared with the io thread's answer, which may come after we stop waiting.
  auto answer = std::make_shared<std::promise<LobbyView>>();
  auto future = answer->get_future();
  take_([answer](LobbyView view) { answer->set_value(std::move(view)); });
  std::shared_ptr<const Published> fresh;
  if (future.wait_for(wait_) == std::future_status::ready) fresh = Publish(future.get(), last);
  std::lock_guard lock(mutex_);
  if (fresh) current_ = fresh;
  refreshing_ = false;
  refreshed_.notify_all();
  return current_;
}

std::shared_ptr<const ViewCache::Published> ViewCache::Publish(
    LobbyView view, const std::shared_ptr<const Published>& last) {
  auto published = std::make_shared<Published>();
  published->taken = std::chrono::steady_clock::now();
  // Only the refreshing thread gets here, so the revision needs no lock of its own.
  if (last && last->view.SameLobby(view)) {
    published->tag = last->tag;
    published->page = last->page;
    published->part = last->part;
  } else {
    published->tag = "\"" + run_ + "-" + std::to_string(++revision_) + "\"";
    published->page = LobbyPage(view, published->tag);
    published->part = LobbyPart(view, published->tag);
  }
  published->view = std::move(view);
  return published;
}

}  // namespace lobbyd::web
