#include "lobbyd/web/worker_pool.h"

#include <pthread.h>

namespace lobbyd::web {

WorkerPool::WorkerPool(unsigned threads, unsigned waiting, std::string name) : waiting_(waiting) {
  for (unsigned i = 0; i < threads; ++i) {
    threads_.emplace_back([this, name] {
      pthread_setname_np(pthread_self(), name.c_str());
      Work();
    });
  }
}

WorkerPool::~WorkerPool() { Stop(); }

bool WorkerPool::TryPost(std::function<void()> work) {
  std::lock_guard lock(mutex_);
  if (stopping_ || line_.size() >= waiting_) return false;
  line_.push_back(std::move(work));
  wake_.notify_one();
  return true;
}

void WorkerPool::Stop() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dropped.swap(line_);
  }
  wake_.notify_all();
  for (auto& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
}

void WorkerPool::Work() {
  for (;;) {
    std::function<void()> work;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !line_.empty(); });
      if (stopping_) return;
      work = std::move(line_.front());
      line_.pop_front();
    }
    work();
  }
}

}  // namespace lobbyd::web
