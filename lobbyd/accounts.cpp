#include "lobbyd/accounts.h"

#include <algorithm>

#include "lobbyd/text.h"

namespace lobbyd {
namespace {

constexpr unsigned kChecksAheadPerThread = 8;

// After this many failed sign-ins from one address within a minute, the address waits.
constexpr size_t kSignInFailuresPerMinute = 5;

// Successful sign-ins of one account within a minute: a player signs in a few times a day. One
// address may sign in each connection it may hold twice a minute, so all the pilots behind it
// come back at once after a network fault or a restart.
constexpr size_t kSignInsPerAccountPerMinute = 6;
constexpr size_t kSignInsPerConnectionPerMinute = 2;

}  // namespace

Accounts::Accounts(const LobbyOptions& options, unsigned hashThreads)
    :  // Several checks ahead per thread, so none waits while the io thread is busy (a chat line
       // to 10,000 pilots keeps it for tens of milliseconds).
      hashQueue_({kChecksAheadPerThread * hashThreads, std::max(options.hashQueuePerAddress, 1u),
                  std::max(options.hashQueue, 1u)}),
      accountSignIns_(kSignInsPerAccountPerMinute, std::chrono::minutes(1)),
      addressSignIns_(kSignInsPerConnectionPerMinute * std::max(options.connectionsPerAddress, 1u),
                      std::chrono::minutes(1)),
      signInFailures_(kSignInFailuresPerMinute, std::chrono::minutes(1)),
      accountsCreated_(std::max(options.accountsPerHour, 1u), std::chrono::hours(1)) {}

AccountRecord* Accounts::Find(std::string_view name) {
  auto it = accounts_.find(NameKey(name));
  return it == accounts_.end() ? nullptr : &it->second;
}

bool Accounts::TooManyFailures(const std::string& address, TimePoint now) {
  return signInFailures_.Count(address, now) + SignInsUnderWay(address) >= signInFailures_.Limit();
}

bool Accounts::SignInsBlocked(const std::string& key, const std::string& address, TimePoint now) {
  return accountSignIns_.Blocked(key, now) || addressSignIns_.Blocked(address, now);
}

void Accounts::SignedIn(const std::string& key, const std::string& address, TimePoint now) {
  accountSignIns_.Record(key, now);
  addressSignIns_.Record(address, now);
}

size_t Accounts::SignInsUnderWay(const std::string& address) const {
  auto it = signInsUnderWay_->find(address);
  return it == signInsUnderWay_->end() ? 0 : it->second;
}

std::shared_ptr<void> Accounts::CountSignIn(const std::string& address) {
  ++(*signInsUnderWay_)[address];
  return std::shared_ptr<void>(nullptr, [counts = signInsUnderWay_, address](void*) {
    if (auto it = counts->find(address); it != counts->end() && --it->second == 0)
      counts->erase(it);
  });
}

void Accounts::Sweep(TimePoint now) {
  for (auto* throttle : {&accountSignIns_, &addressSignIns_, &signInFailures_, &accountsCreated_})
    throttle->Sweep(now);
}

}  // namespace lobbyd
