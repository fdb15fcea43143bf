#include "lobbyd/hash_pool.h"

#include <pthread.h>

#include <asio/post.hpp>

namespace lobbyd {

HashPool::HashPool(asio::io_context& io, const PasswordHasher& hasher, unsigned threads)
    : io_(io), hasher_(hasher) {
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Run(); });
}

HashPool::~HashPool() { Stop(); }

void HashPool::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    busy_ -= jobs_.size();
    jobs_.clear();
  }
  wake_.notify_all();
  for (auto& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
}

void HashPool::Submit(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    jobs_.push_back(std::move(job));
    ++busy_;
  }
  wake_.notify_one();
}

void HashPool::Run() {
  // Named so that `top -H` shows where a sign-in storm's time goes.
  pthread_setname_np(pthread_self(), "lobbyd-hash");
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
    std::lock_guard lock(mutex_);
    --busy_;
  }
}

size_t HashPool::Busy() {
  std::lock_guard lock(mutex_);
  return busy_;
}

void HashPool::Hash(std::string digest, std::function<void(std::optional<std::string>)> done) {
  Submit([this, digest = std::move(digest), done = std::move(done)]() mutable {
    auto hash = hasher_.Hash(digest);
    asio::post(
        io_, [done = std::move(done), hash = std::move(hash)]() mutable { done(std::move(hash)); });
  });
}

void HashPool::Verify(std::string hash, std::string digest, std::function<void(bool)> done) {
  Submit(
      [this, hash = std::move(hash), digest = std::move(digest), done = std::move(done)]() mutable {
        bool ok = hasher_.Verify(hash, digest);
        asio::post(io_, [done = std::move(done), ok] { done(ok); });
      });
}

}  // namespace lobbyd
