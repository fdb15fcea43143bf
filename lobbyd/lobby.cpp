#include "lobbyd/lobby.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <set>

#include "lobbyd/text.h"
#include "lobbyd/tls_session.h"
#include "protocol/cp1252.h"
#include "protocol/wire.h"

namespace lobbyd {
namespace {

// State that has served its purpose (full flood buckets, sign-in counts a minute old) is
// forgotten every 15 s (sweeps run every second), so the memory of a burst comes back within a
// minute and a quarter.
constexpr unsigned kSweepsBetweenTidies = 15;

// Memory is given back at most this often: it walks the whole heap.
constexpr std::chrono::seconds kMemoryReleaseInterval{2};

}  // namespace

Lobby::Lobby(asio::io_context& io, Store& store, StoreWorker& worker, HashPool& pool,
             const Clock& clock, EventLog& log, Metrics& metrics, LobbyOptions options,
             std::string dummyHash)
    : io_(io),
      store_(store),
      worker_(worker),
      pool_(pool),
      clock_(clock),
      log_(log),
      metrics_(metrics),
      options_(options),
      output_{0, size_t{std::max(options.outputQueueMb, 1u)} * 1024 * 1024,
              size_t{std::max(options.connectionQueueKb, 1u)} * 1024},
      sweep_(io),
      accounts_(options, pool.Threads()),
      signInRules_(context_, std::move(dummyHash)) {
  signInRules_.Register(commands_);
  presenceRules_.Register(commands_);
  chatRules_.Register(commands_);
  profileRules_.Register(commands_);
  gameRules_.Register(commands_);
  adminRules_.Register(commands_);
}

std::string Lobby::Load() {
  std::vector<AccountRecord> accounts;
  if (auto error = store_.LoadAccounts(accounts); !error.empty()) return error;
  for (auto& account : accounts) {
    std::string key = NameKey(account.name);
    accounts_.ByKey().emplace(std::move(key), std::move(account));
  }
  if (auto error = games_.Load(store_, cluster_ != nullptr); !error.empty()) return error;
  // Connections that never sign in are looked for every second.
  SweepEvery(std::chrono::seconds(1));
  return {};
}

void Lobby::Accept(asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& remote,
                   std::shared_ptr<asio::ssl::context> tls) {
  std::shared_ptr<Session> session;
  Connect(AddressKey(remote), [&](uint64_t id) {
    if (tls) {
      session =
          std::make_shared<TlsSession>(std::move(socket), remote, id, shared_, std::move(tls));
    } else {
      session = std::make_shared<Session>(std::move(socket), remote, id, shared_);
    }
    return session;
  });
  if (session) {
    session->Start();
  } else {
    // Closed at once, without a word: the descriptor is free again for someone else.
    asio::error_code ignored;
    socket.close(ignored);
  }
}

std::shared_ptr<Participant> Lobby::Connect(const std::string& address,
                                            const MakeParticipant& make) {
  if (shuttingDown_ || !MayConnect(address)) return nullptr;
  ++connectionsFrom_[address];
  std::shared_ptr<Participant> participant = make(nextId_++);
  participant->connectedAt = clock_.Steady();
  sessions_.emplace(participant->Id(), participant);
  Regather();
  return participant;
}

bool Lobby::MayConnect(const std::string& address) {
  const char* why = nullptr;
  if (sessions_.size() >= options_.maxConnections) {
    why = "the server has its fill of connections";
    metrics_.Count(Refusal::kTotalCap);
  } else if (auto it = connectionsFrom_.find(address);
             it != connectionsFrom_.end() && it->second >= options_.connectionsPerAddress) {
    why = "too many connections from this address";
    metrics_.Count(Refusal::kAddressCap);
  }
  if (!why) return true;
  // One line for the first refusal and then one for every thousand, so a flood cannot fill the
  // log.
  if (refusedConnections_++ % 1000 == 0) {
    log_.Server("connection from " + address + " refused (" + why + "; " +
                std::to_string(refusedConnections_) + " refused so far)");
  }
  return false;
}

void Lobby::SweepEvery(std::chrono::seconds period) {
  sweep_.expires_after(period);
  sweep_.async_wait([this, period](const asio::error_code& error) {
    if (error || shuttingDown_) return;
    auto deadline = std::chrono::seconds(options_.signInSeconds);
    std::vector<std::shared_ptr<Participant>> late;
    for (auto& [id, session] : sessions_) {
      // A sign-in waiting for its password check is the server's delay, not the pilot's: after
      // a restart thousands wait in the queue for longer than the deadline.
      if (!session->pilot.signedIn && session->Open() && !session->Paused() &&
          clock_.Steady() - session->connectedAt >= deadline) {
        late.push_back(session);
      }
    }
    for (auto& session : late) {
      metrics_.Count(Refusal::kSignInDeadline);
      session->Close("closed (not signed in in time)");
    }
    if (++sweeps_ % kSweepsBetweenTidies == 0) ForgetIdleState();
    SweepEvery(period);
  });
}

void Lobby::ForgetIdleState() {
  context_.ForgetRestedFloods();
  accounts_.Sweep(clock_.Steady());
  ReleaseFreedMemory();
}

void Lobby::ReleaseFreedMemory() {
  auto now = clock_.Steady();
  if (now - lastRelease_ < kMemoryReleaseInterval) return;
  lastRelease_ = now;
  // The allocator keeps freed memory for reuse, so after a burst (a storm of sign-ins, a
  // lobby-wide chat) the process would go on holding its peak.
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

LobbyView Lobby::View() const {
  LobbyView view;
  view.connections = sessions_.size();
  view.passwordChecksQueued = accounts_.Checks().Total();
  view.pilots.reserve(roster_.Pilots().size());
  std::set<std::string> hidden;  // the invisible pilots' name keys
  for (const auto& [key, participant] : roster_.Pilots()) {
    const Pilot& pilot = participant->pilot;
    using Kind = LobbyView::PilotEntry::Kind;
    switch (pilot.presence) {
      case Pilot::Presence::kInvisible:
        ++view.invisible;
        hidden.emplace(key);
        break;
      case Pilot::Presence::kOnline:
        view.pilots.push_back({pilot.name, Kind::kOnline, {}});
        break;
      case Pilot::Presence::kAway:
        view.pilots.push_back({pilot.name, Kind::kAway, pilot.awayMessage});
        break;
      case Pilot::Presence::kAdmin:
        view.pilots.push_back({pilot.name, Kind::kAdmin, {}});
        break;
    }
  }
  for (const auto& [key, game] : games_.ByKey()) {
    // A game up tells its host is here: an invisible host of one is not named, or the page would
    // tell what his roster entry hides. A game down is named alike whether its host is offline or
    // invisible, so it names him either way.
    if (game.up && hidden.contains(NameKey(game.record.owner))) {
      view.games.push_back({game.record.name, game.up, {}, {}});
      continue;
    }
    // The server knows of no one in a game but its host.
    view.games.push_back({game.record.name, game.up, game.record.owner, {game.record.owner}});
  }
  return view;
}

void Lobby::Shutdown() {
  shuttingDown_ = true;
  sweep_.cancel();
  // No "ERROR:" line: the client would show it in a box and wait for a click before
  // reconnecting, while a plain close lets it reconnect by itself.
  for (auto& [id, session] : sessions_) session->CloseAfterFlush("server shutting down");
}

void Lobby::OnLine(Participant& session, const cv3::Line& line) {
  const CommandTable::Command* command = commands_.Find(line.name, session.pilot.signedIn);
  if (!command) {
    context_.Ignore(session, line.name,
                    session.pilot.signedIn ? "unknown command" : "not signed in");
    return;
  }
  // A line flood control drops is answered here, once for every command alike.
  if (command->limit &&
      !context_.FloodAllows(session, command->limit->kind, command->limit->refusal)) {
    return;
  }
  command->handler(session, line.args);
}

void Lobby::OnClosed(Participant& session) {
  SignOff(session, "signed off (connection ended)");
  if (auto it = connectionsFrom_.find(session.Address());
      it != connectionsFrom_.end() && --it->second == 0) {
    connectionsFrom_.erase(it);
  }
  sessions_.erase(session.Id());
  Regather();
}

void Lobby::Regather() {
  output_.gather = options_.gatherAtLeast.count() == 0
                       ? options_.gatherAtLeast
                       : GatherInterval(sessions_.size(), options_.gatherAtLeast);
}

void Lobby::SignIn(Participant& session, AccountRecord& account) {
  metrics_.Count(SignInResult::kOk);  // also a new account's first
  std::string key = NameKey(account.name);
  uint64_t stamp = 0;
  if (Participant* older = roster_.Find(account.name)) {
    stamp = older->pilot.sessionStamp + 1;
    if (older->Remote()) {
      // His node throws him off when it hears of this sign-in.
      SignOff(*older, {});
    } else {
      context_.ThrowOff(*older);
    }
  }
  Pilot& pilot = session.pilot;
  pilot.sessionStamp = std::max<uint64_t>(
      stamp, std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Wall().time_since_epoch())
                 .count());
  pilot.signedIn = true;
  pilot.name = account.name;
  pilot.key = key;
  roster_.SetPresence(pilot, Pilot::Presence::kOnline);
  session.AllowSignedInLines();
  roster_.Add(session);
  account.lastOn = context_.NowSeconds();
  context_.SaveAccount(nullptr, account, Store::AccountPart::kLastOn);
  accounts_.SignedIn(key, session.Address(), clock_.Steady());
  session.Log("signed in");
  session.Send(cv3::FormatLine(msg::kAuthAck, msg::kOk));
  std::string isOn = cv3::FormatLine(msg::kIsOn, account.name);
  roster_.Broadcast(isOn, &session);
  session.Send(isOn);  // his own is part of the reply to his sign-in
  if (cluster_) cluster_->Announce(session);
}

NodeMirror& Lobby::JoinCluster(std::string node, NodeMirror::Publish publish) {
  cluster_ = std::make_unique<NodeMirror>(context_, std::move(node), std::move(publish));
  context_.cluster = cluster_.get();
  return *cluster_;
}

void Lobby::SignOff(Participant& session, std::string_view how) {
  if (session.Remote()) {
    // Signed off here as his node would; it closes him once asked to.
    cluster_->Displace(session);
    return;
  }
  Pilot& pilot = session.pilot;
  if (!pilot.signedIn) return;
  pilot.signedIn = false;
  roster_.Remove(session);
  session.Log(how);
  if (AccountRecord* account = accounts_.Find(pilot.name)) {
    account->lastOn = context_.NowSeconds();
    context_.SaveAccount(nullptr, *account, Store::AccountPart::kLastOn);
  }
  if (cluster_) cluster_->Gone(session);
  if (shuttingDown_) return;
  roster_.Broadcast(cv3::FormatLine(msg::kIsOff, pilot.name), &session);
  context_.TakeDownGamesOf(session);
}

void Lobby::Write(Participant* asker, std::function<std::string(Store&)> write, Written done) {
  std::weak_ptr<Participant> weak = asker ? asker->weak_from_this() : std::weak_ptr<Participant>();
  worker_.Run(std::move(write), [this, weak, done = std::move(done)](const std::string& error) {
    if (!error.empty()) log_.Server("database: " + error);
    if (!done) return;
    auto session = weak.lock();
    done(session && session->Open() ? session.get() : nullptr, error.empty());
  });
}

}  // namespace lobbyd
