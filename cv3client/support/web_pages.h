// The community web site's pages and how they are opened: the browser is started through the
// command interpreter. Pure functions; the session starts the command line hidden (Processes).
#pragma once

#include <string>
#include <string_view>

namespace cv3 {

inline constexpr std::string_view kWebSiteRoot = "http://www.corvane.net";
inline constexpr std::string_view kForumsPath = "/modules.php?name=Forums";
inline constexpr std::string_view kFaqPath = "/modules.php?name=FAQ";
inline constexpr std::string_view kDownloadsPath = "/modules.php?name=Downloads";
inline constexpr std::string_view kForumHost = "http://forums.corvane.net";
inline constexpr std::string_view kForumGeneralPath = "/index.cgi#general_cat";

// A page of the web site root: kWebSiteRoot + path.
std::string WebSitePage(std::string_view path);

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
