// A Processes for tests: a scripted list of running processes that terminations remove from; every
// start succeeds (unless told to fail) and every wait ends at once.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
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

  std::vector<int> ended;  // the launches ended, numbered from 1 in launch order

  bool Start(const std::string&, const std::string&, ShowMode) override { return !startsFail; }
  // Starts as Start does (so a logging Start logs it too) and numbers the launch.
  std::unique_ptr<LaunchedProcess> Launch(const std::string& commandLine,
                                          const std::string& currentDirectory,
                                          ShowMode show) override {
    if (!Start(commandLine, currentDirectory, show)) return nullptr;
    return std::make_unique<Launched>(*this, ++launches_);
  }
  WaitOutcome StartAndWait(const std::string&, const std::string&,
                           const std::function<void(LaunchedProcess&)>&,
                           const std::function<bool()>&) override {
    return WaitOutcome::kEnded;
  }
  virtual void Ended(int launch) { ended.push_back(launch); }

  std::vector<ProcessEntry> ListProcesses() override { return running; }

  bool Terminate(uint32_t id) override {
    terminated.push_back(id);
    auto it = std::find_if(running.begin(), running.end(),
                           [id](const ProcessEntry& p) { return p.id == id; });
    if (it == running.end() || unkillable.count(id)) return false;
    running.erase(it);
    return true;
  }

 private:
  class Launched : public LaunchedProcess {
   public:
    Launched(FakeProcesses& owner, int launch) : owner_(owner), launch_(launch) {}
    void End() override { owner_.Ended(launch_); }

   private:
    FakeProcesses& owner_;
    int launch_;
  };
  int launches_ = 0;
};

}  // namespace cv3
