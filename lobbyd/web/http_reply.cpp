#include "lobbyd/web/http_reply.h"

#include <unistd.h>

#include "lobbyd/web/html.h"

namespace lobbyd::web {
namespace {

const char* ReasonOf(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 206:
      return "Partial Content";
    case 302:
      return "Found";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Content Too Large";
    case 414:
      return "URI Too Long";
    case 416:
      return "Range Not Satisfiable";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
  }
  return "Unknown";
}

}  // namespace

OpenFile::~OpenFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

Reply PageReply(int status, std::string page) {
  Reply reply;
  reply.status = status;
  reply.type = kHtml;
  reply.body = std::move(page);
  return reply;
}

Reply NoticeReply(int status, std::string_view title, std::string_view text) {
  return PageReply(status, NoticePage(title, text));
}

Reply BusyReply() {
  return NoticeReply(503, "Busy", "This lobby's web page is busy; try again soon.")
      .Header("Retry-After", "5");
}

Reply RefusedReply(int status) {
  switch (status) {
    case 405:
      return NoticeReply(405, "Not allowed", "This lobby's web pages can only be read.")
          .Header("Allow", "GET, HEAD");
    case 413:
      return NoticeReply(413, "Too large", "This lobby's web pages take nothing sent to them.");
    case 414:
      return NoticeReply(414, "Too long", "The address asked for is too long.");
    case 431:
      return NoticeReply(431, "Too large", "The request's headers are too large.");
  }
  return NoticeReply(400, "Bad request", "This lobby's web page did not understand the request.");
}

std::string ReplyHead(const Reply& reply) {
  std::string head =
      "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonOf(reply.status) + "\r\n";
  auto add = [&head](std::string_view name, std::string_view value) {
    head.append(name).append(": ").append(value).append("\r\n");
  };
  add("X-Content-Type-Options", "nosniff");
  add("Referrer-Policy", "no-referrer");
  add("Content-Security-Policy",
      "default-src 'self'; img-src 'self' data: https:; style-src 'self' 'unsafe-inline'");
  // A connection carries one request: a polling browser would otherwise keep one for good.
  add("Connection", "close");
  for (const auto& [name, value] : reply.headers) add(name, value);
  if (!reply.type.empty()) add("Content-Type", reply.type);
  add("Content-Length", std::to_string(reply.ContentLength()));
  return head + "\r\n";
}

}  // namespace lobbyd::web
