#include "lobbyd/web/http_request.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace lobbyd::web {
namespace {

bool IsTokenCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Digits only, no sign, no overflow.
std::optional<uint64_t> Number(std::string_view text) {
  uint64_t value = 0;
  if (text.empty()) return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string Request::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key == name) return value;
  }
  return {};
}

std::string Request::Param(std::string_view name) const {
  std::string_view rest = query;
  while (!rest.empty()) {
    size_t end = rest.find('&');
    std::string_view pair = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    size_t equals = pair.find('=');
    if (PercentDecoded(pair.substr(0, equals), true) != name) continue;
    return equals == std::string_view::npos ? std::string()
                                            : PercentDecoded(pair.substr(equals + 1), true);
  }
  return {};
}

RequestHeadReader::State RequestHeadReader::Take(std::string_view bytes) {
  while (state_ == State::kNeedMore && !bytes.empty()) {
    size_t end = bytes.find('\n');
    std::string_view piece = bytes.substr(0, end);
    bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    // Bounds are checked on what is held, before it grows: a line that never ends costs no more
    // than its limit.
    size_t limit = haveRequestLine_ ? kLongestHeaderBlock - headerBytes_ : kLongestRequestLine;
    if (pending_.size() + piece.size() + (end == std::string_view::npos ? 0 : 1) > limit) {
      return Refuse(haveRequestLine_ ? 431 : 414);
    }
    pending_.append(piece);
    if (end == std::string_view::npos) break;
    std::string_view line = pending_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!haveRequestLine_) {
      if (!ParseRequestLine(line)) return Refuse(400);
      haveRequestLine_ = true;
    } else {
      headerBytes_ += pending_.size() + 1;
      if (line.empty()) return Finish();
      if (++headerLines_ > kMostHeaderLines) return Refuse(431);
      if (!ParseHeaderLine(line)) return Refuse(400);
    }
    pending_.clear();
  }
  return state_;
}

RequestHeadReader::State RequestHeadReader::Refuse(int status) {
  status_ = status;
  pending_.clear();
  return state_ = State::kRefused;
}

RequestHeadReader::State RequestHeadReader::Finish() {
  pending_.clear();
  if (request_.method != "GET" && request_.method != "HEAD") return Refuse(405);
  // Every page is read, never written: a request that brings a body is refused rather than read.
  if (!request_.Header("transfer-encoding").empty()) return Refuse(400);
  for (const auto& [name, value] : request_.headers) {
    if (name != "content-length") continue;
    auto length = Number(Trimmed(value));
    if (!length) return Refuse(400);
    if (*length > 0) return Refuse(413);
  }
  return state_ = State::kComplete;
}

bool RequestHeadReader::ParseRequestLine(std::string_view line) {
  size_t first = line.find(' ');
  size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
  if (second == std::string_view::npos || line.find(' ', second + 1) != std::string_view::npos) {
    return false;
  }
  std::string_view method = line.substr(0, first);
  std::string_view target = line.substr(first + 1, second - first - 1);
  std::string_view version = line.substr(second + 1);
  if (method.empty() || version.size() != 8 || !version.starts_with("HTTP/1.")) return false;
  for (char c : method) {
    if (!IsTokenCharacter(c)) return false;
  }
  if (target.empty() || target.front() != '/') return false;
  for (unsigned char c : target) {
    if (c <= ' ' || c == 0x7f) return false;
  }
  request_.method = std::string(method);
  size_t question = target.find('?');
  request_.path = std::string(target.substr(0, question));
  if (question != std::string_view::npos) request_.query = std::string(target.substr(question + 1));
  return true;
}

bool RequestHeadReader::ParseHeaderLine(std::string_view line) {
  size_t colon = line.find(':');
  if (colon == 0 || colon == std::string_view::npos) return false;  // also obsolete folding
  std::string_view name = line.substr(0, colon);
  for (char c : name) {
    if (!IsTokenCharacter(c)) return false;
  }
  request_.headers.emplace_back(Lowered(name), std::string(Trimmed(line.substr(colon + 1))));
  return true;
}

ByteRange RangeOf(std::string_view header, uint64_t size) {
  constexpr std::string_view kUnit = "bytes=";
  header = Trimmed(header);
  if (!header.starts_with(kUnit)) return {};
  std::string_view spec = Trimmed(header.substr(kUnit.size()));
  if (spec.find(',') != std::string_view::npos) return {};
  size_t dash = spec.find('-');
  if (dash == std::string_view::npos) return {};
  std::string_view from = Trimmed(spec.substr(0, dash)), to = Trimmed(spec.substr(dash + 1));
  const ByteRange unsatisfiable{ByteRange::Kind::kUnsatisfiable};
  if (from.empty()) {
    auto length = Number(to);
    if (!length) return {};
    if (*length == 0 || size == 0) return unsatisfiable;
    return {ByteRange::Kind::kPart, size - std::min(*length, size), size - 1};
  }
  auto first = Number(from);
  auto last =
      to.empty() ? std::optional<uint64_t>(std::numeric_limits<uint64_t>::max()) : Number(to);
  if (!first || !last || *last < *first) return {};
  if (*first >= size) return unsatisfiable;
  return {ByteRange::Kind::kPart, *first, std::min(*last, size - 1)};
}

std::string PercentDecoded(std::string_view text, bool plusIsSpace) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += plusIsSpace && text[i] == '+' ? ' ' : text[i];
    }
  }
  return out;
}

}  // namespace lobbyd::web
