// Profiles: viewing anyone's (USERINFO), fetching one's own for editing (EDITPROFILE) and saving
// it (SAVEPROFILE, taken back when the store fails). io thread only.
#pragma once

#include <string>
#include <string_view>

#include "lobbyd/command_table.h"
#include "lobbyd/lobby_context.h"

namespace lobbyd {

class ProfileRules {
 public:
  explicit ProfileRules(LobbyContext& lobby) : lobby_(lobby) {}

  void Register(CommandTable& commands);

 private:
  void OnUserInfo(Participant& session, const std::string& args);
  void OnEditProfile(Participant& session, const std::string& args);
  void OnSaveProfile(Participant& session, const std::string& args);
  void SendProfile(Participant& session, const AccountRecord& account, std::string_view reply);

  LobbyContext& lobby_;
};

}  // namespace lobbyd
