// /metrics: lobbyd's counts in the Prometheus text format (version 0.0.4).
#pragma once

#include <cstdint>
#include <string>

#include "lobbyd/lobby_view.h"
#include "lobbyd/metrics.h"

namespace lobbyd::web {

// `view` gives what is counted now (connections, pilots, games, checks waiting); `metrics` what
// has been counted since the start; `residentBytes` the process's memory.
std::string MetricsText(const Metrics& metrics, const LobbyView& view, uint64_t residentBytes);

// The process's resident memory in bytes, from /proc; 0 when it cannot be read.
uint64_t ResidentBytes();

}  // namespace lobbyd::web
