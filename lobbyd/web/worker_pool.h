// A fixed set of threads for the web side's requests that may wait (on the lobby, the store, the
// disk), with a bounded line of work waiting for them. Any thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lobbyd::web {

class WorkerPool {
 public:
  // `waiting`: how much work may wait for a thread; past that, TryPost refuses.
  WorkerPool(unsigned threads, unsigned waiting, std::string name);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // False when the line is full or the pool has stopped: the work is not taken.
  bool TryPost(std::function<void()> work);
  // Drops the work still waiting, lets the threads finish what they run and joins them.
  void Stop();

 private:
  void Work();

  const size_t waiting_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> line_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace lobbyd::web
