// The roster ingest of the sign-in sequence in the client's core: one arrival of 10,000 USER
// lines (online, away with a note, offline, admin), USERS_ACK, 500 GAME lines and GAMES_ACK,
// through the real SessionController and RosterModel. The view does nothing, so the figure is
// the core's own: framing, decoding, dispatch, the roster's rules and its bookkeeping.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/roster_lines.h"
#include "common/client_fakes.h"

namespace {

using cv3::bench::kGames;
using cv3::bench::kUsers;

// The client's core as the program wires it, over fakes that record nothing, signed in up to
// "USERS" sent.
struct Core : cv3::testing::ClientHarness {
  Core() {
    view.record = false;
    // A short ignore list, so the per-pilot ignore test has entries to compare.
    settings.SetString(cv3::settings::kIgnored, "troll1,troll2,");
    session.SignInAs("benchpilot", "D41D8CD98F00B204E9800998ECF8427E");
    session.ConnectToServer();
    socket.connected = true;
    core.OnSocketConnect();
    core.OnDataArrival("AUTH_ACK:OK\r\n");
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
    core->core.OnDataArrival(bytes);
    state.PauseTiming();
    nodes = core->roster.Nodes().size();
    core.reset();
    state.ResumeTiming();
  }
  state.counters["nodes"] = static_cast<double>(nodes);  // 4 groups + 10,500 expected
  state.SetItemsProcessed(state.iterations() * (kUsers + kGames));
}
BENCHMARK(BM_RosterIngest)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
