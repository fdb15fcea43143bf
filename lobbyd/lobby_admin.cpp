// Administration: removing, suspending and unsuspending accounts, setting passwords. Only in
// admin mode, which only accounts with administrator rights can enter.
#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/session_messages.h"

namespace lobbyd {
namespace {

constexpr std::string_view kNotStored =
    "The server could not store that change now; please try again later.";

}  // namespace

AccountRecord* Lobby::AdminTarget(Session& session, const std::string& name, bool mayBeSelf) {
  if (session.pilot.presence != Pilot::Presence::kAdmin) {
    session.Log("administration refused (not in admin mode)");
    Warn(session, "You must be in admin mode to do that!");
    return nullptr;
  }
  AccountRecord* account = FindAccount(name);
  if (!account) {
    Warn(session, "There is no pilot named " + name + "!");
    return nullptr;
  }
  if (!mayBeSelf && NameKey(name) == session.pilot.key) {
    Warn(session, "You cannot do that to your own account!");
    return nullptr;
  }
  return account;
}

void Lobby::OnRemUser(Session& session, const std::string& args) {
  AccountRecord* account = AdminTarget(session, args, false);
  if (!account) return;
  std::string name = account->name;
  std::string key = NameKey(name);
  if (Session* victim = FindPilot(name)) {
    victim->Send(
        cv3::FormatLine(msg::kError, "Your account has been removed by an administrator."));
    SignOff(*victim, "signed off (account removed)");
    victim->CloseAfterFlush("closed (account removed)");
  }
  // Its games go too: whoever later takes the free ID must not inherit them.
  RemoveGamesOwnedBy(key);
  verified_.Forget(key);
  accounts_.erase(key);
  AccountsChanged();
  session.Log("removed account " + EventLog::Escape(name, 40));
  Broadcast(cv3::FormatLine(msg::kRemUser, name));
  Write(
      &session, [name](Store& store) { return store.DeleteAccount(name); },
      [](Session* asker, bool stored) {
        if (asker && !stored) Warn(*asker, kNotStored);
      });
}

void Lobby::OnSuspend(Session& session, const std::string& args) {
  AccountRecord* account = AdminTarget(session, args, false);
  if (!account) return;
  account->suspended = true;
  verified_.Forget(NameKey(account->name));
  session.Log("suspended account " + EventLog::Escape(account->name, 40));
  if (Session* victim = FindPilot(account->name)) {
    victim->Send(
        cv3::FormatLine(msg::kError, "Your account has been suspended by an administrator."));
    SignOff(*victim, "signed off (account suspended)");
    victim->CloseAfterFlush("closed (account suspended)");
  }
  ConfirmWhenStored(session, *account, account->name + " has been suspended.");
}

void Lobby::ConfirmWhenStored(Session& session, const AccountRecord& account,
                              std::string confirmation) {
  session.Pause();
  SaveAccount(&session, account, [confirmation](Session* asker, bool stored) {
    if (!asker) return;
    Warn(*asker, stored ? std::string_view(confirmation) : kNotStored);
    asker->Resume();
  });
}

void Lobby::OnUnsuspend(Session& session, const std::string& args) {
  AccountRecord* account = AdminTarget(session, args, true);
  if (!account) return;
  account->suspended = false;
  session.Log("unsuspended account " + EventLog::Escape(account->name, 40));
  ConfirmWhenStored(session, *account, account->name + " is no longer suspended.");
}

void Lobby::OnChngPass(Session& session, const std::string& args) {
  auto fields = cv3::ParseChngPassCommand(args);
  if (!fields) {
    Ignore(session, msg::kChngPass, "no password");
    return;
  }
  const std::string& name = fields->name;
  std::string& digest = fields->digest;
  AccountRecord* account = AdminTarget(session, name, true);
  if (!account) return;
  if (!IsPasswordDigest(digest)) {
    Warn(session, "The new password could not be read; please try again.");
    return;
  }
  std::string key = NameKey(name);
  session.Pause();
  pool_.Hash(std::move(digest),
             [this, weak = session.weak_from_this(), key](std::optional<std::string> hash) {
               auto self = weak.lock();
               if (!self || !self->Open()) return;
               auto it = accounts_.find(key);
               if (!hash || it == accounts_.end()) {
                 Warn(*self, "The password could not be changed; please try again.");
                 self->Resume();
                 return;
               }
               it->second.passwordHash = std::move(*hash);
               self->Log("changed password of " + EventLog::Escape(it->second.name, 40));
               self->Resume();
               ConfirmWhenStored(*self, it->second,
                                 "The password of " + it->second.name + " has been changed.");
             });
}

}  // namespace lobbyd
