// Password hashing: the digest a client sends is stored only as crypto_pwhash_str (Argon2id) of
// it. Thread-safe; the hash pool calls it from its workers, never from the io thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lobbyd {

class PasswordHasher {
 public:
  virtual ~PasswordHasher() = default;
  // Nothing when hashing failed (out of memory).
  virtual std::optional<std::string> Hash(std::string_view digest) const = 0;
  virtual bool Verify(std::string_view hash, std::string_view digest) const = 0;
};

class SodiumHasher final : public PasswordHasher {
 public:
  // Argon2id with 19 MiB and 2 passes: what the server uses.
  static SodiumHasher Standard();
  // The least work libsodium allows; for tests only.
  static SodiumHasher Cheapest();

  std::optional<std::string> Hash(std::string_view digest) const override;
  bool Verify(std::string_view hash, std::string_view digest) const override;

 private:
  SodiumHasher(unsigned long long opsLimit, size_t memLimit)
      : opsLimit_(opsLimit), memLimit_(memLimit) {}
  unsigned long long opsLimit_;
  size_t memLimit_;
};

// libsodium must be initialised once before any hashing; false when it cannot be.
bool InitSodium();

}  // namespace lobbyd
