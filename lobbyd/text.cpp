#include "lobbyd/text.h"

#include <algorithm>
#include <cctype>
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
    cv3::NextCodePoint(text, pos);
    ++count;
  }
  return count;
}

bool HasControlCharacters(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
  }
  return false;
}

std::optional<std::pair<std::string, std::string>> SplitWebAndBio(std::string_view rest) {
  size_t colon = rest.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  auto isSchemeChar = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
  };
  std::string_view scheme = rest.substr(0, colon);
  bool isScheme = !scheme.empty() && std::isalpha(static_cast<unsigned char>(scheme[0])) &&
                  std::all_of(scheme.begin(), scheme.end(), isSchemeChar) &&
                  rest.substr(colon + 1, 2) == "//";
  if (isScheme) {
    size_t hostStart = colon + 3;
    colon = rest.find(':', hostStart);
    if (colon == std::string_view::npos) return std::nullopt;
    // A port: digits right after the host, then "/" or the separator.
    bool inHost = rest.substr(hostStart, colon - hostStart).find('/') == std::string_view::npos;
    size_t digitsEnd = colon + 1;
    while (digitsEnd < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digitsEnd]))) {
      ++digitsEnd;
    }
    bool isPort = inHost && digitsEnd > colon + 1 && digitsEnd < rest.size() &&
                  (rest[digitsEnd] == '/' || rest[digitsEnd] == ':');
    if (isPort) {
      colon = rest.find(':', digitsEnd);
      if (colon == std::string_view::npos) return std::nullopt;
    }
  }
  return std::pair(std::string(rest.substr(0, colon)), std::string(rest.substr(colon + 1)));
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
