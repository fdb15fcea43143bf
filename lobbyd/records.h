// What lobbyd keeps about accounts and listed games, in memory and in the database.
// Texts are UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace lobbyd {

struct Profile {
  std::string location;
  std::string age;
  std::string email;
  std::string web;
  std::string bio;  // line breaks as "¶", as they travel
  bool operator==(const Profile&) const = default;
};

struct AccountRecord {
  std::string name;          // as created; its NameKey is the account's identity
  std::string passwordHash;  // crypto_pwhash_str of the client's digest, never the digest
  bool admin = false;
  bool suspended = false;  // until an administrator lifts it
  bool banned = false;     // permanent, set by the operator
  int64_t createdAt = 0;   // seconds since the epoch
  int64_t lastOn = 0;      // last sign-in or sign-off; 0 = never
  Profile profile;
  bool operator==(const AccountRecord&) const = default;
};

// The ten check boxes of a hosted game, in the order they travel in "HOSTGAME:".
inline constexpr std::array<const char*, 10> kGameSettingKeys = {
    "INCLUDECPUS", "ALPHARESTRICT", "MOTHHOPPING", "BLOODMONEY",  "PASSWORDS",
    "GODHANGER",   "DEDICATED",     "GAMETERM",    "FILELOGGING", "DEBUGMODE"};
inline constexpr size_t kLongTermSetting = 7;

struct GameRecord {
  std::string name;
  std::string owner;  // the account that hosted it
  std::string address;
  std::string version;
  std::string announce;
  std::array<bool, 10> settings{};
  std::string description;  // line breaks as "¶"
  bool LongTerm() const { return settings[kLongTermSetting]; }
  bool operator==(const GameRecord&) const = default;
};

}  // namespace lobbyd
