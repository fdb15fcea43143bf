// The session messages as values: the list items and the commands of the sign-in sequence.
#pragma once

#include <string>
#include <string_view>

namespace cv3 {

// "USER:" name ":" kind [":" note]; the note is the whole rest and may contain ":".
struct UserItem {
  std::string name;
  std::string kind;
  std::string note;
  bool operator==(const UserItem&) const = default;
};
UserItem ParseUserItem(std::string_view args);

// "GAME:" name ":" state; only "up" is running.
struct GameItem {
  std::string name;
  bool up = false;
  bool operator==(const GameItem&) const = default;
};
GameItem ParseGameItem(std::string_view args);

std::string AuthCommand(std::string_view id, std::string_view digest);
std::string CreateCommand(std::string_view id, std::string_view digest, std::string_view email);
// "VERSION:" + major + minor + revision, each without leading zeros.
std::string VersionCommand(int major, int minor, int revision);

}  // namespace cv3
