#include "lobbyd/testing/pg_cluster.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

namespace lobbyd::testing {
namespace {

std::string ConnectionTo(const std::string& folder, const std::string& database) {
  return "host=" + folder + " port=5432 user=postgres dbname=" + database;
}

}  // namespace

PgCluster::PgCluster() : own_(std::make_unique<TempFolder>()) {
  folder_ = own_->Path();  // the cluster's owner takes it
  if (!Script("init")) problem_ = "cannot start a PostgreSQL cluster in " + folder_;
}

PgCluster::~PgCluster() {
  if (own_) Script("stop");
}

PgCluster& PgCluster::Shared() {
  // One of its own is stopped and removed at exit.
  static std::unique_ptr<PgCluster> shared = [] {
    if (const char* file = std::getenv("LOBBYD_TEST_PG")) {
      std::string folder;
      std::ifstream named(file);
      std::getline(named, folder);
      if (!folder.empty() && PQping(ConnectionTo(folder, "postgres").c_str()) == PQPING_OK) {
        return std::unique_ptr<PgCluster>(new PgCluster(folder));
      }
    }
    return std::make_unique<PgCluster>();
  }();
  return *shared;
}

bool PgCluster::Script(const char* verb) {
  std::string command = std::string("'" PG_TEST_CLUSTER "' ") + verb + " '" + folder_ + "'";
  return std::system(command.c_str()) == 0;
}

bool PgCluster::Stop() { return Script("stop"); }

bool PgCluster::Start() { return Script("start"); }

std::string PgCluster::NewDatabase() {
  if (!problem_.empty()) return {};
  static std::atomic<int> made{0};
  std::string name = "lobbyd_" + std::to_string(::getpid()) + "_" + std::to_string(++made);
  PGconn* admin = PQconnectdb(ConnectionTo(folder_, "postgres").c_str());
  PGresult* result = PQexec(admin, ("CREATE DATABASE " + name).c_str());
  bool madeIt = PQresultStatus(result) == PGRES_COMMAND_OK;
  if (!madeIt) problem_ = "cannot create a database: " + std::string(PQerrorMessage(admin));
  PQclear(result);
  PQfinish(admin);
  return madeIt ? ConnectionTo(folder_, name) : std::string();
}

StoreLocation FreshStore(StoreLocation::Engine engine, const TempFolder& folder) {
  if (engine == StoreLocation::Engine::kSqlite) return {engine, folder.Path() + "/lobbyd.db"};
  return {engine, PgCluster::Shared().NewDatabase()};
}

std::string EngineName(StoreLocation::Engine engine) {
  return engine == StoreLocation::Engine::kSqlite ? "Sqlite" : "Postgres";
}

}  // namespace lobbyd::testing
