#include "lobbyd/hasher.h"

#include <sodium.h>

namespace lobbyd {

bool InitSodium() { return sodium_init() >= 0; }

SodiumHasher SodiumHasher::Standard() { return SodiumHasher(2, 19u * 1024 * 1024); }

SodiumHasher SodiumHasher::Cheapest() {
  return SodiumHasher(crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN);
}

std::optional<std::string> SodiumHasher::Hash(std::string_view digest) const {
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str_alg(out, digest.data(), digest.size(), opsLimit_, memLimit_,
                            crypto_pwhash_ALG_ARGON2ID13) != 0) {
    return std::nullopt;
  }
  return std::string(out);
}

bool SodiumHasher::Verify(std::string_view hash, std::string_view digest) const {
  // crypto_pwhash_str_verify wants a NUL-terminated string of bounded length.
  if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
  char stored[crypto_pwhash_STRBYTES] = {};
  hash.copy(stored, hash.size());
  return crypto_pwhash_str_verify(stored, digest.data(), digest.size()) == 0;
}

}  // namespace lobbyd
