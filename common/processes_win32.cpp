#include "common/processes_win32.h"

#include <windows.h>
// after windows.h, which it needs
#include <tlhelp32.h>

#include "common/wide_text_win32.h"

namespace cv3 {
namespace {

constexpr DWORD kInputIdleMs = 4000;
constexpr UINT kTerminatedExitCode = 1;

WORD ShowWindowValue(ShowMode show) {
  switch (show) {
    case ShowMode::kNormal:
      return SW_SHOWNORMAL;
    case ShowMode::kMaximized:
      return SW_SHOWMAXIMIZED;
    case ShowMode::kMinimized:
      return SW_SHOWMINIMIZED;
    case ShowMode::kMinimizedNoActivate:
      return SW_SHOWMINNOACTIVE;
    case ShowMode::kHidden:
      return SW_HIDE;
  }
  return SW_SHOWNORMAL;
}

STARTUPINFOW StartupShown(ShowMode show) {
  STARTUPINFOW startup{sizeof startup};
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = ShowWindowValue(show);
  return startup;
}

// A hidden console program gets no console window either.
DWORD CreationFlags(ShowMode show) { return show == ShowMode::kHidden ? CREATE_NO_WINDOW : 0; }

// CreateProcessW may write into the command line, so it gets a copy of its own.
bool CreateWith(const std::string& commandLine, const std::string& currentDirectory,
                BOOL inheritHandles, DWORD flags, STARTUPINFOW& startup,
                PROCESS_INFORMATION& process) {
  std::wstring line = Widen(commandLine);
  std::wstring directory = Widen(currentDirectory);
  return CreateProcessW(nullptr, line.data(), nullptr, nullptr, inheritHandles, flags, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process) != 0;
}

// A process in a job object of its own, so that ending it ends what it has started too. Without a
// job (an older Windows refuses to nest one inside the job the caller runs in) only the process
// itself is ended.
class JobProcess : public LaunchedProcess {
 public:
  JobProcess(HANDLE process, HANDLE job) : process_(process), job_(job) {}
  ~JobProcess() override {
    if (job_) CloseHandle(job_);
    CloseHandle(process_);
  }
  JobProcess(const JobProcess&) = delete;
  JobProcess& operator=(const JobProcess&) = delete;

  void End() override {
    if (job_) {
      TerminateJobObject(job_, kTerminatedExitCode);
    } else {
      TerminateProcess(process_, kTerminatedExitCode);
    }
  }
  HANDLE process() const { return process_; }

 private:
  HANDLE process_;
  HANDLE job_;
};

// A job for one game: it does not end the process when its handle closes (a game outlives the
// program that started it), and what the game starts asking to leave it (an updater, a browser,
// with CREATE_BREAKAWAY_FROM_JOB) may leave; anything else it starts stays in it.
HANDLE CreateGameJob() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  return job;
}

// Created suspended and put into its job before it runs, so nothing it starts escapes the job
// unless it asks to.
std::unique_ptr<JobProcess> CreateInJob(const std::string& commandLine,
                                        const std::string& currentDirectory, BOOL inheritHandles,
                                        DWORD flags, STARTUPINFOW& startup) {
  PROCESS_INFORMATION process{};
  if (!CreateWith(commandLine, currentDirectory, inheritHandles, flags | CREATE_SUSPENDED, startup,
                  process)) {
    return nullptr;
  }
  HANDLE job = CreateGameJob();
  if (job && !AssignProcessToJobObject(job, process.hProcess)) {
    CloseHandle(job);
    job = nullptr;
  }
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  return std::make_unique<JobProcess>(process.hProcess, job);
}

// Handles every queued message; false when a quit message came, which is posted again for the
// caller's own loop.
bool HandlePendingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return true;
}

}  // namespace

bool Win32Processes::Start(const std::string& commandLine, const std::string& currentDirectory,
                           ShowMode show) {
  STARTUPINFOW startup = StartupShown(show);
  PROCESS_INFORMATION process{};
  if (!CreateWith(commandLine, currentDirectory, FALSE, CreationFlags(show), startup, process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

std::unique_ptr<LaunchedProcess> Win32Processes::Launch(const std::string& commandLine,
                                                        const std::string& currentDirectory,
                                                        ShowMode show) {
  STARTUPINFOW startup = StartupShown(show);
  return CreateInJob(commandLine, currentDirectory, FALSE, CreationFlags(show), startup);
}

WaitOutcome Win32Processes::StartAndWait(const std::string& commandLine,
                                         const std::string& currentDirectory,
                                         const std::function<void(LaunchedProcess&)>& started,
                                         const std::function<bool()>& stopWaiting) {
  STARTUPINFOW startup{sizeof startup};  // all else zero: the program's default window
  std::unique_ptr<JobProcess> process =
      CreateInJob(commandLine, currentDirectory, TRUE, NORMAL_PRIORITY_CLASS, startup);
  if (!process) return WaitOutcome::kNotStarted;
  if (started) started(*process);
  HANDLE handle = process->process();
  WaitForInputIdle(handle, kInputIdleMs);
  WaitOutcome outcome = WaitOutcome::kEnded;
  for (;;) {
    if (!HandlePendingMessages() || (stopWaiting && stopWaiting())) {
      outcome = WaitOutcome::kStopped;
      break;
    }
    // Sleeps until the process ends or a message arrives; MWMO_INPUTAVAILABLE also wakes for
    // messages a nested loop has already seen but left queued.
    DWORD woken =
        MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woken != WAIT_OBJECT_0 + 1) break;  // ended (or the handle failed, which cannot recover)
  }
  return outcome;
}

std::vector<ProcessEntry> Win32Processes::ListProcesses() {
  std::vector<ProcessEntry> processes;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return processes;
  PROCESSENTRY32W entry{sizeof entry};
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    processes.push_back({Narrow(entry.szExeFile), entry.th32ProcessID});
  }
  CloseHandle(snapshot);
  return processes;
}

bool Win32Processes::Terminate(uint32_t id) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
  if (!process) return false;
  bool ok = TerminateProcess(process, kTerminatedExitCode) != 0;
  CloseHandle(process);
  return ok;
}

}  // namespace cv3
