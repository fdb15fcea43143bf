#include "lobbyd/web/metrics_text.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <initializer_list>

namespace lobbyd::web {
namespace {

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

void Family(std::string& out, const char* name, const char* type, const char* help) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void Sample(std::string& out, const std::string& name, uint64_t value) {
  out += name + " " + std::to_string(value) + "\n";
}

// A family with one label, a sample for each of its values.
template <size_t N>
void Labelled(std::string& out, const char* name, const char* type, const char* help,
              const char* label, const std::array<std::string_view, N>& values,
              const std::array<std::atomic<uint64_t>, N>& counts) {
  Family(out, name, type, help);
  for (size_t i = 0; i < N; ++i) {
    Sample(out, std::string(name) + "{" + label + "=\"" + std::string(values[i]) + "\"}",
           counts[i].load(std::memory_order_relaxed));
  }
}

void Histo(std::string& out, const char* name, const char* help, const Histogram& histogram) {
  Family(out, name, "histogram", help);
  Histogram::Reading reading = histogram.Read();
  for (size_t i = 0; i < Histogram::kBounds.size(); ++i) {
    Sample(out, std::string(name) + "_bucket{le=\"" + Number(Histogram::kBounds[i]) + "\"}",
           reading.cumulative[i]);
  }
  Sample(out, std::string(name) + "_bucket{le=\"+Inf\"}", reading.count);
  out += std::string(name) + "_sum " + Number(reading.sumSeconds) + "\n";
  Sample(out, std::string(name) + "_count", reading.count);
}

}  // namespace

std::string MetricsText(const Metrics& metrics, const LobbyView& view, uint64_t residentBytes) {
  std::string out;
  Family(out, "lobbyd_connections_open", "gauge", "Connections open now, signed in or not.");
  Sample(out, "lobbyd_connections_open", view.connections);
  Family(out, "lobbyd_pilots_signed_in", "gauge",
         "Pilots signed in now, by whether others see them.");
  Sample(out, "lobbyd_pilots_signed_in{visibility=\"visible\"}", view.pilots.size());
  Sample(out, "lobbyd_pilots_signed_in{visibility=\"invisible\"}", view.invisible);
  size_t up = view.GamesUp();
  Family(out, "lobbyd_games", "gauge", "Games listed now, by whether they are up.");
  Sample(out, "lobbyd_games{state=\"up\"}", up);
  Sample(out, "lobbyd_games{state=\"down\"}", view.games.size() - up);
  Labelled(out, "lobbyd_sign_ins_total", "counter", "Sign-ins by how they ended.", "result",
           kSignInResultNames, metrics.signIns);
  Labelled(out, "lobbyd_refusals_total", "counter",
           "Connections and requests turned away, by reason.", "reason", kRefusalNames,
           metrics.refusals);
  Family(out, "lobbyd_password_checks_queued", "gauge", "Password checks waiting or running.");
  Sample(out, "lobbyd_password_checks_queued", view.passwordChecksQueued);
  Histo(out, "lobbyd_password_check_wait_seconds",
        "Time a password check waited for a check thread.", metrics.passwordCheckWait);
  Histo(out, "lobbyd_store_commit_seconds", "Time each batch of store work took to commit.",
        metrics.storeCommits);
  struct Count {
    const char* name;
    const char* help;
    const std::atomic<uint64_t>& value;
  };
  for (const Count& count : {
           Count{"lobbyd_lines_written_total", "Lines written to connections.",
                 metrics.linesWritten},
           Count{"lobbyd_bytes_written_total", "Bytes written to connections.",
                 metrics.bytesWritten},
           Count{"lobbyd_notices_dropped_total",
                 "Chat lines, changes and list requests dropped by flood control.",
                 metrics.noticesDropped},
       }) {
    Family(out, count.name, "counter", count.help);
    Sample(out, count.name, count.value.load(std::memory_order_relaxed));
  }
  if (metrics.clustered.load(std::memory_order_relaxed)) {
    auto read = [](const std::atomic<uint64_t>& value) {
      return value.load(std::memory_order_relaxed);
    };
    Family(out, "lobbyd_cluster_nodes", "gauge", "Other nodes of the cluster heard now.");
    Sample(out, "lobbyd_cluster_nodes", read(metrics.clusterNodes));
    Family(out, "lobbyd_cluster_events_total", "counter",
           "Events heard from the other nodes, and told to them.");
    Sample(out, "lobbyd_cluster_events_total{direction=\"in\"}", read(metrics.clusterEventsIn));
    Sample(out, "lobbyd_cluster_events_total{direction=\"out\"}", read(metrics.clusterEventsOut));
    Family(out, "lobbyd_cluster_snapshots_total", "counter",
           "Other nodes' whole states taken (on joining, after a gap, a restart or a reconnect).");
    Sample(out, "lobbyd_cluster_snapshots_total", read(metrics.clusterSnapshots));
    Family(out, "lobbyd_cluster_missed_total", "counter", "Gaps seen in other nodes' events.");
    Sample(out, "lobbyd_cluster_missed_total", read(metrics.clusterMissed));
  }
  Family(out, "process_resident_memory_bytes", "gauge", "Resident memory size in bytes.");
  Sample(out, "process_resident_memory_bytes", residentBytes);
  return out;
}

uint64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  uint64_t size = 0, resident = 0;
  if (!(statm >> size >> resident)) return 0;
  return resident * uint64_t(sysconf(_SC_PAGESIZE));
}

}  // namespace lobbyd::web
