// The accounts in memory (written through to the Store by the lobby) and what guards signing in
// and creating them: the queue of password checks, the credentials verified during this run, and
// the per-account and per-address throttles. io thread only.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "lobbyd/credential_cache.h"
#include "lobbyd/hash_queue.h"
#include "lobbyd/options.h"
#include "lobbyd/records.h"
#include "lobbyd/throttle.h"

namespace lobbyd {

class Accounts {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // `hashThreads`: the password checks that run side by side.
  Accounts(const LobbyOptions& options, unsigned hashThreads);

  // By name key, sorted for the pilot list.
  std::map<std::string, AccountRecord>& ByKey() { return accounts_; }
  AccountRecord* Find(std::string_view name);

  // True when sign-ins from the address have failed too often within the last minute. Sign-ins
  // under way count as failures until they are over: guesses sent side by side cannot get more
  // than the failures allowed checked.
  bool TooManyFailures(const std::string& address, TimePoint now);
  void Failed(const std::string& address, TimePoint now) { signInFailures_.Record(address, now); }
  // True when the account or the address has signed in too often within the last minute.
  bool SignInsBlocked(const std::string& key, const std::string& address, TimePoint now);
  void SignedIn(const std::string& key, const std::string& address, TimePoint now);
  // On another node of the cluster: the account's sign-ins count alike everywhere.
  void SignedInElsewhere(const std::string& key, TimePoint now) {
    accountSignIns_.Record(key, now);
  }
  // New accounts from one address, counted when the work starts.
  bool CreationsBlocked(const std::string& address, TimePoint now) {
    return accountsCreated_.Blocked(address, now);
  }
  void Creating(const std::string& address, TimePoint now) {
    accountsCreated_.Record(address, now);
  }
  // Counts a sign-in from the address between AUTH and its outcome, until the token's last copy
  // is gone.
  std::shared_ptr<void> CountSignIn(const std::string& address);

  HashQueue& Checks() { return hashQueue_; }
  const HashQueue& Checks() const { return hashQueue_; }
  CredentialCache& Verified() { return verified_; }
  // Forgets throttle entries that have served their purpose.
  void Sweep(TimePoint now);

 private:
  size_t SignInsUnderWay(const std::string& address) const;

  std::map<std::string, AccountRecord> accounts_;
  // Sign-ins under way by address. Shared with their tokens, which may outlive the lobby in
  // work the pool or the io_context drops at a stop; declared before the queue that holds some.
  using SignInCounts = std::unordered_map<std::string, size_t>;
  std::shared_ptr<SignInCounts> signInsUnderWay_ = std::make_shared<SignInCounts>();
  HashQueue hashQueue_;
  CredentialCache verified_;
  // Successful sign-ins within a minute, by name key and by address: each announces the pilot
  // to everyone twice (on and off).
  AddressThrottle accountSignIns_;
  AddressThrottle addressSignIns_;
  AddressThrottle signInFailures_;
  AddressThrottle accountsCreated_;
};

}  // namespace lobbyd
