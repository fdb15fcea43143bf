// The files backend over kernel32: GetShortPathNameW, FindFirstFileW and DeleteFileW.
#pragma once

#include "common/files.h"

namespace cv3 {

class Win32Files : public Files {
 public:
  std::string ShortPath(std::string_view path) override;
  bool ListingFindsName(std::string_view path) override;
  bool RemoveFile(std::string_view path) override;
};

}  // namespace cv3
