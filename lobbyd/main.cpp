// lobbyd: the Corvane lobby server. Parses the flags, opens the database (a SQLite file or
// PostgreSQL), applies the operator's account changes, then serves until SIGINT or SIGTERM. With
// --backup-to it only copies the SQLite file and exits.
#include <sys/resource.h>

#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <csignal>
#include <functional>
#include <iostream>

#include "cv3_version.h"
#include "lobbyd/backup.h"
#include "lobbyd/clock.h"
#include "lobbyd/cluster/cluster_link.h"
#include "lobbyd/event_log.h"
#include "lobbyd/flags.h"
#include "lobbyd/hasher.h"
#include "lobbyd/server.h"
#include "lobbyd/startup.h"
#include "lobbyd/store.h"
#include "lobbyd/web/web_server.h"

namespace {

// Every client holds a descriptor: take as many as the system allows this process.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  lobbyd::Flags flags;
  if (auto error = lobbyd::ParseFlags(std::vector<std::string>(argv + 1, argv + argc), flags);
      !error.empty()) {
    std::cerr << "lobbyd: " << error << "\n";
    return 2;
  }
  if (flags.help) {
    std::cout << lobbyd::UsageText();
    return 0;
  }
  if (flags.version) {
    std::cout << "lobbyd " CV3_VERSION_TEXT "\n";
    return 0;
  }
  if (!flags.backupTo.empty()) {
    auto result = lobbyd::BackupDatabase(flags.store.where, flags.backupTo);
    (result.error.empty() ? std::cout : std::cerr)
        << lobbyd::BackupReport(flags.store.where, flags.backupTo, result);
    return result.error.empty() ? 0 : 1;
  }
  if (flags.http) {
    if (auto problem = lobbyd::web::WebFilesProblem(flags.web); !problem.empty()) {
      std::cerr << "lobbyd: " << problem << "\n";
      return 2;
    }
  }
  // Before anything is opened or bound: a certificate that cannot serve stops the start.
  std::shared_ptr<asio::ssl::context> tls;
  if (flags.tlsListen) {
    std::string problem;
    tls = lobbyd::LoadTlsContext(flags.tls, problem);
    if (!tls) {
      std::cerr << "lobbyd: " << problem << "\n";
      return 2;
    }
  }
  if (!lobbyd::InitSodium()) {
    std::cerr << "lobbyd: libsodium cannot be initialised\n";
    return 1;
  }
  RaiseDescriptorLimit();

  lobbyd::SystemClock clock;
  lobbyd::EventLog log(&std::cerr, clock);
  std::string error;
  // Before anything is bound: a PostgreSQL server that cannot be reached stops the start, as a
  // bad flag does.
  auto store = lobbyd::OpenStore(flags.store, error);
  if (!store) {
    std::cerr << "lobbyd: " << error << "\n";
    return flags.store.engine == lobbyd::StoreLocation::Engine::kPostgres ? 2 : 1;
  }
  auto hasher = lobbyd::SodiumHasher::Standard();
  error = lobbyd::ApplyStartupActions(*store, hasher, clock, flags.actions, log);
  if (!error.empty()) {
    std::cerr << "lobbyd: " << error << "\n";
    return 1;
  }

  asio::io_context io(1);
  lobbyd::Server server(io, *store, hasher, clock, log, flags.lobby);
  // Before anything is bound: a NATS server that cannot be reached stops the start.
  std::unique_ptr<lobbyd::cluster::ClusterLink> cluster;
  lobbyd::NodeMirror* mirror = nullptr;
  if (!flags.cluster.empty()) {
    cluster = lobbyd::cluster::ClusterLink::Connect(io, clock, log, server.Counts(),
                                                    {flags.cluster, flags.node}, error);
    if (!cluster) {
      std::cerr << "lobbyd: --cluster: " << error << "\n";
      return 2;
    }
    mirror = &server.JoinCluster(flags.node, cluster->Publisher());
  }
  error =
      server.Start(flags.plain ? std::optional(flags.listen) : std::nullopt, flags.tlsListen, tls);
  const auto& actions = flags.actions;
  bool changedStore = !actions.addAccounts.empty() || !actions.admins.empty() ||
                      !actions.bans.empty() || !actions.unbans.empty();
  if (!error.empty() && changedStore) {
    // The usual case: the operator changes accounts while the server runs. That server sees
    // the changes at each pilot's next sign-in.
    std::cerr << "lobbyd: the account changes are stored in "
              << (flags.store.engine == lobbyd::StoreLocation::Engine::kPostgres
                      ? std::string("the PostgreSQL database")
                      : flags.store.where)
              << "; no second server was started (" << error
              << "). A server already running on this store applies them at each pilot's next "
                 "sign-in.\n";
    return 0;
  }
  if (!error.empty()) {
    std::cerr << "lobbyd: " << error << "\n";
    return 1;
  }
  if (cluster) cluster->Attach(*mirror);
  std::unique_ptr<lobbyd::web::WebServer> web;
  if (flags.http) {
    web = std::make_unique<lobbyd::web::WebServer>(flags.web, lobbyd::web::SourcesOf(server));
    error = web->Start();
    if (!error.empty()) {
      std::cerr << "lobbyd: " << error << "\n";
      return 1;
    }
    log.Server("web page on http://" + lobbyd::web::HostForAddress(flags.web.host) + ":" +
               std::to_string(web->Port()) + "/");
  }
  asio::signal_set reloads(io, SIGHUP);
  std::function<void()> awaitReload = [&] {
    reloads.async_wait([&](const asio::error_code& waitError, int) {
      if (waitError) return;
      if (!flags.tlsListen) {
        log.Server("SIGHUP received: nothing to reload (no --tls-listen)");
      } else {
        std::string problem;
        if (auto fresh = lobbyd::LoadTlsContext(flags.tls, problem)) {
          server.ReplaceTlsContext(std::move(fresh));
          log.Server("SIGHUP received: TLS certificate and key reloaded");
        } else {
          log.Server("SIGHUP received: TLS reload failed, the previous certificate stays (" +
                     problem + ")");
        }
      }
      awaitReload();
    });
  };
  awaitReload();
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const asio::error_code& waitError, int signal) {
    if (waitError) return;
    log.Server(signal == SIGINT ? "SIGINT received" : "SIGTERM received");
    // Nothing here waits for the web side: the pilots are let go at once.
    server.Stop();
    if (cluster) cluster->Stop();
    asio::error_code ignored;
    reloads.cancel(ignored);
  });
  io.run();
  // The lobby is gone and its store written; the web side's requests that still wait on it give
  // up, and no web client is waited for.
  if (web) web->Stop();
  log.Server("stopped");
  return 0;
}
