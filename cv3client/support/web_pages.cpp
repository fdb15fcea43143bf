#include "cv3client/support/web_pages.h"

namespace cv3 {

std::string WebSitePage(std::string_view path) {
  return std::string(kWebSiteRoot) + std::string(path);
}

std::string WebPageCommand(int osMajorVersion, std::string_view url) {
  return std::string(osMajorVersion >= 5 ? "cmd /c start " : "command /c start ") +
         std::string(url);
}

}  // namespace cv3
