// The platform side of cSystemInfo: the operating system's version numbers. Any thread.
#pragma once

namespace cv3 {

struct OsVersion {
  bool ok = false;  // false: the query failed and both numbers are 0
  unsigned major = 0;
  unsigned minor = 0;
};

OsVersion QueryOsVersion();

}  // namespace cv3
