// The processes backend over kernel32: CreateProcessW, a job object per launched process, a
// Toolhelp snapshot, TerminateProcess.
#pragma once

#include "common/processes.h"

namespace cv3 {

class Win32Processes : public Processes {
 public:
  bool Start(const std::string& commandLine, const std::string& currentDirectory,
             ShowMode show) override;
  std::unique_ptr<LaunchedProcess> Launch(const std::string& commandLine,
                                          const std::string& currentDirectory,
                                          ShowMode show) override;
  WaitOutcome StartAndWait(const std::string& commandLine, const std::string& currentDirectory,
                           const std::function<void(LaunchedProcess&)>& started,
                           const std::function<bool()>& stopWaiting) override;
  std::vector<ProcessEntry> ListProcesses() override;
  bool Terminate(uint32_t id) override;
};

}  // namespace cv3
