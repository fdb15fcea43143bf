// The FAQ page (--faq FILE) and the check of the forums address (--forums URL).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace lobbyd::web {

struct FaqPage {
  std::string html;   // The whole page to send, also when the file could not be used.
  std::string error;  // For the log (names the file); empty when the page is the FAQ.
};

// Reads `file` on every call, so the operator's edits show at once. Markdown (.md, .markdown)
// becomes HTML without any raw HTML of its own; .html/.htm is the operator's HTML (the inside of
// <body> when it is a whole document); anything else is shown as preformatted text. A file over
// 1 MiB is refused.
FaqPage ReadFaqPage(const std::filesystem::path& file);

// The pages when the lobby has no FAQ / no forums.
std::string FaqNotSetUpPage();
std::string ForumsNotSetUpPage();

// Empty when `url` is an http:// or https:// address with a host that can go into a Location
// header as it is; else why not, for the flag's error message.
std::string ForumsUrlProblem(std::string_view url);

}  // namespace lobbyd::web
