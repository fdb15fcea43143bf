// cSystemInfo: which generation of Windows the client runs on, as the text "major.minor". The
// window asks the platform (GetVersionExA) and hands the numbers in; the start-up takes the OS
// major version from the text to choose the command interpreter for web pages.
#pragma once

#include <string>
#include <string_view>

namespace cv3 {

class cSystemInfo {
 public:
  // ok: whether the platform's version query succeeded; a failed query gives "0.0".
  cSystemInfo(bool ok, unsigned long major, unsigned long minor);
  const std::string& WinVersion() const { return winVersion_; }

 private:
  std::string winVersion_;
};

// The number before the first "." of a version text ("6.1" -> 6, "4.90" -> 4); the whole text
// when it has no "."; 0 when that is not a number that fits a 16-bit integer.
int OsMajorVersion(std::string_view winVersion);

}  // namespace cv3
