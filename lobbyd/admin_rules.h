// Administration: removing (REMUSER), suspending (SUSPEND) and unsuspending (UNSUSPEND) accounts,
// setting passwords (CHNGPASS). Only in admin mode, which only accounts with administrator
// rights can enter; every change takes effect once it is stored. io thread only.
#pragma once

#include <functional>
#include <string>

#include "lobbyd/command_table.h"
#include "lobbyd/lobby_context.h"

namespace lobbyd {

class AdminRules {
 public:
  explicit AdminRules(LobbyContext& lobby) : lobby_(lobby) {}

  void Register(CommandTable& commands);

 private:
  void OnRemUser(Participant& session, const std::string& args);
  void OnSuspend(Participant& session, const std::string& args);
  void OnUnsuspend(Participant& session, const std::string& args);
  void OnChngPass(Participant& session, const std::string& args);
  AccountRecord* AdminTarget(Participant& session, const std::string& name, bool mayBeSelf);
  // Stores `changed`'s part of the account; once that is committed applies it to the account
  // in memory (`apply`, if it is still there) and tells the administrator `confirmation`.
  // When it fails nothing changes and he is told so.
  void ChangeWhenStored(Participant& session, const AccountRecord& changed, Store::AccountPart part,
                        std::function<void(AccountRecord&)> apply, std::string confirmation);

  LobbyContext& lobby_;
};

}  // namespace lobbyd
