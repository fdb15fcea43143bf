#include "lobbyd/event_log.h"

#include <cstdio>
#include <ctime>

namespace lobbyd {

std::string EventLog::Escape(std::string_view text, size_t maxLength) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (out.size() >= maxLength) {
      out += "...";
      break;
    }
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string EventLog::Now() const {
  auto now = clock_.Wall();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

void EventLog::Connection(std::string_view peer, std::string_view id, std::string_view event) {
  if (!out_) return;
  *out_ << Now() << ' ' << peer << ' ' << (id.empty() ? std::string("-") : Escape(id, 40)) << ' '
        << event << '\n'
        << std::flush;
}

void EventLog::Server(std::string_view event) {
  if (!out_) return;
  *out_ << Now() << " lobbyd " << event << '\n' << std::flush;
}

}  // namespace lobbyd
