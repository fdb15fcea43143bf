// What the operator asks for on the command line before the server starts serving: seed
// accounts, grant administrator rights, ban or unban. Works on the Store directly, before the
// lobby loads it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "lobbyd/clock.h"
#include "lobbyd/event_log.h"
#include "lobbyd/hasher.h"
#include "lobbyd/options.h"
#include "lobbyd/store.h"

namespace lobbyd {

struct StartupActions {
  std::vector<std::pair<std::string, std::string>> addAccounts;  // name, password (UTF-8)
  std::vector<std::string> admins;
  std::vector<std::string> bans;
  std::vector<std::string> unbans;
  unsigned maxIdLength = LobbyOptions{}.maxIdLength;  // new IDs follow the server's rules
};

// Empty text on success, else the first failure (for instance an unknown account).
std::string ApplyStartupActions(Store& store, const PasswordHasher& hasher, const Clock& clock,
                                const StartupActions& actions, EventLog& log);

}  // namespace lobbyd
