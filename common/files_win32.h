// The files backend over kernel32: GetShortPathNameW and FindFirstFileW.
#pragma once

#include "common/files.h"

namespace cv3 {

class Win32Files : public Files {
 public:
  std::string ShortPath(std::string_view path) override;
  bool ListingFindsName(std::string_view path) override;
};

}  // namespace cv3
