// A program run as a child process with its output (stdout and stderr together) on a pipe, for
// tests of programs and of clients against them. POSIX only.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace cv3::testing {

class ChildProgram {
 public:
  ChildProgram(const std::string& path, std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 2);
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv{const_cast<char*>(path.c_str())};
      for (auto& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(path.c_str(), argv.data());
      _exit(127);
    }
    close(out[1]);
    fd_ = out[0];
  }
  ~ChildProgram() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (fd_ >= 0) close(fd_);
  }
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;

  // Output up to the first match of `pattern` (or all of it, at the end of the output).
  std::string ReadUntil(const std::regex& pattern, std::smatch* match = nullptr) {
    char chunk[4096];
    for (;;) {
      if (std::regex_search(output_, *(match ? match : &last_), pattern)) return output_;
      ssize_t got = read(fd_, chunk, sizeof chunk);
      if (got <= 0) return output_;
      output_.append(chunk, static_cast<size_t>(got));
    }
  }
  // As ReadUntil, but giving up at `deadline`: whether it matched.
  bool ReadUntil(const std::regex& pattern, std::chrono::milliseconds deadline,
                 std::smatch* match = nullptr) {
    auto until = std::chrono::steady_clock::now() + deadline;
    char chunk[4096];
    for (;;) {
      if (std::regex_search(output_, *(match ? match : &last_), pattern)) return true;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          until - std::chrono::steady_clock::now());
      pollfd ready{fd_, POLLIN, 0};
      if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
      ssize_t got = read(fd_, chunk, sizeof chunk);
      if (got <= 0) return false;
      output_.append(chunk, static_cast<size_t>(got));
    }
  }
  // All output up to the end of the program.
  std::string ReadAll() {
    char chunk[4096];
    ssize_t got;
    while ((got = read(fd_, chunk, sizeof chunk)) > 0) {
      output_.append(chunk, static_cast<size_t>(got));
    }
    return output_;
  }
  // The exit code, or minus the signal that ended it.
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  // The exit code as Wait gives it, or nothing if the program is still running at the deadline.
  std::optional<int> WaitFor(std::chrono::milliseconds within) {
    auto until = std::chrono::steady_clock::now() + within;
    for (;;) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
      }
      if (std::chrono::steady_clock::now() >= until) return std::nullopt;
      usleep(10000);
    }
  }
  void Signal(int signal) { kill(pid_, signal); }
  const std::string& Output() const { return output_; }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  bool exited_ = false;
  std::string output_;
  std::smatch last_;
};

// The port of a lobbyd started with "--listen 127.0.0.1:0", from its log; 0 if it never says.
inline unsigned short ListeningPort(ChildProgram& program) {
  std::smatch match;
  program.ReadUntil(std::regex("listening on 127\\.0\\.0\\.1:(\\d+)"), &match);
  return match.size() == 2 ? static_cast<unsigned short>(std::stoi(match[1].str())) : 0;
}

}  // namespace cv3::testing
