// Profiles: viewing, fetching one's own for editing, saving it.
#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/profile_messages.h"
#include "protocol/text_helpers.h"

namespace lobbyd {

void Lobby::SendProfile(Participant& session, const AccountRecord& account,
                        std::string_view reply) {
  std::string lastOn = "Never";
  Participant* online = roster_.Find(account.name);
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

void Lobby::OnUserInfo(Participant& session, const std::string& args) {
  const AccountRecord* account = accounts_.Find(args);
  if (!account) {
    Warn(session, "There is no pilot named " + args + "!");
    return;
  }
  SendProfile(session, *account, msg::kUserInfoAck);
}

void Lobby::OnEditProfile(Participant& session, const std::string& args) {
  const AccountRecord* account = accounts_.Find(session.pilot.name);
  if (NameKey(args) != session.pilot.key || !account) {
    Warn(session, "You can only edit your own profile!");
    return;
  }
  SendProfile(session, *account, msg::kEditProfileAck);
}

void Lobby::OnSaveProfile(Participant& session, const std::string& args) {
  auto save = cv3::ParseSaveProfile(args);
  if (!save) {
    Ignore(session, msg::kSaveProfile, "missing fields");
    return;
  }
  AccountRecord* account = accounts_.Find(session.pilot.name);
  if (NameKey(save->user) != session.pilot.key || !account) {
    Warn(session, "You can only edit your own profile!");
    return;
  }
  cv3::ProfileFields& profile = save->fields;
  for (const std::string* field : {&profile.location, &profile.age, &profile.email, &profile.web}) {
    if (CharacterCount(*field) > options_.maxProfileFieldLength) {
      Warn(session, "Your profile's fields must be at most " +
                        std::to_string(options_.maxProfileFieldLength) + " characters each!");
      return;
    }
  }
  if (CharacterCount(profile.bio) > options_.maxBioLength) {
    Warn(session, "Your biography must be at most " + std::to_string(options_.maxBioLength) +
                      " characters!");
    return;
  }
  // The client's own check on the fields it checks; the others travel as they are.
  for (const std::string* field : {&profile.location, &profile.age, &profile.email}) {
    if (!cv3::IsSafeText(*field) || HasControlCharacters(*field)) {
      Warn(session, "One of your fields contains disallowed punctuation or letters!");
      return;
    }
  }
  cv3::ProfileFields before = account->profile;
  account->profile = std::move(profile);
  session.Pause();
  SaveAccount(&session, *account, Store::AccountPart::kProfile,
              [this, key = session.pilot.key, before](Participant* asker, bool stored) {
                if (!stored) {
                  // What the others are shown stays what is stored.
                  if (auto it = accounts_.ByKey().find(key); it != accounts_.ByKey().end()) {
                    it->second.profile = before;
                  }
                }
                if (!asker) return;
                if (stored) {
                  asker->Log("profile saved");
                } else {
                  Warn(*asker,
                       "The server could not store your profile now; please try again "
                       "later.");
                }
                asker->Resume();
              });
}

}  // namespace lobbyd
