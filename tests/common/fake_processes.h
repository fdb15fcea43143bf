// A Processes for tests: a scripted list of running processes that terminations remove from; every
// start succeeds (unless told to fail) and every wait ends at once.
#pragma once

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/processes.h"

namespace cv3 {

class FakeProcesses : public Processes {
 public:
  // What ListProcesses returns; Terminate removes the process it ends.
  std::vector<ProcessEntry> running;
  // Processes that refuse to be terminated.
  std::set<uint32_t> unkillable;

  std::vector<uint32_t> terminated;  // every Terminate call, successful or not
  bool startsFail = false;           // no process can be created

  bool Start(const std::string&, const std::string&, ShowMode) override { return !startsFail; }
  WaitOutcome StartAndWait(const std::string&, const std::string&,
                           const std::function<bool()>&) override {
    return WaitOutcome::kEnded;
  }

  std::vector<ProcessEntry> ListProcesses() override { return running; }

  bool Terminate(uint32_t id) override {
    terminated.push_back(id);
    auto it = std::find_if(running.begin(), running.end(),
                           [id](const ProcessEntry& p) { return p.id == id; });
    if (it == running.end() || unkillable.count(id)) return false;
    running.erase(it);
    return true;
  }
};

}  // namespace cv3
