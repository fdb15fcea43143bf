// The community web site's pages and how they are opened: the browser is started through the
// command interpreter. Pure functions but for the one read of the site's root; the session starts
// the command line hidden (Processes).
#pragma once

#include <string>
#include <string_view>

#include "common/registry.h"

namespace cv3 {

inline constexpr std::string_view kWebSiteRoot = "http://www.corvane.net";
inline constexpr std::string_view kForumsPath = "/modules.php?name=Forums";
inline constexpr std::string_view kFaqPath = "/modules.php?name=FAQ";
inline constexpr std::string_view kDownloadsPath = "/modules.php?name=Downloads";
inline constexpr std::string_view kForumHost = "http://forums.corvane.net";
inline constexpr std::string_view kForumGeneralPath = "/index.cgi#general_cat";

// The site root a "CvWebSite" value names, without trailing "/"; kWebSiteRoot for an empty value
// or one that is no plain http:// or https:// root. The root ends up on a command line, so only
// letters, digits and "-._~:/[]" pass: a character the command interpreter acts on never does.
std::string WebSiteRoot(std::string_view setting);

// A page of the community's web site: the root "CvWebSite" names (WebSiteRoot) + path.
std::string WebSitePage(Registry& registry, std::string_view path);

// The community links of the toolbar's third button, in drop-down order: "Skyrend Forums" and
// three further sites (each opens its root page).
struct CommunityLink {
  std::string_view caption;
  std::string_view url;
};
inline constexpr CommunityLink kCommunityLinks[4] = {
    {"Skyrend Forums", "http://forums.corvane.net/index.cgi#general_cat"},
    {"Skyrend Wiki", "http://wiki.corvane.net"},
    {"Squadron Ladder", "http://ladder.corvane.net"},
    {"Mission Exchange", "http://missions.corvane.net"},
};

// "cmd /c start " + url from Windows 5 on, "command /c start " + url before.
std::string WebPageCommand(int osMajorVersion, std::string_view url);

}  // namespace cv3
