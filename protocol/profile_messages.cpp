#include "protocol/profile_messages.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "protocol/catalogue.h"
#include "protocol/cp1252.h"
#include "protocol/text_helpers.h"
#include "protocol/wire.h"

namespace cv3 {
namespace {

constexpr std::string_view kUser = "USER";
constexpr std::string_view kMemSince = "MEMSINCE";
constexpr std::string_view kLastOn = "LASTON";
constexpr std::string_view kLocation = "LOCATION";
constexpr std::string_view kAge = "AGE";
constexpr std::string_view kEmail = "EMAIL";
constexpr std::string_view kWeb = "WEB";
constexpr std::string_view kBio = "BIO";

// The keys in the order the server sends them, each with the field it fills.
template <typename Profile>
auto KeyedFields(Profile& profile) {
  auto& f = profile.fields;
  return std::array{std::pair{kUser, &profile.user},
                    std::pair{kMemSince, &profile.memberSince},
                    std::pair{kLastOn, &profile.lastOn},
                    std::pair{kLocation, &f.location},
                    std::pair{kAge, &f.age},
                    std::pair{kEmail, &f.email},
                    std::pair{kWeb, &f.web},
                    std::pair{kBio, &f.bio}};
}

// The web address and the bio at the end of "SAVEPROFILE:".
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

}  // namespace

std::string SaveProfileCommand(const SaveProfile& save) {
  const ProfileFields& f = save.fields;
  return FormatLine(msg::kSaveProfile, save.user + ":" + f.location + ":" + f.age + ":" + f.email +
                                           ":" + f.web + ":" + f.bio);
}

std::optional<SaveProfile> ParseSaveProfile(std::string_view args) {
  auto fields = SplitFields(args, 5);
  if (!fields) return std::nullopt;
  auto webAndBio = SplitWebAndBio((*fields)[4]);
  if (!webAndBio) return std::nullopt;
  return SaveProfile{(*fields)[0],
                     {(*fields)[1], (*fields)[2], (*fields)[3], std::move(webAndBio->first),
                      std::move(webAndBio->second)}};
}

std::vector<std::string> BioPieces(std::string_view bio) {
  constexpr std::string_view kLineBreak = "\xC2\xB6";  // U+00B6, the bio's line break
  std::vector<std::string> pieces;
  do {
    // Up to kBioLineChars characters, ending after the last line break among them when the bio
    // goes on, and never inside a character.
    size_t end = 0, afterBreak = 0, count = 0;
    while (end < bio.size() && count < kBioLineChars) {
      size_t start = end;
      NextCodePoint(bio, end);
      ++count;
      if (bio.substr(start, end - start) == kLineBreak) afterBreak = end;
    }
    if (end < bio.size() && afterBreak > 0) end = afterBreak;
    pieces.emplace_back(bio.substr(0, end));
    bio.remove_prefix(end);
  } while (!bio.empty());
  return pieces;
}

std::vector<std::string> ProfileAckLines(std::string_view reply, const ProfileInfo& profile) {
  std::vector<std::string> lines;
  for (auto [key, value] : KeyedFields(profile)) {
    // A long bio comes in several lines, which the client adds up.
    std::vector<std::string> pieces =
        key == kBio ? BioPieces(*value) : std::vector<std::string>{*value};
    for (const std::string& piece : pieces) {
      lines.push_back(FormatLine(reply, std::string(key) + ":" + piece));
    }
  }
  lines.push_back(FormatLine(reply, msg::kOk));
  return lines;
}

bool ApplyProfileLine(ProfileInfo& profile, std::string_view args) {
  std::string key = TextBefore(args, ":");
  for (auto [name, field] : KeyedFields(profile)) {
    if (key != name) continue;
    std::string value = TextAfter(args, ":");
    // The bio may come in several lines.
    if (field == &profile.fields.bio) {
      *field += value;
    } else {
      *field = std::move(value);
    }
    return true;
  }
  return false;
}

}  // namespace cv3
