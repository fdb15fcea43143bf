// The roster ingest of the sign-in sequence in the client's core: one arrival of 10,000 USER
// lines (online, away with a note, offline, admin), USERS_ACK, 500 GAME lines and GAMES_ACK,
// through the real SessionController and RosterModel. The view does nothing, so the figure is
// the core's own: framing, decoding, dispatch, the roster's rules and its bookkeeping.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/roster_lines.h"
#include "common/registry.h"
#include "common/registry_memory.h"
#include "common/timers.h"
#include "cv3client/session/lobby_socket.h"
#include "cv3client/session/session_controller.h"
#include "cv3client/support/client_settings.h"
#include "cv3client/ui/main_view.h"
#include "cv3client/ui/roster.h"

namespace {

using cv3::bench::kGames;
using cv3::bench::kUsers;

class NullView : public cv3::MainView {
 public:
  cv3::BoxResult ShowMessage(const cv3::MessageBoxSpec&) override { return cv3::BoxResult::kOk; }
  void SetLogoCaption(const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void SetMenuEnabled(cv3::MenuItem, bool) override {}
  void SetAdminMenuVisible(bool) override {}
  void ShowRoster(bool) override {}
  std::string SelectedNodeKey() override { return {}; }
  void ShowPopupMenu(cv3::PopupMenuId) override {}
  void ShowLoginWindow() override {}
  void ShowAboutWindow() override {}
  void ShowCreateIdWindow() override {}
  void ShowReconnectWindow() override {}
  void CloseReconnectWindow() override {}
  void RunHidden(const std::string&) override {}
  void ShowMainWindow() override {}
  void HideMainWindow() override {}
  void RemoveTrayIcon() override {}
  void UnhookTree() override {}
  void CloseFirstChatWindow() override {}
  void CloseAllChatWindows() override {}
  void EndProgram() override {}
  void TreeClear() override {}
  bool TreeAdd(const cv3::RosterNode&) override { return true; }
  void TreeRemove(const std::string&) override {}
  void TreeSetImage(const std::string&, int) override {}
  void TreeSortAndExpandGroups() override {}
};

class NullSocket : public cv3::LobbySocket {
 public:
  bool IsConnected() const override { return true; }
  void SendData(std::string_view) override {}
  void Connect(const std::string&, int) override {}
  void Close() override {}
};

class NullTimers : public cv3::Timers {
 public:
  void StartTimer(int, int) override {}
  void StopTimer(int) override {}
};

// The core wired as the main window wires it, signed in up to "USERS" sent.
struct Core {
  NullView view;
  NullSocket socket;
  NullTimers timers;
  cv3::MemoryRegistry backend;
  cv3::Registry registry{backend, nullptr, "Corvane"};
  std::unique_ptr<cv3::RosterModel> roster;
  std::unique_ptr<cv3::SessionController> session;

  Core() {
    registry.CreateKey(cv3::settings::kClientKey);
    // A short ignore list, so the per-pilot ignore test has entries to compare.
    registry.SetString(cv3::settings::kClientKey, cv3::settings::kIgnored, "troll1,troll2,");
    roster = std::make_unique<cv3::RosterModel>(view, registry);
    session = std::make_unique<cv3::SessionController>(view, socket, registry, timers, *roster);
    session->Values().signedInName = "benchpilot";
    session->Values().passwordDigest = "D41D8CD98F00B204E9800998ECF8427E";
    session->ConnectToServer();
    session->OnSocketConnect();
    session->OnDataArrival("AUTH_ACK:OK\r\n");
  }
};

// The sign-in's lists in one buffer, as one socket read would deliver them.
const std::string& Arrival() {
  static const std::string bytes = cv3::bench::UserLines() + cv3::bench::GameLines();
  return bytes;
}

void BM_RosterIngest(benchmark::State& state) {
  const std::string& bytes = Arrival();
  size_t nodes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto core = std::make_unique<Core>();
    state.ResumeTiming();
    core->session->OnDataArrival(bytes);
    state.PauseTiming();
    nodes = core->roster->Nodes().size();
    core.reset();
    state.ResumeTiming();
  }
  state.counters["nodes"] = static_cast<double>(nodes);  // 4 groups + 10,500 expected
  state.SetItemsProcessed(state.iterations() * (kUsers + kGames));
}
BENCHMARK(BM_RosterIngest)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
