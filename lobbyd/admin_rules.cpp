#include "lobbyd/admin_rules.h"

#include "lobbyd/text.h"
#include "protocol/session_messages.h"

namespace lobbyd {
namespace {

constexpr std::string_view kNotStored =
    "The server could not store that change now; please try again later.";

}  // namespace

void AdminRules::Register(CommandTable& commands) {
  using When = CommandTable::When;
  commands.Add(msg::kRemUser, When::kSignedIn, this, &AdminRules::OnRemUser);
  commands.Add(msg::kSuspend, When::kSignedIn, this, &AdminRules::OnSuspend);
  commands.Add(msg::kUnsuspend, When::kSignedIn, this, &AdminRules::OnUnsuspend);
  commands.Add(msg::kChngPass, When::kSignedIn, this, &AdminRules::OnChngPass);
}

AccountRecord* AdminRules::AdminTarget(Participant& session, const std::string& name,
                                       bool mayBeSelf) {
  if (session.pilot.presence != Pilot::Presence::kAdmin) {
    session.Log("administration refused (not in admin mode)");
    lobby_.Warn(session, "You must be in admin mode to do that!");
    return nullptr;
  }
  AccountRecord* account = lobby_.accounts.Find(name);
  if (!account) {
    lobby_.Warn(session, "There is no pilot named " + name + "!");
    return nullptr;
  }
  if (!mayBeSelf && NameKey(name) == session.pilot.key) {
    lobby_.Warn(session, "You cannot do that to your own account!");
    return nullptr;
  }
  return account;
}

// Every change takes effect only once it is stored: a change the administrator is told failed
// must not hold until the next restart, nor be stored later with another write. A sign-in
// whose read of the account was asked before the change gets its result before the change's
// (the store's results come back in the order asked), so the change wins over it.
void AdminRules::OnRemUser(Participant& session, const std::string& args) {
  AccountRecord* account = AdminTarget(session, args, false);
  if (!account) return;
  std::string name = account->name;
  session.Pause();
  lobby_.Write(
      &session, [name](Store& store) { return store.DeleteAccount(name); },
      [this, key = NameKey(name)](Participant* asker, bool stored) {
        auto it = lobby_.accounts.ByKey().find(key);
        if (stored && it != lobby_.accounts.ByKey().end()) {
          std::string name = it->second.name;
          if (Participant* victim = lobby_.roster.Find(name)) {
            victim->Send(
                cv3::FormatLine(msg::kError, "Your account has been removed by an administrator."));
            lobby_.SignOff(*victim, "signed off (account removed)");
            victim->CloseAfterFlush("closed (account removed)");
          }
          // Its games go too: whoever later takes the free ID must not inherit them.
          lobby_.RemoveGamesOwnedBy(key);
          lobby_.accounts.Verified().Forget(key);
          lobby_.accounts.ByKey().erase(it);
          lobby_.roster.AccountsChanged();
          if (asker) asker->Log("removed account " + EventLog::Escape(name, 40));
          lobby_.AccountStored(name, true);
          lobby_.BroadcastEverywhere(cv3::FormatLine(msg::kRemUser, name));
        }
        if (!asker) return;
        if (!stored) lobby_.Warn(*asker, kNotStored);
        asker->Resume();
      });
}

void AdminRules::OnSuspend(Participant& session, const std::string& args) {
  AccountRecord* account = AdminTarget(session, args, false);
  if (!account) return;
  AccountRecord changed = *account;
  changed.suspended = true;
  ChangeWhenStored(
      session, changed, Store::AccountPart::kSuspension,
      [this](AccountRecord& account) {
        account.suspended = true;
        lobby_.accounts.Verified().Forget(NameKey(account.name));
        if (Participant* victim = lobby_.roster.Find(account.name)) {
          victim->Send(
              cv3::FormatLine(msg::kError, "Your account has been suspended by an administrator."));
          lobby_.SignOff(*victim, "signed off (account suspended)");
          victim->CloseAfterFlush("closed (account suspended)");
        }
      },
      account->name + " has been suspended.");
}

void AdminRules::ChangeWhenStored(Participant& session, const AccountRecord& changed,
                                  Store::AccountPart part,
                                  std::function<void(AccountRecord&)> apply,
                                  std::string confirmation) {
  session.Pause();
  lobby_.SaveAccount(&session, changed, part,
                     [this, key = NameKey(changed.name), apply = std::move(apply),
                      confirmation = std::move(confirmation)](Participant* asker, bool stored) {
                       auto it = lobby_.accounts.ByKey().find(key);
                       if (stored && it != lobby_.accounts.ByKey().end()) {
                         apply(it->second);
                         if (asker) asker->Log(confirmation);
                       }
                       if (!asker) return;
                       lobby_.Warn(*asker, stored ? std::string_view(confirmation) : kNotStored);
                       asker->Resume();
                     });
}

void AdminRules::OnUnsuspend(Participant& session, const std::string& args) {
  AccountRecord* account = AdminTarget(session, args, true);
  if (!account) return;
  AccountRecord changed = *account;
  changed.suspended = false;
  ChangeWhenStored(
      session, changed, Store::AccountPart::kSuspension,
      [](AccountRecord& account) { account.suspended = false; },
      account->name + " is no longer suspended.");
}

void AdminRules::OnChngPass(Participant& session, const std::string& args) {
  auto fields = cv3::ParseChngPassCommand(args);
  if (!fields) {
    lobby_.Ignore(session, msg::kChngPass, "no password");
    return;
  }
  const std::string& name = fields->name;
  std::string& digest = fields->digest;
  AccountRecord* account = AdminTarget(session, name, true);
  if (!account) return;
  if (!IsPasswordDigest(digest)) {
    lobby_.Warn(session, "The new password could not be read; please try again.");
    return;
  }
  std::string key = NameKey(name);
  session.Pause();
  lobby_.pool.Hash(std::move(digest),
                   [this, weak = session.weak_from_this(), key](std::optional<std::string> hash) {
                     auto self = weak.lock();
                     if (!self || !self->Open()) return;
                     auto it = lobby_.accounts.ByKey().find(key);
                     if (!hash || it == lobby_.accounts.ByKey().end()) {
                       lobby_.Warn(*self, "The password could not be changed; please try again.");
                       self->Resume();
                       return;
                     }
                     AccountRecord changed = it->second;
                     changed.passwordHash = *hash;
                     self->Resume();
                     ChangeWhenStored(
                         *self, changed, Store::AccountPart::kPassword,
                         [hash = *hash](AccountRecord& account) { account.passwordHash = hash; },
                         "The password of " + it->second.name + " has been changed.");
                   });
}

}  // namespace lobbyd
