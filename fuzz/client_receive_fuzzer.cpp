// The client's receive path end to end in its core: the real ClientCore (tests' ClientHarness,
// over recording views, sockets and timers) fed server bytes in arrivals of varying sizes, with
// deferred work run after each arrival as the message loop would.
// Input: one byte of flags (1: signed in first; 2: every running timer ticks after each
// arrival), one for the arrival sizes, then the server's bytes.
#include <vector>

#include "common/client_fakes.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  cv3::testing::ClientHarness client;
  client.view.record = false;  // nothing reads the log; keep long inputs cheap
  if (data[0] & 1) client.SignIn("pilot");
  const bool tick = data[0] & 2;
  cv3::fuzz::ForEachArrival(cv3::fuzz::AsText(data + 2, size - 2), data[1],
                            [&](std::string_view arrival) {
                              client.core.OnDataArrival(arrival);
                              client.deferral.RunDeferred();
                              if (!tick) return;
                              std::vector<int> running;
                              for (const auto& [id, timer] : client.timers.running) {
                                running.push_back(id);
                              }
                              for (int id : running) client.timers.Fire(id);
                              client.deferral.RunDeferred();
                            });
  return 0;
}
