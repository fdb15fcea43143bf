// A throwaway PostgreSQL cluster for tests (scripts/pg-test-cluster.sh makes, starts and stops
// it): on a unix socket in a temporary folder, gone with the object. Each test takes a fresh
// database of its own. The cluster the whole test run shares is the one ctest started (the file
// LOBBYD_TEST_PG names says where); a test binary run by hand starts one of its own.
#pragma once

#include <memory>
#include <string>

#include "lobbyd/store.h"
#include "lobbyd/testing/test_server.h"

namespace lobbyd::testing {

class PgCluster {
 public:
  // A cluster of its own, started; see Problem.
  PgCluster();
  ~PgCluster();
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;

  // The run's shared cluster. Never stop it: other tests use it at the same time.
  static PgCluster& Shared();

  // Why the cluster does not run; empty when it does.
  const std::string& Problem() const { return problem_; }
  // Creates an empty database; its connection string (empty with Problem set on failure).
  std::string NewDatabase();
  // Stops the server (its sessions are cut) and starts it again, on the same socket.
  bool Stop();
  bool Start();

 private:
  explicit PgCluster(std::string folder) : folder_(std::move(folder)) {}
  bool Script(const char* verb);

  std::unique_ptr<TempFolder> own_;  // null for the run's shared cluster
  std::string folder_;
  std::string problem_;
};

// A new, empty store on `engine`: a SQLite file in `folder`, or a database in the shared cluster.
// Its `where` is empty when none could be made.
StoreLocation FreshStore(StoreLocation::Engine engine, const TempFolder& folder);

// "Sqlite" or "Postgres", to name the cases of a test run on each engine.
std::string EngineName(StoreLocation::Engine engine);

}  // namespace lobbyd::testing
