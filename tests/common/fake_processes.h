// A recording Processes for tests: a scripted list of running processes, every start and wait
// recorded in order, terminations remove the process from the list.
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
  struct Started {
    std::string commandLine;
    std::string currentDirectory;
    ShowMode show = ShowMode::kNormal;
    bool waited = false;  // through StartAndWait
    bool operator==(const Started&) const = default;
  };

  // Start and StartAndWait create a process only while this is true.
  bool startSucceeds = true;
  // Runs once inside StartAndWait, standing for the events handled while the process runs; the
  // wait then ends as kStopped when the caller's stopWaiting says so, else as kEnded.
  std::function<void()> whileWaiting;
  // What ListProcesses returns; Terminate removes the process it ends.
  std::vector<ProcessEntry> running;
  // Processes that refuse to be terminated.
  std::set<uint32_t> unkillable;

  std::vector<Started> started;
  std::vector<uint32_t> terminated;  // every Terminate call, successful or not

  bool Start(const std::string& commandLine, const std::string& currentDirectory,
             ShowMode show) override {
    started.push_back({commandLine, currentDirectory, show, false});
    return startSucceeds;
  }

  WaitOutcome StartAndWait(const std::string& commandLine, const std::string& currentDirectory,
                           const std::function<bool()>& stopWaiting) override {
    started.push_back({commandLine, currentDirectory, ShowMode::kNormal, true});
    if (!startSucceeds) return WaitOutcome::kNotStarted;
    if (whileWaiting) whileWaiting();
    return stopWaiting && stopWaiting() ? WaitOutcome::kStopped : WaitOutcome::kEnded;
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
