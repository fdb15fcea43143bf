// The store's own thread: every read and write of the database runs there, in the order asked,
// so a slow or locked disk holds up only the replies that wait for it, never chat or the other
// pilots. Jobs waiting together are committed together (after a restart thousands of sign-ins
// are written at once), and a job's result is given only once its transaction is committed.
// Results come back as handlers posted to the io_context. Ask from the io thread; the
// destructor finishes what was asked, then joins.
#pragma once

#include <asio/io_context.hpp>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "lobbyd/metrics.h"
#include "lobbyd/store.h"

namespace lobbyd {

class StoreWorker {
 public:
  // `commits` (if any) gets how long each batch took until committed; `notices` (if any) gets
  // what the store says about the database (a server lost, or back), on the io thread.
  StoreWorker(asio::io_context& io, Store& store, Histogram* commits = nullptr,
              std::function<void(const std::string&)> notices = {});
  ~StoreWorker();
  StoreWorker(const StoreWorker&) = delete;
  StoreWorker& operator=(const StoreWorker&) = delete;

  // Runs `work` on the store's thread; `done` then gets its result (empty text on success, else
  // what failed) on the io thread, unless the server has stopped by then.
  void Run(std::function<std::string(Store&)> work,
           std::function<void(const std::string& error)> done = {});
  // Jobs asked for whose results are not yet posted to the io_context. Once it is 0, every
  // result is waiting there (for harnesses that run the io_context by hand).
  size_t Busy();

 private:
  struct Job {
    std::function<std::string(Store&)> work;
    std::function<void(const std::string& error)> done;
  };
  void Loop();
  // Runs the jobs in one transaction; each one's result (its own error, or the transaction's).
  std::vector<std::string> RunTogether(std::vector<Job>& jobs);

  asio::io_context& io_;
  Store& store_;
  Histogram* commits_;
  std::function<void(const std::string&)> notices_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  size_t busy_ = 0;  // queued or running
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace lobbyd
