// The line framing (LineBuffer, ParseLine): received bytes, cut into arrivals at any boundary,
// give the same lines and over-long reports as the whole stream cut at once by a plain model; an
// idle buffer never holds more than one line's limit; ParseLine and FormatLine agree.
// Input: one byte for the line limit (1-64), one for the arrival sizes, then the stream.
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "protocol/wire.h"

namespace {

// Stands for an over-long report among the lines: no line holds a CR LF.
constexpr const char* kTooLong = "\r\n";

// The model: every CR LF ends a line; a line over the limit is one report, also when its CR LF
// has not come yet (a trailing CR may still be the first half of one).
std::vector<std::string> Model(std::string_view stream, size_t limit) {
  std::vector<std::string> events;
  size_t start = 0;
  for (size_t end; (end = stream.find("\r\n", start)) != std::string_view::npos; start = end + 2) {
    size_t length = end - start;
    events.emplace_back(length > limit ? kTooLong : stream.substr(start, length));
  }
  std::string_view rest = stream.substr(start);
  if (rest.size() - (!rest.empty() && rest.back() == '\r' ? 1 : 0) > limit) {
    events.emplace_back(kTooLong);
  }
  return events;
}

void CheckParse(const std::string& text) {
  cv3::Line line = cv3::ParseLine(text);
  if (text.find(':') == std::string::npos) {
    FUZZ_CHECK(line.name == text && line.args.empty());
  } else {
    FUZZ_CHECK(line.name.find(':') == std::string::npos);
    FUZZ_CHECK(cv3::FormatLine(line.name, line.args) == text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t limit = 1 + data[0] % 64;
  std::string_view stream = cv3::fuzz::AsText(data + 2, size - 2);

  cv3::LineBuffer buffer(limit);
  std::vector<std::string> events;
  cv3::fuzz::ForEachArrival(stream, data[1], [&](std::string_view arrival) {
    buffer.Append(arrival);
    std::string line;
    for (cv3::LineBuffer::Cut cut; (cut = buffer.Next(line)) != cv3::LineBuffer::Cut::kNone;) {
      if (cut == cv3::LineBuffer::Cut::kTooLong) {
        events.emplace_back(kTooLong);
        continue;
      }
      FUZZ_CHECK(line.size() <= limit);
      CheckParse(line);
      events.push_back(line);
    }
    // What waits is at most one line within the limit and the CR of its CR LF.
    FUZZ_CHECK(buffer.Pending() <= limit + 1);
  });
  FUZZ_CHECK(events == Model(stream, limit));
  return 0;
}
