// Signing in (AUTH: the sign-in throttles, the operator's changes read from the store, the
// password check, queued or taken from this run's verified credentials), creating an account
// (CREATE), and the ends of a session (QUIT, DISCONNECT). io thread only; hashes go to the pool.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "lobbyd/command_table.h"
#include "lobbyd/lobby_context.h"
#include "protocol/session_messages.h"

namespace lobbyd {

class SignInRules {
 public:
  // `dummyHash` is a hash of nothing anyone knows, verified for unknown IDs so a reply's timing
  // does not tell which IDs exist.
  SignInRules(LobbyContext& lobby, std::string dummyHash)
      : lobby_(lobby), dummyHash_(std::move(dummyHash)) {}

  void Register(CommandTable& commands);

 private:
  void OnAuth(Participant& session, const std::string& args);
  // False, with the pilot told to wait, when the account or the address has signed in too
  // often within the last minute.
  bool SignInsAllowed(Participant& session, const std::string& key, const std::string& id);
  // A credential verified before during this run is taken at once; any other waits its turn
  // for a full check.
  void CheckPassword(Participant& session, cv3::AuthFields fields, std::shared_ptr<void> underWay);
  void TakeOperatorChanges(AccountRecord stored);
  void FinishAuth(Participant& session, const std::string& id, const std::string& key,
                  const std::string& hash, bool ok);
  void OnCreate(Participant& session, const std::string& args);
  void FinishCreate(Participant& session, const std::string& id, const std::string& email,
                    std::optional<std::string>& hash);
  void RefuseCreate(Participant& session, std::string_view reason);
  void OnQuit(Participant& session, const std::string& args);
  void OnDisconnect(Participant& session, const std::string& args);

  LobbyContext& lobby_;
  std::string dummyHash_;
};

}  // namespace lobbyd
