// What lobbyd keeps about accounts and listed games, in memory and in the database.
// Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/game_messages.h"
#include "protocol/profile_messages.h"

namespace lobbyd {

struct AccountRecord {
  std::string name;          // as created; its NameKey is the account's identity
  std::string passwordHash;  // crypto_pwhash_str of the client's digest, never the digest
  bool admin = false;
  bool suspended = false;      // until an administrator lifts it
  bool banned = false;         // permanent, set by the operator
  int64_t createdAt = 0;       // seconds since the epoch
  int64_t lastOn = 0;          // last sign-in or sign-off; 0 = never
  cv3::ProfileFields profile;  // as the pilot saved it
  bool operator==(const AccountRecord&) const = default;
};

// A listed game: the settings its host sent, and who that was.
struct GameRecord : cv3::HostedGame {
  std::string owner;  // the account that hosted it
  bool operator==(const GameRecord&) const = default;
};

}  // namespace lobbyd
