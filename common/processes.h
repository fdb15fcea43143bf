// Starting, listing and ending processes: the game, the watchdog and the browser's command lines
// start here, and what was launched is ended here. Backends: Win32 (CreateProcess, Toolhelp) and
// a recording fake for tests. UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cv3 {

// How the started program's first window appears.
enum class ShowMode {
  kNormal,               // normal size, activated
  kMaximized,            // maximised, activated
  kMinimized,            // minimised, activated
  kMinimizedNoActivate,  // minimised; the caller keeps the focus
  kHidden,               // hidden, and no console window for a console program
};

// One running process as a snapshot lists it.
struct ProcessEntry {
  std::string exeName;  // the executable's name as the system lists it (UTF-8)
  uint32_t id = 0;
  bool operator==(const ProcessEntry&) const = default;
};

// How StartAndWait came back.
enum class WaitOutcome {
  kNotStarted,  // the process could not be created
  kEnded,       // the process has ended
  kStopped,     // the caller asked to stop waiting; the process goes on running
};

// A process that Launch or StartAndWait started, together with every process it starts in turn
// (on Windows, a job object of its own). Destroying this lets go of them; they run on.
class LaunchedProcess {
 public:
  virtual ~LaunchedProcess() = default;
  // Ends the process and everything it has started; nothing else, whatever its name. Harmless
  // once they have ended.
  virtual void End() = 0;
};

class Processes {
 public:
  virtual ~Processes() = default;

  // Starts a command line (UTF-8, used as it is: the first word names the program; build it with
  // CommandLineOf when a word may hold a space) and returns at once, keeping no handle. An empty
  // currentDirectory keeps the caller's. False when the process cannot be created.
  virtual bool Start(const std::string& commandLine, const std::string& currentDirectory,
                     ShowMode show) = 0;

  // As Start, and what it starts can be ended later, without touching other copies of the same
  // program. Null when the process cannot be created.
  virtual std::unique_ptr<LaunchedProcess> Launch(const std::string& commandLine,
                                                  const std::string& currentDirectory,
                                                  ShowMode show) = 0;

  // Starts a command line the way the watchdog starts the game (handles inherited, the program's
  // default window) and hands it to `started`, which may end it until this call returns; waits up
  // to 4 s for it to be ready for input, then waits for its end while the caller's window
  // messages (timers, sockets, menus) keep being handled: their handlers run inside this call.
  // After each batch of messages stopWaiting is asked; true ends the wait at once and leaves the
  // process running. A quit message also stops the wait and is left for the caller's loop.
  virtual WaitOutcome StartAndWait(const std::string& commandLine,
                                   const std::string& currentDirectory,
                                   const std::function<void(LaunchedProcess&)>& started,
                                   const std::function<bool()>& stopWaiting) = 0;

  // The processes running now; empty when no snapshot can be taken.
  virtual std::vector<ProcessEntry> ListProcesses() = 0;

  // Terminates one process; false when it cannot be opened for that or terminated.
  virtual bool Terminate(uint32_t id) = 0;
};

// One command-line word as the system's argument parsers (CommandLineToArgvW, the C runtime)
// read it back whole: quoted when it is empty or holds a space, tab, line feed, vertical tab or
// double quote, with each quote escaped and each run of backslashes before a quote (or before the
// closing quote) doubled. A word without those characters, such as "/t:newded" or a short path,
// stays as it is.
std::string QuoteArgument(std::string_view word);

// A command line of these words, each quoted as QuoteArgument says, separated by one space. The
// first word names the program.
std::string CommandLineOf(std::initializer_list<std::string_view> words);

// Whether a listed executable name names `wanted`: the text after its last backslash (all of it
// when there is none), cut at its first NUL, equals `wanted` without regard to case.
bool ExecutableNameMatches(std::string_view listedName, std::string_view wanted);

// Terminates every running process whose executable name matches, not only the first. Failures
// to terminate one are ignored. Only for clearing stale copies: a game the programs started is
// ended through its LaunchedProcess, so that the player's other copies run on.
void KillProcessByName(Processes& processes, std::string_view exeName);

}  // namespace cv3
