#include "common/files.h"

namespace cv3 {

bool FileExists(Files& files, std::string_view path) {
  std::string shortPath = files.ShortPath(path);
  return !shortPath.empty() && files.ListingFindsName(shortPath);
}

}  // namespace cv3
