// Tests run on each engine of lobbyd's store: a TEST_P of EachStore gets a fresh, empty store of
// its case's engine (a SQLite file, or a database in the run's PostgreSQL cluster). A test file
// instantiates it with LOBBYD_ON_EACH_STORE().
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "lobbyd/store.h"
#include "lobbyd/testing/pg_cluster.h"

namespace lobbyd {

inline void PrintTo(StoreLocation::Engine engine, std::ostream* out) {
  *out << testing::EngineName(engine);
}

namespace testing {

class EachStore : public ::testing::TestWithParam<StoreLocation::Engine> {
 protected:
  void SetUp() override {
    location_ = FreshStore(GetParam(), folder_);
    ASSERT_NE(location_.where, "") << PgCluster::Shared().Problem();
  }
  std::unique_ptr<Store> Open() {
    std::string error;
    auto store = OpenStore(location_, error);
    EXPECT_EQ(error, "");
    return store;
  }
  // lobbyd's flag naming the store.
  std::vector<std::string> StoreFlag() const {
    return {GetParam() == StoreLocation::Engine::kSqlite ? "--db" : "--store", location_.where};
  }

  TempFolder folder_;
  StoreLocation location_;
};

#define LOBBYD_ON_EACH_STORE()                                       \
  INSTANTIATE_TEST_SUITE_P(                                          \
      Engines, EachStore,                                            \
      ::testing::Values(::lobbyd::StoreLocation::Engine::kSqlite,    \
                        ::lobbyd::StoreLocation::Engine::kPostgres), \
      [](const auto& info) { return ::lobbyd::testing::EngineName(info.param); })

}  // namespace testing
}  // namespace lobbyd
