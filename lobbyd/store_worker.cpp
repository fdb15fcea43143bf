#include "lobbyd/store_worker.h"

#include <pthread.h>

#include <algorithm>
#include <asio/post.hpp>

namespace lobbyd {

StoreWorker::StoreWorker(asio::io_context& io, Store& store, Histogram* commits,
                         std::function<void(const std::string&)> notices)
    : io_(io), store_(store), commits_(commits), notices_(std::move(notices)), thread_([this] {
        Loop();
      }) {}

StoreWorker::~StoreWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

namespace {

// Jobs in one transaction at most, so the first of them is not told it is stored much later.
constexpr size_t kJobsPerCommit = 512;

}  // namespace

void StoreWorker::Run(std::function<std::string(Store&)> work,
                      std::function<void(const std::string&)> done) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back({std::move(work), std::move(done)});
    ++busy_;
  }
  wake_.notify_one();
}

size_t StoreWorker::Busy() {
  std::lock_guard lock(mutex_);
  return busy_;
}

void StoreWorker::Loop() {
  pthread_setname_np(pthread_self(), "lobbyd-store");
  for (;;) {
    std::vector<Job> jobs;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      // What was asked before the stop is still written.
      if (jobs_.empty()) return;
      size_t take = std::min(jobs_.size(), kJobsPerCommit);
      jobs.assign(std::make_move_iterator(jobs_.begin()),
                  std::make_move_iterator(jobs_.begin() + take));
      jobs_.erase(jobs_.begin(), jobs_.begin() + take);
    }
    auto started = std::chrono::steady_clock::now();
    std::vector<std::string> errors = RunTogether(jobs);
    if (commits_) commits_->Observe(std::chrono::steady_clock::now() - started);
    for (std::string& notice : store_.TakeNotices()) {
      if (notices_)
        asio::post(io_, [notices = notices_, notice = std::move(notice)] { notices(notice); });
    }
    for (size_t i = 0; i < jobs.size(); ++i) {
      if (jobs[i].done) {
        asio::post(io_,
                   [done = std::move(jobs[i].done), error = std::move(errors[i])] { done(error); });
      }
    }
    std::lock_guard lock(mutex_);
    busy_ -= jobs.size();
  }
}

std::vector<std::string> StoreWorker::RunTogether(std::vector<Job>& jobs) {
  std::vector<std::string> errors(jobs.size());
  // Without a transaction of their own each job is committed by itself.
  bool together = jobs.size() > 1 && store_.Begin().empty();
  for (size_t i = 0; i < jobs.size(); ++i) {
    errors[i] = jobs[i].work(store_);
    if (together && !store_.InTransaction()) {
      // The failure ended the transaction: what it held before is not stored. The jobs after
      // it are committed one by one.
      for (size_t j = 0; j < i; ++j) {
        if (errors[j].empty()) errors[j] = "not stored (" + errors[i] + ")";
      }
      together = false;
    }
  }
  if (together) {
    if (std::string error = store_.Commit(); !error.empty()) {
      for (size_t j = 0; j < jobs.size(); ++j) {
        if (errors[j].empty()) errors[j] = error;
      }
    }
  }
  return errors;
}

}  // namespace lobbyd
