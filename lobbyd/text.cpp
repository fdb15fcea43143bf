#include "lobbyd/text.h"

#include <ctime>

#include "protocol/cp1252.h"
#include "protocol/text_helpers.h"

namespace lobbyd {
namespace {

std::string FormatUtc(std::chrono::system_clock::time_point when, const char* format) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[40];
  std::strftime(text, sizeof text, format, &parts);
  return text;
}

}  // namespace

// The same folding the client's SameName applies.
std::string NameKey(std::string_view name) { return cv3::FoldedName(name); }

std::string GameKey(std::string_view name) { return NameKey(TrimSpaces(name)); }

std::string NewIdProblem(std::string_view id, unsigned maxLength) {
  if (CharacterCount(TrimSpaces(id)) < kShortestId) {
    return "Corvane ID must be " + std::to_string(kShortestId) + " letters/numbers or more!";
  }
  if (CharacterCount(id) > maxLength) {
    return "Corvane ID must be at most " + std::to_string(maxLength) + " letters/numbers!";
  }
  if (!cv3::Utf8ToCp1252(id) || HasHiddenCharacters(id) || !cv3::IsSafeName(id) ||
      id.find(',') != std::string_view::npos || NameKey(id) == NameKey("l0bby")) {
    return std::string(kDisallowedCharacters);
  }
  return {};
}

bool HasControlCharacters(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
  }
  return false;
}

bool HasHiddenCharacters(std::string_view text) {
  if (HasControlCharacters(text) || text.find('\x7F') != std::string_view::npos) return true;
  // U+0080 to U+00A0 and U+00AD are the UTF-8 pairs C2 80..C2 A0 and C2 AD.
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) != 0xC2) continue;
    unsigned char next = static_cast<unsigned char>(text[i + 1]);
    if ((next >= 0x80 && next <= 0xA0) || next == 0xAD) return true;
  }
  return false;
}

bool IsPasswordDigest(std::string_view text) {
  if (text.size() != 32) return false;
  for (char c : text) {
    bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
    if (!hex) return false;
  }
  return true;
}

std::optional<bool> VersionIsLower(std::string_view reported, unsigned current) {
  if (reported.empty()) return std::nullopt;
  for (char c : reported) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  // Compared as numbers of any length: leading zeros off, then length, then digits.
  size_t firstNonZero = reported.find_first_not_of('0');
  std::string_view digits = firstNonZero == std::string_view::npos ? std::string_view("0")
                                                                   : reported.substr(firstNonZero);
  std::string currentDigits = std::to_string(current);
  if (digits.size() != currentDigits.size()) return digits.size() < currentDigits.size();
  return digits < std::string_view(currentDigits);
}

std::string DateText(std::chrono::system_clock::time_point when) {
  return FormatUtc(when, "%Y-%m-%d");
}

std::string DateTimeText(std::chrono::system_clock::time_point when) {
  return FormatUtc(when, "%Y-%m-%d %H:%M UTC");
}

}  // namespace lobbyd
