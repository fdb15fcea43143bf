// Sign-in, account creation and the ends of a session.
#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/session_messages.h"
#include "protocol/text_helpers.h"

namespace lobbyd {
namespace {

constexpr std::string_view kBadCharacters =
    "One of your fields contains disallowed punctuation or letters!";

// The client's own check, and no control characters either: an ID or address with them could
// not be shown or typed by anyone.
bool IsSafeField(std::string_view text) {
  return !HasControlCharacters(text) && cv3::IsSafeName(text);
}

}  // namespace

void Lobby::OnAuth(Session& session, const std::string& args) {
  // No ":" at all leaves an empty ID, which no account has: the request fails like any other.
  cv3::AuthFields fields = cv3::ParseAuthCommand(args);
  const std::string& id = fields.id;
  if (signInFailures_.Blocked(session.Address(), clock_.Steady())) {
    session.Log("sign-in refused for " + EventLog::Escape(id, 40) +
                " (too many failures from this address)");
    session.Send(cv3::FormatLine(msg::kAuthAck, msg::kFailed));
    return;
  }
  const AccountRecord* account = id.empty() ? nullptr : FindAccount(id);
  std::string key = account ? NameKey(id) : std::string();
  // An unknown ID costs the same verify as a known one.
  std::string hash = account ? account->passwordHash : dummyHash_;
  session.Pause();
  pool_.Verify(hash, std::move(fields.digest),
               [this, weak = session.weak_from_this(), id, key, hash](bool ok) {
                 auto self = weak.lock();
                 if (!self || !self->Open()) return;
                 FinishAuth(*self, id, key, hash, ok);
                 self->Resume();
               });
}

void Lobby::FinishAuth(Session& session, const std::string& id, const std::string& key,
                       const std::string& hash, bool ok) {
  auto it = key.empty() ? accounts_.end() : accounts_.find(key);
  // The account may have been removed, or its password changed, while the verify ran.
  if (!ok || it == accounts_.end() || it->second.passwordHash != hash) {
    signInFailures_.Record(session.Address(), clock_.Steady());
    session.Log("sign-in failed for " + EventLog::Escape(id, 40));
    session.Send(cv3::FormatLine(msg::kAuthAck, msg::kFailed));
    return;
  }
  AccountRecord& account = it->second;
  if (account.banned) {
    session.Log("sign-in refused for " + EventLog::Escape(id, 40) + " (banned)");
    session.Send(cv3::FormatLine(msg::kAuthAck, msg::kPermban));
    return;
  }
  if (account.suspended) {
    session.Log("sign-in refused for " + EventLog::Escape(id, 40) + " (suspended)");
    session.Send(cv3::FormatLine(msg::kAuthAck, msg::kSuspended));
    return;
  }
  SignIn(session, account);
}

void Lobby::RefuseCreate(Session& session, std::string_view reason) {
  session.Log("account creation refused: " + std::string(reason));
  Warn(session, reason);
  session.Send(cv3::FormatLine(msg::kAuthAck, msg::kFailed));
}

void Lobby::OnCreate(Session& session, const std::string& args) {
  auto fields = cv3::ParseCreateCommand(args);
  if (!fields) {
    RefuseCreate(session, "Your account request is missing the password or e-mail address.");
    return;
  }
  const std::string& id = fields->id;
  std::string& digest = fields->digest;
  const std::string& email = fields->email;
  if (CharacterCount(TrimSpaces(id)) < 3) {
    RefuseCreate(session, "Corvane ID must be 3 letters/numbers or more!");
    return;
  }
  if (!IsSafeField(id) || !IsSafeField(digest) || !IsSafeField(email)) {
    RefuseCreate(session, kBadCharacters);
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
  if (FindAccount(id)) {
    RefuseCreate(session, "That Corvane ID is already taken; please choose another.");
    return;
  }
  // Counted when the work starts, so requests sent side by side cannot slip through together.
  if (accountsCreated_.Blocked(session.Address(), clock_.Steady())) {
    RefuseCreate(
        session,
        "Too many Corvane IDs have been created from your address; please try again later.");
    return;
  }
  accountsCreated_.Record(session.Address(), clock_.Steady());
  session.Pause();
  pool_.Hash(std::move(digest), [this, weak = session.weak_from_this(), id,
                                 email](std::optional<std::string> hash) {
    auto self = weak.lock();
    if (!self || !self->Open()) return;
    if (!hash) {
      RefuseCreate(*self, "The server could not create your account now; please try later.");
    } else if (FindAccount(id)) {  // taken by another request while this one was hashed
      RefuseCreate(*self, "That Corvane ID is already taken; please choose another.");
    } else {
      AccountRecord account;
      account.name = id;
      account.passwordHash = std::move(*hash);
      account.createdAt = NowSeconds();
      account.profile.email = email;
      auto [it, inserted] = accounts_.emplace(NameKey(id), std::move(account));
      Persist(it->second);
      self->Log("account created for " + EventLog::Escape(id, 40));
      SignIn(*self, it->second);
    }
    self->Resume();
  });
}

void Lobby::OnQuit(Session& session, const std::string&) {
  session.Send(cv3::FormatLine(msg::kQuitAck, msg::kOk));
  SignOff(session, "signed off (quit)");
  session.CloseAfterFlush("closed (quit)");
}

void Lobby::OnDisconnect(Session& session, const std::string&) {
  session.Send(msg::kDisconnectAck);
  SignOff(session, "signed off (disconnect)");
  session.CloseAfterFlush("closed (disconnect)");
}

}  // namespace lobbyd
