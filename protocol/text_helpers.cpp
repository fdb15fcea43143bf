#include "protocol/text_helpers.h"

#include "protocol/cp1252.h"

namespace cv3 {
namespace {

constexpr std::string_view kParagraph = "\xC2\xB6";  // U+00B6
constexpr std::string_view kNoBreakSpace = "\xC2\xA0";

bool HasAny(std::string_view text, std::string_view asciiChars) {
  return text.find_first_of(asciiChars) != std::string_view::npos ||
         text.find(kParagraph) != std::string_view::npos ||
         text.find(kNoBreakSpace) != std::string_view::npos;
}

char32_t FoldCase(char32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 32;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
  if (cp == 0x160 || cp == 0x152 || cp == 0x17D) return cp + 1;
  if (cp == 0x178) return 0xFF;
  return cp;
}

}  // namespace

std::string_view TrimSpaces(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    NextCodePoint(text, pos);
    ++count;
  }
  return count;
}

std::string TextBefore(std::string_view text, std::string_view delimiter) {
  size_t at = text.find(delimiter);
  return at == std::string_view::npos ? std::string() : std::string(text.substr(0, at));
}

std::string TextAfter(std::string_view text, std::string_view delimiter) {
  size_t at = text.find(delimiter);
  return at == std::string_view::npos ? std::string(text)
                                      : std::string(text.substr(at + delimiter.size()));
}

std::optional<std::vector<std::string>> SplitFields(std::string_view args, size_t count,
                                                    char separator) {
  std::vector<std::string> fields;
  fields.reserve(count);
  for (size_t i = 0; i + 1 < count; ++i) {
    size_t colon = args.find(separator);
    if (colon == std::string_view::npos) return std::nullopt;
    fields.emplace_back(args.substr(0, colon));
    args.remove_prefix(colon + 1);
  }
  fields.emplace_back(args);
  return fields;
}

bool IsSafeName(std::string_view text) { return !HasAny(text, std::string_view("():\" \x7F", 6)); }

bool IsSafeText(std::string_view text) { return !HasAny(text, ":\x7F"); }

std::string LineBreaksToParagraphs(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out.append(kParagraph);
      ++i;
    } else if (text[i] == '\n') {
      out.append(kParagraph);
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string ParagraphsToLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, kParagraph.size()) == kParagraph) {
      out.append("\r\n");
      i += kParagraph.size() - 1;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string FoldedName(std::string_view name) {
  std::string key;
  key.reserve(name.size());
  size_t pos = 0;
  while (pos < name.size()) AppendUtf8(key, FoldCase(NextCodePoint(name, pos)));
  return key;
}

bool SameName(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

}  // namespace cv3
