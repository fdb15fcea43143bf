#include "lobbyd/testing/lobby_rig.h"

#include <algorithm>
#include <thread>

#include "lobbyd/server.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {

void RigClient::Send(std::string_view line) {
  if (!participant_) return;
  participant_->Receive(line);
  rig_.Settle();
}

std::optional<std::string> RigClient::ReadLine() {
  if (!participant_ || participant_->Sent().empty()) return std::nullopt;
  std::string line = std::move(participant_->Sent().front());
  participant_->Sent().pop_front();
  return line;
}

std::optional<std::vector<std::string>> RigClient::ReadUntil(std::string_view wanted) {
  std::vector<std::string> before;
  while (auto line = ReadLine()) {
    if (*line == wanted) return before;
    before.push_back(std::move(*line));
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> RigClient::Sync() {
  return participant_ ? participant_->Take() : std::vector<std::string>{};
}

bool RigClient::WaitClosed() {
  rig_.Settle();
  if (participant_) participant_->Take();
  return !participant_ || participant_->Closed();
}

void RigClient::Close() {
  if (participant_) participant_->Hangup();
  rig_.Settle();
}

LobbyRig::LobbyRig(LobbyOptions options, const PasswordHasher* hasher, std::ostream* log,
                   const StoreLocation& store)
    : options_(options),
      hasher_(hasher ? *hasher : plain_),
      counting_(dynamic_cast<const CountingHasher*>(&hasher_)),
      log_(log ? log : &logText_, clock_) {
  InitSodium();
  store_ = OpenStore(store, storeProblem_);
  pool_ = std::make_unique<HashPool>(io_, hasher_, 1);
  if (store_) worker_ = std::make_unique<StoreWorker>(io_, *store_, &metrics_.storeCommits);
}

LobbyRig::~LobbyRig() {
  Stop();
  pool_->Stop();
}

std::string LobbyRig::Seed(const StartupActions& actions) {
  if (!store_) return storeProblem_;
  return ApplyStartupActions(*store_, hasher_, clock_, actions, log_);
}

std::string LobbyRig::Start() {
  if (!store_) return storeProblem_;
  lobby_ = std::make_unique<Lobby>(io_, *store_, *worker_, *pool_, clock_, log_, metrics_, options_,
                                   MakeDummyHash(hasher_));
  return lobby_->Load();
}

void LobbyRig::Stop() {
  // Checks still held go on, so none reports to a lobby that is gone.
  if (counting_) counting_->Hold(false);
  if (!lobby_) return;
  lobby_->Shutdown();
  Settle();  // the connections' ends are seen and sign-offs stored
  lobby_.reset();
}

std::unique_ptr<RigClient> LobbyRig::Connect(const std::string& address) {
  auto made = lobby_->Connect(address, [&](uint64_t id) {
    return std::make_shared<RecordingParticipant>(id, address, *lobby_, io_, log_);
  });
  return std::make_unique<RigClient>(*this, std::static_pointer_cast<RecordingParticipant>(made));
}

std::unique_ptr<RigClient> LobbyRig::Join(std::string_view name, std::string_view password) {
  return SignedIn(Connect(), name, CreateRequest(name, password));
}

std::unique_ptr<RigClient> LobbyRig::SignIn(std::string_view name, std::string_view password) {
  return SignedIn(Connect(), name, AuthRequest(name, password));
}

bool LobbyRig::Settle() {
  bool moved = false;
  for (;;) {
    // Idle workers first: once they are, what they did is already queued for the io_context.
    bool idle = HashesIdle() && (!worker_ || worker_->Busy() == 0);
    io_.restart();
    bool progress = io_.poll() > 0;
    moved |= progress;
    if (!progress && idle) return moved;
    if (!progress) std::this_thread::yield();
  }
}

bool LobbyRig::HashesIdle() {
  size_t busy = pool_->Busy();
  if (busy == 0) return true;
  // Held, every hash thread waits at the gate and the rest of the pool's work queues behind.
  return counting_ && counting_->Held() &&
         static_cast<size_t>(counting_->Waiting()) == std::min(busy, pool_->Threads());
}

}  // namespace lobbyd::testing
