#include "lobbyd/store_worker.h"

#include <asio/post.hpp>

namespace lobbyd {

StoreWorker::StoreWorker(asio::io_context& io, Store& store)
    : io_(io), store_(store), thread_([this] { Loop(); }) {}

StoreWorker::~StoreWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void StoreWorker::Run(std::function<std::string(Store&)> work,
                      std::function<void(const std::string&)> done) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back([this, work = std::move(work), done = std::move(done)]() mutable {
      std::string error = work(store_);
      if (done) asio::post(io_, [done = std::move(done), error] { done(error); });
    });
    ++busy_;
  }
  wake_.notify_one();
}

size_t StoreWorker::Busy() {
  std::lock_guard lock(mutex_);
  return busy_;
}

void StoreWorker::Loop() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      // What was asked before the stop is still written.
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
    std::lock_guard lock(mutex_);
    --busy_;
  }
}

}  // namespace lobbyd
