#include "cv3client/support/web_pages.h"

#include "cv3client/support/client_settings.h"

namespace cv3 {
namespace {

bool IsRootCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::string_view("-._~:/[]").find(c) != std::string_view::npos;
}

}  // namespace

std::string WebSiteRoot(std::string_view setting) {
  size_t schemeEnd = setting.starts_with("http://") ? 7 : setting.starts_with("https://") ? 8 : 0;
  if (schemeEnd == 0) return std::string(kWebSiteRoot);
  for (char c : setting) {
    if (!IsRootCharacter(c)) return std::string(kWebSiteRoot);
  }
  // The pages' paths begin with "/" of their own.
  while (setting.ends_with('/')) setting.remove_suffix(1);
  if (setting.size() <= schemeEnd || setting[schemeEnd] == '/') return std::string(kWebSiteRoot);
  return std::string(setting);
}

std::string WebSitePage(Registry& registry, std::string_view path) {
  return WebSiteRoot(settings::TextOrEmpty(registry, settings::kCvWebSite)) + std::string(path);
}

std::string WebPageCommand(int osMajorVersion, std::string_view url) {
  return std::string(osMajorVersion >= 5 ? "cmd /c start " : "command /c start ") +
         std::string(url);
}

}  // namespace cv3
