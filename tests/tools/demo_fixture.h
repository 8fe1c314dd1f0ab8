// The tests of the programs run them on one demo database, written once per suite by
// sigmat-demo-db into a temporary folder.
#pragma once

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace sigmat::test {

class WithDemoDatabase : public ::testing::Test {
  public:
    static void SetUpTestSuite() {
        demo_ = new TempDir;
        ASSERT_EQ(run_program({SIGMAT_DEMO_DB,
                               {(demo_->path() / "db").string()},
                               {},
                               {},
                               demo_->path() / "demo-db.txt",
                               {}}),
                  0);
    }
    static void TearDownTestSuite() {
        delete demo_;
        demo_ = nullptr;
    }
    static std::string demo() { return (demo_->path() / "db").string(); }

  private:
    static inline TempDir* demo_ = nullptr;
};

} // namespace sigmat::test
