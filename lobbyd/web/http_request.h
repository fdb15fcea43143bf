// A request to lobbyd's web side as it arrives: the head read piece by piece within fixed bounds,
// and what the pages need of it (path, query parameters, headers, a byte range). No sockets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lobbyd::web {

constexpr size_t kLongestRequestLine = 8 * 1024;
constexpr size_t kLongestHeaderBlock = 16 * 1024;
constexpr size_t kMostHeaderLines = 100;

struct Request {
  std::string method;                                        // "GET" or "HEAD" once accepted
  std::string path;                                          // as sent, before any percent-decoding
  std::string query;                                         // after '?', as sent
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case

  // The first header of that (lower-case) name, empty when there is none.
  std::string Header(std::string_view name) const;
  // The first query parameter of that name, percent-decoded; empty when there is none.
  std::string Param(std::string_view name) const;
  bool IsHead() const { return method == "HEAD"; }
};

// Takes the bytes of one request head as they come. Each call says whether the head is complete,
// still needs bytes, or is refused with an HTTP status (400, 405, 413, 414 or 431); once it is not
// kNeedMore it takes nothing more.
class RequestHeadReader {
 public:
  enum class State { kNeedMore, kComplete, kRefused };

  State Take(std::string_view bytes);
  State CurrentState() const { return state_; }
  int RefusedStatus() const { return status_; }
  const Request& Got() const { return request_; }

 private:
  State Refuse(int status);
  State Finish();
  bool ParseRequestLine(std::string_view line);
  bool ParseHeaderLine(std::string_view line);

  State state_ = State::kNeedMore;
  int status_ = 0;
  std::string pending_;  // the unfinished line
  bool haveRequestLine_ = false;
  size_t headerBytes_ = 0;
  size_t headerLines_ = 0;
  Request request_;
};

// What a download answers to a Range header for a file of `size` bytes.
struct ByteRange {
  enum class Kind { kWhole, kPart, kUnsatisfiable };
  Kind kind = Kind::kWhole;
  uint64_t first = 0;  // for kPart: the first and last byte sent, inclusive
  uint64_t last = 0;
};

// One satisfiable "bytes=" range ("a-b", "a-", "-n") is a part; an unsatisfiable single range is
// refused; several ranges, another unit or anything malformed mean the whole file.
ByteRange RangeOf(std::string_view header, uint64_t size);

// "%41+b" as "A b" (with `plusIsSpace`, as in a query); a malformed escape stays as it is.
std::string PercentDecoded(std::string_view text, bool plusIsSpace);

}  // namespace lobbyd::web
