#include "lobbyd/startup.h"

#include <map>

#include "lobbyd/text.h"
#include "protocol/md5.h"
#include "protocol/text_helpers.h"

namespace lobbyd {
namespace {

using Accounts = std::map<std::string, AccountRecord>;

std::string AddAccount(Store& store, const PasswordHasher& hasher, const Clock& clock,
                       Accounts& accounts, const std::string& name, const std::string& password,
                       unsigned maxIdLength, EventLog& log) {
  if (auto problem = NewIdProblem(name, maxIdLength); !problem.empty()) {
    return "cannot add account \"" + name + "\": " + problem;
  }
  if (accounts.count(NameKey(name))) {
    log.Server("account " + EventLog::Escape(name, 40) + " exists; left unchanged");
    return {};
  }
  // The client hashes the password's Windows-1252 bytes; so must this account's digest.
  auto digest = cv3::clsMD5().DigestStrToHexStr(password);
  if (!digest)
    return "cannot add account \"" + name +
           "\": the password has characters the "
           "client cannot send";
  auto hash = hasher.Hash(*digest);
  if (!hash) return "cannot add account \"" + name + "\": hashing failed";
  AccountRecord account;
  account.name = name;
  account.passwordHash = *hash;
  account.createdAt =
      std::chrono::duration_cast<std::chrono::seconds>(clock.Wall().time_since_epoch()).count();
  if (auto error = store.CreateAccount(account); !error.empty()) return error;
  accounts.emplace(NameKey(name), std::move(account));
  log.Server("account " + EventLog::Escape(name, 40) + " added");
  return {};
}

std::string Change(Store& store, Accounts& accounts, const std::string& name, const char* what,
                   std::string (Store::*change)(const std::string&, bool), bool value,
                   EventLog& log) {
  auto it = accounts.find(NameKey(name));
  if (it == accounts.end()) return "no account named \"" + name + "\" (" + what + ")";
  // Only the column this command owns: a running server may be writing the rest.
  if (auto error = (store.*change)(it->second.name, value); !error.empty()) return error;
  log.Server(std::string(what) + ": " + EventLog::Escape(it->second.name, 40));
  return {};
}

}  // namespace

std::string ApplyStartupActions(Store& store, const PasswordHasher& hasher, const Clock& clock,
                                const StartupActions& actions, EventLog& log) {
  std::vector<AccountRecord> loaded;
  if (auto error = store.LoadAccounts(loaded); !error.empty()) return error;
  Accounts accounts;
  for (auto& account : loaded) {
    std::string key = NameKey(account.name);
    accounts.emplace(std::move(key), std::move(account));
  }
  for (const auto& [name, password] : actions.addAccounts) {
    if (auto error =
            AddAccount(store, hasher, clock, accounts, name, password, actions.maxIdLength, log);
        !error.empty()) {
      return error;
    }
  }
  struct {
    const std::vector<std::string>& names;
    const char* what;
    std::string (Store::*change)(const std::string&, bool);
    bool value;
  } changes[] = {
      {actions.admins, "administrator rights granted", &Store::SetAdmin, true},
      {actions.bans, "banned", &Store::SetBanned, true},
      {actions.unbans, "unbanned", &Store::SetBanned, false},
  };
  for (const auto& group : changes) {
    for (const auto& name : group.names) {
      if (auto error = Change(store, accounts, name, group.what, group.change, group.value, log);
          !error.empty()) {
        return error;
      }
    }
  }
  return {};
}

}  // namespace lobbyd
