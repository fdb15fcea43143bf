// Framing + decoding + dispatch throughput of the client's receive path over a 50 MB buffer of
// typical lobby lines, beside a plain memchr scan of the same buffer; prints the ratio.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <string>

#include "cv3client/session/server_link.h"
#include "protocol/cp1252.h"

namespace {

const std::string& LobbyTraffic() {
  static const std::string buffer = [] {
    const char* samples[] = {
        "USER:pilot%d:online\r\n",
        "USER:pilot%d:away:back in 5: really\r\n",
        "GAME:Arena %d:up\r\n",
        "LMSG:pilot%d:anyone up for a quick dogfight over the canyon?\r\n",
        "ISAWAY:pilot%d:getting coffee\r\n",
        "ISON:pilot%d\r\n",
        "PMSG:pilot%d:caf\xE9 at six \xB6 bring the maps\r\n",
        "GAMEINFO_ACK:GAMEDESC:Long campaign\xB6No rookies\xB6Voice optional\r\n",
    };
    std::string out;
    out.reserve(50u << 20);
    char line[256];
    for (int i = 0; out.size() < (50u << 20); ++i) {
      std::snprintf(line, sizeof line, samples[i % 8], i % 10000);
      out += line;
    }
    return out;
  }();
  return buffer;
}

struct NullTransport : cv3::Transport {
  bool IsConnected() const override { return true; }
  void SendData(std::string_view) override {}
};

void BM_MemchrScan(benchmark::State& state) {
  const std::string& data = LobbyTraffic();
  for (auto _ : state) {
    size_t lines = 0;
    const char* p = data.data();
    const char* end = p + data.size();
    while (const void* hit = std::memchr(p, '\n', end - p)) {
      ++lines;
      p = static_cast<const char*>(hit) + 1;
    }
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * data.size());
}

void BM_FramingAndDispatch(benchmark::State& state) {
  const std::string& data = LobbyTraffic();
  const size_t chunk = 8192;  // a typical socket read
  for (auto _ : state) {
    NullTransport transport;
    cv3::ServerLink link(transport, {});
    size_t handled = 0;
    for (auto name : {"USER", "GAME", "LMSG", "ISAWAY", "ISON", "PMSG", "GAMEINFO_ACK"}) {
      link.Handlers().On(name, [&](const std::string& args) { handled += args.size(); });
    }
    for (size_t at = 0; at < data.size(); at += chunk) {
      link.DataArrival(std::string_view(data).substr(at, chunk));
    }
    benchmark::DoNotOptimize(handled);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * data.size());
}

BENCHMARK(BM_MemchrScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FramingAndDispatch)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) rates_[run.benchmark_name()] = it->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    double scan = rates_["BM_MemchrScan"], framing = rates_["BM_FramingAndDispatch"];
    if (scan > 0 && framing > 0) {
      std::printf("\nmemchr scan: %.0f MB/s; framing + dispatch: %.0f MB/s; ratio %.1fx\n",
                  scan / 1e6, framing / 1e6, scan / framing);
    }
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
