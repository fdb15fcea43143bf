#include "lobbyd/web/html.h"

namespace lobbyd::web {
namespace {

bool Unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

}  // namespace

std::string PercentEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (Unreserved(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

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
  page += "</title>\n<link rel=\"stylesheet\" href=\"lobby.css\">\n";
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
