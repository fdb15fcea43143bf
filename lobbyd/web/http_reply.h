// A reply of lobbyd's web side: a page held whole, or a stretch of a file sent in chunks. What
// every reply carries (the security headers, Connection: close, the length) is added here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lobbyd::web {

constexpr char kHtml[] = "text/html; charset=utf-8";
constexpr char kPlainText[] = "text/plain; charset=utf-8";

// An open file, closed with the last reply that refers to it.
class OpenFile {
 public:
  explicit OpenFile(int descriptor) : descriptor_(descriptor) {}
  ~OpenFile();
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int Descriptor() const { return descriptor_; }

 private:
  int descriptor_;
};

struct Reply {
  int status = 200;
  std::string type;  // Content-Type; none when empty
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // A download: `length` bytes of `file` from `offset`, in place of `body`.
  std::shared_ptr<const OpenFile> file;
  uint64_t offset = 0;
  uint64_t length = 0;

  Reply& Header(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
    return *this;
  }
  uint64_t ContentLength() const { return file ? length : body.size(); }
};

// A page of HTML with that status.
Reply PageReply(int status, std::string page);
// A short notice page (see NoticePage) with that status.
Reply NoticeReply(int status, std::string_view title, std::string_view text);
// "Busy" with Retry-After: what a request gets when the web side cannot take it now.
Reply BusyReply();
// The page for a request refused while its head was read (400, 405, 413, 414, 431).
Reply RefusedReply(int status);

// The status line and headers, ending in the blank line.
std::string ReplyHead(const Reply& reply);

}  // namespace lobbyd::web
