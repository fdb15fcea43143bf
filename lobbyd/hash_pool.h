// A small pool of worker threads for password hashes and verifies, so the io thread never waits
// on one. Results come back as handlers posted to the io_context. Submit from the io thread;
// Stop (or the destructor) joins the workers, dropping jobs not yet started.
#pragma once

#include <asio/io_context.hpp>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "lobbyd/hasher.h"

namespace lobbyd {

class HashPool {
 public:
  // `threads` 0 means one per core.
  HashPool(asio::io_context& io, const PasswordHasher& hasher, unsigned threads = 0);
  ~HashPool();
  HashPool(const HashPool&) = delete;
  HashPool& operator=(const HashPool&) = delete;

  void Hash(std::string digest, std::function<void(std::optional<std::string>)> done);
  void Verify(std::string hash, std::string digest, std::function<void(bool)> done);
  void Stop();
  size_t Threads() const { return workers_.size(); }
  // Jobs submitted whose results are not yet posted to the io_context. Once it is 0, every
  // result is waiting there (for harnesses that run the io_context by hand).
  size_t Busy();

 private:
  void Run();
  void Submit(std::function<void()> job);

  asio::io_context& io_;
  const PasswordHasher& hasher_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  size_t busy_ = 0;  // queued or running
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace lobbyd
