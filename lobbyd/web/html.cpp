#include "lobbyd/web/html.h"

namespace lobbyd::web {

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Page(std::string_view title, std::string_view body, std::string_view head) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  page += Escape(title);
  page += "</title>\n<link rel=\"stylesheet\" href=\"/lobby.css\">\n";
  page += head;
  page += "</head>\n<body>\n";
  page += body;
  page += "</body>\n</html>\n";
  return page;
}

std::string NoticePage(std::string_view title, std::string_view text) {
  return Page(title,
              "<main>\n<h1>" + Escape(title) + "</h1>\n<p>" + Escape(text) + "</p>\n</main>\n");
}

}  // namespace lobbyd::web
