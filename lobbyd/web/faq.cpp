#include "lobbyd/web/faq.h"

#include <cmark.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <system_error>

#include "lobbyd/web/html.h"

namespace lobbyd::web {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxFaqBytes = 1024 * 1024;

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Empty when `text` holds the whole file, else why not.
std::string ReadSmallFile(const fs::path& path, std::string& text) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return error ? error.message() : "not a regular file";
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), fclose);
  if (!file) return std::generic_category().message(errno);
  // One byte more than allowed tells a file at the limit from one over it.
  text.resize(kMaxFaqBytes + 1);
  text.resize(std::fread(text.data(), 1, text.size(), file.get()));
  if (std::ferror(file.get())) return "read error";
  if (text.size() > kMaxFaqBytes) return "larger than 1 MiB";
  return {};
}

// cmark 0.30's defaults leave raw HTML out and empty javascript: links: a FAQ in Markdown can
// only ever produce markup cmark writes itself.
std::string MarkdownToHtml(std::string_view markdown) {
  std::unique_ptr<char, void (*)(void*)> html(
      cmark_markdown_to_html(markdown.data(), markdown.size(), CMARK_OPT_DEFAULT), std::free);
  return html ? std::string(html.get()) : std::string();
}

// The inside of <body ...>...</body> of a whole document; a fragment as it is.
std::string_view BodyOf(std::string_view html) {
  std::string lower = Lowered(html);
  size_t open = lower.find("<body");
  // Not <bodyguard>: the name ends where the tag or its attributes do.
  while (open != std::string::npos && open + 5 < lower.size() &&
         std::string_view(">/ \t\r\n\f").find(lower[open + 5]) == std::string_view::npos) {
    open = lower.find("<body", open + 5);
  }
  if (open == std::string::npos) return html;
  size_t start = lower.find('>', open);
  if (start == std::string::npos) return html;
  ++start;
  size_t end = lower.rfind("</body");
  if (end == std::string::npos || end < start) end = html.size();
  return html.substr(start, end - start);
}

std::string FaqBody(const fs::path& file, const std::string& text) {
  std::string extension = Lowered(file.extension().string());
  if (extension == ".md" || extension == ".markdown") return MarkdownToHtml(text);
  if (extension == ".html" || extension == ".htm") return std::string(BodyOf(text));
  return "<pre>" + Escape(text) + "</pre>\n";
}

}  // namespace

FaqPage ReadFaqPage(const fs::path& file) {
  std::string text;
  std::string problem = ReadSmallFile(file, text);
  if (!problem.empty()) {
    return {NoticePage("FAQ", "The FAQ cannot be read right now."),
            "cannot read the FAQ " + file.string() + ": " + problem};
  }
  return {Page("FAQ", "<main>\n" + FaqBody(file, text) + "</main>\n"), {}};
}

std::string FaqNotSetUpPage() { return NoticePage("FAQ", "This lobby has no FAQ."); }

std::string ForumsNotSetUpPage() { return NoticePage("Forums", "This lobby has no forums."); }

std::string ForumsUrlProblem(std::string_view url) {
  for (unsigned char c : url) {
    if (c <= ' ' || c == 0x7f) return "the address must not contain spaces or control characters";
    if (c >= 0x80) return "the address must be plain ASCII (percent-encode anything else)";
  }
  std::string lower = Lowered(url.substr(0, 8));
  size_t schemeLength = lower.starts_with("http://") ? 7 : lower.starts_with("https://") ? 8 : 0;
  if (schemeLength == 0) return "the address must start with http:// or https://";
  std::string_view authority = url.substr(schemeLength);
  authority = authority.substr(0, authority.find_first_of("/?#"));
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority.substr(0, authority.find(':'));
  if (authority.starts_with('[')) {  // An IPv6 address: [::1]:8080
    size_t close = authority.find(']');
    host = close == std::string_view::npos ? std::string_view() : authority.substr(1, close - 1);
  }
  if (host.empty()) return "the address has no host after its http:// or https://";
  return {};
}

}  // namespace lobbyd::web
