#include "cv3client/support/system_info.h"

#include <charconv>

namespace cv3 {

cSystemInfo::cSystemInfo(bool ok, unsigned long major, unsigned long minor)
    : winVersion_(ok ? std::to_string(major) + "." + std::to_string(minor) : "0.0") {}

int OsMajorVersion(std::string_view winVersion) {
  std::string_view part = winVersion.substr(0, winVersion.find('.'));
  int value = 0;
  auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
  if (part.empty() || error != std::errc() || end != part.data() + part.size() || value < 0 ||
      value > 32767) {
    return 0;
  }
  return value;
}

}  // namespace cv3
