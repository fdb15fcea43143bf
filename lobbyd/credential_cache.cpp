#include "lobbyd/credential_cache.h"

#include <sodium.h>

namespace lobbyd {

CredentialCache::CredentialCache() { randombytes_buf(key_.data(), key_.size()); }

CredentialCache::Tag CredentialCache::TagOf(const std::string& nameKey,
                                            const std::string& passwordHash,
                                            const std::string& digest) const {
  // The name goes in too, so one account's entry never answers for another; neither holds a
  // NUL, so the fields cannot run into each other.
  std::string input = nameKey + '\0' + passwordHash + '\0' + digest;
  Tag tag{};
  crypto_generichash(tag.data(), tag.size(), reinterpret_cast<const unsigned char*>(input.data()),
                     input.size(), key_.data(), key_.size());
  return tag;
}

void CredentialCache::Remember(const std::string& nameKey, const std::string& passwordHash,
                               const std::string& digest) {
  entries_[nameKey] = TagOf(nameKey, passwordHash, digest);
}

bool CredentialCache::Matches(const std::string& nameKey, const std::string& passwordHash,
                              const std::string& digest) const {
  auto it = entries_.find(nameKey);
  if (it == entries_.end()) return false;
  Tag tag = TagOf(nameKey, passwordHash, digest);
  return sodium_memcmp(tag.data(), it->second.data(), tag.size()) == 0;
}

}  // namespace lobbyd
