// Line framing of the lobby protocol: cutting received bytes at CR LF, splitting a line into its
// name and argument text, and dispatching by name. Shared by the client and lobbyd; works on
// bytes, so it serves Windows-1252 on the wire and UTF-8 inside alike. Single-threaded.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace cv3 {

// One protocol line: the name before the first ":" and everything after it.
struct Line {
  std::string name;
  std::string args;
  bool operator==(const Line&) const = default;
};

// A line without ":" is a bare name with empty arguments; only the first ":" separates.
Line ParseLine(std::string_view text);

// "NAME:args", without CR LF. Commands without arguments are sent as their bare name.
std::string FormatLine(std::string_view name, std::string_view args);

// Received bytes not yet cut into lines. Text after the last CR LF waits for later arrivals.
// A line longer than the limit (with or without its CR LF yet) is dropped up to its CR LF and
// reported once, so a peer that never sends CR LF cannot grow the buffer without end.
class LineBuffer {
 public:
  static constexpr size_t kDefaultLimit = 1 << 20;
  enum class Cut { kNone, kLine, kTooLong };

  explicit LineBuffer(size_t limit = kDefaultLimit) : limit_(limit) {}

  void Append(std::string_view bytes);
  // Cuts the next complete line (without CR LF) into `line`. kTooLong means an over-long line
  // was dropped; call again for the lines after it.
  Cut Next(std::string& line);

  void SetLimit(size_t limit) { limit_ = limit; }
  size_t Pending() const { return data_.size() - start_; }
  // Gives the buffer's memory back when no text waits (a server holds thousands of idle ones).
  // Assigning an empty buffer would not: a string keeps its capacity when given a short one.
  void ReleaseIfEmpty();

 private:
  void Compact();

  std::string data_;
  size_t start_ = 0;    // data before this offset has been consumed
  size_t scanned_ = 0;  // no CR LF starts before this offset (relative to data_)
  size_t limit_;
  bool discarding_ = false;  // inside an over-long line, waiting for its CR LF
};

// Handlers by exact, case-sensitive name. Unknown names are dropped without reaction.
class Dispatcher {
 public:
  using Handler = std::function<void(const std::string& args)>;
  void On(std::string name, Handler handler);
  // True when a handler took the line.
  bool Dispatch(const Line& line) const;

 private:
  std::unordered_map<std::string, Handler> handlers_;
};

}  // namespace cv3
