// Profiles: viewing, fetching one's own for editing, saving it.
#include "lobbyd/lobby.h"
#include "lobbyd/text.h"
#include "protocol/text_helpers.h"

namespace lobbyd {

void Lobby::SendProfile(Session& session, const AccountRecord& account, std::string_view reply) {
  std::string prefix = std::string(reply) + ":";
  std::string lastOn = "Never";
  Session* online = FindPilot(account.name);
  if (online && online->pilot.presence != Pilot::Presence::kInvisible) {
    lastOn = "Online now";
  } else if (account.lastOn != 0) {
    lastOn =
        DateTimeText(std::chrono::system_clock::time_point(std::chrono::seconds(account.lastOn)));
  }
  auto since = std::chrono::system_clock::time_point(std::chrono::seconds(account.createdAt));
  const Profile& profile = account.profile;
  session.SendLines({
      prefix + "USER:" + account.name,
      prefix + "MEMSINCE:" + DateText(since),
      prefix + "LASTON:" + lastOn,
      prefix + "LOCATION:" + profile.location,
      prefix + "AGE:" + profile.age,
      prefix + "EMAIL:" + profile.email,
      prefix + "WEB:" + profile.web,
      prefix + "BIO:" + profile.bio,
      prefix + "OK",
  });
}

void Lobby::OnUserInfo(Session& session, const std::string& args) {
  const AccountRecord* account = FindAccount(args);
  if (!account) {
    Warn(session, "There is no pilot named " + args + "!");
    return;
  }
  SendProfile(session, *account, "USERINFO_ACK");
}

void Lobby::OnEditProfile(Session& session, const std::string& args) {
  const AccountRecord* account = FindAccount(session.pilot.name);
  if (NameKey(args) != session.pilot.key || !account) {
    Warn(session, "You can only edit your own profile!");
    return;
  }
  SendProfile(session, *account, "EDITPROFILE_ACK");
}

void Lobby::OnSaveProfile(Session& session, const std::string& args) {
  auto fields = cv3::SplitFields(args, 5);
  auto webAndBio = fields ? SplitWebAndBio((*fields)[4]) : std::nullopt;
  if (!webAndBio) {
    Ignore(session, msg::kSaveProfile, "missing fields");
    return;
  }
  AccountRecord* account = FindAccount(session.pilot.name);
  if (NameKey((*fields)[0]) != session.pilot.key || !account) {
    Warn(session, "You can only edit your own profile!");
    return;
  }
  Profile profile{(*fields)[1], (*fields)[2], (*fields)[3], webAndBio->first, webAndBio->second};
  // The client's own check on the fields it checks; the others travel as they are.
  for (const std::string* field : {&profile.location, &profile.age, &profile.email}) {
    if (!cv3::IsSafeText(*field) || HasControlCharacters(*field)) {
      Warn(session, "One of your fields contains disallowed punctuation or letters!");
      return;
    }
  }
  account->profile = std::move(profile);
  Persist(*account);
  session.Log("profile saved");
}

}  // namespace lobbyd
