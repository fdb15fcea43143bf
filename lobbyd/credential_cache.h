// Credentials verified during this run, remembered so that a pilot who reconnects (after a
// network blip, say) is checked in microseconds instead of a full password hash. Kept in memory
// only, as a keyed digest under a key made at start, never the digest itself; an entry holds
// only while the account's password hash is the one it was verified against: the hash goes into
// the keyed digest too, so an entry is 32 bytes however long the hash. io thread.
#pragma once

#include <array>
#include <string>
#include <unordered_map>

namespace lobbyd {

class CredentialCache {
 public:
  CredentialCache();

  // After a successful check of `digest` against the account's `passwordHash`.
  void Remember(const std::string& nameKey, const std::string& passwordHash,
                const std::string& digest);
  // Whether this digest was verified against this very password hash during this run.
  bool Matches(const std::string& nameKey, const std::string& passwordHash,
               const std::string& digest) const;
  // A suspension, ban or removal: the next sign-in is checked in full.
  void Forget(const std::string& nameKey) { entries_.erase(nameKey); }

 private:
  using Tag = std::array<unsigned char, 32>;
  Tag TagOf(const std::string& nameKey, const std::string& passwordHash,
            const std::string& digest) const;

  std::array<unsigned char, 32> key_;
  std::unordered_map<std::string, Tag> entries_;
};

}  // namespace lobbyd
