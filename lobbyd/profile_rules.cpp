#include "lobbyd/profile_rules.h"

#include "lobbyd/text.h"
#include "protocol/profile_messages.h"
#include "protocol/text_helpers.h"

namespace lobbyd {

void ProfileRules::Register(CommandTable& commands) {
  using When = CommandTable::When;
  commands.Add(msg::kUserInfo, When::kSignedIn, this, &ProfileRules::OnUserInfo);
  commands.Add(msg::kEditProfile, When::kSignedIn, this, &ProfileRules::OnEditProfile);
  commands.Add(
      msg::kSaveProfile, When::kSignedIn, this, &ProfileRules::OnSaveProfile,
      CommandTable::Limit{
          FloodKind::kChanges,
          LobbyContext::WarningLine("Your profile was not saved; please try again in a moment.")});
}

void ProfileRules::SendProfile(Participant& session, const AccountRecord& account,
                               std::string_view reply) {
  std::string lastOn = "Never";
  Participant* online = lobby_.roster.Find(account.name);
  bool hidden = online && online->pilot.presence == Pilot::Presence::kInvisible;
  int64_t lastSeen = hidden ? online->pilot.hiddenSince : account.lastOn;
  if (online && !hidden) {
    lastOn = "Online now";
  } else if (lastSeen != 0) {
    lastOn = DateTimeText(std::chrono::system_clock::time_point(std::chrono::seconds(lastSeen)));
  }
  auto since = std::chrono::system_clock::time_point(std::chrono::seconds(account.createdAt));
  session.SendLines(
      cv3::ProfileAckLines(reply, {account.name, DateText(since), lastOn, account.profile}));
}

void ProfileRules::OnUserInfo(Participant& session, const std::string& args) {
  const AccountRecord* account = lobby_.accounts.Find(args);
  if (!account) {
    lobby_.Warn(session, "There is no pilot named " + args + "!");
    return;
  }
  SendProfile(session, *account, msg::kUserInfoAck);
}

void ProfileRules::OnEditProfile(Participant& session, const std::string& args) {
  const AccountRecord* account = lobby_.accounts.Find(session.pilot.name);
  if (NameKey(args) != session.pilot.key || !account) {
    lobby_.Warn(session, "You can only edit your own profile!");
    return;
  }
  SendProfile(session, *account, msg::kEditProfileAck);
}

void ProfileRules::OnSaveProfile(Participant& session, const std::string& args) {
  auto save = cv3::ParseSaveProfile(args);
  if (!save) {
    lobby_.Ignore(session, msg::kSaveProfile, "missing fields");
    return;
  }
  AccountRecord* account = lobby_.accounts.Find(session.pilot.name);
  if (NameKey(save->user) != session.pilot.key || !account) {
    lobby_.Warn(session, "You can only edit your own profile!");
    return;
  }
  cv3::ProfileFields& profile = save->fields;
  for (const std::string* field : {&profile.location, &profile.age, &profile.email, &profile.web}) {
    if (CharacterCount(*field) > lobby_.options.maxProfileFieldLength) {
      lobby_.Warn(session, "Your profile's fields must be at most " +
                               std::to_string(lobby_.options.maxProfileFieldLength) +
                               " characters each!");
      return;
    }
  }
  if (CharacterCount(profile.bio) > lobby_.options.maxBioLength) {
    lobby_.Warn(session, "Your biography must be at most " +
                             std::to_string(lobby_.options.maxBioLength) + " characters!");
    return;
  }
  // The client's own check on the fields it checks; the others travel as they are.
  for (const std::string* field : {&profile.location, &profile.age, &profile.email}) {
    if (!cv3::IsSafeText(*field) || HasControlCharacters(*field)) {
      lobby_.Warn(session, "One of your fields contains disallowed punctuation or letters!");
      return;
    }
  }
  cv3::ProfileFields before = account->profile;
  account->profile = std::move(profile);
  session.Pause();
  lobby_.SaveAccount(
      &session, *account, Store::AccountPart::kProfile,
      [this, key = session.pilot.key, before](Participant* asker, bool stored) {
        if (!stored) {
          // What the others are shown stays what is stored.
          if (auto it = lobby_.accounts.ByKey().find(key); it != lobby_.accounts.ByKey().end()) {
            it->second.profile = before;
          }
        }
        if (!asker) return;
        if (stored) {
          asker->Log("profile saved");
        } else {
          lobby_.Warn(*asker,
                      "The server could not store your profile now; please try again "
                      "later.");
        }
        asker->Resume();
      });
}

}  // namespace lobbyd
