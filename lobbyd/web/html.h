// What every page of lobbyd's web side shares: text made safe for HTML, and the frame around a
// page's body. Everything a pilot or an operator wrote goes through Escape before it is sent.
#pragma once

#include <string>
#include <string_view>

namespace lobbyd::web {

// The text with & < > " ' written as character references: safe in element text and in
// quoted attribute values.
std::string Escape(std::string_view text);

// The text with every byte but letters, digits and - . _ ~ written as %XX: safe in a URL's path
// and in a header's filename*.
std::string PercentEncoded(std::string_view text);

// A whole page: `title` is plain text (escaped here); `body` and `head` are HTML already.
std::string Page(std::string_view title, std::string_view body, std::string_view head = {});

// A short page that only says `text` (plain text), for what is missing or not set up.
std::string NoticePage(std::string_view title, std::string_view text);

}  // namespace lobbyd::web
