// Profiles as values: the fields of "SAVEPROFILE:" and the key lines of "USERINFO_ACK" and
// "EDITPROFILE_ACK". Built and parsed here for both the client and lobbyd. Pure functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cv3 {

// The fields a pilot edits, in the order they travel. The bio has "¶" for its line breaks, as it
// travels (LineBreaksToParagraphs and ParagraphsToLineBreaks convert).
struct ProfileFields {
  std::string location;
  std::string age;
  std::string email;
  std::string web;
  std::string bio;
  bool operator==(const ProfileFields&) const = default;
};

// "SAVEPROFILE:" own name ":" location ":" age ":" e-mail ":" web ":" bio.
struct SaveProfile {
  std::string user;
  ProfileFields fields;
  bool operator==(const SaveProfile&) const = default;
};
std::string SaveProfileCommand(const SaveProfile& save);
// The client does not keep ":" out of the web address, so "scheme://" and a port right after the
// host are taken as part of it; the first other ":" ends it and the bio is all the rest. Nothing
// when fields are missing.
std::optional<SaveProfile> ParseSaveProfile(std::string_view args);

// A pilot's profile as the server shows it.
struct ProfileInfo {
  std::string user;
  std::string memberSince;
  std::string lastOn;
  ProfileFields fields;
  bool operator==(const ProfileInfo&) const = default;
};

// A bio cut for its key lines: pieces of at most kBioLineChars characters, each ending after a
// line break when one falls inside it; an empty bio is one empty piece. Joined, they give the bio.
inline constexpr size_t kBioLineChars = 200;
std::vector<std::string> BioPieces(std::string_view bio);

// The server's answer to "USERINFO:" or "EDITPROFILE:": the key lines (the bio perhaps in several),
// then reply + ":OK".
// `reply` is msg::kUserInfoAck or msg::kEditProfileAck.
std::vector<std::string> ProfileAckLines(std::string_view reply, const ProfileInfo& profile);

// Applies one line of either reply (its argument text) the way the profile window does: "BIO"
// adds to what came before, the other keys set their field. The key is the text before the first
// ":", the value all after it. False, with nothing changed, for "OK" or an unknown key.
bool ApplyProfileLine(ProfileInfo& profile, std::string_view args);

}  // namespace cv3
