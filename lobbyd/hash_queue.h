// Password work waiting for the hash pool, admitted and ordered fairly. Each verification or
// hash costs tens of milliseconds of a worker, so what waits is bounded: a few jobs per address
// (waiting or running), a bound in all, and the pool is fed round-robin across addresses, so one
// address's flood delays another's sign-in by at most one turn. io thread.
#pragma once

#include <functional>
#include <list>
#include <map>
#include <string>

namespace lobbyd {

class HashQueue {
 public:
  // Called by a job when its work is over (at once when there is nothing to do any more).
  using Done = std::function<void()>;
  using Job = std::function<void(Done done)>;
  struct Limits {
    size_t running = 2;     // jobs given to the pool at a time: its thread count
    size_t perAddress = 2;  // jobs of one address waiting or running
    size_t total = 10000;   // jobs waiting or running in all
  };

  explicit HashQueue(Limits limits) : limits_(limits) {}

  // Queues a job; false, with nothing queued, when the address or the server has its fill.
  bool Add(const std::string& address, Job job);
  // Jobs of this address waiting or running.
  size_t Pending(const std::string& address) const;
  size_t Total() const { return total_; }

 private:
  void Pump();
  void Finished(const std::string& address);

  Limits limits_;
  // By address, for the rotation. A list: an address has a job or two, and a deque would take
  // more than half a kilobyte for each of the thousands of addresses waiting after a restart.
  std::map<std::string, std::list<Job>> waiting_;
  std::map<std::string, size_t> pending_;  // by address: waiting + running
  std::string lastServed_;                 // the rotation goes on after it
  size_t running_ = 0;
  size_t total_ = 0;
  bool pumping_ = false;
};

}  // namespace lobbyd
