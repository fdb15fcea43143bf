#include "lobbyd/hash_queue.h"

namespace lobbyd {

bool HashQueue::Add(const std::string& address, Job job) {
  if (total_ >= limits_.total || Pending(address) >= limits_.perAddress) return false;
  waiting_[address].push_back(std::move(job));
  ++pending_[address];
  ++total_;
  Pump();
  return true;
}

size_t HashQueue::Pending(const std::string& address) const {
  auto it = pending_.find(address);
  return it == pending_.end() ? 0 : it->second;
}

void HashQueue::Pump() {
  // A job that ends at once calls back into here; the loop below goes on instead.
  if (pumping_) return;
  pumping_ = true;
  while (running_ < limits_.running && !waiting_.empty()) {
    auto it = waiting_.upper_bound(lastServed_);
    if (it == waiting_.end()) it = waiting_.begin();
    std::string address = it->first;
    Job job = std::move(it->second.front());
    it->second.pop_front();
    if (it->second.empty()) waiting_.erase(it);
    lastServed_ = address;
    ++running_;
    job([this, address] { Finished(address); });
  }
  pumping_ = false;
}

void HashQueue::Finished(const std::string& address) {
  --running_;
  --total_;
  if (auto it = pending_.find(address); it != pending_.end() && --it->second == 0) {
    pending_.erase(it);
  }
  Pump();
}

}  // namespace lobbyd
