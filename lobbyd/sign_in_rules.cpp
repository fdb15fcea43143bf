#include "lobbyd/sign_in_rules.h"

#include "lobbyd/text.h"
#include "protocol/session_messages.h"
#include "protocol/text_helpers.h"

namespace lobbyd {
namespace {

constexpr std::string_view kServerBusy = "The server is busy; please try again in a moment.";
constexpr std::string_view kNotStored =
    "The server could not store your account now; please try again later.";

// The client's own check, and no hidden characters either: an ID with them could not be told
// from another, shown or typed by anyone.
bool IsSafeField(std::string_view text) {
  return !HasHiddenCharacters(text) && cv3::IsSafeName(text);
}

}  // namespace

void SignInRules::Register(CommandTable& commands) {
  using When = CommandTable::When;
  commands.Add(msg::kAuth, When::kBeforeSignIn, this, &SignInRules::OnAuth);
  commands.Add(msg::kCreate, When::kBeforeSignIn, this, &SignInRules::OnCreate);
  commands.Add(msg::kQuit, When::kEither, this, &SignInRules::OnQuit);
  commands.Add(msg::kDisconnect, When::kSignedIn, this, &SignInRules::OnDisconnect);
}

void SignInRules::OnAuth(Participant& session, const std::string& args) {
  // No ":" at all leaves an empty ID, which no account has: the request fails like any other.
  cv3::AuthFields fields = cv3::ParseAuthCommand(args);
  const std::string& address = session.Address();
  // Sign-ins under way count as failures until they are over: guesses sent side by side cannot
  // get more than the failures allowed checked.
  if (lobby_.accounts.TooManyFailures(address, lobby_.clock.Steady())) {
    session.Log("sign-in refused for " + EventLog::Escape(fields.id, 40) +
                " (too many failures from this address)");
    lobby_.metrics.Count(SignInResult::kThrottled);
    lobby_.metrics.Count(Refusal::kThrottled);
    session.Send(cv3::FormatLine(msg::kAuthAck, msg::kFailed));
    return;
  }
  if (!fields.id.empty() && !SignInsAllowed(session, NameKey(fields.id), fields.id)) return;
  session.Pause();
  // The account as the store has it now: the operator may have added it, or changed its rights
  // or ban, while the server runs. Read before the password check, so the hash threads never
  // wait for the store.
  auto stored = std::make_shared<std::optional<AccountRecord>>();
  std::string id = fields.id;
  lobby_.Write(
      &session,
      [stored, id](Store& store) {
        return id.empty() ? std::string() : store.LoadAccount(id, *stored);
      },
      // A failed read leaves what the server knows; the sign-in goes on. So does one whose
      // batch failed to commit: what it read may never have been. Results come back in the
      // order asked, so an administrator's change asked after this read is applied after it.
      [this, stored, fields = std::move(fields), underWay = lobby_.accounts.CountSignIn(address)](
          Participant* asker, bool read) mutable {
        if (read && *stored) TakeOperatorChanges(std::move(**stored));
        if (asker) CheckPassword(*asker, std::move(fields), std::move(underWay));
      });
}

bool SignInRules::SignInsAllowed(Participant& session, const std::string& key,
                                 const std::string& id) {
  auto now = lobby_.clock.Steady();
  if (!lobby_.accounts.SignInsBlocked(key, session.Address(), now)) return true;
  session.Log("sign-in refused for " + EventLog::Escape(id, 40) + " (signing in too often)");
  lobby_.metrics.Count(SignInResult::kThrottled);
  lobby_.metrics.Count(Refusal::kThrottled);
  lobby_.Warn(session, "You have signed in too often; please wait a minute and try again.");
  session.Send(cv3::FormatLine(msg::kAuthAck, msg::kFailed));
  return false;
}

void SignInRules::TakeOperatorChanges(AccountRecord stored) {
  std::string key = NameKey(stored.name);
  auto it = lobby_.accounts.ByKey().find(key);
  if (it == lobby_.accounts.ByKey().end()) {
    lobby_.accounts.ByKey().emplace(std::move(key),
                                    std::move(stored));  // added while the server runs
    lobby_.roster.AccountsChanged();
    return;
  }
  it->second.admin = stored.admin;
  it->second.banned = stored.banned;
  // Another node of a cluster may have changed these (stored before it said so, so the store
  // has them); on its own the lobby has them already.
  it->second.passwordHash = stored.passwordHash;
  it->second.suspended = stored.suspended;
  if (stored.banned || stored.suspended) lobby_.accounts.Verified().Forget(it->first);
}

void SignInRules::CheckPassword(Participant& session, cv3::AuthFields fields,
                                std::shared_ptr<void> underWay) {
  const std::string& id = fields.id;
  const AccountRecord* account = id.empty() ? nullptr : lobby_.accounts.Find(id);
  std::string key = account ? NameKey(id) : std::string();
  // An unknown ID costs the same verify as a known one.
  std::string hash = account ? account->passwordHash : dummyHash_;
  if (!key.empty() && lobby_.accounts.Verified().Matches(key, hash, fields.digest)) {
    // Verified before during this run, against this very hash: no second full check, and no
    // wait behind the sign-ins that need one.
    FinishAuth(session, id, key, hash, true);
    session.Resume();
    return;
  }
  bool queued = lobby_.accounts.Checks().Add(
      session.Address(),
      [this, weak = session.weak_from_this(), id, key, hash, digest = std::move(fields.digest),
       underWay, asked = lobby_.clock.Steady()](HashQueue::Done done) {
        lobby_.metrics.passwordCheckWait.Observe(lobby_.clock.Steady() - asked);
        if (auto self = weak.lock(); !self || !self->Open()) return done();
        lobby_.pool.Verify(hash, digest,
                           [this, weak, id, key, hash, digest, done, underWay](bool ok) {
                             if (ok && !key.empty()) {
                               lobby_.accounts.Verified().Remember(key, hash, digest);
                             }
                             // The failure is counted before the sign-in stops counting as under
                             // way.
                             if (auto self = weak.lock(); self && self->Open()) {
                               FinishAuth(*self, id, key, hash, ok);
                               self->Resume();
                             }
                             done();
                             // Each check thread keeps its last check's working memory (19 MiB) for
                             // the next; once none waits, that goes back at once rather than at the
                             // next tidy.
                             if (lobby_.accounts.Checks().Total() == 0) lobby_.ReleaseFreedMemory();
                           });
      });
  if (!queued) {
    session.Log("sign-in refused for " + EventLog::Escape(id, 40) + " (password checks queued)");
    lobby_.metrics.Count(SignInResult::kBusy);
    lobby_.metrics.Count(Refusal::kBusy);
    lobby_.Warn(session, kServerBusy);
    session.Send(cv3::FormatLine(msg::kAuthAck, msg::kFailed));
    session.Resume();
  }
}

void SignInRules::FinishAuth(Participant& session, const std::string& id, const std::string& key,
                             const std::string& hash, bool ok) {
  auto it = key.empty() ? lobby_.accounts.ByKey().end() : lobby_.accounts.ByKey().find(key);
  // The account may have been removed, or its password changed, while the verify ran.
  if (!ok || it == lobby_.accounts.ByKey().end() || it->second.passwordHash != hash) {
    lobby_.accounts.Failed(session.Address(), lobby_.clock.Steady());
    session.Log("sign-in failed for " + EventLog::Escape(id, 40));
    lobby_.metrics.Count(SignInResult::kFailed);
    session.Send(cv3::FormatLine(msg::kAuthAck, msg::kFailed));
    return;
  }
  AccountRecord& account = it->second;
  if (account.banned) {
    session.Log("sign-in refused for " + EventLog::Escape(id, 40) + " (banned)");
    lobby_.metrics.Count(SignInResult::kBanned);
    session.Send(cv3::FormatLine(msg::kAuthAck, msg::kPermban));
    return;
  }
  if (account.suspended) {
    session.Log("sign-in refused for " + EventLog::Escape(id, 40) + " (suspended)");
    lobby_.metrics.Count(SignInResult::kSuspended);
    session.Send(cv3::FormatLine(msg::kAuthAck, msg::kSuspended));
    return;
  }
  // Again, for sign-ins that were under way side by side.
  if (!SignInsAllowed(session, key, id)) return;
  lobby_.SignIn(session, account);
}

void SignInRules::RefuseCreate(Participant& session, std::string_view reason) {
  session.Log("account creation refused: " + std::string(reason));
  lobby_.Warn(session, reason);
  session.Send(cv3::FormatLine(msg::kAuthAck, msg::kFailed));
}

void SignInRules::OnCreate(Participant& session, const std::string& args) {
  auto fields = cv3::ParseCreateCommand(args);
  if (!fields) {
    RefuseCreate(session, "Your account request is missing the password or e-mail address.");
    return;
  }
  const std::string& id = fields->id;
  std::string& digest = fields->digest;
  const std::string& email = fields->email;
  if (auto problem = NewIdProblem(id, lobby_.options.maxIdLength); !problem.empty()) {
    RefuseCreate(session, problem);
    return;
  }
  if (CharacterCount(email) > lobby_.options.maxProfileFieldLength) {
    RefuseCreate(session, "Your e-mail address is too long!");
    return;
  }
  if (!IsSafeField(digest) || !IsSafeField(email)) {
    RefuseCreate(session, kDisallowedCharacters);
    return;
  }
  if (email.find('@') == std::string::npos) {
    RefuseCreate(session, "You must enter a valid e-mail address!");
    return;
  }
  if (!IsPasswordDigest(digest)) {
    RefuseCreate(session, "Your password could not be read; please try again.");
    return;
  }
  if (lobby_.accounts.Find(id)) {
    RefuseCreate(session, "That Corvane ID is already taken; please choose another.");
    return;
  }
  // Counted when the work starts, so requests sent side by side cannot slip through together.
  if (lobby_.accounts.CreationsBlocked(session.Address(), lobby_.clock.Steady())) {
    lobby_.metrics.Count(Refusal::kThrottled);
    RefuseCreate(
        session,
        "Too many Corvane IDs have been created from your address; please try again later.");
    return;
  }
  session.Pause();
  bool queued = lobby_.accounts.Checks().Add(
      session.Address(), [this, weak = session.weak_from_this(), id, email,
                          digest = std::move(digest)](HashQueue::Done done) mutable {
        if (auto self = weak.lock(); !self || !self->Open()) return done();
        lobby_.pool.Hash(std::move(digest),
                         [this, weak, id, email, done](std::optional<std::string> hash) {
                           if (auto self = weak.lock(); self && self->Open()) {
                             FinishCreate(*self, id, email, hash);
                           }
                           done();
                         });
      });
  if (!queued) {
    lobby_.metrics.Count(Refusal::kBusy);
    RefuseCreate(session, kServerBusy);
    session.Resume();
    return;
  }
  lobby_.accounts.Creating(session.Address(), lobby_.clock.Steady());
}

void SignInRules::FinishCreate(Participant& session, const std::string& id,
                               const std::string& email, std::optional<std::string>& hash) {
  if (!hash) {
    RefuseCreate(session, "The server could not create your account now; please try later.");
  } else if (lobby_.accounts.Find(id)) {  // taken by another request while this one was hashed
    RefuseCreate(session, "That Corvane ID is already taken; please choose another.");
  } else {
    AccountRecord account;
    account.name = id;
    account.passwordHash = std::move(*hash);
    account.createdAt = lobby_.NowSeconds();
    account.profile.email = email;
    // Taken at once, so no second request gets the ID; signed in once it is stored.
    std::string key = NameKey(id);
    lobby_.accounts.ByKey().emplace(key, account);
    lobby_.roster.AccountsChanged();
    lobby_.Write(
        &session, [account](Store& store) { return store.CreateAccount(account); },
        [this, key, account](Participant* asker, bool stored) {
          auto it = lobby_.accounts.ByKey().find(key);
          if (!stored && it != lobby_.accounts.ByKey().end()) {
            lobby_.accounts.ByKey().erase(it);
            lobby_.roster.AccountsChanged();
          }
          if (stored) lobby_.AccountStored(account.name);
          if (!asker) return;
          if (!stored) {
            RefuseCreate(*asker, kNotStored);
          } else if (it != lobby_.accounts.ByKey().end()) {
            asker->Log("account created for " + EventLog::Escape(it->second.name, 40));
            lobby_.SignIn(*asker, it->second);
          }
          asker->Resume();
        });
    return;
  }
  session.Resume();
}

void SignInRules::OnQuit(Participant& session, const std::string&) {
  session.Send(cv3::FormatLine(msg::kQuitAck, msg::kOk));
  lobby_.SignOff(session, "signed off (quit)");
  session.CloseAfterFlush("closed (quit)");
}

void SignInRules::OnDisconnect(Participant& session, const std::string&) {
  session.Send(msg::kDisconnectAck);
  lobby_.SignOff(session, "signed off (disconnect)");
  session.CloseAfterFlush("closed (disconnect)");
}

}  // namespace lobbyd
