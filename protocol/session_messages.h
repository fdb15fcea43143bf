// The session messages as values: the list items, the commands of the sign-in sequence and the
// password change. Built and parsed here for both the client and lobbyd. Pure functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cv3 {

// "USER:" name ":" kind [":" note]; the note is the whole rest and may contain ":".
struct UserItem {
  std::string name;
  std::string kind;  // msg::kKindOnline, kKindAway, kKindOffline or kKindAdmin
  std::string note;
  bool operator==(const UserItem&) const = default;
};
UserItem ParseUserItem(std::string_view args);
// The note travels only when there is one.
std::string UserItemLine(const UserItem& item);

// "GAME:" name ":" state; only "up" is running.
struct GameItem {
  std::string name;
  bool up = false;
  bool operator==(const GameItem&) const = default;
};
GameItem ParseGameItem(std::string_view args);
// The state is "up" or "down".
std::string GameItemLine(const GameItem& item);

// "AUTH:" id ":" digest, the id exactly as typed.
struct AuthFields {
  std::string id;
  std::string digest;
  bool operator==(const AuthFields&) const = default;
};
std::string AuthCommand(std::string_view id, std::string_view digest);
// Without ":" the id is empty and the digest is the whole text.
AuthFields ParseAuthCommand(std::string_view args);

// "CREATE:" id ":" digest ":" e-mail; the e-mail is the rest of the line.
struct CreateFields {
  std::string id;
  std::string digest;
  std::string email;
  bool operator==(const CreateFields&) const = default;
};
std::string CreateCommand(std::string_view id, std::string_view digest, std::string_view email);
// Nothing when a field is missing.
std::optional<CreateFields> ParseCreateCommand(std::string_view args);

// "CHNGPASS:" name ":" digest: an administrator sets a pilot's password.
struct ChngPassFields {
  std::string name;
  std::string digest;
  bool operator==(const ChngPassFields&) const = default;
};
std::string ChngPassCommand(std::string_view name, std::string_view digest);
// Nothing without the digest's ":".
std::optional<ChngPassFields> ParseChngPassCommand(std::string_view args);

// "VERSION:" + major + minor + revision, each without leading zeros.
std::string VersionCommand(int major, int minor, int revision);

}  // namespace cv3
