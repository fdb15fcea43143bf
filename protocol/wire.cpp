#include "protocol/wire.h"

namespace cv3 {

Line ParseLine(std::string_view text) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return {std::string(text), {}};
  return {std::string(text.substr(0, colon)), std::string(text.substr(colon + 1))};
}

std::string FormatLine(std::string_view name, std::string_view args) {
  std::string out;
  out.reserve(name.size() + 1 + args.size());
  out.append(name);
  out.push_back(':');
  out.append(args);
  return out;
}

void LineBuffer::Append(std::string_view bytes) { data_.append(bytes); }

void LineBuffer::ReleaseIfEmpty() {
  if (Pending() != 0) return;
  std::string().swap(data_);
  start_ = scanned_ = 0;
}

void LineBuffer::Compact() {
  // Consumed text is dropped lazily so that many short lines in one arrival cost one move.
  if (start_ > 0 && (start_ == data_.size() || start_ > data_.size() / 2)) {
    data_.erase(0, start_);
    scanned_ = scanned_ > start_ ? scanned_ - start_ : 0;
    start_ = 0;
  }
}

LineBuffer::Cut LineBuffer::Next(std::string& line) {
  for (;;) {
    size_t from = scanned_ > start_ ? scanned_ : start_;
    size_t cr = data_.find("\r\n", from);
    if (cr == std::string::npos) {
      // Keep a trailing CR: its LF may be in the next arrival.
      scanned_ = data_.empty() ? 0 : data_.size() - 1;
      if (scanned_ < start_) scanned_ = start_;
      // A trailing CR may be the first half of the line's CR LF: it does not count.
      size_t length = Pending() - (data_.empty() || data_.back() != '\r' ? 0 : 1);
      if (!discarding_ && length > limit_) {
        discarding_ = true;
        start_ = scanned_;
        Compact();
        return Cut::kTooLong;
      }
      if (discarding_) {
        start_ = scanned_;
      }
      Compact();
      return Cut::kNone;
    }
    size_t length = cr - start_;
    bool wasDiscarding = discarding_;
    discarding_ = false;
    if (!wasDiscarding) line.assign(data_, start_, length);
    start_ = cr + 2;
    scanned_ = start_;
    Compact();
    if (wasDiscarding) continue;  // already reported when it grew past the limit
    if (length > limit_) return Cut::kTooLong;
    return Cut::kLine;
  }
}

void Dispatcher::On(std::string name, Handler handler) {
  handlers_[std::move(name)] = std::move(handler);
}

bool Dispatcher::Dispatch(const Line& line) const {
  auto it = handlers_.find(line.name);
  if (it == handlers_.end()) return false;
  it->second(line.args);
  return true;
}

}  // namespace cv3
