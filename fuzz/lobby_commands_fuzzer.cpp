// lobbyd's command handling in-process and without sockets: a Lobby over an in-memory store (the
// LobbyRig), whose connections are recording participants; the bytes of each are framed into
// lines as a session frames them. The rig runs its io_context here, by hand, until nothing is left
// to do (the hash and store workers are waited for), so a run is the same every time.
// Input: records, each up to and including its LF. A record's first byte picks what it does:
//   a, b   bytes for the signed-in pilots "ace" (an administrator) and "bo"
//   c      bytes for a connection that has not signed in ("cy" exists; every password is "pw")
//   t      the clock moves on by the record's number of seconds (at most a day)
// The rest of an a/b/c record, LF included, is sent as it is: "aLMSG:hi\r\n" is one line.
// CV3_FUZZ_LOG=1 in the environment shows lobbyd's log.
#include <algorithm>
#include <iostream>
#include <memory>

#include "fuzz/fuzz_input.h"
#include "lobbyd/session.h"
#include "lobbyd/testing/lobby_rig.h"
#include "lobbyd/testing/test_server.h"
#include "protocol/cp1252.h"

namespace {

using namespace lobbyd;
using lobbyd::testing::Digest;
using lobbyd::testing::LobbyRig;
using lobbyd::testing::RigClient;

// Accounts "ace" (an administrator), "bo" and "cy", every password "pw"; bo's long-term game.
// The store outlives inputs: it is emptied and seeded again for each.
void Seed(Store& store) {
  std::vector<AccountRecord> accounts;
  std::vector<GameRecord> games;
  FUZZ_CHECK(store.LoadAccounts(accounts).empty() && store.LoadGames(games).empty());
  for (const auto& account : accounts) FUZZ_CHECK(store.DeleteAccount(account.name).empty());
  for (const auto& game : games) FUZZ_CHECK(store.DeleteGame(game.name).empty());
  for (const char* name : {"ace", "bo", "cy"}) {
    AccountRecord account;
    account.name = name;
    account.passwordHash = "plain$" + Digest("pw");
    account.admin = account.name == "ace";
    FUZZ_CHECK(store.CreateAccount(account).empty());
  }
  GameRecord game;
  game.name = "Long Haul";
  game.owner = "bo";
  game.address = "203.0.113.9";
  game.version = "1.06";
  game.announcement = "Named";
  game.longTerm = true;
  FUZZ_CHECK(store.PutGame(game).empty());
}

LobbyOptions Options() {
  LobbyOptions options;
  options.gatherAtLeast = {};  // nothing waits for the wall clock
  return options;
}

// One input's lobby: seeded, ace and bo signed in, a third connection open.
class World {
 public:
  explicit World(LobbyRig& rig) : rig_(rig) {
    Seed(rig_.GetStore());
    FUZZ_CHECK(rig_.Start().empty());
    for (auto& connection : connections_) connection.client = rig_.Connect();
    Send(0, "AUTH:ace:" + Digest("pw") + "\r\nADMINMODE\r\n");
    Send(1, "AUTH:bo:" + Digest("pw") + "\r\n");
  }
  ~World() { rig_.Stop(); }

  // Bytes to connection `which` (0: ace, 1: bo, 2: not signed in), framed into lines with the
  // limits a session keeps, then everything they cause.
  void Send(int which, std::string_view bytes) {
    Connection& connection = connections_[which];
    auto& participant = connection.client->Participant();
    connection.buffer.Append(bytes);
    std::string raw;
    while (participant.Open()) {
      connection.buffer.SetLimit(participant.pilot.signedIn ? Session::kLineLimitSignedIn
                                                            : Session::kLineLimitBeforeSignIn);
      auto cut = connection.buffer.Next(raw);
      if (cut == cv3::LineBuffer::Cut::kNone) break;
      if (cut == cv3::LineBuffer::Cut::kTooLong) {
        participant.Close("line too long");
        rig_.Settle();
        break;
      }
      connection.client->Send(cv3::Cp1252ToUtf8(raw));
    }
    participant.Take();  // what the peer would read
  }

  void Advance(std::chrono::seconds by) { rig_.Clock().Advance(by); }

 private:
  struct Connection {
    std::unique_ptr<RigClient> client;
    cv3::LineBuffer buffer{Session::kLineLimitBeforeSignIn};
  };

  LobbyRig& rig_;
  Connection connections_[3];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One rig for every input: an input then costs no thread or database set-up. The log is
  // shown with CV3_FUZZ_LOG=1, to read what an input did, and otherwise goes nowhere.
  static std::ostream discard(nullptr);
  static LobbyRig rig(Options(), nullptr, std::getenv("CV3_FUZZ_LOG") ? &std::cerr : &discard);
  World world(rig);
  std::string_view input = cv3::fuzz::AsText(data, size);
  while (!input.empty()) {
    size_t end = input.find('\n');
    std::string_view record =
        input.substr(0, end == std::string_view::npos ? input.size() : end + 1);
    input.remove_prefix(record.size());
    char kind = record[0];
    record.remove_prefix(1);
    if (kind >= 'a' && kind <= 'c') {
      world.Send(kind - 'a', record);
    } else if (kind == 't') {
      long seconds = std::strtol(std::string(record).c_str(), nullptr, 10);
      world.Advance(std::chrono::seconds(std::clamp(seconds, 0L, 86400L)));
    }
  }
  return 0;
}
